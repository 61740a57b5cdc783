// The closure against two slow references written from its description: a
// plain fixpoint (which set) and a pass-by-pass replay (which order).
#include "lattice/closure.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "tests/support/product_fill.hpp"

namespace {

using Model = lattice::Product<52>;
using Pair = std::pair<int, int>;

struct Config {
  int n, m;
  std::optional<std::uint64_t> seedA, seedB;  // numbering seeds
  bool meetFirst;
};

struct Fixture {
  std::unique_ptr<Model> p = std::make_unique<Model>();  // zeroed like the programs' static storage
  lattice::OperationTables A, B;

  explicit Fixture(const Config& s) {
    A = testsupport::EquTables(s.n, s.seedA);
    B = testsupport::EquTables(s.m, s.seedB);
    testsupport::FillProduct(*p, A, B, s.meetFirst);
  }

  // Candidates of one combination, first operation first.
  std::pair<Pair, Pair> Combine(const Pair& i, const Pair& j) const {
    return {{p->factorA.firstOp[i.first][j.first], p->factorB.firstOp[i.second][j.second]},
            {p->factorA.secondOp[i.first][j.first], p->factorB.secondOp[i.second][j.second]}};
  }

  std::vector<Pair> Seeds(const int (&index)[4]) const {
    std::vector<Pair> seeds;
    for (int k : index) seeds.push_back({p->ProductPairs[k].a, p->ProductPairs[k].b});
    return seeds;
  }

  // Every pair in both orders, again and again, until nothing changes.
  std::set<Pair> Fixpoint(const std::vector<Pair>& seeds) const {
    std::set<Pair> set(seeds.begin(), seeds.end());
    for (std::size_t before = 0; before != set.size();) {
      before = set.size();
      const std::vector<Pair> snapshot(set.begin(), set.end());
      for (const Pair& x : snapshot)
        for (const Pair& y : snapshot) {
          const auto [c1, c2] = Combine(x, y);
          set.insert(c1);
          set.insert(c2);
        }
    }
    return set;
  }

  // Passes as described: rows 1..E, columns previous+1..E, firstOp candidate
  // before secondOp.  Notes whether N was reached before a pass's last combination.
  std::vector<Pair> Replay(const std::vector<Pair>& seeds, bool* fullMidPass) const {
    std::vector<Pair> list = seeds;
    std::set<Pair> known(seeds.begin(), seeds.end());
    const std::size_t N = static_cast<std::size_t>(p->productSize);
    for (std::size_t previous = 0;;) {
      const std::size_t E = list.size();
      for (std::size_t i = 1; i <= E; ++i)
        for (std::size_t j = previous + 1; j <= E; ++j) {
          if (list.size() == N && !(i == E && j == E)) *fullMidPass = true;
          const auto [c1, c2] = Combine(list[i - 1], list[j - 1]);
          for (const Pair& c : {c1, c2})
            if (known.insert(c).second) list.push_back(c);
        }
      previous = E;
      if (list.size() == E) return list;
    }
  }

  std::vector<Pair> List() const {
    std::vector<Pair> out;
    for (int t = 1; t <= p->PairList.count; ++t) out.push_back({p->PairList.entries[t].a, p->PairList.entries[t].b});
    return out;
  }

  // Marks exactly the listed elements, over the whole used region.
  void ExpectMatrixMatchesList() const {
    const std::vector<Pair> list = List();
    const std::set<Pair> listed(list.begin(), list.end());
    ASSERT_EQ(listed.size(), list.size()) << "repeated element";
    for (int a = 1; a <= p->sizeA; ++a)
      for (int b = 1; b <= p->sizeB; ++b) ASSERT_EQ(p->MemberMatrix[a][b], listed.count({a, b})) << a << "," << b;
  }
};

void PrintTo(const Config& c, std::ostream* os) {
  *os << "Equ(" << c.n << ")xEqu(" << c.m << ")" << (c.seedA ? " renumbered" : "")
      << (c.meetFirst ? " meet first" : "");
}

class ClosureOnProducts : public ::testing::TestWithParam<Config> {};

TEST_P(ClosureOnProducts, RandomSeedsGiveTheFixpointInTheDescribedOrder) {
  Fixture f(GetParam());
  const int N = f.p->productSize;
  std::mt19937 rng(static_cast<unsigned>(N * 31 + GetParam().seedA.value_or(0)));
  std::uniform_int_distribution<int> pick(1, N);
  int generating = 0, midPass = 0;
  const int trials = N > 40 ? 120 : 400;
  for (int t = 0; t < trials; ++t) {
    int index[4];
    for (int k = 0; k < 4; ++k) {
      do index[k] = pick(rng);
      while (std::count(index, index + k, index[k]) != 0);
    }
    const std::vector<Pair> seeds = f.Seeds(index);
    bool fullMidPass = false;
    const std::vector<Pair> expected = f.Replay(seeds, &fullMidPass);
    const bool generates = lattice::SeedAndClose(*f.p, index);
    ASSERT_EQ(f.List(), expected) << "trial " << t;
    const std::set<Pair> fix = f.Fixpoint(seeds);
    ASSERT_EQ(std::set<Pair>(expected.begin(), expected.end()), fix);
    EXPECT_EQ(generates, static_cast<int>(fix.size()) == N);
    EXPECT_EQ(f.p->PairList.passStart, f.p->PairList.count) << "the last pass must find nothing";
    f.ExpectMatrixMatchesList();
    generating += generates;
    midPass += fullMidPass;
  }
  // The draws must reach both outcomes, or the comparison proves little
  // (in the larger products generating sets are too rare to meet at random).
  EXPECT_LT(generating, trials);
  if (N <= 40) {
    EXPECT_GT(generating, 0);
  }
  if (N >= 15 && N <= 40) {
    EXPECT_GT(midPass, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Products, ClosureOnProducts,
                         ::testing::Values(Config{2, 3, {}, {}, false}, Config{3, 3, {}, {}, false},
                                           Config{1, 4, {}, {}, false}, Config{3, 4, {}, {}, false},
                                           Config{3, 3, 5, 6, false}, Config{2, 4, 9, 10, true}));

// The caller's preparation written out by hand gives what SeedAndClose gives.
TEST(Closure, HandPreparedSeedsMatchSeedAndClose) {
  Fixture f(Config{3, 3, 2, 3, false});
  const int index[4] = {25, 3, 17, 9};
  lattice::SeedAndClose(*f.p, index);
  const std::vector<Pair> viaHelper = f.List();
  Model& p = *f.p;
  for (int a = 1; a <= p.sizeA; ++a)
    for (int b = 1; b <= p.sizeB; ++b) p.MemberMatrix[a][b] = 0;
  p.PairList.count = 0;
  for (int k : index) {
    const lattice::ProductElement e = p.ProductPairs[k];
    p.PairList.entries[++p.PairList.count] = e;
    p.MemberMatrix[e.a][e.b] = 1;
  }
  lattice::SubuniverseClosure(p);
  EXPECT_EQ(f.List(), viaHelper);
  f.ExpectMatrixMatchesList();
}

// Equ(1) x Equ(3) is Equ(3): leaving out the least or greatest element still
// generates; leaving out an atom gives a closed 4-element sublattice.
TEST(Closure, FiveSubsetsOfEquThree) {
  for (std::optional<std::uint64_t> seed : {std::optional<std::uint64_t>{}, std::optional<std::uint64_t>{4}}) {
    Fixture f(Config{1, 3, {}, seed, false});
    int least = 0, greatest = 0;
    for (int x = 1; x <= 5; ++x) {
      bool below = true, above = true;
      for (int y = 1; y <= 5; ++y) below &= f.B.Second(x, y) == x, above &= f.B.First(x, y) == x;
      if (below) least = x;
      if (above) greatest = x;
    }
    ASSERT_TRUE(least != 0 && greatest != 0);
    for (int left = 1; left <= 5; ++left) {
      int index[4], k = 0;
      for (int x = 1; x <= 5; ++x)
        if (x != left) index[k++] = x;  // ProductPairs[x] = (1, x)
      const bool generates = lattice::SeedAndClose(*f.p, index);
      const bool bound = left == least || left == greatest;
      EXPECT_EQ(generates, bound) << "without " << left;
      EXPECT_EQ(f.p->PairList.count, bound ? 5 : 4);
      EXPECT_EQ(f.p->PairList.passStart, f.p->PairList.count);
      f.ExpectMatrixMatchesList();
    }
  }
}

TEST(Closure, WholeProductOfFourElementsIsClosedAtOnce) {
  Fixture f(Config{2, 2, {}, {}, false});
  const int index[4] = {1, 2, 3, 4};
  EXPECT_TRUE(lattice::SeedAndClose(*f.p, index));
  EXPECT_EQ(f.p->PairList.count, 4);
  EXPECT_EQ(f.p->PairList.passStart, 4);
  f.ExpectMatrixMatchesList();
}

}  // namespace
