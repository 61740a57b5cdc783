#include "gensample/random_source.hpp"

#include <chrono>

#include "runframe/random_draws.hpp"

namespace gensample {
namespace {

std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

RandomSource::RandomSource(std::uint64_t seed) {
  runframe::SplitMix64 seeding(seed);
  for (auto& word : s_) word = seeding.Next();
}

std::uint64_t RandomSource::Next() {
  const std::uint64_t result = Rotl(s_[1] * 5, 7) * 9;
  const std::uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = Rotl(s_[3], 45);
  return result;
}

std::uint32_t RandomSource::Below(std::uint32_t bound) { return runframe::BelowByMultiplying(*this, bound); }

std::uint64_t SeedFromClock() {
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(ticks).count());
}

}  // namespace gensample
