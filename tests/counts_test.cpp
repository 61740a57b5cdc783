// Known counts of generating sets (the rows of docs/known-counts.txt that
// gencount finishes at once), replayed through the built program on tables
// in many numberings, line orders, operation orders and line ends; and the
// table itself checked for consistency.
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <map>
#include <utility>

#include "tests/support/known_counts.hpp"
#include "tests/support/program_run.hpp"
#include "tests/support/run_program.hpp"

namespace testsupport {
void PrintTo(const KnownCount& k, std::ostream* os) { *os << k.n << " " << k.m << " -> " << k.count; }
}  // namespace testsupport

namespace {

using optables::LineEnd;
using testsupport::TableStyle;

using testsupport::KnownCount;

struct Variant {
  const char* label;
  TableStyle a, b;           // join first unless meetFirst; both files alike there
  const char* optablesArgs;  // non-null: the files come from the optables program instead
};

// Up to Equ(3) x Equ(3): each row runs in every variant.
const std::vector<KnownCount> Known = testsupport::KnownCountsBy("gencount", 25);

const Variant Variants[] = {
    {"canonical", {}, {}, nullptr},
    {"renumbered, shuffled, LF", {7, 11, false, LineEnd::Lf}, {8, 12, false, LineEnd::Lf}, nullptr},
    {"meet first, CR", {3, {}, true, LineEnd::Cr}, {4, 5, true, LineEnd::Cr}, nullptr},
    {"meet first, mixed ends", {5, 6, true, LineEnd::CrLf}, {{}, 9, true, LineEnd::Lf}, nullptr},
    {"large seed", {18446744073709551615ULL, 2, false, LineEnd::CrLf}, {123456789, {}, false, LineEnd::Cr}, nullptr},
    {"optables program", {}, {}, "--seed 42 --shuffle-lines --meet-first --line-end cr"},
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.label; }

class Counts : public ::testing::TestWithParam<std::tuple<KnownCount, Variant>> {};

TEST_P(Counts, ProgramFindsTheKnownCount) {
  const auto& [known, variant] = GetParam();
  testsupport::TempDir dir;
  if (variant.optablesArgs == nullptr) {
    testsupport::WriteTables(dir, known.n, known.m, variant.a, variant.b);
  } else {
    for (const auto& [file, k] : {std::pair{"a", known.n}, std::pair{"b", known.m}}) {
      std::vector<std::string> args;
      std::istringstream words(variant.optablesArgs);
      for (std::string word; words >> word;) args.push_back(word);
      args.insert(args.end(), {"--only", file, "--dir", dir.Path(), std::to_string(k)});
      const auto made = testsupport::RunProgram(testsupport::BinaryPath("optables/optables"), args);
      ASSERT_EQ(made.exitCode, 0) << made.err;
    }
  }
  const testsupport::Outcome o =
      testsupport::RunIn(dir, "gencount/gencount", {std::to_string(known.n), std::to_string(known.m)});
  ASSERT_TRUE(testsupport::EndedByItself(o, 0));
  const std::string line = "\r\nPart(" + std::to_string(known.n) + ")*Part(" + std::to_string(known.m) +
                           ") has exactly " + std::to_string(known.count) + "   4-element generating sets\r\n";
  EXPECT_NE(o.run.out.find(line), std::string::npos) << o.run.out;
  ASSERT_EQ(o.resultNames.size(), 1u);
  EXPECT_NE(o.resultText.find(line), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(KnownCounts, Counts,
                         ::testing::Combine(::testing::ValuesIn(Known), ::testing::ValuesIn(Variants)),
                         [](const auto& param) {
                           const KnownCount& k = std::get<0>(param.param);
                           std::string name;  // appended: GCC 12 warns falsely on "literal" + string
                           for (int v : {k.n, k.m, static_cast<int>(param.index % std::size(Variants))}) {
                             name += '_';
                             name += std::to_string(v);
                           }
                           return name.substr(1);
                         });

// C(n, 4), approximately: beyond 64 bits from Equ(6) x Equ(7) on, and only
// compared with counts far below it.
long double FourSubsets(std::uint64_t n) {
  const auto x = static_cast<long double>(n);
  return n < 4 ? 0 : x * (x - 1) * (x - 2) * (x - 3) / 24;
}

TEST(KnownCountsTable, RowsAreConsistent) {
  const auto& rows = testsupport::KnownCounts();
  ASSERT_GE(rows.size(), 19u);
  EXPECT_GE(Known.size(), 7u) << "the replayed rows";
  std::map<std::pair<int, int>, std::uint64_t> seen;
  for (const KnownCount& row : rows) {
    SCOPED_TRACE(std::to_string(row.n) + "x" + std::to_string(row.m));
    // B(k), the size of Equ(k).
    static const std::uint64_t bell[] = {1, 1, 2, 5, 15, 52, 203, 877, 4140};
    ASSERT_TRUE(row.n >= 1 && row.n <= 8 && row.m >= 1 && row.m <= 8);
    const std::uint64_t size = bell[row.n] * bell[row.m];
    EXPECT_EQ(row.productSize, size);
    EXPECT_GE(row.productSize, 4u);
    EXPECT_LE(static_cast<long double>(row.count), FourSubsets(row.productSize));
    EXPECT_TRUE(row.By("gencount") || row.By("genexact")) << row.how;
    EXPECT_TRUE(seen.emplace(std::pair{row.n, row.m}, row.count).second) << "listed twice";
  }
  // Equ(n) x Equ(m) and Equ(m) x Equ(n) are isomorphic.
  for (const auto& [nm, count] : seen) {
    const auto mirror = seen.find({nm.second, nm.first});
    if (mirror != seen.end()) {
      EXPECT_EQ(mirror->second, count) << nm.first << "x" << nm.second;
    }
  }
  EXPECT_EQ(testsupport::KnownCountOf(3, 3), 72u);
}

}  // namespace
