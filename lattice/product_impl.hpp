#pragma once
#include "runframe/checked.hpp"

namespace lattice {

template <std::int32_t MaxSizeA>
void SetSizes(Product<MaxSizeA>& p, std::int32_t n, std::int32_t m) {
  p.sizeA = BellNumbers.at(static_cast<std::size_t>(n));
  p.sizeB = BellNumbers.at(static_cast<std::size_t>(m));
  p.productSize = runframe::CheckedMul(p.sizeA, p.sizeB, "the product size");
  p.totalSubsets = static_cast<double>(SubsetCount(p.productSize));
}

template <std::int32_t MaxSizeA>
void BuildProductPairs(Product<MaxSizeA>& p) {
  std::int32_t k = 0;
  for (std::int32_t a = 1; a <= p.sizeA; ++a) {
    for (std::int32_t b = 1; b <= p.sizeB; ++b) {
      k = runframe::CheckedAdd(k, 1, "the product enumeration");
      p.ProductPairs[static_cast<std::size_t>(k)] = ProductElement{a, b};
    }
  }
}

}  // namespace lattice
