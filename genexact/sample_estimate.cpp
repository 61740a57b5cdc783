#include "genexact/sample_estimate.hpp"

#include <algorithm>
#include <set>

namespace genexact {

std::vector<std::size_t> SampleUnits(std::size_t all, std::size_t count, int threads) {
  std::vector<std::size_t> units;
  count = std::min(count, all);
  const std::size_t block = SampleBlockPerThread * static_cast<std::size_t>(std::max(threads, 1));
  const std::size_t blocks = (count + block - 1) / block;
  if (blocks * block > all) {
    for (std::size_t u = 0; u < count; ++u) units.push_back(u);
    return units;
  }
  for (std::size_t b = 0; b < blocks; ++b) {
    // Starts at least `block` apart, as all >= blocks * block.
    const std::size_t start = b * all / blocks;
    const std::size_t length = b + 1 < blocks ? block : count - b * block;
    for (std::size_t u = start; u < start + length; ++u) units.push_back(u);
  }
  return units;
}

double SampleSecondsPerTest(const std::vector<SampledUnit>& units, int threads) {
  std::set<std::size_t> sampled;
  for (const SampledUnit& s : units) sampled.insert(s.unit);
  auto warm = [&](std::size_t u) {
    if (u < static_cast<std::size_t>(threads)) return false;
    for (std::size_t back = 1; back <= static_cast<std::size_t>(threads); ++back) {
      if (sampled.count(u - back) == 0) return false;
    }
    return true;
  };
  double warmSeconds = 0;
  double allSeconds = 0;
  std::uint64_t warmTests = 0;
  std::uint64_t allTests = 0;
  for (const SampledUnit& s : units) {
    allSeconds += s.seconds;
    allTests += s.tests;
    if (warm(s.unit)) {
      warmSeconds += s.seconds;
      warmTests += s.tests;
    }
  }
  if (warmTests > 0) return warmSeconds / static_cast<double>(warmTests) / threads;
  return allTests > 0 ? allSeconds / static_cast<double>(allTests) / threads : 0;
}

}  // namespace genexact
