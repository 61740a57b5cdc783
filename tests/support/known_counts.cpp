#include "tests/support/known_counts.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace testsupport {
namespace {

std::string Trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

bool Unsigned(const std::string& text, std::uint64_t& value) {
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoull(text);
  return true;
}

std::vector<KnownCount> Load() {
  const std::string path = std::string(GENCOUNT_SOURCE_DIR) + "/docs/known-counts.txt";
  std::ifstream in(path);
  if (!in) ADD_FAILURE() << "cannot read " << path;
  std::vector<KnownCount> rows;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (Trim(line).empty() || Trim(line)[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '|');) fields.push_back(Trim(field));
    KnownCount row;
    std::uint64_t n = 0;
    std::uint64_t m = 0;
    if (fields.size() != 6 || !Unsigned(fields[0], n) || !Unsigned(fields[1], m) ||
        !Unsigned(fields[2], row.productSize) || !Unsigned(fields[3], row.count) || fields[4].empty() ||
        fields[5].empty() || n < 1 || n > 8 || m < 1 || m > 8) {
      ADD_FAILURE() << path << ":" << number << ": not n | m | size | count | how | time: " << line;
      continue;
    }
    row.n = static_cast<int>(n);
    row.m = static_cast<int>(m);
    row.how = fields[4];
    row.time = fields[5];
    rows.push_back(row);
  }
  return rows;
}

}  // namespace

const std::vector<KnownCount>& KnownCounts() {
  static const std::vector<KnownCount> rows = Load();
  return rows;
}

std::vector<KnownCount> KnownCountsBy(const std::string& program, std::uint64_t maxProductSize) {
  std::vector<KnownCount> rows;
  for (const KnownCount& row : KnownCounts()) {
    if (row.By(program) && row.productSize <= maxProductSize) rows.push_back(row);
  }
  return rows;
}

std::uint64_t KnownCountOf(int n, int m) {
  for (const KnownCount& row : KnownCounts()) {
    if (row.n == n && row.m == m) return row.count;
  }
  ADD_FAILURE() << "no known count of " << n << "x" << m;
  return 0;
}

}  // namespace testsupport
