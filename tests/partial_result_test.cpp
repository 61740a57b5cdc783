// genexact's partial-result files as units: the text round-trips, the
// checksum catches changes, and a save never deletes what is at the name.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "genexact/partial_result.hpp"
#include "tests/support/run_program.hpp"

namespace {

genexact::PartialResult Sample() {
  genexact::PartialResult p;
  p.fingerprint = 0x0123456789abcdefULL;
  p.unitCount = 10;
  p.shardIndex = 2;
  p.shardCount = 3;
  p.done = {{1, 17}, {4, 0}, {7, 123456789012ULL}};
  return p;
}

TEST(PartialResultFile, RoundTripsAndRefusesEveryChangedByte) {
  testsupport::TempDir dir;
  const std::string file = dir.Path() + "/p";
  ASSERT_EQ(genexact::SavePartialResult(file, Sample()), 0);
  genexact::PartialResult back;
  ASSERT_EQ(genexact::LoadPartialResult(file, back), genexact::LoadStatus::Loaded);
  EXPECT_EQ(back.done, Sample().done);
  EXPECT_EQ(back.fingerprint, Sample().fingerprint);
  const std::string text = dir.Read("p");
  // Any digit changed anywhere (also in the checksum itself) is damage.
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') continue;
    std::string changed = text;
    changed[i] = text[i] == '9' ? '0' : static_cast<char>(text[i] + 1);
    dir.Write("p", changed);
    EXPECT_EQ(genexact::LoadPartialResult(file, back), genexact::LoadStatus::Damaged) << i;
  }
}

TEST(PartialResultFile, SaveNeverDeletesWhatIsAtTheName) {
  testsupport::TempDir dir;
  // A folder cannot be replaced by a file: the save fails and the folder,
  // empty as it is, stays.
  std::filesystem::create_directory(dir.Path() + "/c");
  EXPECT_NE(genexact::SavePartialResult(dir.Path() + "/c", Sample()), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() + "/c"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/c.tmp"));
}

}  // namespace
