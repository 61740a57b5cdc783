#pragma once
// The fast test whether four product elements generate Equ(n) x Equ(m), with
// the same answer as seeding PairList and running SubuniverseClosure.
//
// Why it is sound, for factor tables that are lattices (CheckLattice):
// - Projections are homomorphisms: the generated sublattice S projects onto
//   the sublattices that the four coordinates generate in each factor, so both
//   must be the whole factor.
// - Corners and row minima: the argument of corner_test.hpp, with the index
//   factor I as its D and the value factor V as its V (v is firstOp, ^ is
//   secondOp, top absorbs under v, bottom under ^).  lo(i) here, the ^-fold
//   of S(i) = {v : (i, v) in S}, is its m(i), the least element of S(i); hi(i),
//   the v-fold, is m in the dual lattices.  So S holds (topI, bottomV) exactly
//   when lo(topI) = bottomV, and (bottomI, topV) exactly when hi(bottomI) =
//   topV (with I = A these are (topA, bottomB) and (bottomA, topB); with I = B
//   the same two, exchanged).  Both are reached from the seeds by lowering
//   along lo(i v j) <= lo(i) v lo(j) and lo(i ^ j) <= lo(i) ^ lo(j), dually
//   for hi; every value taken is a ^ (a v) of elements of S(i).  The
//   iteration works on |I| values instead of up to |I| * |V| product
//   elements, so it costs O(|I|^2) table lookups per round where the closure
//   costs O(|S|^2).  The closure tried first and dropped is described there.
//
// CornerFixpoint stays beside CornerTest: it reads Product's 1-based byte
// tables in place, and the exhaustive count's inner loop keeps its state for
// three seeds and extends it by each fourth (Save, Restore).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "lattice/closure.hpp"
#include "lattice/factor_lattice.hpp"
#include "lattice/product.hpp"

namespace lattice {

// The lo/hi fixpoint on the index factor.  No allocation; the scratch arrays
// are reset from the list of touched indexes.  A state reached with some seeds
// can be kept and extended by one more seed, so that the exhaustive count
// works out the three seeds k, l, p once for all their q.
//
// lo and hi do not depend on each other, only on the set of defined indexes,
// which either of them closes.  So lo runs to its fixpoint first: if lo(topI)
// misses bottomV there, the subset fails without any work on hi (this took a
// third off the count of 4 x 5).  Once a corner is reached, its side stops.
class CornerFixpoint {
 public:
  void Setup(const FactorView& index, const FactorBounds& indexBounds, const FactorView& value,
             const FactorBounds& valueBounds) {
    index_ = index;
    value_ = value;
    topI_ = indexBounds.top;
    bottomI_ = indexBounds.bottom;
    topV_ = valueBounds.top;
    bottomV_ = valueBounds.bottom;
    Clear();
  }

  // Contract: the index coordinates idx[] generate the index factor and the
  // value coordinates val[] the value factor.  Returns whether the four
  // elements (idx[t], val[t]) generate the product.
  bool Generates(const std::int32_t (&idx)[4], const std::int32_t (&val)[4]) {
    Clear();
    for (std::int32_t t = 0; t < 4; ++t) AddSeed(idx[t], val[t]);
    return Run(true);
  }

  // Forgets all seeds.
  void Clear() {
    for (std::int32_t t = 0; t < defined_; ++t)
      isDefined_[static_cast<std::size_t>(list_[static_cast<std::size_t>(t)])] = 0;
    defined_ = 0;
    lo_.Drop();
    hi_.Drop();
  }
  // Adds the seed (i, v); Run then takes it into account.
  void AddSeed(std::int32_t i, std::int32_t v) {
    const auto at = static_cast<std::size_t>(i);
    if (isDefined_[at] == 0) {
      Define(i, v, v);
      return;
    }
    lo_.Lower(i, value_.Second(lo_.value[at], static_cast<FactorElement>(v)));
    hi_.Lower(i, value_.First(hi_.value[at], static_cast<FactorElement>(v)));
  }
  // Iterates to the fixpoint.  With decide, stops as soon as the answer is
  // known, leaving a state that only Clear or Restore may follow.  Returns
  // whether both corners are in.
  bool Run(bool decide) {
    while (!lo_.Empty()) {
      if (decide && LoCornerIn()) break;
      Process<true>(lo_.Pop());
    }
    if (decide && !LoCornerIn()) return false;
    while (!hi_.Empty()) {
      if (decide && HiCornerIn()) break;
      Process<false>(hi_.Pop());
    }
    return LoCornerIn() && HiCornerIn();
  }
  // Keeps the state of a finished Run(false); Restore returns to it.
  void Save() {
    const auto cells = static_cast<std::size_t>(index_.size) + 1;
    std::copy_n(lo_.value.begin(), cells, savedLo_.begin());
    std::copy_n(hi_.value.begin(), cells, savedHi_.begin());
    std::copy_n(isDefined_.begin(), cells, savedIsDefined_.begin());
    std::copy_n(list_.begin(), defined_, savedList_.begin());
    savedDefined_ = defined_;
  }
  void Restore() {
    lo_.Drop();
    hi_.Drop();
    const auto cells = static_cast<std::size_t>(index_.size) + 1;
    std::copy_n(savedLo_.begin(), cells, lo_.value.begin());
    std::copy_n(savedHi_.begin(), cells, hi_.value.begin());
    std::copy_n(savedIsDefined_.begin(), cells, isDefined_.begin());
    std::copy_n(savedList_.begin(), savedDefined_, list_.begin());
    defined_ = savedDefined_;
  }

 private:
  static constexpr std::int32_t QueueSize = MaxFactorSize + 1;  // an index is queued at most once

  // One of the two functions with the indexes whose value changed since they
  // were last combined.  "Lower" moves a value towards the corner's target
  // (the ^-fold for lo, the v-fold for hi).
  struct Side {
    std::array<FactorElement, MaxFactorSize + 1> value{};  // value[i] once i is defined; i in 1..|I|
    std::array<std::uint8_t, MaxFactorSize + 1> queued{};  // queued[i] = 1 while i waits in ring
    std::array<std::int32_t, QueueSize> ring{};            // ring[head..tail): the waiting indexes
    std::int32_t head = 0, tail = 0;

    bool Empty() const { return head == tail; }
    void Push(std::int32_t i) {
      queued[static_cast<std::size_t>(i)] = 1;
      ring[static_cast<std::size_t>(tail)] = i;
      tail = tail + 1 == QueueSize ? 0 : tail + 1;
    }
    std::int32_t Pop() {
      const std::int32_t i = ring[static_cast<std::size_t>(head)];
      head = head + 1 == QueueSize ? 0 : head + 1;
      queued[static_cast<std::size_t>(i)] = 0;
      return i;
    }
    void Drop() {
      while (!Empty()) Pop();
      head = tail = 0;
    }
    void Lower(std::int32_t i, FactorElement v) {
      const auto at = static_cast<std::size_t>(i);
      if (v == value[at]) return;
      value[at] = v;
      if (queued[at] == 0) Push(i);
    }
  };

  bool LoCornerIn() const {
    return isDefined_[static_cast<std::size_t>(topI_)] != 0 && lo_.value[static_cast<std::size_t>(topI_)] == bottomV_;
  }
  bool HiCornerIn() const {
    return isDefined_[static_cast<std::size_t>(bottomI_)] != 0 &&
           hi_.value[static_cast<std::size_t>(bottomI_)] == topV_;
  }
  void Define(std::int32_t k, std::int32_t lo, std::int32_t hi) {
    isDefined_[static_cast<std::size_t>(k)] = 1;
    lo_.value[static_cast<std::size_t>(k)] = static_cast<FactorElement>(lo);
    hi_.value[static_cast<std::size_t>(k)] = static_cast<FactorElement>(hi);
    list_[static_cast<std::size_t>(defined_++)] = k;
    lo_.Push(k);
    hi_.Push(k);
  }
  // Combines i with every defined j on one side: (i v j, f(i) v f(j)) and
  // (i ^ j, f(i) ^ f(j)) are in S for f = lo and f = hi.  An index met for the
  // first time gets both of its values.
  template <bool IsLo>
  void Process(std::int32_t i) {
    Side& side = IsLo ? lo_ : hi_;
    Side& other = IsLo ? hi_ : lo_;
    const std::int32_t strideV = value_.stride;
    const FactorElement* const i1 = index_.first + static_cast<std::ptrdiff_t>(i) * index_.stride;
    const FactorElement* const i2 = index_.second + static_cast<std::ptrdiff_t>(i) * index_.stride;
    // Values of i read here may be outdated by an update of i inside the
    // loop; they still lie in S, and i is queued again.
    const std::int32_t fi = side.value[static_cast<std::size_t>(i)];
    const FactorElement* const f1 = value_.first + static_cast<std::ptrdiff_t>(fi) * strideV;
    const FactorElement* const f2 = value_.second + static_cast<std::ptrdiff_t>(fi) * strideV;
    // The fold that moves this side towards its target.
    const FactorElement* const fold = IsLo ? value_.second : value_.first;
    for (std::int32_t t = 0; t < defined_; ++t) {
      const std::int32_t j = list_[static_cast<std::size_t>(t)];
      const std::int32_t fj = side.value[static_cast<std::size_t>(j)];
      const std::int32_t joinIndex = i1[j];
      const std::int32_t meetIndex = i2[j];
      if (isDefined_[static_cast<std::size_t>(joinIndex)] == 0) {
        const std::int32_t gi = other.value[static_cast<std::size_t>(i)], gj = other.value[static_cast<std::size_t>(j)];
        if (IsLo) {
          Define(joinIndex, f1[fj], value_.First(gi, gj));
        } else {
          Define(joinIndex, value_.First(gi, gj), f1[fj]);
        }
      } else {
        side.Lower(joinIndex, fold[side.value[static_cast<std::size_t>(joinIndex)] * strideV + f1[fj]]);
      }
      if (isDefined_[static_cast<std::size_t>(meetIndex)] == 0) {
        const std::int32_t gi = other.value[static_cast<std::size_t>(i)], gj = other.value[static_cast<std::size_t>(j)];
        if (IsLo) {
          Define(meetIndex, f2[fj], value_.Second(gi, gj));
        } else {
          Define(meetIndex, value_.Second(gi, gj), f2[fj]);
        }
      } else {
        side.Lower(meetIndex, fold[side.value[static_cast<std::size_t>(meetIndex)] * strideV + f2[fj]]);
      }
    }
  }

  FactorView index_{};
  FactorView value_{};
  std::int32_t topI_ = 0, bottomI_ = 0, topV_ = 0, bottomV_ = 0;
  std::int32_t defined_ = 0;  // entries of list_ in use
  Side lo_, hi_;
  std::array<std::uint8_t, MaxFactorSize + 1> isDefined_{};  // isDefined_[i] = 1 once S(i) has an element
  std::array<std::int32_t, MaxFactorSize + 1> list_{};       // list_[0..defined_): the defined indexes
  // The state kept by Save, same meanings.
  std::array<FactorElement, MaxFactorSize + 1> savedLo_{}, savedHi_{};
  std::array<std::uint8_t, MaxFactorSize + 1> savedIsDefined_{};
  std::array<std::int32_t, MaxFactorSize + 1> savedList_{};
  std::int32_t savedDefined_ = 0;
};

// Whether a few elements generate one factor: the cheap bound test first (the
// v-fold of a generating set is top, its ^-fold bottom), then the closure.
class FactorGenerationTest {
 public:
  FactorGenerationTest(const FactorView& f, const FactorBounds& bounds) : f_(f), bounds_(bounds) {
    if (f.size <= 64) {
      small_.emplace(f);
    } else {
      large_.emplace(f);
    }
  }

  bool Generates(const FactorElement (&xs)[4]) {
    std::int32_t join = xs[0], meet = xs[0];
    for (std::int32_t t = 1; t < 4; ++t) {
      join = f_.First(join, xs[t]);
      meet = f_.Second(meet, xs[t]);
    }
    if (join != bounds_.top || meet != bounds_.bottom) return false;
    return small_ ? small_->Generates(xs, 4) : large_->Generates(xs, 4);
  }

 private:
  FactorView f_;
  FactorBounds bounds_;
  std::optional<SmallFactorClosure> small_;
  std::optional<FactorClosure> large_;
};

// The corner test for subsets whose projections are known to generate (the
// exhaustive count knows it from its tables).  Set up once per run.
template <std::int32_t MaxSizeA>
class ProductShortcuts {
 public:
  // Contract: p's sizes and factor tables are final.
  explicit ProductShortcuts(const Product<MaxSizeA>& p)
      : viewA_(ViewOf(p.factorA, p.sizeA)),
        viewB_(ViewOf(p.factorB, p.sizeB)),
        boundsA_(CheckLattice(viewA_).bounds),
        boundsB_(CheckLattice(viewB_).bounds) {
    if (!Hold()) return;
    indexIsA_ = p.sizeA <= p.sizeB;  // the fixpoint costs |I|^2 per round
    if (indexIsA_) {
      corners_.Setup(viewA_, *boundsA_, viewB_, *boundsB_);
    } else {
      corners_.Setup(viewB_, *boundsB_, viewA_, *boundsA_);
    }
  }

  // Whether both factors are lattices, so that the shortcuts are sound.
  bool Hold() const { return boundsA_.has_value() && boundsB_.has_value(); }
  const FactorView& ViewA() const { return viewA_; }
  const FactorView& ViewB() const { return viewB_; }
  const FactorBounds& BoundsA() const { return *boundsA_; }
  const FactorBounds& BoundsB() const { return *boundsB_; }
  bool IndexIsA() const { return indexIsA_; }

  // Contract: Hold(), e[] are four different product elements, and their A
  // and B coordinates each generate their factor.  Whether e[] generates the
  // product.
  bool GeneratesGivenProjections(const ProductElement (&e)[4]) {
    std::int32_t idx[4], val[4];
    for (std::int32_t t = 0; t < 4; ++t) {
      idx[t] = indexIsA_ ? e[t].a : e[t].b;
      val[t] = indexIsA_ ? e[t].b : e[t].a;
    }
    return corners_.Generates(idx, val);
  }

  // The same in two steps, for many subsets that share three elements:
  // BeginTriple works out e[] once, then each GeneratesWithFourth(q) answers
  // for e[] and q.  Contract of the latter: as GeneratesGivenProjections for
  // the four elements.
  void BeginTriple(const ProductElement (&e)[3]) {
    corners_.Clear();
    for (std::int32_t t = 0; t < 3; ++t) {
      corners_.AddSeed(indexIsA_ ? e[t].a : e[t].b, indexIsA_ ? e[t].b : e[t].a);
    }
    corners_.Run(false);
    corners_.Save();
  }
  bool GeneratesWithFourth(const ProductElement& q) {
    corners_.Restore();
    corners_.AddSeed(indexIsA_ ? q.a : q.b, indexIsA_ ? q.b : q.a);
    return corners_.Run(true);
  }

 private:
  FactorView viewA_, viewB_;
  std::optional<FactorBounds> boundsA_, boundsB_;
  bool indexIsA_ = true;
  CornerFixpoint corners_;
};

// The whole generating test, for subsets about which nothing is known (the
// random sampler).  Set up once per run; afterwards Generates allocates nothing.
template <std::int32_t MaxSizeA>
class GeneratingTest {
 public:
  // Contract: p's sizes, factor tables and ProductPairs are final.
  explicit GeneratingTest(Product<MaxSizeA>& p) : p_(p), shortcuts_(p) {
    if (!shortcuts_.Hold()) return;
    testA_.emplace(shortcuts_.ViewA(), shortcuts_.BoundsA());
    testB_.emplace(shortcuts_.ViewB(), shortcuts_.BoundsB());
  }

  bool Shortcuts() const { return shortcuts_.Hold(); }

  // Contract: index[] are four different ProductPairs indexes.  The answer of
  // SeedAndClose, which runs instead when the shortcuts do not hold.
  bool Generates(const std::int32_t (&index)[4]) {
    if (!shortcuts_.Hold()) return SeedAndClose(p_, index);
    ProductElement e[4];
    FactorElement a[4], b[4];
    for (std::int32_t t = 0; t < 4; ++t) {
      e[t] = p_.ProductPairs[static_cast<std::size_t>(index[t])];
      a[t] = static_cast<FactorElement>(e[t].a);
      b[t] = static_cast<FactorElement>(e[t].b);
    }
    // The smaller factor first: its test is cheaper, and a random 4-set of
    // Equ(5) generates it only about 2% of the time.
    if (shortcuts_.IndexIsA()) {
      if (!testA_->Generates(a) || !testB_->Generates(b)) return false;
    } else {
      if (!testB_->Generates(b) || !testA_->Generates(a)) return false;
    }
    return shortcuts_.GeneratesGivenProjections(e);
  }

 private:
  Product<MaxSizeA>& p_;
  ProductShortcuts<MaxSizeA> shortcuts_;
  std::optional<FactorGenerationTest> testA_, testB_;
};

}  // namespace lattice
