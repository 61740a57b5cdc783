#pragma once
// Pseudo-random pieces with fixed algorithms, so that a seed gives the same
// draws on every platform and standard library (tests and the table files
// named by a seed rely on that): SplitMix64 (Steele, Lea, Flood 2014) and the
// two unbiased draws below a bound that the programs use.  Each program keeps
// its own draw: changing one would change its output for a given seed.
#include <cstdint>

namespace runframe {

// Uniform in [0, bound) for bound >= 1 from a source of 64-bit words: the
// 2^64 mod bound smallest words are skipped, the rest taken modulo bound.
// optables' shuffle.
template <class Words>
std::uint64_t BelowBySkipping(Words& words, std::uint64_t bound) {
  const std::uint64_t skip = (0 - bound) % bound;
  std::uint64_t r = words.Next();
  while (r < skip) r = words.Next();
  return r % bound;
}

// Uniform in [0, bound) for bound >= 1 from the high 32 bits of each word,
// by Lemire's multiply-and-reject: the high half of bits * bound is the draw,
// the low half tells whether it fell in the short, biased stretch to reject.
// gensample's draw.
template <class Words>
std::uint32_t BelowByMultiplying(Words& words, std::uint32_t bound) {
  const std::uint32_t threshold = static_cast<std::uint32_t>(-bound) % bound;
  for (;;) {
    const auto bits = static_cast<std::uint32_t>(words.Next() >> 32);
    const std::uint64_t m = static_cast<std::uint64_t>(bits) * bound;
    if (static_cast<std::uint32_t>(m) >= threshold) return static_cast<std::uint32_t>(m >> 32);
  }
}

class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

  // BelowBySkipping; throws std::invalid_argument for bound 0.
  std::uint64_t Below(std::uint64_t bound);

 private:
  std::uint64_t state_;
};

}  // namespace runframe
