#pragma once

namespace lattice {

namespace detail {
template <std::int32_t Capacity>
void StoreFactor(FactorTables<Capacity>& stored, const OperationTables& tables) {
  for (std::int32_t x = 1; x <= tables.size; ++x) {
    for (std::int32_t y = 1; y <= tables.size; ++y) {
      stored.firstOp[x][y] = static_cast<FactorElement>(tables.First(x, y));
      stored.secondOp[x][y] = static_cast<FactorElement>(tables.Second(x, y));
    }
  }
}
}  // namespace detail

template <std::int32_t MaxSizeA>
void ReadOperationTables(runframe::RunContext& run, Product<MaxSizeA>& p) {
  SetSizes(p, run.n, run.m);
  OperationTables tables;
  ReadTableFile(run.firstInput, p.sizeA, FirstFileMessages, tables);
  detail::StoreFactor(p.factorA, tables);
  ReadTableFile(run.secondInput, p.sizeB, SecondFileMessages, tables);
  detail::StoreFactor(p.factorB, tables);
  BuildProductPairs(p);
}

}  // namespace lattice
