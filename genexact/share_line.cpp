#include "genexact/share_line.hpp"

#include <cstdio>

namespace genexact {

std::string Decimal(lattice::WideCount value) {
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
    value /= 10;
  } while (value != 0);
  return digits;
}

std::array<std::string, 2> ShareLines(std::uint64_t productSize, std::uint64_t count) {
  const lattice::WideCount total = lattice::FourSubsets(productSize);
  // The share in units of 0.0001 %, by long division, one digit at a time;
  // rest < total < 2^100, so 10 rest fits 128 bits.
  lattice::WideCount scaled = 0;
  if (total > 0) {
    lattice::WideCount rest = count % total;
    scaled = count / total;
    for (int digit = 0; digit < 6; ++digit) {
      rest *= 10;
      scaled = scaled * 10 + rest / total;
      rest %= total;
    }
    if (rest >= total - rest) ++scaled;  // rest / total >= 1/2
  }
  char percent[32];
  (void)std::snprintf(percent, sizeof percent, "%8s",
                      (Decimal(scaled / 10000) + "." + Decimal(10000 + scaled % 10000).substr(1)).c_str());
  return {"Out of " + Decimal(total) + " 4-element subsets,",
          std::to_string(count) + " are generating, i.e., " + percent + "%."};
}

}  // namespace genexact
