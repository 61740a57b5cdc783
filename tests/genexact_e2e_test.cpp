// genexact run as a program in scratch folders: its result agrees with
// gencount's in several numberings and operation orders, with any number of
// threads, over shards and merges, after an interruption and a resumption, and
// on tables of lattices that are not partition lattices; bad tables and bad
// options end the run with a clear fatal message.
#include <gtest/gtest.h>

#include <filesystem>

#include <chrono>
#include <string>
#include <vector>

#include "tests/genexact_lattices.hpp"
#include "tests/support/console_text.hpp"
#include "tests/support/known_counts.hpp"
#include "tests/support/program_run.hpp"
#include "tests/support/run_program.hpp"

namespace {

using testsupport::TableStyle;

using testsupport::Outcome;
using testsupport::RunIn;

// The count of the result line, -1 when there is none.  (No std::regex: it
// trips GCC 12's uninitialized-use warning in the sanitizer build.)
long long ResultCount(const std::string& text, int n, int m) {
  const std::string head = "Part(" + std::to_string(n) + ")*Part(" + std::to_string(m) + ") has exactly ";
  const std::size_t at = text.find(head);
  if (at == std::string::npos) return -1;
  std::size_t end = at + head.size();
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  const std::string tail = "   4-element generating sets\r\n";
  if (end == at + head.size() || text.compare(end, tail.size(), tail) != 0) return -1;
  return std::stoll(text.substr(at + head.size(), end - at - head.size()));
}

bool OnlyDigitsAndDashes(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789-") == std::string::npos;
}

long long Genexact(const testsupport::TempDir& dir, int n, int m, std::vector<std::string> options = {}) {
  options.insert(options.begin(), {std::to_string(n), std::to_string(m)});
  const Outcome r = RunIn(dir, "genexact/genexact", options);
  EXPECT_EQ(r.run.exitCode, 0) << r.run.out << r.run.err;
  return ResultCount(r.run.out, n, m);
}

TEST(GenexactProgram, AgreesWithGencountInManyNumberings) {
  const struct { int n, m; } products[] = {{1, 1}, {2, 1}, {2, 2}, {1, 3}, {3, 2}, {2, 3}, {1, 4}, {3, 3}, {4, 2}};
  const TableStyle styles[][2] = {
      {{}, {}},
      {{7, 11, false, optables::LineEnd::Lf}, {8, 12, false, optables::LineEnd::Cr}},
      {{3, {}, true, optables::LineEnd::CrLf}, {4, 5, true, optables::LineEnd::Lf}},
  };
  // Each product in one style, 3x3 in all of them: few runs, as the
  // sanitizer build starts every program slowly.
  std::size_t next = 0;
  for (const auto& p : products) {
    for (std::size_t s = 0; s < 3; ++s) {
      if (s != next % 3 && !(p.n == 3 && p.m == 3)) continue;
      const auto& style = styles[s];
      SCOPED_TRACE(std::to_string(p.n) + "x" + std::to_string(p.m));
      testsupport::TempDir dir;
      testsupport::WriteTables(dir, p.n, p.m, style[0], style[1]);
      const Outcome reference = RunIn(dir, "gencount/gencount", {std::to_string(p.n), std::to_string(p.m)});
      const long long expected = ResultCount(reference.run.out, p.n, p.m);
      ASSERT_GE(expected, 0) << reference.run.out;
      testsupport::TempDir own;
      testsupport::WriteTables(own, p.n, p.m, style[0], style[1]);
      EXPECT_EQ(Genexact(own, p.n, p.m, {"--threads", "2"}), expected);
    }
    ++next;
  }
}

TEST(GenexactProgram, WritesTheRunFrameAndTheResultFile) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 3, 3);
  const Outcome r = RunIn(dir, "genexact/genexact", {"3", "3"});
  ASSERT_EQ(r.run.exitCode, 0);
  const std::string& out = r.run.out;
  EXPECT_EQ(out.rfind("This is genexact", 0), 0u);
  ASSERT_EQ(r.resultNames.size(), 1u);
  const std::string& name = r.resultNames[0];
  EXPECT_EQ(name.rfind("r-3&3--exact--", 0), 0u) << name;
  EXPECT_TRUE(name.size() > 18 && name.substr(name.size() - 4) == ".txt" &&
              OnlyDigitsAndDashes(name.substr(14, name.size() - 18)))
      << name;
  EXPECT_EQ(ResultCount(out, 3, 3), 72);
  EXPECT_EQ(ResultCount(r.resultText, 3, 3), 72);
  // The share follows the result line, on the console and in the file.
  const std::string result2 =
      "Part(3)*Part(3) has exactly 72   4-element generating sets\r\n"
      "Out of 12650 4-element subsets,\r\n"
      "72 are generating, i.e.,   0.5692%.\r\n";
  EXPECT_NE(out.find(result2 + "\r\nHit <enter> to quit!\r\n"), std::string::npos) << out;
  EXPECT_NE(r.resultText.find(result2 + "\r\n      Terminated"), std::string::npos) << r.resultText;
  // Standard output is a pipe here: no carriage-return rewrites, and a run
  // this short writes no plain progress line either.
  EXPECT_EQ(out.find("units 3/3"), std::string::npos) << out;
  EXPECT_NE(out.find(" thread(s)\r\n\r\nPart(3)*Part(3) has exactly 72"), std::string::npos) << out;
  for (std::size_t i = out.find('\r'); i != std::string::npos; i = out.find('\r', i + 1)) {
    ASSERT_EQ(out[i + 1], '\n') << "a bare carriage return at " << i;
  }
  // Same tables on both sides: each pair of orbits is tested once, 189
  // tests instead of the 285 of all ordered pairs.
  EXPECT_NE(out.find("Work: 3 units, 189 corner tests"), std::string::npos) << out;
  EXPECT_NE(out.find("Hit <enter> to quit!\r\n      Terminated"), std::string::npos);
  for (std::size_t i = out.find('\n'); i != std::string::npos; i = out.find('\n', i + 1)) {
    ASSERT_EQ(out[i - 1], '\r');
  }
  EXPECT_EQ(r.resultText.rfind("      Started", 0), 0u);
  EXPECT_EQ(r.resultText.find("units 3/3"), std::string::npos) << "progress stays on the console";
  EXPECT_NE(r.resultText.find("1st factor: 5 elements, 6 automorphisms, 3 orbits"), std::string::npos);
}

// With --equ-tables the tables come from the table maker's code: no file is
// opened, the count is the one of the files, and the tables are still
// checked and their memory stated.
TEST(GenexactProgram, BuildsPartitionLatticesInMemory) {
  testsupport::TempDir dir;
  const Outcome r = RunIn(dir, "genexact/genexact", {"3", "4", "--equ-tables"});
  ASSERT_EQ(r.run.exitCode, 0) << r.run.out;
  EXPECT_EQ(ResultCount(r.run.out, 3, 4), 600);
  EXPECT_EQ(ResultCount(r.resultText, 3, 4), 600);
  const std::string built = "Tables built in memory: Equ(3) and Equ(4)\r\n";
  EXPECT_NE(r.run.out.find(built), std::string::npos) << r.run.out;
  EXPECT_NE(r.resultText.find(built), std::string::npos) << r.resultText;
  EXPECT_EQ(r.run.out.find("Input files opened"), std::string::npos) << r.run.out;
  // 5 and 15 elements in one byte each, the 32-bit tables of 15 and the order sets.
  const std::string memory = "Memory for the tables: 1 MB at most (this machine has ";
  EXPECT_NE(r.run.out.find(memory), std::string::npos) << r.run.out;
  EXPECT_NE(r.resultText.find(memory), std::string::npos) << r.resultText;
  // 8! maps of 5 and of 15 one-byte elements and the search's copy of the
  // latter, at most: 1.41 MB.
  const std::string plan = "Memory for the plan: 2 MB at most and 120 bytes for each orbit\r\n";
  EXPECT_NE(r.run.out.find(plan), std::string::npos) << r.run.out;
  EXPECT_NE(r.resultText.find(plan), std::string::npos) << r.resultText;
  EXPECT_EQ(dir.Names(), r.resultNames) << "nothing but the result file";

  // The same count from the files.
  testsupport::TempDir files;
  testsupport::WriteTables(files, 3, 4);
  const Outcome read = RunIn(files, "genexact/genexact", {"3", "4"});
  EXPECT_EQ(ResultCount(read.run.out, 3, 4), 600);
  EXPECT_NE(read.run.out.find("Input files opened: 3-optablea.txt,  4-optableb.txt"), std::string::npos);
}

TEST(GenexactProgram, ThreadCountDoesNotChangeTheCount) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 4, 4, {9, 1, true}, {10, 2, true});
  for (const char* threads : {"1", "2", "5"}) {
    EXPECT_EQ(Genexact(dir, 4, 4, {"--threads", threads}), static_cast<long long>(testsupport::KnownCountOf(4, 4)))
        << threads;
  }
}

TEST(GenexactProgram, ShardsMergeToTheWholeCount) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 3, 5);
  const long long whole = Genexact(dir, 3, 5);
  EXPECT_GT(whole, 0);
  std::vector<std::string> parts;
  for (int i = 1; i <= 3; ++i) {
    const std::string shard = std::to_string(i) + "/3";
    const Outcome r = RunIn(dir, "genexact/genexact", {"3", "5", "--shard", shard, "--threads", "1"});
    EXPECT_EQ(ResultCount(r.run.out, 3, 5), -1) << "a shard gives no whole count";
    EXPECT_NE(r.run.out.find("Shard " + shard + " of Part(3)*Part(5): partial count"), std::string::npos);
    parts.push_back("genexact-3-5-shard-" + std::to_string(i) + "-of-3.part");
  }
  std::vector<std::string> merge = {"--merge"};
  merge.insert(merge.end(), parts.begin(), parts.end());
  EXPECT_EQ(Genexact(dir, 3, 5, merge), whole);
  const Outcome merged = RunIn(dir, "genexact/genexact", {"3", "5", "--merge", parts[0], parts[1], parts[2]});
  EXPECT_NE(
      merged.run.out.find("Out of 186043585 4-element subsets,\r\n" + std::to_string(testsupport::KnownCountOf(3, 5)) +
                          " are generating, i.e.,   0.0316%.\r\n"),
      std::string::npos)
      << merged.run.out;

  // Two of three shards do not make a count, nor does one shard twice.
  const Outcome missing = RunIn(dir, "genexact/genexact", {"3", "5", "--merge", parts[0], parts[1]});
  EXPECT_NE(missing.run.out.find("Partial-result files cover"), std::string::npos) << missing.run.out;
  EXPECT_EQ(missing.run.exitCode, 1) << "a merge that does not cover every unit is a failure";
  const Outcome twice = RunIn(dir, "genexact/genexact", {"3", "5", "--merge", parts[0], parts[0], parts[1], parts[2]});
  EXPECT_NE(twice.run.out.find("Partial-result files overlap at unit"), std::string::npos);
  // Partial results of another problem are refused.
  testsupport::TempDir other;
  testsupport::WriteTables(other, 3, 5, {}, {6, {}, false});
  other.Write(parts[0], dir.Read(parts[0]));
  const Outcome foreign = RunIn(other, "genexact/genexact", {"3", "5", "--merge", parts[0]});
  EXPECT_NE(foreign.run.out.find("belongs to another problem"), std::string::npos);
}

// The unit list: every set with its orbit and its elements as numbers and as
// partitions, in the file's exact bytes; after a merge with the counts, which
// add up to the count; no partitions for a numbering of the tables' own.
TEST(GenexactProgram, ListsTheUnitsWithTheirPartitions) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 3, 3);
  const Outcome listed = RunIn(dir, "genexact/genexact", {"3", "3", "--units", "u.txt"});
  EXPECT_EQ(listed.run.exitCode, 0) << listed.run.out;
  EXPECT_NE(listed.run.out.find("Unit list: 3 units written to u.txt\r\n\r\n"
                                "Nothing was counted: --units lists the work units only\r\n"),
            std::string::npos)
      << listed.run.out;
  EXPECT_EQ(ResultCount(listed.run.out, 3, 3), -1);
  const std::string head =
      "genexact unit list 1\r\n"
      "# The count of 4-element generating sets of Part(3)*Part(3) is the sum of the units' counts.\r\n"
      "# Sets are orbit representatives, under the automorphisms of their factor, of the\r\n"
      "# generating sets of at most 4 elements; orbit is the size of the set's orbit.\r\n"
      "# Elements are numbered 1..size as in the table files; a factor that is Equ(k) in the\r\n"
      "# table maker's numbering also has each element as a partition of {1..k} by its blocks.\r\n"
      "# For a set X of the 1st factor and Y of the 2nd, c(X, Y) is the number of 4-element\r\n"
      "# subsets R of X x Y whose projections are all of X and all of Y and which generate\r\n"
      "# the product.\r\n"
      "# Both factors have the same tables, so the units' sets serve both (pairs upper):\r\n"
      "# count(u) = sum over v >= u of w(u, v) * orbit(u) * orbit(v) * c(S_u, S_v),\r\n"
      "# with w(u, u) = 1 and w(u, v) = 2 for v > u, as c(S_u, S_v) = c(S_v, S_u).\r\n"
      "# Lines: unit <u> <orbit> <count, or - before a merge> <elements> [<partitions>].\r\n"
      "product Part(3)*Part(3)\r\n"
      "fingerprint d0e4f4a0c85b9187\r\n"
      "units 3\r\n"
      "outer 2nd\r\n"
      "pairs upper\r\n";
  EXPECT_EQ(dir.Read("u.txt"), head +
                                   "unit 0 1 - 2,3,4 12|3 13|2 1|23\r\n"
                                   "unit 1 1 - 1,2,3,4 123 12|3 13|2 1|23\r\n"
                                   "unit 2 1 - 2,3,4,5 12|3 13|2 1|23 1|2|3\r\n"
                                   "end\r\n");

  // With the merged counts: the same sets, and counts that sum to 72.
  ASSERT_EQ(RunIn(dir, "genexact/genexact", {"3", "3", "--shard", "1/2"}).run.exitCode, 0);
  ASSERT_EQ(RunIn(dir, "genexact/genexact", {"3", "3", "--shard", "2/2"}).run.exitCode, 0);
  const Outcome merged = RunIn(
      dir, "genexact/genexact",
      {"3", "3", "--units", "m.txt", "--merge", "genexact-3-3-shard-1-of-2.part", "genexact-3-3-shard-2-of-2.part"});
  EXPECT_EQ(ResultCount(merged.run.out, 3, 3), testsupport::KnownCountOf(3, 3)) << merged.run.out;
  EXPECT_NE(merged.run.out.find("Unit list: 3 units with their counts written to m.txt\r\n"), std::string::npos);
  const std::string withCounts = dir.Read("m.txt");
  ASSERT_EQ(withCounts.compare(0, head.size(), head), 0) << withCounts;
  long long sum = 0;
  for (std::size_t at = withCounts.find("\r\nunit "); at != std::string::npos;
       at = withCounts.find("\r\nunit ", at + 1)) {
    // "unit <u> <orbit> <count> ...": the fourth word.
    std::size_t word = at + 2;
    for (int k = 0; k < 3; ++k) word = withCounts.find(' ', word) + 1;
    sum += std::stoll(withCounts.substr(word));
  }
  EXPECT_EQ(sum, testsupport::KnownCountOf(3, 3));

  // Unequal factors list the inner sets; tables in another numbering are
  // not named by partitions.
  testsupport::TempDir other;
  testsupport::WriteTables(other, 3, 4, {}, {5, {}, false});
  ASSERT_EQ(RunIn(other, "genexact/genexact", {"3", "4", "--units", "u.txt"}).run.exitCode, 0);
  const std::string mixed = other.Read("u.txt");
  EXPECT_NE(mixed.find("pairs all\r\ninner 0 1 2,3,4 12|3 13|2 1|23\r\n"), std::string::npos) << mixed;
  const std::size_t firstUnit = mixed.find("\r\nunit 0 ");
  ASSERT_NE(firstUnit, std::string::npos);
  EXPECT_EQ(mixed.find('|', firstUnit), std::string::npos) << "a shuffled Equ(4) is not named by partitions";
}

// The plan file keeps each factor's orbit list: a later run, with the
// factors the other way round, reads them instead of searching, and counts
// the same; a damaged file ends the run before anything is counted.
TEST(GenexactProgram, PlanFileServesLaterRuns) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 4, 5);
  testsupport::WriteTables(dir, 5, 4);
  const long long count = Genexact(dir, 4, 5, {"--plan-file", "p.plan"});
  EXPECT_EQ(count, testsupport::KnownCountOf(4, 5));
  const std::string saved = dir.Read("p.plan");
  EXPECT_EQ(saved.rfind("genexact orbit lists 1\r\nfactor ", 0), 0u) << saved;
  EXPECT_NE(saved.find(" 52 complete 61\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find(" 15 complete 7\r\n"), std::string::npos) << saved;
  const Outcome again = RunIn(dir, "genexact/genexact", {"5", "4", "--plan-file", "p.plan"});
  EXPECT_EQ(ResultCount(again.run.out, 5, 4), count);
  EXPECT_NE(again.run.out.find("Plan file: p.plan, orbit lists of 2 factor(s)\r\n"), std::string::npos);
  EXPECT_EQ(dir.Read("p.plan"), saved) << "nothing new to keep";

  // An orbit list that lost a set is caught by the checksum.
  std::string cut = saved;
  const std::size_t set = cut.find("\r\nset ");
  cut.erase(set, cut.find("\r\n", set + 2) - set);
  dir.Write("p.plan", cut);
  const Outcome damaged = RunIn(dir, "genexact/genexact", {"4", "5", "--plan-file", "p.plan"});
  EXPECT_EQ(damaged.run.exitCode, 1);
  EXPECT_NE(damaged.run.out.find(testsupport::FatalConsole("Plan file p.plan is damaged")), std::string::npos)
      << damaged.run.out;
  EXPECT_EQ(ResultCount(damaged.run.out, 4, 5), -1);
}

TEST(GenexactProgram, ResumesFromItsCheckpoint) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 2, 5);
  const Outcome stopped = RunIn(dir, "genexact/genexact", {"2", "5", "--checkpoint", "run.ckpt", "--stop-after", "20"});
  EXPECT_NE(stopped.run.out.find("Interrupted after 20 of 61 units"), std::string::npos) << stopped.run.out;
  EXPECT_EQ(stopped.run.exitCode, 75) << "saved and stopped early: try again";
  EXPECT_EQ(ResultCount(stopped.run.out, 2, 5), -1);
  const std::string saved = dir.Read("run.ckpt");
  EXPECT_NE(saved.find("end 20\r\n"), std::string::npos) << saved;
  testsupport::TempDir again;
  testsupport::WriteTables(again, 2, 5);
  again.Write("run.ckpt", saved);
  const Outcome resumed = RunIn(again, "genexact/genexact", {"2", "5", "--checkpoint", "run.ckpt"});
  EXPECT_NE(resumed.run.out.find("20 units done before"), std::string::npos);
  EXPECT_NE(resumed.run.out.find("This run: 41 units"), std::string::npos);
  EXPECT_EQ(ResultCount(resumed.run.out, 2, 5), static_cast<long long>(testsupport::KnownCountOf(2, 5)));
  // A cut checkpoint is refused rather than trusted.
  again.Write("cut.ckpt", saved.substr(0, saved.size() - 8));
  const Outcome cut = RunIn(again, "genexact/genexact", {"2", "5", "--checkpoint", "cut.ckpt"});
  EXPECT_NE(cut.run.out.find("Checkpoint file cut.ckpt is damaged"), std::string::npos);
}

std::string Render(const lattice::OperationTables& t, bool meetFirst) {
  optables::RenderOptions options;
  options.meetFirst = meetFirst;
  return optables::RenderTableFile(t, options);
}

TEST(GenexactProgram, CountsProductsOfOtherLattices) {
  // 2^3 (8 elements) and N5 (5 elements, as many as Equ(3)).
  const lattice::OperationTables cube = genexact_test::Renumbered(genexact_test::Boolean(3), 4);
  const lattice::OperationTables n5 = genexact_test::N5();
  const auto expected = genexact_test::BruteForceCount(genexact_test::Factor(cube), genexact_test::Factor(n5));
  EXPECT_GT(expected, 0u);
  for (const auto& sizes : {std::vector<std::string>{"--sizes", "8", "5"}, {"--sizes", "auto", "auto"}}) {
    testsupport::TempDir dir;
    dir.Write("1-optablea.txt", Render(cube, false));
    dir.Write("3-optableb.txt", Render(n5, false));
    EXPECT_EQ(Genexact(dir, 1, 3, sizes), static_cast<long long>(expected));
  }
  // Without --sizes the first table is read as Equ(1): one line, a lattice.
  testsupport::TempDir plain;
  plain.Write("1-optablea.txt", Render(cube, true));
  plain.Write("3-optableb.txt", Render(n5, true));
  const auto alone =
      genexact_test::BruteForceCount(genexact_test::Factor(genexact_test::Chain(1)), genexact_test::Factor(n5));
  EXPECT_EQ(Genexact(plain, 1, 3), static_cast<long long>(alone));
}

// A researcher's own lattices by file name, in another folder: the factors are
// named after the files, on the result line, in the result file's name and in
// a shard's file name; the sizes are read off the files.
TEST(GenexactProgram, CountsTablesNamedOnTheCommandLine) {
  const struct {
    const char* fileA;
    lattice::OperationTables a;
    const char* fileB;
    lattice::OperationTables b;
    const char* labels;  // as "A*B"
  } cases[] = {
      {"M3.txt", genexact_test::M(3), "chain 2.txt", genexact_test::Chain(2), "M3*chain_2"},
      {"boolean-2^2.table", genexact_test::Boolean(2), "M3.txt", genexact_test::M(3), "boolean-2_2*M3"},
      {"c4", genexact_test::Chain(4), "N5; rm -rf ~.txt", genexact_test::Renumbered(genexact_test::N5(), 3),
       "c4*N5__rm_-rf__"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.labels);
    const auto expected = genexact_test::BruteForceCount(genexact_test::Factor(c.a), genexact_test::Factor(c.b));
    testsupport::TempDir dir;
    std::filesystem::create_directory(dir.Path() + "/lattices");
    dir.Write(std::string("lattices/") + c.fileA, Render(c.a, false));
    dir.Write(std::string("lattices/") + c.fileB, Render(c.b, false));
    const Outcome r = RunIn(dir, "genexact/genexact",
                            {"--tables", std::string("lattices/") + c.fileA, std::string("lattices/") + c.fileB});
    ASSERT_EQ(r.run.exitCode, 0) << r.run.out;
    const std::string result =
        std::string(c.labels) + " has exactly " + std::to_string(expected) + "   4-element generating sets\r\n";
    EXPECT_NE(r.run.out.find(result), std::string::npos) << r.run.out;
    EXPECT_NE(r.resultText.find(result), std::string::npos) << r.resultText;
    std::string fileLabels = c.labels;
    fileLabels.replace(fileLabels.find('*'), 1, "&");
    ASSERT_EQ(r.resultNames.size(), 1u);
    EXPECT_EQ(r.resultNames[0].rfind("r-" + fileLabels + "--exact--", 0), 0u) << r.resultNames[0];
  }
  // M3 x the 2-element chain, the README's example: 14.
  testsupport::TempDir dir;
  dir.Write("m3.txt", Render(genexact_test::M(3), false));
  dir.Write("chain2.txt", Render(genexact_test::Chain(2), false));
  const Outcome shard = RunIn(dir, "genexact/genexact", {"--tables", "m3.txt", "chain2.txt", "--shard", "1/2"});
  EXPECT_NE(shard.run.out.find("Shard 1/2 of m3*chain2: partial count "), std::string::npos) << shard.run.out;
  EXPECT_NE(shard.run.out.find("saved in\r\n  genexact-m3-chain2-shard-1-of-2.part"), std::string::npos)
      << shard.run.out;
  EXPECT_NE(shard.run.out.find("Add up the shards with: genexact --tables m3.txt chain2.txt --merge"),
            std::string::npos)
      << shard.run.out;
  // The files take the place of n and m.
  const Outcome both = RunIn(dir, "genexact/genexact", {"2", "3", "--tables", "m3.txt", "chain2.txt"});
  EXPECT_NE(both.run.out.find(testsupport::FatalConsole("Option --tables takes the place of n and m")),
            std::string::npos)
      << both.run.out;
}

// genexact's messages about a table file name the file, the line and what
// was expected, wrapped to 80 columns; gencount keeps its fixed texts.
TEST(GenexactProgram, TableFaultsNameTheFileAndTheLine) {
  const std::string good = Render(genexact_test::M(3), false);  // line 8 is 2&3=5,1
  auto edited = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const struct {
    std::string text;
    int status;
    std::string message;  // as the result file holds it
  } cases[] = {
      {good.substr(0, good.rfind("5&5")), 1,
       "m3.txt has 24 lines, but a table of 5 elements needs 25 (one per ordered pair);\r\n"
       "  --sizes gives the size, or --tables the right file"},
      {edited("2&3=5,1", "2&3=5,9"), 1, "m3.txt line 8: the result 9 is not an element 1..5 of the 5-element table"},
      {edited("2&3=5,1", "7&3=5,1"), 1,
       "m3.txt line 8: the first number, 7, is not an element 1..5 of the 5-element\r\n  table"},
      {edited("2&3=5,1", "2&2=5,1"), 1, "m3.txt: no line gives the pair 2&3 (another pair is given twice)"},
      {edited("2&3=5,1", "2&3=4,1"), 1, "m3.txt: 2&3=4,1 but 3&2=5,1; both operations must be commutative"},
      {edited("2&3=5,1", "2&3=5 ,1"), 2,
       "m3.txt line 8: \"5 \" is an invalid integer (x&y=r1,r2; no blank after a number)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    testsupport::TempDir dir;
    dir.Write("m3.txt", c.text);
    dir.Write("chain2.txt", Render(genexact_test::Chain(2), false));
    const Outcome r = RunIn(dir, "genexact/genexact", {"--tables", "m3.txt", "chain2.txt", "--sizes", "5", "2"});
    EXPECT_EQ(r.run.exitCode, c.status) << r.run.out;
    if (c.status == 1) {
      EXPECT_NE(r.resultText.find("\r\n" + c.message + "\r\n"), std::string::npos) << r.resultText;
      EXPECT_NE(r.run.out.find(c.message), std::string::npos) << r.run.out;
    } else {
      EXPECT_NE(r.run.out.find(c.message + "\r\n"), std::string::npos) << r.run.out;
    }
  }
  // gencount reads the same broken file with its fixed message.
  testsupport::TempDir dir;
  dir.Write("3-optablea.txt", edited("2&3=5,1", "2&3=5,9"));
  dir.Write("3-optableb.txt", testsupport::TableText(3));
  const Outcome fixed = RunIn(dir, "gencount/gencount", {"3", "3"});
  EXPECT_NE(fixed.run.out.find(testsupport::FatalConsole("Corrupt 1st input file (code xZt4cq)")), std::string::npos)
      << fixed.run.out;
}

TEST(GenexactProgram, LatticesWithManyForcedElementsCountZeroAtOnce) {
  // M_253 (255 elements, the one-byte build) and M_298 (300, the two-byte
  // build): every atom lies in every generating set, so there is none of four
  // elements.  The plain plan took about an hour on M_253.
  for (const int atoms : {253, 298}) {
    SCOPED_TRACE(atoms);
    testsupport::TempDir dir;
    dir.Write("2-optablea.txt", Render(genexact_test::Renumbered(genexact_test::M(atoms), 5), false));
    dir.Write("3-optableb.txt", Render(lattice::BuildEquTables(3), true));
    const auto start = std::chrono::steady_clock::now();
    const Outcome r = RunIn(dir, "genexact/genexact", {"2", "3", "--sizes", std::to_string(atoms + 2), "auto"});
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20.0);
    EXPECT_EQ(ResultCount(r.run.out, 2, 3), 0) << r.run.out;
    EXPECT_NE(r.resultText.find("1st factor: " + std::to_string(atoms + 2) + " elements, " + std::to_string(atoms) +
                                " of them both join- and meet-irreducible, so no\r\n  generating set of at most 4"),
              std::string::npos)
        << r.resultText;
  }
}

TEST(GenexactProgram, RefusesTablesThatAreNotLattices) {
  // Rock, paper, scissors as the first operation: commutative, idempotent,
  // not associative.
  const int game[3][3] = {{1, 1, 3}, {1, 2, 2}, {3, 2, 3}};
  std::string text;
  for (int x = 1; x <= 3; ++x) {
    for (int y = 1; y <= 3; ++y) {
      text += std::to_string(x) + "&" + std::to_string(y) + "=" + std::to_string(game[x - 1][y - 1]) + "," +
              std::to_string(std::min(x, y)) + "\r\n";
    }
  }
  testsupport::TempDir dir;
  dir.Write("2-optablea.txt", text);
  dir.Write("2-optableb.txt", Render(genexact_test::Chain(2), false));
  const Outcome r = RunIn(dir, "genexact/genexact", {"2", "2", "--sizes", "3", "auto"});
  EXPECT_EQ(r.run.exitCode, 1);  // a fatal stop
  // Wrapped at words to fit 80 columns.
  const std::string message = "2-optablea.txt is not a lattice: the first operation is not associative at\r\n  1,2,3";
  EXPECT_NE(r.run.out.find(testsupport::FatalConsole(message)), std::string::npos) << r.run.out;
  EXPECT_NE(r.resultText.find(message), std::string::npos);

  // A line count that is no square cannot give a size.
  dir.Write("2-optablea.txt", Render(genexact_test::Chain(3), false));
  dir.Write("2-optableb.txt", Render(genexact_test::Chain(2), false) + "1&1=1,1\r\n");
  const Outcome odd = RunIn(dir, "genexact/genexact", {"2", "2", "--sizes", "auto", "auto"});
  EXPECT_NE(odd.run.out.find("5 lines is not\r\n  the square"), std::string::npos) << odd.run.out;
}

TEST(GenexactProgram, RefusesBadOptions) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 2, 2);
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"2", "2", "--frobnicate"}, "Unknown option --frobnicate"},
      {{"2", "2", "--threads", "0"}, "Option --threads takes a number from 1 to 1024"},
      {{"2", "2", "--shard", "4/3"}, "Option --shard takes a number from 1 to 3"},
      {{"2", "2", "--shard", "3"}, "Option --shard takes i/K, e.g. 2/5"},
      {{"2", "2", "--sizes", "65536", "2"}, "Option --sizes takes a number from 1 to 65535"},
      {{"2", "2", "--merge"}, "Option --merge needs at least one partial-result file"},
      {{"9", "2"}, "1st parameter is illegal or too large!"},
      {{"2", "9"}, "2nd parameter is illegal or too large!"},
      {{"2", "2", "--equ-tables", "--sizes", "2", "2"},
       "Option --sizes is for table files; --equ-tables builds Equ(n) and Equ(m)"},
      {{"--tables", "2-optablea.txt", "2-optableb.txt", "--equ-tables"},
       "Option --equ-tables builds Equ(n) and Equ(m); it does not go with --tables"},
      // Text that is no number takes the same path as a number out of range.
      {{"2", "2", "--threads", "many"}, "Option --threads takes a number from 1 to 1024"},
      {{"2", "2", "--save-every", ""}, "Option --save-every takes a number from 1 to 86400"},
      {{"2", "2", "--threads", "2", "--shard", "x/2"}, "Option --shard takes a number from 1 to 2"},
      // Options that would run without keeping what they promise.
      {{"2", "2", "--checkpoint", ""}, "Option --checkpoint needs a file name"},
      {{"2", "2", "--stop-after", "1"}, "Option --stop-after needs --checkpoint or --shard to keep the finished units"},
      {{"2", "2", "--units", ""}, "Option --units needs a file name"},
      {{"2", "2", "--plan-file", ""}, "Option --plan-file needs a file name"},
      {{"2", "2", "--units", "u.txt", "--shard", "1/2"},
       "Option --units goes with none of --sample, --checkpoint, --shard, --stop-after"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const Outcome r = RunIn(dir, "genexact/genexact", c.args);
    EXPECT_EQ(r.run.exitCode, 1);  // a fatal stop
    EXPECT_NE(r.run.out.find(testsupport::FatalConsole(c.message)), std::string::npos) << r.run.out;
    // Every option is checked before any file is created.
    EXPECT_EQ(r.resultNames, std::vector<std::string>{});
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"2-optablea.txt", "2-optableb.txt"}));
  }
}

TEST(GenexactProgram, SampleEstimatesTheWholeRun) {
  testsupport::TempDir dir;
  testsupport::WriteTables(dir, 2, 5);
  const Outcome r = RunIn(dir, "genexact/genexact", {"2", "5", "--sample", "5"});
  EXPECT_NE(r.run.out.find("Sample: 5 units, "), std::string::npos);
  EXPECT_NE(r.run.out.find("Estimated time for all 61 units"), std::string::npos);
  EXPECT_EQ(ResultCount(r.run.out, 2, 5), -1);
}

}  // namespace
