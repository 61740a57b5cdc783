#pragma once
// A lattice's two operation tables as a table file gives them: what the
// reader fills, what optables builds and writes, and what the tests make
// their small lattices from.
//
// Numbering: the file's element numbers 1..size live only here and in
// Product's fixed storage (product.hpp; row and column 0 unused), which keeps
// them because the plain closure and the programs' data model index by them.
// The lattice core proper, FlatFactor (flat_factor.hpp), numbers the same
// elements 0..size-1.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lattice {

// Index of cell (x, y), both 1..size, in a flat size*size table: row x-1,
// column y-1.
inline std::size_t CellIndex(std::int32_t x, std::int32_t y, std::int32_t size) {
  return static_cast<std::size_t>(x - 1) * static_cast<std::size_t>(size) + static_cast<std::size_t>(y - 1);
}

struct OperationTables {
  std::int32_t size = 0;
  std::vector<std::int32_t> first;   // first[CellIndex(x, y, size)]: the first result for (x, y), 1..size
  std::vector<std::int32_t> second;  // second[CellIndex(x, y, size)]: the second result for (x, y)

  std::int32_t First(std::int32_t x, std::int32_t y) const { return first[CellIndex(x, y, size)]; }
  std::int32_t Second(std::int32_t x, std::int32_t y) const { return second[CellIndex(x, y, size)]; }
};

}  // namespace lattice
