#pragma once
// Whether a few elements generate a factor held in flat tables
// (flat_factor.hpp).  FlatClosure is the plain closure: genexact's reference
// for its orbit search, the tests' check of the corner tests, and gencount's
// closure for factors too large for SmallFactorClosure.
// IncrementalFlatClosure is the orbit search's fast one: it keeps the closure
// of a base set between candidates and stops as soon as the irreducibles are
// in; gensample closes the sets of a large factor with it.  The scratch of both is sized once by the constructor, so
// their queries allocate nothing.
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

  // The same in steps, for callers that close a base once and try several
  // additions to it (the extension tables of factor_lattice.hpp).
  void Reset() { Truncate(0); }
  void Append(std::int32_t x) {  // appends x unless it is there already
    if (member_[static_cast<std::size_t>(x)] != 0) return;
    member_[static_cast<std::size_t>(x)] = 1;
    list_[static_cast<std::size_t>(count_++)] = static_cast<Element>(x);
  }
  // Contract: the elements list_[0..previous) are combined with each other
  // already.  Semi-naive passes: each pairs every element with those new
  // since the pass before.  Returns true as soon as the list holds the whole
  // factor or an element with stop[x] != 0 (stop may be null); false when
  // the list is closed and is neither.
  bool CloseFrom(std::int32_t previous, const std::uint8_t* stop);
  void Truncate(std::int32_t count);  // removes the elements appended after count
  std::int32_t Count() const { return count_; }
  std::int32_t At(std::int32_t t) const { return list_[static_cast<std::size_t>(t)]; }
  bool Has(std::int32_t x) const { return member_[static_cast<std::size_t>(x)] != 0; }

 private:
  const FlatFactor<Element>& f_;
  std::int32_t count_ = 0;            // entries of list_ in use
  std::vector<Element> list_;         // list_[0..count_): the elements found, in order; size f_.size
  std::vector<std::uint8_t> member_;  // member_[e] = 1 when e is in list_; e in 0..f_.size-1
};

// The closure of a closed base set and one more element.  Membership is a
// byte per element and the base is kept between candidates: only the pairs
// with a new element are formed, and what a candidate added is undone after
// it.  The closure is the whole lattice as soon as it holds the bottom and
// every join-irreducible (every element is a join of those), or the top and
// every meet-irreducible; the shorter of the two lists is watched, so a
// generating candidate usually stops well before its last element is found.
//
// What the candidates of one base teach is kept until the next base: a
// candidate whose closure T is a proper sublattice settles every later
// candidate inside T (its closure with the base lies in T), and a candidate
// x that generates settles every later one whose closure reaches x, so that
// closure stops there.  On Equ(8) most closures were of candidates that do
// not generate, each to its end.
template <class Element>
class IncrementalFlatClosure {
 public:
  // Contract: factor satisfies the lattice laws, bounds set; it outlives this object.
  explicit IncrementalFlatClosure(const FlatFactor<Element>& factor);

  // Makes the closure of the k elements at `set` the base.
  void SetBase(const Element* set, std::int32_t k);

  bool BaseIsAll() const { return baseFound_ == targetCount_; }

  // True when the base and x generate the lattice.  The base is unchanged;
  // the verdict is kept for the later candidates of this base.
  bool GeneratesWith(Element x);

  // True when set[0..count) generates the lattice, by one closure that stops
  // as soon as the watched elements are in (gensample's test of a large
  // factor).  The base is empty afterwards.
  bool Generates(const Element* set, std::int32_t count);

 private:
  void Add(Element e) {
    if (member_[e] != 0) return;
    member_[e] = 1;
    list_.push_back(e);
    found_ += target_[e];
    reachedGenerator_ |= verdict_[e] == GeneratesMark();
  }

  // The marks of the present base in verdict_: a new base makes the old ones stale.
  std::uint32_t FailsMark() const { return 2 * epoch_; }
  std::uint32_t GeneratesMark() const { return 2 * epoch_ + 1; }

  // Forms every pair with an element at position `from` or later; with
  // stopEarly, returns as soon as the targets are all in.
  bool Close(std::size_t from, bool stopEarly);

  const FlatFactor<Element>& f_;
  std::vector<std::uint8_t> target_;  // target_[e] = 1: e is watched; e in 0..f_.size-1
  std::int32_t targetCount_ = 0;      // watched elements in all
  std::vector<std::uint8_t> member_;  // member_[e] = 1 when e is in list_
  std::vector<Element> list_;         // the closure so far, base first; capacity f_.size
  std::size_t baseSize_ = 0;          // list_[0..baseSize_): the base's closure
  std::int32_t found_ = 0;            // watched elements in list_
  std::int32_t baseFound_ = 0;        // watched elements in the base's closure
  // verdict_[e] for the present base: FailsMark() when the base and e do not
  // generate, GeneratesMark() when they do, anything else unknown; e in 0..f_.size-1.
  std::vector<std::uint32_t> verdict_;
  std::uint32_t epoch_ = 1;        // one per base; 0 is never a mark in use
  bool reachedGenerator_ = false;  // list_ holds an element marked as generating
};

}  // namespace lattice
