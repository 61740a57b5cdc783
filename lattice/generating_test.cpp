#include "lattice/generating_test.hpp"

#include <utility>

namespace lattice {

ProductShortcuts::ProductShortcuts(ByteFactor a, ByteFactor b) : factorA_(std::move(a)), factorB_(std::move(b)) {
  hold_ = CheckFactor(factorA_).bounds.has_value() && CheckFactor(factorB_).bounds.has_value();
  if (!hold_) return;
  indexIsA_ = factorA_.size <= factorB_.size;  // the fixpoint costs |I|^2 per round
  if (indexIsA_) {
    corners_.emplace(factorA_, factorB_);
  } else {
    corners_.emplace(factorB_, factorA_);
  }
}

void ProductShortcuts::BeginTriple(const std::int32_t (&a)[3], const std::int32_t (&b)[3]) {
  corners_->Clear();
  for (std::int32_t t = 0; t < 3; ++t) AddSeed(a[t], b[t]);
  corners_->Run(false);
  corners_->Save();
}

}  // namespace lattice
