#include "lattice/partition_lattice.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <numeric>
#include <stdexcept>
#include <string>
#include <utility>

namespace lattice {
namespace {

void CheckPoints(int k) {
  if (k < 1 || k > MaxEquPoints) {
    throw std::invalid_argument("Equ(k) is only built for k = 1.." + std::to_string(MaxEquPoints) + ", not " +
                                std::to_string(k));
  }
}

// Relabels arbitrary block labels so blocks are numbered by first point.
Partition Canonical(const std::vector<int>& labels) {
  std::map<int, int> renamed;
  Partition out(labels.size());
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const int next = static_cast<int>(renamed.size());
    out[i] = renamed.try_emplace(labels[i], next).first->second;
  }
  return out;
}

// Block labels index per-point arrays below, so out-of-range input must not get through.
void CheckPair(const Partition& a, const Partition& b) {
  if (a.size() != b.size()) {
    throw std::invalid_argument("partitions of sets of different sizes");
  }
  const int n = static_cast<int>(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] < 0 || a[i] >= n || b[i] < 0 || b[i] >= n) {
      throw std::invalid_argument("block label out of range");
    }
  }
}

// A partition as block labels, one byte per point; labels beyond k unused.
using Labels = std::array<std::uint8_t, MaxEquPoints>;
constexpr std::uint8_t NoLabel = 0xFF;

// The lexicographic rank of a restricted growth string a_0..a_{k-1} is
// sum a_i * C(k-1-i, b_i), b_i the blocks opened before point i and C(r, b)
// the ways to label r more points with b blocks open: every smaller label at
// point i is an existing block, which leaves b_i open.  So an element's number
// is computed, not searched for.
class RankTable {
 public:
  explicit RankTable(int k) : k_(static_cast<std::size_t>(k)) {
    // C(r, b) is needed for r + b <= MaxEquPoints only: b_i <= i.
    for (std::size_t b = 0; b <= MaxEquPoints; ++b) completions_[0][b] = 1;
    for (std::size_t r = 1; r <= MaxEquPoints; ++r) {
      for (std::size_t b = 0; r + b <= MaxEquPoints; ++b) {
        completions_[r][b] = static_cast<std::int32_t>(b) * completions_[r - 1][b] + completions_[r - 1][b + 1];
      }
    }
  }

  // The rank of the partition whose points carry the labels raw[0..k), any
  // values below MaxEquPoints^2, renamed to blocks in order of first point.
  std::int32_t RankOfRaw(const Labels& raw) const {
    // Only the entries of the labels present are set and read.
    std::array<std::uint8_t, std::size_t{MaxEquPoints} * MaxEquPoints> renamed;
    for (std::size_t i = 0; i < k_; ++i) renamed[raw[i]] = NoLabel;
    std::int32_t rank = 0;
    std::uint8_t blocks = 0;
    for (std::size_t i = 0; i < k_; ++i) {
      std::uint8_t& label = renamed[raw[i]];
      const std::uint8_t open = blocks;
      if (label == NoLabel) label = blocks++;
      rank += static_cast<std::int32_t>(label) * completions_[k_ - 1 - i][open];
    }
    return rank;
  }

 private:
  std::size_t k_;
  std::array<std::array<std::int32_t, MaxEquPoints + 1>, MaxEquPoints + 1> completions_{};
};

int Find(std::vector<int>& parent, int i) {
  while (parent[static_cast<std::size_t>(i)] != i) {
    int& p = parent[static_cast<std::size_t>(i)];
    p = parent[static_cast<std::size_t>(p)];  // path halving keeps later finds short
    i = p;
  }
  return i;
}

}  // namespace

std::vector<Partition> EquPartitions(int k) {
  CheckPoints(k);
  std::vector<Partition> all;
  // Depth-first over restricted growth strings: point i may join any block seen so far or
  // open the next one. Trying labels in increasing order yields lexicographic order.
  Partition current(static_cast<std::size_t>(k), 0);
  auto extend = [&](auto&& self, std::size_t i, int blocks) -> void {
    if (i == current.size()) {
      all.push_back(current);
      return;
    }
    for (int label = 0; label <= blocks; ++label) {
      current[i] = label;
      self(self, i + 1, label == blocks ? blocks + 1 : blocks);
    }
  };
  extend(extend, 1, 1);
  return all;
}

Partition MeetPartitions(const Partition& a, const Partition& b) {
  CheckPair(a, b);
  // Two points share a block of the meet exactly when they share a block in both.
  std::vector<int> labels(a.size());
  const int width = static_cast<int>(a.size()) + 1;
  for (std::size_t i = 0; i < a.size(); ++i) labels[i] = a[i] * width + b[i];
  return Canonical(labels);
}

Partition JoinPartitions(const Partition& a, const Partition& b) {
  CheckPair(a, b);
  const int n = static_cast<int>(a.size());
  std::vector<int> parent(a.size());
  std::iota(parent.begin(), parent.end(), 0);
  // Linking every point to the first point of its block, in a and in b, generates the
  // transitive closure of the union.
  auto link_blocks = [&](const Partition& p) {
    std::vector<int> first(p.size(), -1);
    for (int i = 0; i < n; ++i) {
      int& head = first[static_cast<std::size_t>(p[static_cast<std::size_t>(i)])];
      if (head < 0) {
        head = i;
      } else {
        parent[static_cast<std::size_t>(Find(parent, i))] = Find(parent, head);
      }
    }
  };
  link_blocks(a);
  link_blocks(b);
  std::vector<int> roots(a.size());
  for (int i = 0; i < n; ++i) roots[static_cast<std::size_t>(i)] = Find(parent, i);
  return Canonical(roots);
}

OperationTables BuildEquTables(int k) {
  const std::vector<Partition> parts = EquPartitions(k);
  const RankTable ranks(k);
  const auto points = static_cast<std::size_t>(k);
  std::vector<Labels> labels(parts.size());
  for (std::size_t x = 0; x < parts.size(); ++x) {
    for (std::size_t i = 0; i < points; ++i) labels[x][i] = static_cast<std::uint8_t>(parts[x][i]);
  }

  OperationTables t;
  t.size = static_cast<std::int32_t>(parts.size());
  const std::size_t n = parts.size();
  t.first.assign(n * n, 0);
  t.second.assign(n * n, 0);
  Labels raw{};
  // Both operations are commutative: each unordered pair is worked out once and
  // written to both cells.
  for (std::size_t x = 0; x < n; ++x) {
    const Labels& a = labels[x];
    for (std::size_t y = x; y < n; ++y) {
      const Labels& b = labels[y];
      // Meet: two points share a block exactly when they share one in both.
      for (std::size_t i = 0; i < points; ++i) {
        raw[i] = static_cast<std::uint8_t>(a[i] * MaxEquPoints + b[i]);
      }
      const std::int32_t meet = ranks.RankOfRaw(raw) + 1;
      // Join: a's blocks merged along b's blocks, by union-find over at most
      // eight block labels.
      Labels parent{};
      Labels firstOfB{};
      for (std::size_t i = 0; i < points; ++i) {
        parent[i] = static_cast<std::uint8_t>(i);
        firstOfB[i] = NoLabel;
      }
      auto find = [&](std::uint8_t v) {
        while (parent[v] != v) v = parent[v];
        return v;
      };
      for (std::size_t i = 0; i < points; ++i) {
        std::uint8_t& head = firstOfB[b[i]];
        if (head == NoLabel) {
          head = a[i];
          continue;
        }
        const std::uint8_t u = find(a[i]);
        const std::uint8_t v = find(head);
        // The smaller root stays, so roots point downwards and finds end.
        if (u < v) parent[v] = u;
        if (v < u) parent[u] = v;
      }
      for (std::size_t i = 0; i < points; ++i) raw[i] = find(a[i]);
      const std::int32_t join = ranks.RankOfRaw(raw) + 1;
      t.first[x * n + y] = join;
      t.first[y * n + x] = join;
      t.second[x * n + y] = meet;
      t.second[y * n + x] = meet;
    }
  }
  return t;
}

OperationTables BuildEquTablesPlain(int k) {
  const std::vector<Partition> parts = EquPartitions(k);
  // Read as base-8 numbers of fixed length, restricted growth strings keep their
  // lexicographic order, so an element's number is found by binary search. Equ(7)
  // has 769129 pairs; a map keyed by vectors took most of the run there.
  static_assert(MaxEquPoints <= 8, "block labels must fit an octal digit");
  auto code = [](const Partition& p) {
    std::uint32_t c = 0;
    for (int block : p) c = c * 8 + static_cast<std::uint32_t>(block);
    return c;
  };
  std::vector<std::uint32_t> codes;
  codes.reserve(parts.size());
  for (const Partition& p : parts) codes.push_back(code(p));
  auto number = [&](const Partition& p) {
    return static_cast<int>(std::lower_bound(codes.begin(), codes.end(), code(p)) - codes.begin()) + 1;
  };

  OperationTables t;
  t.size = static_cast<std::int32_t>(parts.size());
  t.first.reserve(parts.size() * parts.size());
  t.second.reserve(parts.size() * parts.size());
  for (const Partition& x : parts) {
    for (const Partition& y : parts) {
      t.first.push_back(number(JoinPartitions(x, y)));
      t.second.push_back(number(MeetPartitions(x, y)));
    }
  }
  return t;
}

std::int32_t EquRank(const Partition& p) {
  CheckPoints(static_cast<int>(p.size()));
  Labels raw{};
  int blocks = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] < 0 || p[i] > blocks) {
      throw std::invalid_argument("not a restricted growth string");
    }
    if (p[i] == blocks) ++blocks;
    raw[i] = static_cast<std::uint8_t>(p[i]);
  }
  return RankTable(static_cast<int>(p.size())).RankOfRaw(raw);
}

std::string BlocksText(const Partition& p) {
  std::string text;
  const int k = static_cast<int>(p.size());
  if (k > 9) throw std::invalid_argument("points beyond 9 have no one-digit name");
  for (int block = 0; block < k; ++block) {
    const std::size_t before = text.size();
    for (int i = 0; i < k; ++i) {
      if (p[static_cast<std::size_t>(i)] == block) {
        if (text.size() == before && !text.empty()) text += '|';
        text += static_cast<char>('1' + i);
      }
    }
  }
  return text;
}

}  // namespace lattice
