#include "lattice/factor_lattice.hpp"

#include <bit>

namespace lattice {

SmallFactorClosure::SmallFactorClosure(const FactorView& f)
    : chunks_((f.size + 7) / 8),
      full_(f.size >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << f.size) - 1),
      firstRow_(static_cast<std::size_t>(f.size * chunks_) * 256, 0),
      secondRow_(static_cast<std::size_t>(f.size * chunks_) * 256, 0) {
  for (std::int32_t x = 1; x <= f.size; ++x) {
    for (std::int32_t c = 0; c < chunks_; ++c) {
      const std::size_t base = static_cast<std::size_t>((x - 1) * chunks_ + c) * 256;
      // Each byte value adds its lowest element to the value without it.
      for (std::uint32_t v = 1; v < 256; ++v) {
        const std::int32_t y = c * 8 + std::countr_zero(v) + 1;
        std::uint64_t first = firstRow_[base + (v & (v - 1))];
        std::uint64_t second = secondRow_[base + (v & (v - 1))];
        if (y <= f.size) {
          first |= std::uint64_t{1} << (f.First(x, y) - 1);
          second |= std::uint64_t{1} << (f.Second(x, y) - 1);
        }
        firstRow_[base + v] = first;
        secondRow_[base + v] = second;
      }
    }
  }
}

std::uint64_t SmallFactorClosure::Close(std::uint64_t known, std::uint64_t fresh, std::uint64_t stop) const {
  if (known == full_ || (known & stop) != 0) return full_;
  const std::size_t rowLength = static_cast<std::size_t>(chunks_) * 256;
  while (fresh != 0) {
    // Every fresh element against every known one (the fresh included): the
    // pairs of older elements were combined in an earlier round.
    std::uint64_t found = 0;
    for (std::uint64_t todo = fresh; todo != 0; todo &= todo - 1) {
      const std::size_t x = static_cast<std::size_t>(std::countr_zero(todo));
      const std::uint64_t* first = &firstRow_[x * rowLength];
      const std::uint64_t* second = &secondRow_[x * rowLength];
      for (std::int32_t c = 0; c < chunks_; ++c) {
        const std::size_t v = static_cast<std::size_t>(c) * 256 + ((known >> (8 * c)) & 255);
        found |= first[v] | second[v];
      }
    }
    fresh = found & ~known;
    known |= fresh;
    if (known == full_ || (known & stop) != 0) return full_;
  }
  return known;
}

bool SmallFactorClosure::Generates(const FactorElement* xs, std::int32_t count) const {
  std::uint64_t seeds = 0;
  for (std::int32_t t = 0; t < count; ++t) seeds |= std::uint64_t{1} << (xs[t] - 1);
  return Close(seeds, seeds) == full_;
}

void FactorClosure::Reset() { Truncate(0); }

void FactorClosure::Append(std::int32_t x) {
  if (member_[static_cast<std::size_t>(x)] != 0) return;
  member_[static_cast<std::size_t>(x)] = 1;
  list_[static_cast<std::size_t>(count_++)] = x;
}

void FactorClosure::Truncate(std::int32_t count) {
  for (std::int32_t t = count; t < count_; ++t)
    member_[static_cast<std::size_t>(list_[static_cast<std::size_t>(t)])] = 0;
  count_ = count;
}

bool FactorClosure::CloseFrom(std::int32_t previous, const std::uint8_t* stop) {
  if (count_ == f_.size) return true;
  if (stop != nullptr) {
    for (std::int32_t t = previous; t < count_; ++t) {
      if (stop[list_[static_cast<std::size_t>(t)]] != 0) return true;
    }
  }
  for (;;) {
    const std::int32_t passEnd = count_;
    for (std::int32_t i = 0; i < passEnd; ++i) {
      const std::int32_t xi = list_[static_cast<std::size_t>(i)];
      const FactorElement* first = f_.first + static_cast<std::ptrdiff_t>(xi) * f_.stride;
      const FactorElement* second = f_.second + static_cast<std::ptrdiff_t>(xi) * f_.stride;
      const std::int32_t before = count_;
      for (std::int32_t j = previous; j < passEnd; ++j) {
        const std::int32_t xj = list_[static_cast<std::size_t>(j)];
        Append(first[xj]);
        Append(second[xj]);
      }
      if (count_ == f_.size) return true;
      if (stop != nullptr) {
        for (std::int32_t t = before; t < count_; ++t) {
          if (stop[list_[static_cast<std::size_t>(t)]] != 0) return true;
        }
      }
    }
    previous = passEnd;
    if (count_ == passEnd) return false;
  }
}

bool FactorClosure::Generates(const FactorElement* xs, std::int32_t count) {
  Reset();
  for (std::int32_t t = 0; t < count; ++t) Append(xs[t]);
  const bool generates = CloseFrom(0, nullptr);
  return generates;
}

}  // namespace lattice
