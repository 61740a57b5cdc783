#pragma once
// Whether a few elements generate a factor held in flat tables
// (flat_factor.hpp), by the plain closure: genexact's reference for its
// orbit search and the tests' check of the corner tests.  Its scratch is
// sized once by the constructor, so Generates allocates nothing.
#include <cstdint>
#include <vector>

#include "lattice/flat_factor.hpp"

namespace lattice {

// Element is std::uint8_t or std::uint16_t (the instantiations flat_closure.cpp provides).
template <class Element>
class FlatClosure {
 public:
  // Contract: factor outlives this object.
  explicit FlatClosure(const FlatFactor<Element>& factor);

  // Contract: set[0..count) are elements of the factor (repeats allowed).
  // True when they generate the whole factor under join and meet.
  bool Generates(const Element* set, std::int32_t count);

 private:
  void Add(Element e) {
    if (member_[e] != 0) return;
    member_[e] = 1;
    list_[static_cast<std::size_t>(count_++)] = e;
  }

  const FlatFactor<Element>& f_;
  std::int32_t count_ = 0;            // entries of list_ in use
  std::vector<Element> list_;         // list_[0..count_): the elements found, in order; size f_.size
  std::vector<std::uint8_t> member_;  // member_[e] = 1 when e is in list_; e in 0..f_.size-1
};

}  // namespace lattice
