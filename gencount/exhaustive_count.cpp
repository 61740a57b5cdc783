#include "gencount/exhaustive_count.hpp"

#include <cstdio>
#include <cstring>
#include <memory>

#include "lattice/closure.hpp"
#include "lattice/factor_lattice.hpp"
#include "lattice/generating_test.hpp"
#include "runframe/checked.hpp"
#include "runframe/report.hpp"

namespace gencount {

std::string ProgressItem(double subsetsDone, double totalSubsets) {
  char buf[80];
  (void)std::snprintf(buf, sizeof buf, "  %10.0f/%10.0f  ", subsetsDone, totalSubsets);
  return buf;
}

namespace {

using lattice::ElementSet;
using lattice::FactorExtensions;
using lattice::ProductElement;

// Hands out the progress points that a stretch of subsets passes: the count
// of subsets taken only ever grows, by one or by whole ranges at once.
class ProgressPoints {
 public:
  explicit ProgressPoints(ProgressSink& sink) : sink_(sink) {}
  // All subsets up to and including number done have been taken.
  void AdvanceTo(std::uint64_t done) {
    if (next_ > done) return;
    const std::uint64_t last = done - done % ProgressEvery;
    sink_.Items(next_, last);
    next_ = last + ProgressEvery;
  }

 private:
  ProgressSink& sink_;
  std::uint64_t next_ = ProgressEvery;
};

// Pairs {p, q} with l < p < q <= N, for N - l = rest: C(rest, 2).
inline std::uint64_t PairsAbove(std::int64_t rest) {
  return static_cast<std::uint64_t>(rest) * static_cast<std::uint64_t>(rest - 1) / 2;
}

// The lexicographic enumeration with the projection tables of both factors.
// For fixed k < l, p = (a, b) needs some q with {a_k, a_l, a, a_q} generating
// A and {b_k, b_l, b, b_q} generating B, so a and b come from the pair tables;
// for fixed k < l < p the q are exactly the (a', b') with a' and b' in the
// triple tables.  Every other subset fails its projection test and is only
// counted as taken: 4x4 tests 60000 of its 103962600 subsets, 2x5 74270 of
// 4598126.  WB: 64-bit words of a set of B's elements.
template <int WB>
std::uint64_t CountWithShortcuts(CountProduct& model, lattice::ProductShortcuts& test, ProgressSink& sink,
                                 SecondFactorTables tables) {
  const std::int32_t sB = model.sizeB;
  const std::int64_t N = model.productSize;
  // Both tables are built here (Equ(5): about 20 ms, Equ(6): about 0.1 s)
  // and only read in the loops, unless the second one is filled lazily.
  auto extA = std::make_unique<FactorExtensions<1>>();
  auto extB = std::make_unique<FactorExtensions<WB>>();
  extA->Build(test.FactorA());
  switch (tables) {
    case SecondFactorTables::BySize:
      extB->Build(test.FactorB());
      break;
    case SecondFactorTables::BySymmetry:
      extB->BuildBySymmetry(test.FactorB());
      break;
    case SecondFactorTables::Lazy:
      extB->BuildLazily(test.FactorB());
      break;
  }
  ProgressPoints progress(sink);
  const ProductElement* const pairs = model.ProductPairs.data();
  std::uint64_t generating = 0;
  std::uint64_t before = 0;  // subsets before the current (k, l) block
  // ProductPairs numbers from 1, the tables and the corner test from 0: the
  // coordinates below are the latter, and product element (a, b) is index
  // a*sB + b + 1.
  for (std::int64_t k = 1; k <= N - 3; ++k) {
    const std::int32_t ka = pairs[k].a - 1, kb = pairs[k].b - 1;
    for (std::int64_t l = k + 1; l <= N - 2; ++l) {
      const std::int32_t la = pairs[l].a - 1, lb = pairs[l].b - 1;
      const std::uint64_t block = PairsAbove(N - l);
      // ProductPairs orders by a first, so a_k <= a_l <= a_p <= a_q.
      const ElementSet<1>& pA = extA->PairSorted(ka, la);
      const ElementSet<WB>& pB = kb <= lb ? extB->PairSorted(kb, lb) : extB->PairSorted(lb, kb);
      pA.ForEachFrom(la, [&](std::int32_t a) {
        pB.ForEachFrom(0, [&](std::int32_t b) {
          const std::int64_t p = static_cast<std::int64_t>(a) * sB + b + 1;
          if (p <= l || p >= N) return;
          const ElementSet<1>& tA = extA->TripleSorted(ka, la, a);
          const ElementSet<WB>& tB = extB->Triple(kb, lb, b);
          if (tB.Empty()) return;
          // The fixpoint of k, l, p is worked out once, at the first q: this
          // halved the count's time of 4x4 and of 3x5.
          const std::int32_t tripleA[3] = {ka, la, a};
          const std::int32_t tripleB[3] = {kb, lb, b};
          bool begun = false;
          tA.ForEachFrom(a, [&](std::int32_t aq) {
            tB.ForEachFrom(0, [&](std::int32_t bq) {
              if (static_cast<std::int64_t>(aq) * sB + bq + 1 <= p) return;
              if (!begun) {
                test.BeginTriple(tripleA, tripleB);
                begun = true;
              }
              if (test.GeneratesWithFourth(aq, bq)) ++generating;
            });
          });
        });
      });
      // Progress is shown once per (k, l) block: a write per item (10^5 items
      // a second for 4x4) took most of the run's time.
      before += block;
      progress.AdvanceTo(before);
    }
  }
  return generating;
}

// Writes the progress items that a count passes at one time with one write
// to the console, shown at once; the text is built in a fixed buffer.
class ConsoleProgress final : public ProgressSink {
 public:
  ConsoleProgress(runframe::TextOutput& console, double totalSubsets)
      : console_(console), tail_(std::snprintf(tailText_, sizeof tailText_, "/%10.0f  ", totalSubsets)) {}
  void Items(std::uint64_t first, std::uint64_t last) override {
    std::size_t used = 0;
    for (std::uint64_t done = first; done <= last; done += ProgressEvery) {
      if (used + ItemRoom > sizeof text_) {
        console_.Write(std::string_view(text_, used));
        used = 0;
      }
      // done < 2^53 prints as ProgressItem's %10.0f of a double does.  Written
      // by hand: snprintf took 38 ns an item, this 9 ns, and 5 x 5 passes
      // 2 * 10^9 items.
      char digits[24];
      std::size_t length = 0;
      for (std::uint64_t rest = done; rest != 0 || length == 0; rest /= 10) {
        digits[sizeof digits - ++length] = static_cast<char>('0' + rest % 10);
      }
      text_[used++] = ' ';
      text_[used++] = ' ';
      for (std::size_t pad = length; pad < 10; ++pad) text_[used++] = ' ';
      std::memcpy(text_ + used, digits + sizeof digits - length, length);
      used += length;
      std::memcpy(text_ + used, tailText_, static_cast<std::size_t>(tail_));
      used += static_cast<std::size_t>(tail_);
    }
    console_.Write(std::string_view(text_, used));
  }

 private:
  static constexpr std::size_t ItemRoom = 80;  // one item with numbers of up to 20 digits
  runframe::TextOutput& console_;
  char tailText_[48]{};   // "/" + the number of subsets (width 10) + "  "
  int tail_ = 0;          // characters of tailText_
  char text_[1 << 14]{};  // the items of one call, text_[0..used)
};

}  // namespace

void WriteCountReport(runframe::RunContext& run, std::uint64_t generatingCount) {
  runframe::WriteReport(run, {runframe::ResultLine(run.n, run.m, generatingCount)}, runframe::ResultFileEnd::EmptyLine);
}

std::uint64_t CountGeneratingSubsetsPlain(CountProduct& model, ProgressSink& progress) {
  // ClearMembers clears the cells the last closure marked, which are all the
  // 1 cells: the same zero matrix as clearing every used cell.
  return CountEverySubset(model, progress, lattice::SeedAndClose<MaxSizeA>);
}

std::uint64_t CountEverySubset(CountProduct& model, ProgressSink& progress, SubsetGenerates generates) {
  const std::int32_t N = model.productSize;
  std::uint64_t subsetsDone = 0;
  std::int32_t sinceProgress = 0;
  std::uint64_t generatingCount = 0;
  std::int32_t index[4];
  for (std::int32_t k = 1; k <= N - 3; ++k) {
    index[0] = k;
    for (std::int32_t l = k + 1; l <= N - 2; ++l) {
      index[1] = l;
      for (std::int32_t p = l + 1; p <= N - 1; ++p) {
        index[2] = p;
        for (std::int32_t q = p + 1; q <= N; ++q) {
          index[3] = q;
          ++subsetsDone;
          if (++sinceProgress == ProgressEvery) {
            progress.Items(subsetsDone, subsetsDone);
            sinceProgress = 0;
          }
          if (generates(model, index)) {
            generatingCount = runframe::CheckedAdd<std::uint64_t>(generatingCount, 1, "the generating count");
          }
        }
      }
    }
  }
  return generatingCount;
}

std::uint64_t CountGeneratingSubsets(CountProduct& model, ProgressSink& progress, SecondFactorTables tables) {
  auto test = std::make_unique<lattice::ProductShortcuts>(model);
  if (!test->Hold()) return CountGeneratingSubsetsPlain(model, progress);
  if (model.sizeB <= 64 && tables == SecondFactorTables::BySize) {
    return CountWithShortcuts<1>(model, *test, progress, tables);
  }
  return CountWithShortcuts<lattice::FactorWords>(model, *test, progress, tables);
}

void ExhaustiveCount(runframe::RunContext& run, CountProduct& model) {
  ConsoleProgress progress(run.console, model.totalSubsets);
  WriteCountReport(run, CountGeneratingSubsets(model, progress));
}

void ExhaustiveCountPlain(runframe::RunContext& run, CountProduct& model) {
  ConsoleProgress progress(run.console, model.totalSubsets);
  WriteCountReport(run, CountGeneratingSubsetsPlain(model, progress));
}

}  // namespace gencount
