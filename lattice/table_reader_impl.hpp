#pragma once

namespace lattice {

namespace detail {
template <std::int32_t Capacity>
void StoreFactor(FactorTables<Capacity>& tables, std::int32_t size, const std::vector<std::int32_t>& firstOp,
                 const std::vector<std::int32_t>& secondOp) {
  for (std::int32_t x = 1; x <= size; ++x) {
    for (std::int32_t y = 1; y <= size; ++y) {
      const std::size_t cell = CellIndex(x, y, size);
      tables.firstOp[x][y] = static_cast<FactorElement>(firstOp[cell]);
      tables.secondOp[x][y] = static_cast<FactorElement>(secondOp[cell]);
    }
  }
}
}  // namespace detail

template <std::int32_t MaxSizeA>
void ReadOperationTables(runframe::RunContext& run, Product<MaxSizeA>& p) {
  SetSizes(p, run.n, run.m);
  std::vector<std::int32_t> firstOp;
  std::vector<std::int32_t> secondOp;
  ReadTableFile(run.firstInput, p.sizeA, FirstFileMessages, firstOp, secondOp);
  detail::StoreFactor(p.factorA, p.sizeA, firstOp, secondOp);
  ReadTableFile(run.secondInput, p.sizeB, SecondFileMessages, firstOp, secondOp);
  detail::StoreFactor(p.factorB, p.sizeB, firstOp, secondOp);
  BuildProductPairs(p);
}

}  // namespace lattice
