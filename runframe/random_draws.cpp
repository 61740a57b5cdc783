#include "runframe/random_draws.hpp"

#include <stdexcept>

namespace runframe {

std::uint64_t SplitMix64::Below(std::uint64_t bound) {
  if (bound == 0) throw std::invalid_argument("SplitMix64::Below needs a positive bound");
  return BelowBySkipping(*this, bound);
}

}  // namespace runframe
