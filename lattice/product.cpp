#include "lattice/product.hpp"

#include "runframe/abrupt_end.hpp"

namespace lattice {

WideCount FourSubsets(std::uint64_t productSize) {
  if (productSize < 4) return 0;
  // Each step is a binomial coefficient, so every division is exact; the
  // largest intermediate, 4 C(N,4) < N^4, fits 128 bits for every N below
  // 2^32.
  WideCount c = productSize;
  c = c * (productSize - 1) / 2;
  c = c * (productSize - 2) / 3;
  c = c * (productSize - 3) / 4;
  return c;
}

std::uint64_t SubsetCount(std::int64_t productSize) {
  if (productSize < 4) return 0;
  const WideCount c = FourSubsets(static_cast<std::uint64_t>(productSize));
  if (c > WideCount{UINT64_MAX}) throw runframe::ArithmeticOverflow("the number of subsets");
  return static_cast<std::uint64_t>(c);
}

}  // namespace lattice
