// The sampler in-process: the fairness of its draws (with a fixed seed through
// the RandomSource seam), and its dots, stop and report with scripted keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gensample/random_sampling.hpp"
#include "lattice/closure.hpp"
#include "runframe/run_frame.hpp"
#include "tests/support/product_fill.hpp"
#include "tests/support/run_program.hpp"

namespace {

using gensample::SampleProduct;

std::unique_ptr<SampleProduct> MakeProduct(int n, int m, std::uint64_t seedA = 0, std::uint64_t seedB = 0) {
  return testsupport::NewProduct<SampleProduct>(testsupport::EquTables(n, seedA ? std::optional(seedA) : std::nullopt),
                                                testsupport::EquTables(m, seedB ? std::optional(seedB) : std::nullopt));
}

TEST(SamplerStatistics, EstimateForEqu2TimesEqu3IsNearOneFifteenth) {
  // 14 of the 210 subsets generate, in any numbering.
  auto p = MakeProduct(2, 3, 11, 12);
  gensample::RandomSource random(20261207);
  constexpr int Tests = 300000;
  int generating = 0;
  std::int32_t index[4];
  for (int t = 0; t < Tests; ++t) {
    gensample::DrawSubset(random, p->productSize, index);
    generating += lattice::SeedAndClose(*p, index) ? 1 : 0;
  }
  const double expected = Tests / 15.0;
  const double sd = std::sqrt(Tests * (1.0 / 15) * (14.0 / 15));
  EXPECT_LT(std::abs(generating - expected), 5 * sd) << generating;
}

TEST(SamplerStatistics, DrawIsUniformOverAllFourSubsetsAndNeverRepeats) {
  gensample::RandomSource random(42);
  constexpr int N = 10;  // 210 subsets
  constexpr int PerSubset = 400;
  std::map<int, int> seen;
  std::int32_t index[4];
  for (int t = 0; t < 210 * PerSubset; ++t) {
    gensample::DrawSubset(random, N, index);
    int key = 0;
    std::sort(std::begin(index), std::end(index));
    for (int u = 0; u < 4; ++u) {
      ASSERT_GE(index[u], 1);
      ASSERT_LE(index[u], N);
      if (u > 0) {
        ASSERT_LT(index[u - 1], index[u]) << "repeated index";
      }
      key = key * 16 + index[u];
    }
    ++seen[key];
  }
  ASSERT_EQ(seen.size(), 210u);
  double chi2 = 0;
  for (const auto& [key, count] : seen) chi2 += (count - PerSubset) * (count - PerSubset) / double(PerSubset);
  // 209 degrees of freedom: mean 209, standard deviation about 20.4.
  EXPECT_LT(chi2, 209 + 5 * 20.4);
  EXPECT_GT(chi2, 209 - 5 * 20.4);
}

TEST(SamplerStatistics, BelowIsUnbiasedForAnAwkwardBound) {
  // 3 * 2^30 leaves a third of the 32-bit range in a biased stretch if the
  // draw were taken modulo the bound: the lower half would come up 2:1.
  gensample::RandomSource random(7);
  const std::uint32_t bound = 3u << 30;
  int low = 0;
  constexpr int Draws = 200000;
  for (int t = 0; t < Draws; ++t) low += random.Below(bound) < bound / 2 ? 1 : 0;
  EXPECT_NEAR(low / double(Draws), 0.5, 0.01);
  gensample::RandomSource a(99), b(99);
  for (int t = 0; t < 100; ++t) ASSERT_EQ(a.Below(1000), b.Below(1000));
}

TEST(SamplerStatistics, DrawsForAGivenSeedStayAsTheyWere) {
  // Recorded from the sampler before its draw moved to runframe: a run with a
  // given seed must keep drawing the same subsets.
  gensample::RandomSource random(20261207);
  const std::vector<std::uint32_t> want{36413, 38770, 12620, 8896, 3848, 39403};
  std::vector<std::uint32_t> got;
  for (std::size_t i = 0; i < want.size(); ++i) got.push_back(random.Below(41209));
  EXPECT_EQ(got, want);
}

// Keys scripted by poll number: at poll k the given codes are waiting.
class ScriptedKeys : public gensample::ConsoleKeys {
 public:
  std::map<int, std::deque<std::uint8_t>> script;
  int polls = 0;
  std::deque<std::uint8_t> waiting;

  bool KeyAvailable() override {
    ++polls;
    auto it = script.find(polls);
    if (it != script.end()) waiting.insert(waiting.end(), it->second.begin(), it->second.end());
    return !waiting.empty();
  }
  std::uint8_t ReadKeyCode() override {
    const std::uint8_t c = waiting.front();
    waiting.pop_front();
    return c;
  }
};

const runframe::ProgramDescription TestProgram{{}, 6, 6, "--random--", "", ""};

struct SamplingRun {
  testsupport::TempDir dir;
  std::string console;
  std::string result;

  void Run(SampleProduct& p, int n, int m, std::vector<std::string> params, gensample::ConsoleKeys& keys) {
    const std::string consolePath = dir.Path() + "/console";
    std::FILE* consoleFile = std::fopen(consolePath.c_str(), "wb");
    ASSERT_NE(consoleFile, nullptr);
    {
      runframe::RunContext run(TestProgram, std::move(params), consoleFile);
      run.n = n;
      run.m = m;
      ASSERT_EQ(run.result.CreateNew(dir.Path() + "/result"), 0);
      gensample::RandomSource random(5);
      gensample::RandomSampling(run, p, random, keys);
      run.result.Close();
    }
    std::fclose(consoleFile);
    console = dir.Read("console");
    result = dir.Read("result");
  }
};

TEST(SamplerRun, AltRInTest37EndsAfterThatTestAndCountsIt) {
  auto p = MakeProduct(2, 3);
  ScriptedKeys keys;
  // Other keys first: an arrow (0, 72), plain r, then Alt+R (0, 19).  One key
  // per poll, so Alt+R is taken at poll 37 when it arrives at poll 35.
  keys.script[35] = {0, 72, 'r', 0, 19};
  SamplingRun run;
  run.Run(*p, 2, 3, {"2", "3", "1000", "1"}, keys);
  const std::string dots(37, '.');
  const std::string head = dots +
                           " Entering into stop mode ..., please wait\r\n\r\n"
                           "For Part(2)*Part(3), out of 37 4-element random subsets,\r\n";
  ASSERT_EQ(run.console.substr(0, head.size()), head);
  EXPECT_EQ(keys.polls, 37);
  EXPECT_NE(run.console.find("\r\n\r\nHit <enter> to quit!\r\n"), std::string::npos);
  EXPECT_EQ(run.result.substr(0, 2 + 58), "\r\nFor Part(2)*Part(3), out of 37 4-element random subsets,\r\n");
}

TEST(SamplerRun, OtherKeysNeverStopTheRun) {
  auto p = MakeProduct(2, 2);
  ScriptedKeys keys;
  keys.script[1] = {0, 72, 0, 80, 'R', 18, 0, 59, 0, 20, 27, 13};
  SamplingRun run;
  run.Run(*p, 2, 2, {"2", "2", "20", "0"}, keys);
  // Every test of 2 x 2 generates: the whole product is the only subset.
  EXPECT_EQ(run.console,
            "\r\nFor Part(2)*Part(2), out of 20 4-element random subsets,\r\n"
            "20 are generating, i.e., 100.0000%.\r\n\r\nHit <enter> to quit!\r\n");
  EXPECT_EQ(run.result,
            "\r\nFor Part(2)*Part(2), out of 20 4-element random subsets,\r\n"
            "20 are generating, i.e., 100.0000%.\r\n");
}

TEST(SamplerRun, HugeDotIntervalsNeitherOverflowNorPrint) {
  auto p = MakeProduct(1, 3);
  for (const char* interval : {"2147483647", "-2147483648", "33554432"}) {
    ScriptedKeys keys;
    SamplingRun run;
    run.Run(*p, 1, 3, {"1", "3", "3", interval}, keys);
    EXPECT_EQ(run.console.substr(0, 2), "\r\n") << interval;
    EXPECT_NE(run.console.find("out of 3 4-element"), std::string::npos) << interval;
  }
}

TEST(SamplerReport, PercentageFieldAndLargeCounts) {
  EXPECT_EQ(gensample::ShareLine(123, 1000), "123 are generating, i.e.,  12.3000%.");
  EXPECT_EQ(gensample::ShareLine(0, 7), "0 are generating, i.e.,   0.0000%.");
  EXPECT_EQ(gensample::ShareLine(5, 5), "5 are generating, i.e., 100.0000%.");
  EXPECT_EQ(gensample::ShareLine(1, 3), "1 are generating, i.e.,  33.3333%.");
  // Past 21474836 generating subsets a 32-bit count times 100 would overflow.
  EXPECT_EQ(gensample::ShareLine(30000000, 2000000000), "30000000 are generating, i.e.,   1.5000%.");
  EXPECT_EQ(gensample::CountLine(5, 6, 2147483647), "For Part(5)*Part(6), out of 2147483647 4-element random subsets,");
}

}  // namespace
