#pragma once
// One factor lattice of gencount and gensample seen on its own, in the core's
// numbering (flat_factor.hpp): the test whether a few elements generate it,
// and the per-triple tables of the elements that complete a triple to a
// generating set.  The fast generating test of the product
// (generating_test.hpp) is built from these.
//
// Sets of factor elements are bit sets: element x is bit x.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "lattice/flat_closure.hpp"
#include "lattice/flat_factor.hpp"
#include "lattice/product.hpp"
#include "lattice/split_refutation.hpp"

namespace lattice {

// A factor of gencount and gensample: at most 203 elements, a byte each.
using ByteFactor = FlatFactor<FactorElement>;

// The factor held in Product's storage (the file's numbers, row and column 0
// unused), in the core's numbering.  Contract: the tables are complete and in
// range, which the reader has checked.
template <std::int32_t Capacity>
ByteFactor FlatFactorOf(const FactorTables<Capacity>& t, std::int32_t size) {
  ByteFactor f;
  f.size = size;
  f.join.resize(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
  f.meet.resize(f.join.size());
  for (std::int32_t x = 0; x < size; ++x) {
    for (std::int32_t y = 0; y < size; ++y) {
      f.join[FlatCell(x, y, size)] = static_cast<FactorElement>(t.firstOp[x + 1][y + 1] - 1);
      f.meet[FlatCell(x, y, size)] = static_cast<FactorElement>(t.secondOp[x + 1][y + 1] - 1);
    }
  }
  return f;
}

// A set of up to 64 * W factor elements; element x is bit x.
template <int W>
struct ElementSet {
  std::array<std::uint64_t, W> word{};

  bool Has(std::int32_t x) const {
    const auto b = static_cast<std::uint32_t>(x);
    return ((word[b >> 6] >> (b & 63)) & 1U) != 0;
  }
  void Add(std::int32_t x) {
    const auto b = static_cast<std::uint32_t>(x);
    word[b >> 6] |= std::uint64_t{1} << (b & 63);
  }
  bool Empty() const {
    std::uint64_t any = 0;
    for (const std::uint64_t w : word) any |= w;
    return any == 0;
  }
  ElementSet& operator|=(const ElementSet& o) {
    for (int i = 0; i < W; ++i) word[static_cast<std::size_t>(i)] |= o.word[static_cast<std::size_t>(i)];
    return *this;
  }
  // Calls visit(x) for every element x >= from, in increasing order.
  template <class Visit>
  void ForEachFrom(std::int32_t from, Visit&& visit) const {
    const auto start = static_cast<std::uint32_t>(from);
    for (std::uint32_t i = start >> 6; i < static_cast<std::uint32_t>(W); ++i) {
      std::uint64_t bits = word[i];
      if (i == start >> 6) bits &= ~std::uint64_t{0} << (start & 63);
      while (bits != 0) {
        visit(static_cast<std::int32_t>(i * 64 + static_cast<std::uint32_t>(__builtin_ctzll(bits))));
        bits &= bits - 1;
      }
    }
  }
};

// The closure of a set of elements of one factor with at most 64 elements, on
// 64-bit sets: the join and meet of x with every element of a
// set are looked up a byte of the set at a time.  (Half-byte tables, 8 times
// smaller, built the extension table of Equ(5) 1.4 times slower; a closure on
// a list with a byte per element, 1.8 times slower.)
class SmallFactorClosure {
 public:
  // Contract: f.size <= 64.  Builds the byte tables (f.size * ceil(size/8) *
  // 256 entries per operation, 1.5 MB for Equ(5)).  Larger factors are
  // closed by FlatClosure (flat_closure.hpp).
  explicit SmallFactorClosure(const ByteFactor& f);

  std::uint64_t Full() const { return full_; }

  // Contract: the pairs of elements of known \ fresh are already combined,
  // fresh is a subset of known.  Returns the closure of known, or Full() as
  // soon as the closure is the whole factor or meets stop (whose elements are
  // known to complete it to a generating set).
  std::uint64_t Close(std::uint64_t known, std::uint64_t fresh, std::uint64_t stop = 0) const;

  // Whether the elements xs[0..count) generate the factor.
  bool Generates(const FactorElement* xs, std::int32_t count) const;

 private:
  std::int32_t chunks_;                   // bytes of a set that hold elements
  std::uint64_t full_;                    // the set of all elements
  std::vector<std::uint64_t> firstRow_;   // [(x*chunks_+c)*256+v]: {join(x,y) : y in byte c = v}; x in 0..size-1
  std::vector<std::uint64_t> secondRow_;  // the same for meet
};

// For every triple x <= y <= z of factor elements, the set of the elements w
// for which {x, y, z, w} generates the factor; and for every pair x <= y the
// set of the z for which some such w exists.  These let the exhaustive count
// pass over whole ranges of subsets whose projection cannot generate.
template <int W>
class FactorExtensions {
 public:
  using Set = ElementSet<W>;

  // Contract: CheckFactor(f) succeeded, and f has at most 64 * W elements;
  // f outlives this object.
  // The whole table: by closures for factors of at most 64 elements, from
  // the generating sets up to symmetry for larger ones (BuildBySymmetry).
  void Build(const ByteFactor& f);
  // The whole table from the generating sets of at most four elements: the
  // orbit search (generating_sets.hpp) lists one per orbit of the
  // automorphism group, and their images spell out the rest.  Equ(6): about
  // 0.1 s, against a minute for closing every triple.
  void BuildBySymmetry(const ByteFactor& f);
  // The table filled triple by triple by closures when asked, for any size,
  // with every pair left open: the plain version, kept to check the others.
  void BuildLazily(const ByteFactor& f);

  // The extensions of the triple {x, y, z} in any order.
  const Set& Triple(std::int32_t x, std::int32_t y, std::int32_t z) {
    if (x > y) std::swap(x, y);
    if (y > z) std::swap(y, z);
    if (x > y) std::swap(x, y);
    return TripleSorted(x, y, z);
  }
  // The same for x <= y <= z.
  const Set& TripleSorted(std::int32_t x, std::int32_t y, std::int32_t z) {
    const std::size_t at = TripleIndex(x, y, z);
    if (!filled_[at]) FillTriple(x, y, z, at);
    return triples_[at];
  }
  // The z for which the pair {x, y}, x <= y, has a triple with extensions;
  // all elements when the table is filled lazily.
  const Set& PairSorted(std::int32_t x, std::int32_t y) const { return pairs_[PairIndex(x, y)]; }

 private:
  // Position of x <= y <= z in the packed tables.
  std::size_t TripleIndex(std::int32_t x, std::int32_t y, std::int32_t z) const {
    return tetra_[static_cast<std::size_t>(z)] + tri_[static_cast<std::size_t>(y)] + static_cast<std::size_t>(x);
  }
  std::size_t PairIndex(std::int32_t x, std::int32_t y) const {
    return tri_[static_cast<std::size_t>(y)] + static_cast<std::size_t>(x);
  }
  void Allocate(const ByteFactor& f);
  void BuildEager();
  // Records that the sorted set s[0..count) generates in every triple that
  // it completes, and as the whole factor in the triples it holds.
  void RecordGenerating(const FactorElement* s, std::int32_t count, const Set& all);
  // The pair table from the filled triple table.
  void FillPairs();
  void FillTriple(std::int32_t x, std::int32_t y, std::int32_t z, std::size_t at);

  const ByteFactor* f_ = nullptr;
  std::vector<std::size_t> tetra_;  // tetra_[z] = C(z+2, 3): triples with their largest element below z; z in 0..size-1
  std::vector<std::size_t> tri_;    // tri_[y] = C(y+1, 2): pairs with their larger element below y; y in 0..size-1
  std::vector<Set> triples_;        // triples_[TripleIndex(x, y, z)]: the extensions of x <= y <= z
  std::vector<std::uint8_t> filled_;  // filled_[TripleIndex(...)] = 1 once that entry is known
  std::vector<Set> pairs_;            // pairs_[PairIndex(x, y)]: the z for which x <= y, z has extensions
  std::optional<FlatClosure<FactorElement>> lazy_;
  std::vector<std::uint8_t> lazyKnown_;  // lazyKnown_[w], w in 0..size-1: scratch of FillTriple
  std::vector<std::uint8_t> lazyStop_;   // lazyStop_[w], w in 0..size-1: scratch of FillTriple
};

// FactorExtensions is built for one word (factors of up to 64 elements) and
// for the words of the largest factor (factor_lattice.cpp).
inline constexpr int FactorWords = (MaxFactorSize + 63) / 64;

// How FactorGenerationTest decides: by the route that is quickest for the
// factor's size (BySize), or always by the split refutation and the
// incremental closure (so that tests reach that route on small factors).
enum class FactorTestRoute { BySize, Refuting };

// Whether a few elements generate one factor: the cheap bound test first (the
// join of a generating set is top, its meet bottom), then the closure.  The
// bound test is weak on large factors (90 % of random 4-sets of Equ(6) pass
// it, 1.6 % generate), and their closure is long: there the split refutation
// (split_refutation.hpp) settles most sets first (95 % of those that pass
// the bound test), and the closure of a factor beyond 64 elements stops as
// soon as it holds the irreducibles (flat_closure.hpp).  A million random
// 4-sets of Equ(6) took 1.2 s by the plain closure and take about 0.2 s so;
// gensample 5 6 ran twice as fast.  Up to Equ(4) the byte-table closure
// alone is as quick.
class FactorGenerationTest {
 public:
  // Contract: CheckFactor(f) succeeded; f outlives this object.
  explicit FactorGenerationTest(const ByteFactor& f, FactorTestRoute route = FactorTestRoute::BySize)
      : factor_(f),
        join_(f.join.data()),
        meet_(f.meet.data()),
        size_(f.size),
        top_(f.top),
        bottom_(f.bottom),
        refutation_(f),
        refute_(f.size > RefuteAbove || route == FactorTestRoute::Refuting) {
    if (f.size <= 64 && route == FactorTestRoute::BySize) {
      small_.emplace(f);
    } else {
      large_.emplace(f);
    }
  }

  bool Generates(const FactorElement (&xs)[4]) {
    std::int32_t join = xs[0], meet = xs[0];
    for (std::int32_t t = 1; t < 4; ++t) {
      join = join_[FlatCell(join, xs[t], size_)];
      meet = meet_[FlatCell(meet, xs[t], size_)];
    }
    if (join != top_ || meet != bottom_) return false;
    using Refutation = SplitRefutation<FactorElement>;
    if (refute_ && refutation_.Refutes(factor_, Refutation::PartsOf(factor_, xs, 3), 3, xs[3])) return false;
    return small_ ? small_->Generates(xs, 4) : large_->Generates(xs, 4);
  }

 private:
  // The refutation runs for factors of more elements: for Equ(3) and Equ(4)
  // it cost as much as it saved (gensample 2 3: a third slower).
  static constexpr std::int32_t RefuteAbove = 16;

  const ByteFactor& factor_;
  // The factor's tables and bounds held here: the bound test runs for every
  // subset the sampler draws, and reading them through the factor took a
  // tenth longer.
  const FactorElement* join_;
  const FactorElement* meet_;
  std::int32_t size_;
  FactorElement top_, bottom_;
  SplitRefutation<FactorElement> refutation_;
  bool refute_;  // whether Generates asks refutation_ before closing
  std::optional<SmallFactorClosure> small_;
  std::optional<IncrementalFlatClosure<FactorElement>> large_;
};

}  // namespace lattice
