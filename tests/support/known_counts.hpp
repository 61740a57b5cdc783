#pragma once
// The one table of known exact counts, docs/known-counts.txt, as the tests
// read it.  scripts/results reads the same file for the README.
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct KnownCount {
  int n = 0;
  int m = 0;
  std::uint64_t productSize = 0;
  std::uint64_t count = 0;
  std::string how;   // e.g. "gencount; genexact agrees"
  std::string time;  // as measured, e.g. "0.21 s"

  bool By(const std::string& program) const { return how.find(program) != std::string::npos; }
};

// Every row, in file order.  A line that does not parse fails the test that
// asked and is left out.
const std::vector<KnownCount>& KnownCounts();

// The rows obtained (or confirmed) by program whose product has at most
// maxProductSize elements.
std::vector<KnownCount> KnownCountsBy(const std::string& program, std::uint64_t maxProductSize);

// The count of Equ(n) x Equ(m); fails the test when the table has none.
std::uint64_t KnownCountOf(int n, int m);

}  // namespace testsupport
