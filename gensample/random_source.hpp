#pragma once
// The pseudo-random source of the sampler: xoshiro256** seeded through
// splitmix64, with unbiased draws below a bound.  Fixed algorithms, so a given
// seed gives the same draws on every platform (tests rely on that).
#include <cstdint>

namespace gensample {

class RandomSource {
 public:
  explicit RandomSource(std::uint64_t seed);

  std::uint64_t Next();

  // Uniform over 0..bound-1 for bound >= 1, without modulo bias
  // (runframe::BelowByMultiplying).
  std::uint32_t Below(std::uint32_t bound);

 private:
  std::uint64_t s_[4]{};
};

// A seed from the millisecond tick count, taken once per run.
std::uint64_t SeedFromClock();

}  // namespace gensample
