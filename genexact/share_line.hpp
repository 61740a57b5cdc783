#pragma once
// The share of generating subsets, in gensample's form, for genexact's report.
#include <array>
#include <cstdint>
#include <string>

#include "lattice/product.hpp"

namespace genexact {

// A wide count in decimal.
std::string Decimal(lattice::WideCount value);

// The two lines after the result line, in gensample's form so that an exact
// count and an estimate compare at a glance (the second is the very form of
// gensample's last line), each within an 80-column terminal:
//   "Out of " C(productSize,4) " 4-element subsets,"
//   count " are generating, i.e., " P "%."
// P is 100 * count / C(productSize,4), rounded exactly to 4 decimals (halves
// up), right-aligned in 8 characters.  Contract: count <= C(productSize,4).
std::array<std::string, 2> ShareLines(std::uint64_t productSize, std::uint64_t count);

}  // namespace genexact
