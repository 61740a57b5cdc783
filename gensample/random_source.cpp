#include "gensample/random_source.hpp"

#include <chrono>

namespace gensample {
namespace {

std::uint64_t SplitMix64(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

RandomSource::RandomSource(std::uint64_t seed) {
  std::uint64_t state = seed;
  for (auto& word : s_) word = SplitMix64(state);
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

std::uint32_t RandomSource::Below(std::uint32_t bound) {
  // 32 random bits times the bound: the high half is the draw; the low half
  // tells whether the draw fell in the short, biased stretch to reject.
  const std::uint32_t threshold = static_cast<std::uint32_t>(-bound) % bound;
  for (;;) {
    const auto bits = static_cast<std::uint32_t>(Next() >> 32);
    const std::uint64_t m = static_cast<std::uint64_t>(bits) * bound;
    if (static_cast<std::uint32_t>(m) >= threshold) return static_cast<std::uint32_t>(m >> 32);
  }
}

std::uint64_t SeedFromClock() {
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(ticks).count());
}

}  // namespace gensample
