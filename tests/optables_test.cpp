#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <optional>
#include <regex>
#include <sstream>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "optables/equ_tables.hpp"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;
using lattice::OperationTables;
using Order = std::vector<std::pair<int, int>>;

namespace {

// Bell triangle: each row starts with the last entry of the one before; row k-1 ends in B(k).
std::size_t Bell(int k) {
  std::vector<std::size_t> row{1};
  for (int i = 1; i < k; ++i) {
    std::vector<std::size_t> next{row.back()};
    for (std::size_t v : row) next.push_back(next.back() + v);
    row = next;
  }
  return row.back();
}

// a refines b: points together in a are together in b.
bool Refines(const lattice::Partition& a, const lattice::Partition& b) {
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t j = 0; j < a.size(); ++j)
      if (a[i] == a[j] && b[i] != b[j]) return false;
  return true;
}

bool Same(const OperationTables& a, const OperationTables& b) {
  return a.size == b.size && a.first == b.first && a.second == b.second;
}

Order CanonicalOrder(int n) {
  Order order;
  for (int x = 1; x <= n; ++x)
    for (int y = 1; y <= n; ++y) order.emplace_back(x, y);
  return order;
}

// Reads a table file back without the library; every line must end in exactly eol.
std::pair<OperationTables, Order> Parse(const std::string& text, const std::string& eol, bool meetFirst, int n) {
  static const std::regex line_re("([1-9][0-9]*)&([1-9][0-9]*)=([1-9][0-9]*),([1-9][0-9]*)");
  OperationTables t{n, std::vector<std::int32_t>(n * n), std::vector<std::int32_t>(n * n)};
  Order order;
  for (std::size_t at = 0, end; at < text.size(); at = end + eol.size()) {
    end = text.find(eol, at);
    const std::string line = text.substr(at, end - at);
    std::smatch m;
    int v[4] = {};
    if (end != std::string::npos && std::regex_match(line, m, line_re))
      for (int i = 0; i < 4; ++i) v[i] = std::stoi(m[i + 1]);
    if (v[0] == 0 || *std::max_element(v, v + 4) > n) {
      ADD_FAILURE() << "bad line '" << line << "'";
      break;
    }
    order.emplace_back(v[0], v[1]);
    t.first[(v[0] - 1) * n + v[1] - 1] = v[meetFirst ? 3 : 2];
    t.second[(v[0] - 1) * n + v[1] - 1] = v[meetFirst ? 2 : 3];
  }
  Order sorted = order;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, CanonicalOrder(n)) << "each ordered pair must appear exactly once";
  return {t, order};
}

}  // namespace

TEST(EquTables, HasBellNumberManyDistinctPartitions) {
  for (int k = 1; k <= lattice::MaxEquPoints; ++k) {
    const auto parts = lattice::EquPartitions(k);
    EXPECT_EQ(parts.size(), Bell(k)) << "k=" << k;
    // Strictly increasing: nothing listed twice, and the numbering is a fixed order.
    EXPECT_EQ(std::adjacent_find(parts.begin(), parts.end(), std::greater_equal<>()), parts.end());
    // Equ(8)'s tables are checked by their own test below.
    if (k == 8) continue;
    const OperationTables t = lattice::BuildEquTables(k);
    EXPECT_EQ(static_cast<std::size_t>(t.size), Bell(k));
    EXPECT_EQ(t.first.size() + t.second.size(), 2 * Bell(k) * Bell(k));
  }
  EXPECT_THROW(lattice::BuildEquTables(0), std::invalid_argument);
  EXPECT_THROW(lattice::BuildEquTables(lattice::MaxEquPoints + 1), std::invalid_argument);
}

TEST(EquTables, FastTablesAreThePlainOnes) {
  for (int k = 1; k <= 7; ++k) {
    EXPECT_TRUE(Same(lattice::BuildEquTables(k), lattice::BuildEquTablesPlain(k))) << "k=" << k;
  }
  EXPECT_THROW(lattice::BuildEquTablesPlain(lattice::MaxEquPoints + 1), std::invalid_argument);
}

TEST(EquTables, RankIsThePositionInTheListing) {
  for (int k = 1; k <= lattice::MaxEquPoints; ++k) {
    const auto parts = lattice::EquPartitions(k);
    for (std::size_t i = 0; i < parts.size(); ++i) ASSERT_EQ(lattice::EquRank(parts[i]), static_cast<int>(i));
  }
  EXPECT_THROW(lattice::EquRank({1, 0}), std::invalid_argument);
  EXPECT_THROW(lattice::EquRank({0, 2, 1}), std::invalid_argument);
  EXPECT_THROW(lattice::EquRank({}), std::invalid_argument);
  EXPECT_THROW(lattice::EquRank(lattice::Partition(9, 0)), std::invalid_argument);
}

// Equ(8) is too large for the plain construction in a test; its fast tables are
// checked on the bounds and on pairs spread over the whole table against the
// plain join and meet, numbered by a search in the listing.
TEST(EquTables, Equ8AgreesWithThePlainOperationsOnSpreadPairs) {
  const auto parts = lattice::EquPartitions(8);
  const OperationTables t = lattice::BuildEquTables(8);
  ASSERT_EQ(t.size, 4140);
  ASSERT_EQ(parts.size(), 4140u);
  ASSERT_EQ(t.first.size(), 4140u * 4140u);
  auto number = [&](const lattice::Partition& p) {
    const auto at = std::lower_bound(parts.begin(), parts.end(), p);
    EXPECT_TRUE(at != parts.end() && *at == p);
    return static_cast<int>(at - parts.begin()) + 1;
  };
  // The listing starts with one block, the top, and ends with all points apart, the bottom.
  for (int y = 1; y <= t.size; y += 7) {
    ASSERT_EQ(t.First(1, y), 1);
    ASSERT_EQ(t.Second(1, y), y);
    ASSERT_EQ(t.First(t.size, y), y);
    ASSERT_EQ(t.Second(t.size, y), t.size);
  }
  std::uint64_t state = 88172645463325252ull;
  auto draw = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<int>(state % static_cast<std::uint64_t>(t.size)) + 1;
  };
  for (int k = 0; k < 20000; ++k) {
    const int x = draw();
    const int y = k % 2 == 0 ? draw() : x + (k % 5);
    if (y > t.size) continue;
    const auto& a = parts[static_cast<std::size_t>(x - 1)];
    const auto& b = parts[static_cast<std::size_t>(y - 1)];
    ASSERT_EQ(t.First(x, y), number(lattice::JoinPartitions(a, b))) << x << "&" << y;
    ASSERT_EQ(t.Second(x, y), number(lattice::MeetPartitions(a, b))) << x << "&" << y;
    ASSERT_EQ(t.First(y, x), t.First(x, y));
    ASSERT_EQ(t.Second(y, x), t.Second(x, y));
  }
}

TEST(EquTables, TablesFormTheRefinementLattice) {
  for (int k = 1; k <= 5; ++k) {
    const auto parts = lattice::EquPartitions(k);
    const OperationTables t = lattice::BuildEquTables(k);
    const int n = t.size;
    for (int v : t.first) ASSERT_TRUE(v >= 1 && v <= n);
    for (int v : t.second) ASSERT_TRUE(v >= 1 && v <= n);
    int bottoms = 0, tops = 0;
    for (int x = 1; x <= n; ++x) {
      bool bottom = true, top = true;
      for (int y = 1; y <= n; ++y) {
        EXPECT_TRUE(t.First(x, y) == t.First(y, x) && t.Second(x, y) == t.Second(y, x));
        EXPECT_TRUE(t.First(x, t.Second(x, y)) == x && t.Second(x, t.First(x, y)) == x);
        // With the laws, agreeing with refinement pins the tables down completely.
        const bool below = Refines(parts[x - 1], parts[y - 1]);
        EXPECT_EQ(t.Second(x, y) == x, below) << "k=" << k << " x=" << x << " y=" << y;
        EXPECT_EQ(t.First(x, y) == y, below) << "k=" << k << " x=" << x << " y=" << y;
        bottom = bottom && t.Second(x, y) == x;
        top = top && t.First(x, y) == x;
        for (int z = 1; z <= n; ++z) {
          ASSERT_EQ(t.First(t.First(x, y), z), t.First(x, t.First(y, z)));
          ASSERT_EQ(t.Second(t.Second(x, y), z), t.Second(x, t.Second(y, z)));
        }
      }
      EXPECT_TRUE(t.First(x, x) == x && t.Second(x, x) == x);
      bottoms += bottom;
      tops += top;
    }
    EXPECT_TRUE(bottoms == 1 && tops == 1);
  }
}

TEST(EquRenumber, IsAnIsomorphismAndRejectsNonPermutations) {
  const OperationTables t = lattice::BuildEquTables(4);
  const std::vector<int> perm = optables::ShuffledNumbering(t.size, 7);
  std::vector<int> sorted = perm, identity(perm.size());
  std::sort(sorted.begin(), sorted.end());
  std::iota(identity.begin(), identity.end(), 1);
  EXPECT_EQ(sorted, identity);
  EXPECT_NE(perm, identity);

  const OperationTables r = optables::Renumber(t, perm);
  ASSERT_EQ(r.size, t.size);
  for (int x = 1; x <= t.size; ++x) {
    for (int y = 1; y <= t.size; ++y) {
      EXPECT_EQ(r.First(perm[x - 1], perm[y - 1]), perm[t.First(x, y) - 1]);
      EXPECT_EQ(r.Second(perm[x - 1], perm[y - 1]), perm[t.Second(x, y) - 1]);
    }
  }
  auto with_first = [&](int v) {
    auto p = identity;
    p[0] = v;
    return p;
  };
  for (const auto& bad :
       {with_first(2), with_first(0), with_first(t.size + 1), std::vector<int>(identity.begin() + 1, identity.end())}) {
    EXPECT_THROW(optables::Renumber(t, bad), std::invalid_argument);
  }
}

TEST(EquShuffle, IsPortableUnbiasedAndFollowsTheSeed) {
  // Published outputs of the reference splitmix64.c for this seed.
  optables::SplitMix64 rng(1477776061723855037ULL);
  EXPECT_EQ(rng.Next(), 1985237415132408290ULL);
  EXPECT_EQ(rng.Next(), 2979275885539914483ULL);
  EXPECT_EQ(rng.Next(), 13511426838097143398ULL);
  // Recorded before the source moved to runframe: the files of a given seed stay as they were.
  optables::SplitMix64 draws(9);
  const std::vector<std::uint64_t> want{629977, 628481, 329072, 20956, 428093, 50243};
  std::vector<std::uint64_t> got;
  for (std::size_t i = 0; i < want.size(); ++i) got.push_back(draws.Below(769129));
  EXPECT_EQ(got, want);

  EXPECT_EQ(optables::ShuffledOrder(100, 42), optables::ShuffledOrder(100, 42));
  EXPECT_NE(optables::ShuffledOrder(100, 42), optables::ShuffledOrder(100, 43));
  // All 3! orders must come up about equally often; a skewed or cyclic-only shuffle fails.
  std::map<std::vector<int>, int> counts;
  for (std::uint64_t seed = 0; seed < 6000; ++seed) ++counts[optables::ShuffledOrder(3, seed)];
  EXPECT_EQ(counts.size(), 6u);
  for (const auto& entry : counts) EXPECT_TRUE(entry.second > 850 && entry.second < 1150);
}

TEST(EquRender, ParsesBackUnderEveryOptionAndFollowsTheSeed) {
  const OperationTables t = optables::Renumber(lattice::BuildEquTables(3), optables::ShuffledNumbering(5, 11));
  const std::map<optables::LineEnd, std::string> ends{
      {optables::LineEnd::CrLf, "\r\n"}, {optables::LineEnd::Lf, "\n"}, {optables::LineEnd::Cr, "\r"}};
  for (bool meetFirst : {false, true}) {
    for (auto seed : {std::optional<std::uint64_t>{}, std::optional<std::uint64_t>{5}}) {
      for (const auto& [end, eol] : ends) {
        SCOPED_TRACE(testing::Message() << "meetFirst=" << meetFirst << " shuffled=" << seed.has_value()
                                        << " end=" << static_cast<int>(end));
        const std::string text = optables::RenderTableFile(t, {meetFirst, seed, end});
        const auto [parsed, order] = Parse(text, eol, meetFirst, t.size);
        EXPECT_TRUE(Same(parsed, t));
        EXPECT_EQ(order == CanonicalOrder(t.size), !seed.has_value());
      }
    }
  }
  EXPECT_NE(optables::RenderTableFile(t, {false, 5, {}}), optables::RenderTableFile(t, {false, 6, {}}));
}

// The pieces, put together, are the text rendered in memory, byte for byte, under
// every option and several piece sizes; the size is known before rendering.
TEST(EquRender, PiecesAreTheWholeTextUnderEveryOption) {
  for (int k = 1; k <= 6; ++k) {
    for (const bool renumbered : {false, true}) {
      const OperationTables equ = lattice::BuildEquTables(k);
      const OperationTables t =
          renumbered ? optables::Renumber(equ, optables::ShuffledNumbering(equ.size, 9 + static_cast<unsigned>(k)))
                     : equ;
      for (const bool meetFirst : {false, true}) {
        for (const std::optional<std::uint64_t> seed :
             {std::optional<std::uint64_t>{}, std::optional<std::uint64_t>{5}}) {
          for (const auto end : {optables::LineEnd::CrLf, optables::LineEnd::Lf, optables::LineEnd::Cr}) {
            const optables::RenderOptions options{meetFirst, seed, end};
            const std::string whole = optables::RenderTableFile(t, options);
            EXPECT_EQ(optables::TableFileBytes(t, options), whole.size()) << "k=" << k;
            for (const std::size_t chunk : {std::size_t{1}, std::size_t{100}, std::size_t{1} << 20}) {
              std::string joined;
              std::size_t pieces = 0;
              const bool done = optables::RenderTableChunks(t, options, chunk, [&](std::string_view piece) {
                // A piece holds whole lines and is never much larger than asked.
                EXPECT_FALSE(piece.empty());
                EXPECT_LE(piece.size(), std::max<std::size_t>(chunk, 48) + 48);
                EXPECT_EQ(piece.back(), optables::LineEndText(end).back());
                joined += piece;
                ++pieces;
                return true;
              });
              EXPECT_TRUE(done);
              ASSERT_EQ(joined, whole) << "k=" << k << " meetFirst=" << meetFirst << " chunk=" << chunk;
              if (chunk == 1) {
                EXPECT_EQ(pieces, static_cast<std::size_t>(t.size * t.size));
              }
            }
          }
        }
      }
    }
  }
  // A taker that fails stops the rendering.
  std::size_t calls = 0;
  EXPECT_FALSE(optables::RenderTableChunks(lattice::BuildEquTables(4), {}, 1, [&](std::string_view) {
    ++calls;
    return false;
  }));
  EXPECT_EQ(calls, 1u);
}

namespace {

// A folder of its own for a test of the file writer, removed at the end.
struct WriterFolder {
  WriterFolder() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    path = fs::temp_directory_path() / ("optables_writer_" + std::string(info->name()) + "_" +
                                        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(path);
  }
  ~WriterFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // A request to write Equ(k)'s tables here.
  optables::WriteRequest Request(int k) const {
    optables::WriteRequest request;
    request.k = k;
    request.dir = path.string();
    return request;
  }
  fs::path path;
};

// A file system that reports `free` bytes, or fails with `error`.
optables::FreeSpaceProbe Disk(std::uintmax_t free, int error = 0) {
  return [free, error](const std::string&, std::uintmax_t& bytes) {
    bytes = free;
    return error;
  };
}

}  // namespace

TEST(EquWrite, FilesThatWouldNotFitAreRefusedBeforeAnythingIsWritten) {
  const WriterFolder folder;
  const OperationTables t = lattice::BuildEquTables(4);
  optables::WriteRequest request = folder.Request(4);
  const std::uint64_t one = optables::TableFileBytes(t, request.render);
  ASSERT_EQ(one, optables::RenderTableFile(t, request.render).size());

  // Both files need room at once: one byte short is refused.
  const std::string refused = optables::WriteTableFiles(t, request, Disk(2 * one - 1));
  EXPECT_NE(refused.find("would take 1 MB (" + std::to_string(2 * one) + " bytes), but only 1 MB (" +
                         std::to_string(2 * one - 1) + " bytes) are free in " + request.dir + "; nothing was written"),
            std::string::npos)
      << refused;
  EXPECT_NE(refused.find("4-optablea.txt and "), std::string::npos) << refused;
  EXPECT_TRUE(fs::is_empty(folder.path));

  // One file fits where two would not; exactly enough room is enough.
  request.writeB = false;
  EXPECT_EQ(optables::WriteTableFiles(t, request, Disk(2 * one - 1)), "");
  EXPECT_EQ(folder.Read("4-optablea.txt"), optables::RenderTableFile(t, request.render));
  EXPECT_FALSE(fs::exists(folder.path / "4-optableb.txt"));
  request.writeB = true;
  request.writeA = false;
  request.render.lineEnd = optables::LineEnd::Lf;
  EXPECT_EQ(optables::WriteTableFiles(t, request, Disk(optables::TableFileBytes(t, request.render))), "");
  EXPECT_EQ(folder.Read("4-optableb.txt"), optables::RenderTableFile(t, request.render));

  // A probe that cannot tell leaves it to the writes.
  request.writeA = true;
  EXPECT_EQ(optables::WriteTableFiles(t, request, Disk(0, EIO)), "");
  EXPECT_EQ(folder.Read("4-optablea.txt"), folder.Read("4-optableb.txt"));
  EXPECT_EQ(optables::WriteTableFiles(t, request, nullptr), "");
  EXPECT_FALSE(fs::exists(folder.path / "4-optablea.txt.tmp"));
}

TEST(EquWrite, AFailedWriteLeavesTheOldTables) {
  const WriterFolder folder;
  optables::WriteRequest request = folder.Request(3);
  ASSERT_EQ(optables::WriteTableFiles(lattice::BuildEquTables(3), request, Disk(1u << 30)), "");
  const std::string before = folder.Read("3-optablea.txt");
  // The second file's temporary place is taken by a folder that cannot be removed.
  fs::create_directories(folder.path / "3-optableb.txt.tmp" / "inside");
  request.render.meetFirst = true;
  const std::string failure = optables::WriteTableFiles(lattice::BuildEquTables(3), request, Disk(1u << 30));
  EXPECT_EQ(failure.rfind("cannot write " + (folder.path / "3-optableb.txt").string() + ": ", 0), 0u) << failure;
  EXPECT_EQ(folder.Read("3-optablea.txt"), before);
  EXPECT_FALSE(fs::exists(folder.path / "3-optablea.txt.tmp"));
}

// Job array tasks that share a folder each make the tables they miss, at the
// same moment: every writer must end with whole tables in place, none may
// fail because another is writing, as a task would then count without them.
TEST(EquWrite, WritersOfTheSameTablesAtOnceAllSucceed) {
  const WriterFolder folder;
  const OperationTables t = lattice::BuildEquTables(5);
  optables::WriteRequest request = folder.Request(5);
  const std::string expected = optables::RenderTableFile(t, request.render);
  constexpr int Writers = 4;
  for (int round = 0; round < 10; ++round) {
    std::vector<std::string> failures(Writers);
    std::vector<std::thread> writers;
    for (int w = 0; w < Writers; ++w) {
      writers.emplace_back(
          [&, w] { failures[static_cast<std::size_t>(w)] = optables::WriteTableFiles(t, request, nullptr); });
    }
    for (std::thread& writer : writers) writer.join();
    for (const std::string& failure : failures) ASSERT_EQ(failure, "") << "round " << round;
    ASSERT_EQ(folder.Read("5-optablea.txt"), expected);
    ASSERT_EQ(folder.Read("5-optableb.txt"), expected);
  }
  // Nothing else is left: no temporary, no lock.
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.path)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"5-optablea.txt", "5-optableb.txt"}));
}

class OptablesTool : public testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("GENCOUNT_BIN_DIR");
    if (bin == nullptr) GTEST_SKIP() << "GENCOUNT_BIN_DIR not set";
    tool_ = fs::path(bin) / "optables" / "optables";
    // ctest may run the cases as parallel processes: keep their folders apart.
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / ("optables_test_" + std::string(info->name()) + "_" +
                                         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(root_ / "out");
  }
  void TearDown() override {
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }

  // Runs the tool inside root_/out and returns its exit status; its stderr goes to err_.
  int Run(const std::string& args) {
    const std::string cmd = "cd \"" + (root_ / "out").string() + "\" && \"" + tool_.string() + "\" " + args + " 2>\"" +
                            (root_ / "stderr.txt").string() + "\"";
    const int rc = std::system(cmd.c_str());
    err_ = Read("../stderr.txt");
#ifdef _WIN32
    return rc;
#else
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
#endif
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(root_ / "out" / name, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << name;
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool Exists(const std::string& name) const { return fs::exists(root_ / "out" / name); }

  fs::path tool_, root_;
  std::string err_;
};

TEST_F(OptablesTool, WritesTheRequestedFiles) {
  const OperationTables equ3 = lattice::BuildEquTables(3);
  ASSERT_EQ(Run("3"), 0) << err_;
  const std::string a = Read("3-optablea.txt");
  EXPECT_EQ(a, Read("3-optableb.txt"));
  EXPECT_EQ(std::count(a.begin(), a.end(), '\n'), 25);  // Parse below checks each ends in CR LF
  auto [parsed, order] = Parse(a, "\r\n", false, 5);
  EXPECT_TRUE(Same(parsed, equ3));
  EXPECT_EQ(order, CanonicalOrder(5));

  fs::create_directory(root_ / "out" / "sub");
  const std::string args = "--dir sub --only b --meet-first --line-end lf --seed 9 --shuffle-lines 3";
  ASSERT_EQ(Run(args), 0) << err_;
  EXPECT_FALSE(Exists("sub/3-optablea.txt"));
  const std::string b = Read("sub/3-optableb.txt");
  std::tie(parsed, order) = Parse(b, "\n", true, 5);
  EXPECT_TRUE(Same(parsed, optables::Renumber(equ3, optables::ShuffledNumbering(5, 9))));
  EXPECT_NE(order, CanonicalOrder(5));
  ASSERT_EQ(Run(args), 0) << err_;
  EXPECT_EQ(Read("sub/3-optableb.txt"), b);

  // The seed alone renumbers but keeps the line order; line shuffling alone keeps the numbers.
  const OperationTables renumbered = parsed;
  ASSERT_EQ(Run("--only a --line-end cr --seed 9 3"), 0) << err_;
  std::tie(parsed, order) = Parse(Read("3-optablea.txt"), "\r", false, 5);
  EXPECT_TRUE(Same(parsed, renumbered));
  EXPECT_EQ(order, CanonicalOrder(5));
  ASSERT_EQ(Run("--shuffle-lines 3"), 0) << err_;
  std::tie(parsed, order) = Parse(Read("3-optablea.txt"), "\r\n", false, 5);
  EXPECT_TRUE(Same(parsed, equ3));
  EXPECT_NE(order, CanonicalOrder(5));
}

TEST_F(OptablesTool, FailsWithStatusTwoOnBadUsageAndOneOnWriteErrors) {
  for (const char* args :
       {"", "0", "9", "x", "3 4", "--bogus 3", "--seed -1 3", "--seed 3", "--seed 18446744073709551616 3",
        "--seed 000000000000000000009 3", "--seed 12a 3", "--line-end crlf2 3", "--only c 3", "3 --dir"}) {
    EXPECT_EQ(Run(args), 2) << "args: " << args;
    EXPECT_NE(err_.find("usage:"), std::string::npos) << args;
    EXPECT_TRUE(fs::is_empty(root_ / "out")) << args;
  }
  EXPECT_EQ(Run("--dir missing 3"), 1);
  EXPECT_EQ(err_.rfind("optables: cannot write ", 0), 0u) << err_;
#ifdef __linux__
  // A link planted where a table goes is replaced, never written through.
  fs::create_symlink("/dev/full", root_ / "out" / "3-optablea.txt");
  EXPECT_EQ(Run("--only a 3"), 0) << err_;
  EXPECT_FALSE(fs::is_symlink(root_ / "out" / "3-optablea.txt"));
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
#endif
  // A write that fails leaves the old table whole and writes no further file: here the
  // temporary file's place is taken by a folder that cannot be removed.
  ASSERT_EQ(Run("--only a 3"), 0) << err_;
  const std::string before = Read("3-optablea.txt");
  fs::create_directories(root_ / "out" / "3-optablea.txt.tmp" / "inside");
  EXPECT_EQ(Run("--seed 5 3"), 1);
  EXPECT_EQ(err_.rfind("optables: cannot write ", 0), 0u) << err_;
  EXPECT_EQ(Read("3-optablea.txt"), before);
  EXPECT_FALSE(Exists("3-optableb.txt"));
}

namespace {

// The four numbers of one "x&y=r1,r2" line, parsed by hand: a regex over 769129 lines
// would take longer than writing them.
bool ParseNumbers(const std::string& line, int (&v)[4]) {
  const char seps[] = {'&', '=', ',', '\0'};
  std::size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    int value = 0;
    const std::size_t from = at;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9') value = value * 10 + (line[at++] - '0');
    if (at == from) return false;
    if (seps[i] != '\0') {
      if (at >= line.size() || line[at] != seps[i]) return false;
      ++at;
    }
    v[i] = value;
  }
  return at == line.size();
}

}  // namespace

// Equ(7) is the largest lattice written: 877 elements, 877^2 lines per file, in seconds.
TEST_F(OptablesTool, WritesEqu7WithEveryOption) {
  constexpr int kSize = 877;
  const std::vector<lattice::Partition> parts = lattice::EquPartitions(7);
  ASSERT_EQ(parts.size(), static_cast<std::size_t>(kSize));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Run("7"), 0) << err_;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // Generous for a loaded 2-core machine and the sanitizers; a quadratic slip would not pass.
  EXPECT_LT(seconds, 60.0);
  const std::string a = Read("7-optablea.txt");
  EXPECT_EQ(a, Read("7-optableb.txt"));
  EXPECT_EQ(std::count(a.begin(), a.end(), '\n'), kSize * kSize);
  EXPECT_EQ(std::count(a.begin(), a.end(), '\r'), kSize * kSize);

  // Spot checks against the partitions themselves, spread over the file.
  std::istringstream in(a);
  std::string line;
  int checked = 0;
  for (int index = 0; std::getline(in, line); ++index) {
    if (index % 4099 != 0 && index != kSize * kSize - 1) continue;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    int v[4];
    ASSERT_TRUE(ParseNumbers(line, v)) << line;
    EXPECT_EQ(v[0], index / kSize + 1);
    EXPECT_EQ(v[1], index % kSize + 1);
    const lattice::Partition& x = parts[static_cast<std::size_t>(v[0] - 1)];
    const lattice::Partition& y = parts[static_cast<std::size_t>(v[1] - 1)];
    ASSERT_TRUE(v[2] >= 1 && v[2] <= kSize && v[3] >= 1 && v[3] <= kSize) << line;
    EXPECT_EQ(parts[static_cast<std::size_t>(v[2] - 1)], lattice::JoinPartitions(x, y)) << line;
    EXPECT_EQ(parts[static_cast<std::size_t>(v[3] - 1)], lattice::MeetPartitions(x, y)) << line;
    ++checked;
  }
  EXPECT_GT(checked, 180);

  // All options at once: every cell once, and the tables those of the renumbered lattice.
  fs::create_directory(root_ / "out" / "sub");
  ASSERT_EQ(Run("--dir sub --only b --meet-first --line-end lf --seed 3 --shuffle-lines 7"), 0) << err_;
  EXPECT_FALSE(Exists("sub/7-optablea.txt"));
  const std::string b = Read("sub/7-optableb.txt");
  EXPECT_EQ(std::count(b.begin(), b.end(), '\n'), kSize * kSize);
  EXPECT_EQ(std::count(b.begin(), b.end(), '\r'), 0);
  const OperationTables expected =
      optables::Renumber(lattice::BuildEquTables(7), optables::ShuffledNumbering(kSize, 3));
  std::vector<char> seen(static_cast<std::size_t>(kSize) * kSize, 0);
  std::istringstream shuffled(b);
  bool inOrder = true;
  int index = 0;
  for (; std::getline(shuffled, line); ++index) {
    int v[4];
    ASSERT_TRUE(ParseNumbers(line, v)) << line;
    ASSERT_TRUE(v[0] >= 1 && v[0] <= kSize && v[1] >= 1 && v[1] <= kSize) << line;
    const std::size_t cell = static_cast<std::size_t>(v[0] - 1) * kSize + static_cast<std::size_t>(v[1] - 1);
    inOrder = inOrder && cell == static_cast<std::size_t>(index);
    ASSERT_EQ(seen[cell], 0) << line;
    seen[cell] = 1;
    ASSERT_EQ(v[2], expected.Second(v[0], v[1])) << line;
    ASSERT_EQ(v[3], expected.First(v[0], v[1])) << line;
  }
  EXPECT_EQ(index, kSize * kSize);
  EXPECT_FALSE(inOrder);
}
