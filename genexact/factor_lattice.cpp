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

namespace {

// The element e with op(e, x) = e for every x, or -1.
int Absorbing(const FactorLattice& f, const std::vector<Element>& op) {
  for (int e = 0; e < f.size; ++e) {
    bool absorbs = true;
    for (int x = 0; x < f.size && absorbs; ++x) absorbs = op[CellIndex(e, x, f.size)] == e;
    if (absorbs) return e;
  }
  return -1;
}

}  // namespace

bool FindBounds(FactorLattice& lattice) {
  const int top = Absorbing(lattice, lattice.join);
  const int bottom = Absorbing(lattice, lattice.meet);
  if (top < 0 || bottom < 0) return false;
  lattice.top = static_cast<Element>(top);
  lattice.bottom = static_cast<Element>(bottom);
  return true;
}

FactorLattice Dual(const FactorLattice& lattice) {
  FactorLattice d = lattice;
  d.join.swap(d.meet);
  d.top = lattice.bottom;
  d.bottom = lattice.top;
  return d;
}

}  // namespace genexact
