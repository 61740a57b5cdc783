// The fast programs write exactly what the subset-by-subset ones write:
// gencount against gencount_plain as whole programs (clock fields masked), and
// gensample's sampling loop with the fast test against the same loop with the
// closure, on the same pseudo-random draws.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "gensample/random_sampling.hpp"
#include "optables/equ_tables.hpp"
#include "runframe/run_context.hpp"
#include "tests/support/product_fill.hpp"
#include "tests/support/program_run.hpp"
#include "tests/support/run_program.hpp"

namespace {

using testsupport::TableStyle;

// The run's clock readings and the result file name made from them.
std::string MaskClock(const std::string& text) {
  std::string s = std::regex_replace(text, std::regex(R"(\(DD/MM/YY:\) [^\r\n]*)"), "(DD/MM/YY:) <clock>");
  s = std::regex_replace(s, std::regex(R"(r-([0-9]+)&([0-9]+)---[0-9-]+\.txt)"), "r-$1&$2---<clock>.txt");
  return std::regex_replace(
      s, std::regex(R"([0-9]+ day\(s\) \+ [0-9]+ hour\(s\) \+ [0-9]+ minute\(s\) \+ [0-9.]+ second\(s\)\.)"),
      "<elapsed>");
}

struct ProgramOutput {
  std::string console, result;
};

ProgramOutput RunGencount(const std::string& program, int n, int m, const TableStyle& a, const TableStyle& b) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, n, m, a, b);
  testsupport::RunOptions options;
  options.timeout = std::chrono::milliseconds(600000);
  const testsupport::Outcome o = testsupport::RunIn(dir, program, {std::to_string(n), std::to_string(m)}, options);
  EXPECT_TRUE(testsupport::EndedByItself(o, 0));
  EXPECT_EQ(o.resultNames.size(), 1u);
  return {o.run.out, o.resultText};
}

TEST(GencountOutput, ByteIdenticalToTheSubsetBySubsetProgram) {
  const TableStyle canonical{};
  const TableStyle renumbered{21, 22, true, optables::LineEnd::Lf};
  const TableStyle other{5, std::nullopt, false, optables::LineEnd::CrLf};
  const struct {
    int n, m;
    TableStyle a, b;
  } cases[] = {
      {1, 1, canonical, canonical},   {2, 2, canonical, canonical}, {1, 3, renumbered, other},
      {2, 3, canonical, renumbered},  {3, 2, other, canonical},     {1, 4, canonical, canonical},
      {4, 1, renumbered, renumbered}, {3, 3, canonical, canonical}, {3, 3, renumbered, other},
      {2, 4, other, renumbered},      {4, 2, canonical, canonical}, {3, 4, renumbered, other},
      {4, 3, canonical, canonical},   {1, 5, other, renumbered},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.n) + " " + std::to_string(c.m));
    const ProgramOutput fast = RunGencount("gencount/gencount", c.n, c.m, c.a, c.b);
    const ProgramOutput plain = RunGencount("tests/gencount_plain", c.n, c.m, c.a, c.b);
    ASSERT_NE(MaskClock(plain.console), plain.console) << "no clock fields found";
    EXPECT_EQ(MaskClock(fast.console), MaskClock(plain.console));
    EXPECT_EQ(MaskClock(fast.result), MaskClock(plain.result));
  }
}

// No key is ever waiting.
class NoKeys final : public gensample::ConsoleKeys {
 public:
  bool KeyAvailable() override { return false; }
  std::uint8_t ReadKeyCode() override { return 0; }
};

std::unique_ptr<gensample::SampleProduct> SampleModel(int n, int m, std::uint64_t seed, bool meetFirst) {
  return testsupport::NewProduct<gensample::SampleProduct>(testsupport::EquTables(n, seed),
                                                           testsupport::EquTables(m, seed + 1), meetFirst);
}

ProgramOutput Sample(gensample::SampleProduct& p, int n, int m, const std::vector<std::string>& params,
                     std::uint64_t seed, gensample::SubsetTest test) {
  testsupport::TempDir dir;
  std::FILE* console = std::fopen((dir.Path() + "/console").c_str(), "wb");
  EXPECT_NE(console, nullptr);
  {
    const runframe::ProgramDescription program{{}, 6, 6, "--random--", "", ""};
    runframe::RunContext run(program, params, console);
    run.n = n;
    run.m = m;
    EXPECT_EQ(run.result.CreateNew(dir.Path() + "/result"), 0);
    gensample::RandomSource random(seed);
    NoKeys keys;
    gensample::RandomSampling(run, p, random, keys, test);
    run.result.Close();
  }
  std::fclose(console);
  return {dir.Read("console"), dir.Read("result")};
}

TEST(GensampleOutput, FastTestWritesWhatTheClosureWrites) {
  const struct {
    int n, m;
    std::vector<std::string> params;
    std::uint64_t seed;
    bool meetFirst;
  } cases[] = {
      {2, 3, {"2", "3", "3000", "1"}, 1, false}, {3, 3, {"3", "3", "5000", "3"}, 2, true},
      {3, 4, {"3", "4", "4000", "5"}, 3, false}, {4, 3, {"4", "3", "4000", "64"}, 4, true},
      {4, 4, {"4", "4", "3000", "4"}, 5, false}, {2, 5, {"2", "5", "3000", "7"}, 6, true},
      {1, 5, {"1", "5", "3000", "2"}, 7, false}, {5, 6, {"5", "6", "300", "4"}, 8, false},
      {6, 2, {"6", "2", "500", "4"}, 9, true},   {6, 6, {"6", "6", "40", "1"}, 10, false},
  };
  int casesWithGenerating = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.n) + " " + std::to_string(c.m));
    auto p = SampleModel(c.n, c.m, c.seed, c.meetFirst);
    const ProgramOutput fast = Sample(*p, c.n, c.m, c.params, c.seed, gensample::SubsetTest::Fast);
    const ProgramOutput plain = Sample(*p, c.n, c.m, c.params, c.seed, gensample::SubsetTest::Closure);
    EXPECT_EQ(fast.console, plain.console);
    EXPECT_EQ(fast.result, plain.result);
    casesWithGenerating += plain.result.find("\n0 are generating") == std::string::npos ? 1 : 0;
  }
  // Most cases find generating subsets, so that both answers are compared.
  EXPECT_GE(casesWithGenerating, 5);
}

}  // namespace
