#include "gencount/exhaustive_count.hpp"

#include <cstdio>

#include "lattice/closure.hpp"
#include "runframe/checked.hpp"

namespace gencount {

std::string ProgressItem(double subsetsDone, double totalSubsets) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "  %10.0f/%10.0f  ", subsetsDone, totalSubsets);
  return buf;
}

std::string ResultLine(std::int32_t n, std::int32_t m, std::uint64_t generatingCount) {
  return "Part(" + std::to_string(n) + ")*Part(" + std::to_string(m) + ") has exactly " +
         std::to_string(generatingCount) + "   4-element generating sets";
}

void ExhaustiveCount(runframe::RunContext& run, CountProduct& model) {
  const std::int32_t N = model.productSize;
  double subsetsDone = 0;
  std::int32_t sinceProgress = 0;
  // 64 bits: a run of days must not end in an overflow at its last step.
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
          subsetsDone += 1;
          if (++sinceProgress == ProgressEvery) {
            run.console.Write(ProgressItem(subsetsDone, model.totalSubsets));
            sinceProgress = 0;
          }
          if (lattice::SeedAndClose(model, index)) {
            generatingCount = runframe::CheckedAdd<std::uint64_t>(generatingCount, 1, "the generating count");
          }
        }
      }
    }
  }
  const std::string result = ResultLine(run.n, run.m, generatingCount);
  run.console.Line();
  run.result.Line();
  run.console.Line(result);
  run.console.Line();
  run.console.Line("Hit <enter> to quit!");
  run.result.Line(result);
  run.result.Line();
}

}  // namespace gencount
