#include "lattice/flat_factor.hpp"

namespace lattice {

template <class Element>
FlatFactor<Element> MakeFlatFactor(const OperationTables& tables) {
  FlatFactor<Element> f;
  f.size = tables.size;
  // CellIndex(x, y) equals FlatCell(x - 1, y - 1): only the numbers shift.
  const auto cells = static_cast<std::size_t>(f.size) * static_cast<std::size_t>(f.size);
  f.join.resize(cells);
  f.meet.resize(cells);
  for (std::size_t c = 0; c < cells; ++c) {
    f.join[c] = static_cast<Element>(tables.first[c] - 1);
    f.meet[c] = static_cast<Element>(tables.second[c] - 1);
  }
  return f;
}

template <class Element>
LatticeCheck CheckFactor(FlatFactor<Element>& factor) {
  LatticeCheck check = CheckLattice(CheckedTables<Element>{factor.join.data(), factor.meet.data(), factor.size});
  if (check.bounds) {
    factor.top = static_cast<Element>(check.bounds->top);
    factor.bottom = static_cast<Element>(check.bounds->bottom);
  }
  return check;
}

template <class Element>
FlatFactor<Element> Dual(const FlatFactor<Element>& factor) {
  FlatFactor<Element> d = factor;
  d.join.swap(d.meet);
  d.top = factor.bottom;
  d.bottom = factor.top;
  return d;
}

// The two widths genexact is built for (genexact/element_width.hpp).
template <class Element>
std::vector<Element> JoinIrreducibles(const FlatFactor<Element>& f) {
  std::vector<Element> result;
  for (std::int32_t x = 0; x < f.size; ++x) {
    if (x == f.bottom) continue;
    std::int32_t below = f.bottom;
    for (std::int32_t y = 0; y < f.size; ++y) {
      if (y != x && f.Leq(y, x)) below = f.Join(below, y);
    }
    if (below != x) result.push_back(static_cast<Element>(x));
  }
  return result;
}

template std::vector<std::uint8_t> JoinIrreducibles(const FlatFactor<std::uint8_t>&);
template std::vector<std::uint16_t> JoinIrreducibles(const FlatFactor<std::uint16_t>&);
template FlatFactor<std::uint8_t> MakeFlatFactor(const OperationTables&);
template FlatFactor<std::uint16_t> MakeFlatFactor(const OperationTables&);
template LatticeCheck CheckFactor(FlatFactor<std::uint8_t>&);
template LatticeCheck CheckFactor(FlatFactor<std::uint16_t>&);
template FlatFactor<std::uint8_t> Dual(const FlatFactor<std::uint8_t>&);
template FlatFactor<std::uint16_t> Dual(const FlatFactor<std::uint16_t>&);

}  // namespace lattice
