// Valid table files edited at random, with fixed seeds so every run sees the
// same files.  In-process, the reader must agree with the independent model
// (fuzz/table_reader_model.hpp) on every edit, and accepted tables must be
// complete, in range, commutative and safe for the closure.  As programs,
// gencount and gensample must end by themselves with the outcome the model
// predicts: a report, the right fatal message, or the conversion error.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/table_reader_model.hpp"
#include "lattice/closure.hpp"
#include "lattice/product.hpp"
#include "lattice/table_reader.hpp"
#include "optables/equ_tables.hpp"
#include "runframe/abrupt_end.hpp"
#include "runframe/input_file.hpp"
#include "runframe/run_frame.hpp"
#include "tests/support/console_text.hpp"
#include "tests/support/known_counts.hpp"
#include "tests/support/product_fill.hpp"
#include "tests/support/program_run.hpp"
#include "tests/support/run_program.hpp"

namespace {

constexpr bool AddressSanitizer = testsupport::UnderAddressSanitizer;

using tablemodel::Fault;

const std::int32_t Bell[] = {0, 1, 2, 5, 15, 52};

// ---- the edits -------------------------------------------------------------

// The file split into lines that keep their own line ends (LF, CR LF, lone CR).
std::vector<std::string> SplitKeepingEnds(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    line += text[i];
    const bool lf = text[i] == '\n';
    const bool loneCr = text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n');
    if (lf || loneCr) {
      lines.push_back(line);
      line.clear();
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line;
  return text;
}

class Mutator {
 public:
  explicit Mutator(std::uint64_t seed) : random_(seed) {}

  std::size_t Below(std::size_t bound) { return static_cast<std::size_t>(random_.Below(bound)); }

  // One to three edits of the text of a file for a lattice of `size` elements.
  std::string Mutate(std::string text, std::int32_t size) {
    const std::size_t edits = 1 + Below(3);
    for (std::size_t e = 0; e < edits; ++e) text = EditOnce(std::move(text), size);
    return text;
  }

 private:
  std::string EditOnce(std::string text, std::int32_t size) {
    if (text.empty()) return "1&1=1,1";
    switch (Below(12)) {
      case 0:  // a separator removed
        if (auto at = Find(text, "&=,")) text.erase(*at, 1);
        return text;
      case 1:  // a separator doubled
        if (auto at = Find(text, "&=,")) text.insert(*at, 1, text[*at]);
        return text;
      case 2: {  // a number replaced by a huge, boundary or out-of-range one
        const std::string numbers[] = {"2147483648",
                                       "-2147483649",
                                       "2147483647",
                                       "-2147483648",
                                       "99999999999999999999999",
                                       "0",
                                       "-1",
                                       std::to_string(size + 1),
                                       "256",
                                       "257",
                                       "4294967297",
                                       "-0",
                                       "+1",
                                       "0001"};
        ReplaceNumber(text, numbers[Below(std::size(numbers))]);
        return text;
      }
      case 3: {  // a stray byte
        const char bytes[] = {'\0', '\xff', '\x1a', '\r', '\n', ' ', '\t', 'x', '&', '='};
        text.insert(Below(text.size() + 1), 1, bytes[Below(std::size(bytes))]);
        return text;
      }
      case 4: {  // a line deleted
        auto lines = SplitKeepingEnds(text);
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(Below(lines.size())));
        return Join(lines);
      }
      case 5: {  // a line duplicated
        auto lines = SplitKeepingEnds(text);
        const std::size_t i = Below(lines.size());
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i), lines[i]);
        return Join(lines);
      }
      case 6: {  // two lines swapped (their ends go with them)
        auto lines = SplitKeepingEnds(text);
        std::swap(lines[Below(lines.size())], lines[Below(lines.size())]);
        return Join(lines);
      }
      case 7:  // a digit changed
        if (auto at = Find(text, "0123456789")) text[*at] = static_cast<char>('0' + Below(10));
        return text;
      case 8:  // cut short
        text.resize(Below(text.size() + 1));
        return text;
      case 9: {  // a line end turned into a lone CR, an LF or nothing
        if (auto at = Find(text, "\n")) {
          const char* ends[] = {"\r", "\n", ""};
          std::size_t from = *at;
          if (from > 0 && text[from - 1] == '\r') --from;
          text.replace(from, *at + 1 - from, ends[Below(3)]);
        }
        return text;
      }
      case 10: {  // blanks before a line, possibly pushing it past 50 characters
        auto lines = SplitKeepingEnds(text);
        lines[Below(lines.size())].insert(0, std::string(Below(48), ' '));
        return Join(lines);
      }
      default: {  // Ctrl-Z at a line start
        auto lines = SplitKeepingEnds(text);
        lines[Below(lines.size())].insert(0, "\x1a");
        return Join(lines);
      }
    }
  }

  // A random position of one of the characters in `set`.
  std::optional<std::size_t> Find(const std::string& text, std::string_view set) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (set.find(text[i]) != std::string_view::npos) at.push_back(i);
    }
    if (at.empty()) return std::nullopt;
    return at[Below(at.size())];
  }

  void ReplaceNumber(std::string& text, const std::string& number) {
    auto start = Find(text, "0123456789");
    if (!start) return;
    std::size_t b = *start, e = *start;
    while (b > 0 && text[b - 1] >= '0' && text[b - 1] <= '9') --b;
    while (e < text.size() && text[e] >= '0' && text[e] <= '9') ++e;
    text.replace(b, e - b, number);
  }

  optables::SplitMix64 random_;
};

// The tables of Equ(1)..Equ(4), built once: building them is most of the cost.
const lattice::OperationTables& EquTables(int k) {
  static const std::vector<lattice::OperationTables> tables = [] {
    std::vector<lattice::OperationTables> t(1);
    for (int j = 1; j <= 4; ++j) t.push_back(lattice::BuildEquTables(j));
    return t;
  }();
  return tables[static_cast<std::size_t>(k)];
}

// A valid file of Equ(k) in a style drawn from the seed.
std::string ValidTable(int k, Mutator& m) {
  lattice::OperationTables tables = EquTables(k);
  if (m.Below(2) == 0) {
    tables = optables::Renumber(tables, optables::ShuffledNumbering(tables.size, 1 + m.Below(1000)));
  }
  optables::RenderOptions render;
  if (m.Below(2) == 0) render.lineSeed = 1 + m.Below(1000);
  render.meetFirst = m.Below(2) == 0;
  const optables::LineEnd ends[] = {optables::LineEnd::CrLf, optables::LineEnd::Lf, optables::LineEnd::Cr};
  render.lineEnd = ends[m.Below(3)];
  return optables::RenderTableFile(tables, render);
}

const char* FaultName(Fault f) {
  switch (f) {
    case Fault::None:
      return "accepted";
    case Fault::TooShort:
      return "too short";
    case Fault::XRange:
      return "x range";
    case Fault::YRange:
      return "y range";
    case Fault::ResultRange:
      return "result range";
    case Fault::MissingCell:
      return "missing cell";
    case Fault::NotCommutative:
      return "not commutative";
    case Fault::InvalidInteger:
      return "invalid integer";
  }
  return "?";
}

// The fatal messages as a user sees them, per file.
std::string Message(Fault f, bool first) {
  switch (f) {
    case Fault::TooShort:
      return first ? "First input file is too short" : "Second input file is too short";
    case Fault::XRange:
      return first ? "Corrupt 1st input file (code xZt4aq)" : "Corrupt 2nd input file (code Zt4aq)";
    case Fault::YRange:
      return first ? "Corrupt 1st input file (code xZt4bq)" : "Corrupt 2nd input file (code Zt4bq)";
    case Fault::ResultRange:
      return first ? "Corrupt 1st input file (code xZt4cq)" : "Corrupt 2nd input file (code Zt4cq)";
    case Fault::MissingCell:
      return first ? "Corrupt 1st input file (code xZt4dq)" : "Corrupt 2nd input file (code Zt4dq)";
    case Fault::NotCommutative:
      return first ? "Corrupt 1st input file (code xZt4eq)" : "Corrupt 2nd input file (code Zt4eq)";
    default:
      return "";
  }
}

// Control characters are shown escaped in reports; only plain texts compare as given.
bool Plain(const std::string& text) {
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\t') || c == 0x7f) return false;
  }
  return true;
}

std::string Printable(const std::string& text) {
  static const char Hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7f) {
      out += "\\x";
      out += Hex[c >> 4];
      out += Hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// ---- in-process --------------------------------------------------------------

struct ReaderResult {
  Fault fault = Fault::None;
  bool unknownMessage = false;  // a fatal stop with a message of neither file
  std::string report;           // fatal message or conversion report
  lattice::OperationTables tables;
};

ReaderResult ReadInProcess(const std::string& bytes, std::int32_t size, bool first) {
  std::vector<char> buffer(bytes.begin(), bytes.end());
  buffer.push_back('\0');
  std::FILE* stream = fmemopen(buffer.data(), bytes.size(), "rb");
  if (stream == nullptr) throw std::runtime_error("fmemopen failed");
  runframe::InputFile file("the test input");
  file.Attach(stream);
  ReaderResult r;
  const lattice::TableFileMessages& messages = first ? lattice::FirstFileMessages : lattice::SecondFileMessages;
  try {
    lattice::ReadTableFile(file, size, messages, r.tables);
  } catch (const runframe::FatalStopRequest& stop) {
    r.report = stop.message;
    r.unknownMessage = true;
    for (Fault f : {Fault::TooShort, Fault::XRange, Fault::YRange, Fault::ResultRange, Fault::MissingCell,
                    Fault::NotCommutative}) {
      if (stop.message == Message(f, first)) {
        r.fault = f;
        r.unknownMessage = false;
      }
    }
  } catch (const runframe::InvalidInteger& e) {
    r.fault = Fault::InvalidInteger;
    r.report = e.what();
  }
  return r;
}

// Closes a few random 4-subsets of (accepted tables) x Equ(3): the closure's
// preconditions are what the reader guarantees, so this must run clean.
void CloseOnAcceptedTables(lattice::Product<52>& p, int k, const ReaderResult& r, Mutator& m) {
  const std::int32_t size = Bell[k];
  ASSERT_EQ(r.tables.size, size);
  testsupport::FillProduct(p, r.tables, EquTables(3));
  for (int round = 0; round < 3; ++round) {
    std::int32_t index[4];
    for (int t = 0; t < 4; ++t) {
      bool repeated;
      do {
        index[t] = static_cast<std::int32_t>(m.Below(static_cast<std::size_t>(p.productSize))) + 1;
        repeated = false;
        for (int u = 0; u < t; ++u) repeated |= index[u] == index[t];
      } while (repeated);
    }
    lattice::SeedAndClose(p, index);
    ASSERT_GE(p.PairList.count, 4);
    ASSERT_LE(p.PairList.count, p.productSize);
  }
  lattice::ClearMembers(p);
}

TEST(MutatedTablesInProcess, ReaderAgreesWithTheModelOnEveryEdit) {
  auto product = std::make_unique<lattice::Product<52>>();
  std::map<Fault, int> seen;
  constexpr int Files = 3000;
  for (int i = 0; i < Files; ++i) {
    Mutator m(0x5eed0000u + static_cast<std::uint64_t>(i));
    const int k = 1 + static_cast<int>(m.Below(4));
    const bool first = m.Below(2) == 0;
    const std::string bytes = m.Mutate(ValidTable(k, m), Bell[k]);
    SCOPED_TRACE("file " + std::to_string(i) + ", Equ(" + std::to_string(k) + "): " + Printable(bytes.substr(0, 300)));

    const tablemodel::Outcome want = tablemodel::ReadModel(bytes, Bell[k]);
    const ReaderResult got = ReadInProcess(bytes, Bell[k], first);
    ++seen[want.fault];
    ASSERT_FALSE(got.unknownMessage) << got.report;
    ASSERT_EQ(FaultName(got.fault), std::string(FaultName(want.fault))) << got.report;
    if (want.fault == Fault::InvalidInteger) {
      const std::string tail = "\" is an invalid integer";
      ASSERT_GE(got.report.size(), tail.size() + 1);
      EXPECT_EQ(got.report.front(), '"');
      EXPECT_EQ(got.report.substr(got.report.size() - tail.size()), tail);
      if (Plain(want.invalidText)) {
        EXPECT_EQ(got.report, "\"" + want.invalidText + tail);
      }
    }
    if (want.fault != Fault::None) continue;

    // Accepted: complete, in range, commutative, and what the model read.
    const std::int32_t s = Bell[k];
    ASSERT_EQ(got.tables.first.size(), static_cast<std::size_t>(s * s));
    ASSERT_EQ(got.tables.second.size(), static_cast<std::size_t>(s * s));
    for (std::int32_t x = 0; x < s; ++x) {
      for (std::int32_t y = 0; y < s; ++y) {
        const auto xy = static_cast<std::size_t>(x * s + y), yx = static_cast<std::size_t>(y * s + x);
        ASSERT_GE(got.tables.first[xy], 1);
        ASSERT_LE(got.tables.first[xy], s);
        ASSERT_GE(got.tables.second[xy], 1);
        ASSERT_LE(got.tables.second[xy], s);
        ASSERT_EQ(got.tables.first[xy], got.tables.first[yx]);
        ASSERT_EQ(got.tables.second[xy], got.tables.second[yx]);
      }
    }
    EXPECT_EQ(got.tables.first, want.firstOp);
    EXPECT_EQ(got.tables.second, want.secondOp);
    CloseOnAcceptedTables(*product, k, got, m);
  }
  // The edits must reach every outcome, or this test proves little.
  for (Fault f : {Fault::None, Fault::TooShort, Fault::XRange, Fault::YRange, Fault::ResultRange, Fault::MissingCell,
                  Fault::NotCommutative, Fault::InvalidInteger}) {
    EXPECT_GE(seen[f], 10) << FaultName(f);
  }
}

// The model itself on hand-made lines, so a wrong model cannot hide a wrong reader.
TEST(MutatedTablesInProcess, ModelFollowsTheFileRules) {
  const std::string good2 = "1&1=1,1\r\n1&2=2,1\r\n2&1=2,1\r\n2&2=2,2\r\n";
  EXPECT_EQ(tablemodel::ReadModel(good2, 2).fault, Fault::None);
  EXPECT_EQ(tablemodel::ReadModel("1&1=1,1\r1&2=2,1\n2&1=2,1\r\n2&2=2,2", 2).fault, Fault::None);
  EXPECT_EQ(tablemodel::ReadModel("1&1=1,1\r\n1&2=2,1\r\n2&1=2,1\r\n", 2).fault, Fault::TooShort);
  EXPECT_EQ(tablemodel::ReadModel("1&1=1,1\r\n\x1a"
                                  "1&2=2,1\r\n2&1=2,1\r\n2&2=2,2\r\n",
                                  2)
                .fault,
            Fault::TooShort);
  EXPECT_EQ(tablemodel::ReadModel("0&1=1,1", 1).fault, Fault::XRange);
  EXPECT_EQ(tablemodel::ReadModel("1&0=1,1", 1).fault, Fault::YRange);
  EXPECT_EQ(tablemodel::ReadModel("1&1=1,0", 1).fault, Fault::ResultRange);
  const auto zeroX = tablemodel::ReadModel("1&1=0,x", 1);
  EXPECT_EQ(zeroX.fault, Fault::InvalidInteger);
  EXPECT_EQ(zeroX.invalidText, "x");
  EXPECT_EQ(tablemodel::ReadModel("1&1=1,1,1", 1).invalidText, "1,1");
  EXPECT_EQ(tablemodel::ReadModel("1&1=1;1", 1).invalidText, "");
  EXPECT_EQ(tablemodel::ReadModel(std::string(43, ' ') + "1&1=1,1", 1).fault, Fault::None);
  EXPECT_EQ(tablemodel::ReadModel(std::string(44, ' ') + "1&1=1,1", 1).invalidText, "");
  EXPECT_EQ(tablemodel::ReadModel("1&1=1,1\r\n1&1=2,1\r\n2&1=2,1\r\n2&2=2,2\r\n", 2).fault, Fault::MissingCell);
  EXPECT_EQ(tablemodel::ReadModel("1&1=1,1\r\n1&2=1,1\r\n2&1=2,1\r\n2&2=2,2\r\n", 2).fault, Fault::NotCommutative);
  EXPECT_EQ(tablemodel::ReferenceInteger(" \t+0012"), 12);
  EXPECT_EQ(tablemodel::ReferenceInteger("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(tablemodel::ReferenceInteger("2147483648"), std::nullopt);
  EXPECT_EQ(tablemodel::ReferenceInteger("\n5"), std::nullopt);
  EXPECT_EQ(tablemodel::ReferenceInteger("5 "), std::nullopt);
}

// ---- as programs -------------------------------------------------------------

struct Prediction {
  Fault fault = Fault::None;
  bool firstFile = true;
  std::string invalidText;
  bool sameTables = false;  // both files read as their unedited versions
};

Prediction Predict(const std::string& a, const std::string& b, const std::string& baseA, const std::string& baseB,
                   int n, int m) {
  Prediction p;
  const auto outA = tablemodel::ReadModel(a, Bell[n]);
  if (outA.fault != Fault::None) {
    p.fault = outA.fault;
    p.invalidText = outA.invalidText;
    return p;
  }
  const auto outB = tablemodel::ReadModel(b, Bell[m]);
  p.firstFile = false;
  p.fault = outB.fault;
  p.invalidText = outB.invalidText;
  if (p.fault == Fault::None) {
    const auto origA = tablemodel::ReadModel(baseA, Bell[n]);
    const auto origB = tablemodel::ReadModel(baseB, Bell[m]);
    p.sameTables = outA.firstOp == origA.firstOp && outA.secondOp == origA.secondOp && outB.firstOp == origB.firstOp &&
                   outB.secondOp == origB.secondOp;
  }
  return p;
}

void CheckRun(const testsupport::Outcome& o, const Prediction& p, bool gencount, int n, int m) {
  const int status = p.fault == Fault::None ? 0 : (p.fault == Fault::InvalidInteger ? 2 : 1);
  ASSERT_TRUE(testsupport::EndedByItself(o, status));
  const testsupport::ProgramResult& r = o.run;
  const std::string ns = std::to_string(n), ms = std::to_string(m);
  switch (p.fault) {
    case Fault::None:
      if (gencount) {
        const std::string line = "Part(" + ns + ")*Part(" + ms + ") has exactly ";
        ASSERT_NE(r.out.find(line), std::string::npos) << r.out;
        if (p.sameTables) {
          EXPECT_NE(
              r.out.find(line + std::to_string(testsupport::KnownCountOf(n, m)) + "   4-element generating sets\r\n"),
              std::string::npos)
              << r.out;
        }
      } else {
        EXPECT_NE(r.out.find("For Part(" + ns + ")*Part(" + ms + "), out of 5 4-element random subsets,\r\n"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find(" are generating, i.e., "), std::string::npos) << r.out;
      }
      EXPECT_EQ(r.out.find("Error in data"), std::string::npos) << r.out;
      break;
    case Fault::InvalidInteger: {
      const std::string tail = "\" is an invalid integer";
      const std::string expected = Plain(p.invalidText) ? "\"" + p.invalidText + tail : tail;
      EXPECT_NE((r.out + r.err).find(expected), std::string::npos) << r.out << r.err;
      EXPECT_EQ(r.out.find('\a'), std::string::npos);
      EXPECT_EQ(r.out.find("Press <enter>"), std::string::npos);
      break;
    }
    default:
      EXPECT_NE(r.out.find(testsupport::FatalConsole(Message(p.fault, p.firstFile))), std::string::npos) << r.out;
      break;
  }
}

TEST(MutatedTablesAsPrograms, EveryRunEndsByItselfWithAnAllowedOutcome) {
  std::map<Fault, int> seen;
  // A sanitized program takes most of its run time to start and to check for
  // leaks at its end, so that build runs a fifth of the pairs.
  constexpr int Pairs = AddressSanitizer ? 48 : 240;
  for (int i = 0; i < Pairs; ++i) {
    Mutator mut(0xfee10000u + static_cast<std::uint64_t>(i));
    const int n = 2 + static_cast<int>(mut.Below(2));
    const int m = 2 + static_cast<int>(mut.Below(2));
    const std::string baseA = ValidTable(n, mut), baseB = ValidTable(m, mut);
    // Mostly one faulty file, sometimes both, sometimes an edit that keeps it valid.
    const std::size_t which = mut.Below(4);
    const std::string a = which != 1 ? mut.Mutate(baseA, Bell[n]) : baseA;
    const std::string b = which != 0 ? mut.Mutate(baseB, Bell[m]) : baseB;
    const bool useGencount = i % 2 == 0;
    SCOPED_TRACE("pair " + std::to_string(i) + (useGencount ? " gencount " : " gensample ") + std::to_string(n) + " " +
                 std::to_string(m) + "\nA: " + Printable(a.substr(0, 200)) + "\nB: " + Printable(b.substr(0, 200)));

    testsupport::TempDir dir;
    dir.Write(std::to_string(n) + "-optablea.txt", a);
    dir.Write(std::to_string(m) + "-optableb.txt", b);
    testsupport::RunOptions options;
    options.timeout = std::chrono::milliseconds(20000);
    std::vector<std::string> args{std::to_string(n), std::to_string(m)};
    if (!useGencount) args.insert(args.end(), {"5", "1"});
    const testsupport::Outcome r =
        testsupport::RunIn(dir, useGencount ? "gencount/gencount" : "gensample/gensample", args, options);

    const Prediction p = Predict(a, b, baseA, baseB, n, m);
    ++seen[p.fault];
    CheckRun(r, p, useGencount, n, m);
    if (::testing::Test::HasFatalFailure()) return;
  }
  // Every kind of outcome must have been met, or this test proves little.
  EXPECT_GE(seen[Fault::None], Pairs / 48) << "accepted";
  EXPECT_GE(seen[Fault::TooShort], Pairs / 24) << "too short";
  EXPECT_GE(seen[Fault::InvalidInteger], Pairs / 12) << "invalid integer";
  int corrupt = 0;
  for (Fault f : {Fault::XRange, Fault::YRange, Fault::ResultRange, Fault::MissingCell, Fault::NotCommutative}) {
    corrupt += seen[f];
  }
  EXPECT_GE(corrupt, Pairs / 12) << "corrupt";
}

}  // namespace
