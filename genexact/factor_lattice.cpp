#include "genexact/factor_lattice.hpp"

namespace genexact::inline GENEXACT_WIDTH {

FactorLattice MakeFactor(int size, const std::vector<std::int32_t>& firstOp,
                         const std::vector<std::int32_t>& secondOp) {
  FactorLattice f;
  f.size = size;
  const auto cells = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
  f.join.resize(cells);
  f.meet.resize(cells);
  for (std::size_t c = 0; c < cells; ++c) {
    f.join[c] = static_cast<Element>(firstOp[c] - 1);
    f.meet[c] = static_cast<Element>(secondOp[c] - 1);
  }
  return f;
}

lattice::LatticeCheck CheckFactor(FactorLattice& factor) {
  lattice::LatticeCheck check = lattice::CheckLattice(
      lattice::CheckedTables<Element>{factor.join.data(), factor.meet.data(), factor.size, factor.size, 0});
  if (check.bounds) {
    factor.top = static_cast<Element>(check.bounds->top);
    factor.bottom = static_cast<Element>(check.bounds->bottom);
  }
  return check;
}

FactorLattice Dual(const FactorLattice& lattice) {
  FactorLattice d = lattice;
  d.join.swap(d.meet);
  d.top = lattice.bottom;
  d.bottom = lattice.top;
  return d;
}

}  // namespace genexact
