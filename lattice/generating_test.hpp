#pragma once
// The fast test whether four product elements generate Equ(n) x Equ(m), with
// the same answer as seeding PairList and running SubuniverseClosure.
//
// Product's tables are copied once into the core's numbering (FlatFactorOf);
// the corner test is CornerFixpoint (corner_fixpoint.hpp) with the smaller
// factor as its index factor I and the other as its value factor V.  Its
// argument needs both factors to be lattices (CheckFactor); where one is
// not, the plain closure decides every subset.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "lattice/closure.hpp"
#include "lattice/corner_fixpoint.hpp"
#include "lattice/factor_lattice.hpp"
#include "lattice/product.hpp"

namespace lattice {

// The corner test for subsets whose projections are known to generate (the
// exhaustive count knows it from its tables).  Set up once per run.
// Coordinates are in the core's numbering: a in 0..sizeA-1, b in 0..sizeB-1.
class ProductShortcuts {
 public:
  // Contract: the factors' tables are complete and in range.
  ProductShortcuts(ByteFactor a, ByteFactor b);
  // Contract: p's sizes and factor tables are final.
  template <std::int32_t MaxSizeA>
  explicit ProductShortcuts(const Product<MaxSizeA>& p)
      : ProductShortcuts(FlatFactorOf(p.factorA, p.sizeA), FlatFactorOf(p.factorB, p.sizeB)) {}
  ProductShortcuts(const ProductShortcuts&) = delete;  // corners_ refers to the factors
  ProductShortcuts& operator=(const ProductShortcuts&) = delete;

  // Whether both factors are lattices, so that the shortcuts are sound.
  bool Hold() const { return hold_; }
  // The factors in the core's numbering, bounds set when Hold().
  const ByteFactor& FactorA() const { return factorA_; }
  const ByteFactor& FactorB() const { return factorB_; }
  bool IndexIsA() const { return indexIsA_; }

  // Contract: Hold(), (a[t], b[t]) are four different product elements, and
  // a[] generates A, b[] generates B.  Whether they generate the product.
  // Projections are homomorphisms, so a generating subset needs both.
  bool GeneratesGivenProjections(const FactorElement (&a)[4], const FactorElement (&b)[4]) {
    return indexIsA_ ? corners_->Generates(a, b) : corners_->Generates(b, a);
  }

  // The same in two steps, for many subsets that share three elements:
  // BeginTriple works out (a[t], b[t]) once, then each GeneratesWithFourth
  // answers for them and (a, b).  Contract of the latter: as
  // GeneratesGivenProjections for the four elements.
  void BeginTriple(const std::int32_t (&a)[3], const std::int32_t (&b)[3]);
  bool GeneratesWithFourth(std::int32_t a, std::int32_t b) {
    corners_->Restore();
    AddSeed(a, b);
    return corners_->Run(true);
  }

 private:
  void AddSeed(std::int32_t a, std::int32_t b) {
    if (indexIsA_) {
      corners_->AddSeed(a, b);
    } else {
      corners_->AddSeed(b, a);
    }
  }

  ByteFactor factorA_, factorB_;
  bool hold_ = false;
  bool indexIsA_ = true;
  std::optional<CornerFixpoint<FactorElement>> corners_;
};

// The whole generating test, for subsets about which nothing is known (the
// random sampler).  Set up once per run; afterwards Generates allocates nothing.
template <std::int32_t MaxSizeA>
class GeneratingTest {
 public:
  // Contract: p's sizes, factor tables and ProductPairs are final.  route:
  // how the factors' tests decide (FactorGenerationTest).
  explicit GeneratingTest(Product<MaxSizeA>& p, FactorTestRoute route = FactorTestRoute::BySize)
      : p_(p), shortcuts_(p) {
    if (!shortcuts_.Hold()) return;
    testA_.emplace(shortcuts_.FactorA(), route);
    testB_.emplace(shortcuts_.FactorB(), route);
  }

  bool Shortcuts() const { return shortcuts_.Hold(); }

  // Contract: index[] are four different ProductPairs indexes.  The answer of
  // SeedAndClose, which runs instead when the shortcuts do not hold.
  bool Generates(const std::int32_t (&index)[4]) {
    if (!shortcuts_.Hold()) return SeedAndClose(p_, index);
    FactorElement a[4], b[4];
    for (std::int32_t t = 0; t < 4; ++t) {
      const ProductElement e = p_.ProductPairs[static_cast<std::size_t>(index[t])];
      a[t] = static_cast<FactorElement>(e.a - 1);  // Product numbers from 1
      b[t] = static_cast<FactorElement>(e.b - 1);
    }
    // The smaller factor first: its test is cheaper, and a random 4-set of
    // Equ(5) generates it only about 2% of the time.
    if (shortcuts_.IndexIsA()) {
      if (!testA_->Generates(a) || !testB_->Generates(b)) return false;
    } else {
      if (!testB_->Generates(b) || !testA_->Generates(a)) return false;
    }
    return shortcuts_.GeneratesGivenProjections(a, b);
  }

 private:
  Product<MaxSizeA>& p_;
  ProductShortcuts shortcuts_;
  std::optional<FactorGenerationTest> testA_, testB_;
};

}  // namespace lattice
