#include "optables/equ_tables.hpp"

#include <cstddef>
#include <numeric>
#include <stdexcept>
#include <string>
#include <utility>

namespace optables {

lattice::OperationTables Renumber(const lattice::OperationTables& tables, const std::vector<int>& perm) {
  const std::size_t n = static_cast<std::size_t>(tables.size);
  if (perm.size() != n) throw std::invalid_argument("renumbering has the wrong length");
  std::vector<bool> seen(n, false);
  for (int v : perm) {
    if (v < 1 || v > tables.size || seen[static_cast<std::size_t>(v - 1)]) {
      throw std::invalid_argument("renumbering is not a permutation of 1.." + std::to_string(tables.size));
    }
    seen[static_cast<std::size_t>(v - 1)] = true;
  }

  lattice::OperationTables out;
  out.size = tables.size;
  out.first.assign(n * n, 0);
  out.second.assign(n * n, 0);
  auto to = [&](int x) { return perm[static_cast<std::size_t>(x - 1)]; };
  for (int x = 1; x <= tables.size; ++x) {
    for (int y = 1; y <= tables.size; ++y) {
      const std::size_t at = lattice::CellIndex(to(x), to(y), out.size);
      out.first[at] = to(tables.First(x, y));
      out.second[at] = to(tables.Second(x, y));
    }
  }
  return out;
}

std::vector<int> ShuffledOrder(int count, std::uint64_t seed) {
  if (count < 0) throw std::invalid_argument("cannot shuffle a negative count");
  std::vector<int> order(static_cast<std::size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  SplitMix64 rng(seed);
  for (std::size_t i = order.size(); i > 1; --i) {
    const std::size_t j = static_cast<std::size_t>(rng.Below(i));
    std::swap(order[i - 1], order[j]);
  }
  return order;
}

std::vector<int> ShuffledNumbering(int size, std::uint64_t seed) {
  std::vector<int> perm = ShuffledOrder(size, seed);
  for (int& v : perm) ++v;
  return perm;
}

std::string_view LineEndText(LineEnd end) {
  switch (end) {
    case LineEnd::Lf:
      return "\n";
    case LineEnd::Cr:
      return "\r";
    case LineEnd::CrLf:
      break;
  }
  return "\r\n";
}

std::string RenderTableFile(const lattice::OperationTables& tables, const RenderOptions& options) {
  const int n = tables.size;
  const int pairs = n * n;
  std::vector<int> order;
  if (options.lineSeed) {
    order = ShuffledOrder(pairs, *options.lineSeed);
  } else {
    order.resize(static_cast<std::size_t>(pairs));
    std::iota(order.begin(), order.end(), 0);
  }

  const std::string_view eol = LineEndText(options.lineEnd);
  std::string text;
  text.reserve(static_cast<std::size_t>(pairs) * (16 + eol.size()));
  for (int pair : order) {
    const int x = pair / n + 1;
    const int y = pair % n + 1;
    int first = tables.First(x, y);
    int second = tables.Second(x, y);
    if (options.meetFirst) std::swap(first, second);
    text += std::to_string(x);
    text += '&';
    text += std::to_string(y);
    text += '=';
    text += std::to_string(first);
    text += ',';
    text += std::to_string(second);
    text += eol;
  }
  return text;
}

}  // namespace optables
