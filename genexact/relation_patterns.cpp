#include "genexact/relation_patterns.hpp"

namespace genexact {

std::vector<RelationPattern> RelationPatterns(int p, int q) {
  std::vector<RelationPattern> result;
  const int cells = p * q;
  // Cells c0 < c1 < c2 < c3 of the p x q grid, cell c = (c / q, c % q).
  for (int c0 = 0; c0 < cells; ++c0) {
    for (int c1 = c0 + 1; c1 < cells; ++c1) {
      for (int c2 = c1 + 1; c2 < cells; ++c2) {
        for (int c3 = c2 + 1; c3 < cells; ++c3) {
          RelationPattern r{};
          unsigned rows = 0;
          unsigned columns = 0;
          const int cell[4] = {c0, c1, c2, c3};
          for (int k = 0; k < 4; ++k) {
            r.first[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(cell[k] / q);
            r.second[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(cell[k] % q);
            rows |= 1u << (cell[k] / q);
            columns |= 1u << (cell[k] % q);
          }
          if (rows == (1u << p) - 1 && columns == (1u << q) - 1) result.push_back(r);
        }
      }
    }
  }
  return result;
}

}  // namespace genexact
