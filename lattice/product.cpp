#include "lattice/product.hpp"

namespace lattice {

std::uint64_t SubsetCount(std::int64_t productSize) {
  if (productSize < 4) return 0;
  const auto n = static_cast<std::uint64_t>(productSize);
  const char* where = "the number of subsets";
  std::uint64_t product = runframe::CheckedMul<std::uint64_t>(n, n - 1, where);
  product = runframe::CheckedMul<std::uint64_t>(product, n - 2, where);
  product = runframe::CheckedMul<std::uint64_t>(product, n - 3, where);
  return product / 24;
}

}  // namespace lattice
