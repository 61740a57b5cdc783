#include "lattice/factor_lattice.hpp"

#include <algorithm>
#include <bit>
#include <stdexcept>

#include "lattice/automorphisms.hpp"
#include "lattice/generating_sets.hpp"

namespace lattice {

SmallFactorClosure::SmallFactorClosure(const ByteFactor& f)
    : chunks_((f.size + 7) / 8),
      full_(f.size >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << f.size) - 1),
      firstRow_(static_cast<std::size_t>(f.size * chunks_) * 256, 0),
      secondRow_(static_cast<std::size_t>(f.size * chunks_) * 256, 0) {
  for (std::int32_t x = 0; x < f.size; ++x) {
    for (std::int32_t c = 0; c < chunks_; ++c) {
      const std::size_t base = static_cast<std::size_t>(x * chunks_ + c) * 256;
      // Each byte value adds its lowest element to the value without it.
      for (std::uint32_t v = 1; v < 256; ++v) {
        const std::int32_t y = c * 8 + std::countr_zero(v);
        std::uint64_t first = firstRow_[base + (v & (v - 1))];
        std::uint64_t second = secondRow_[base + (v & (v - 1))];
        if (y < f.size) {
          first |= std::uint64_t{1} << f.Join(x, y);
          second |= std::uint64_t{1} << f.Meet(x, y);
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
  for (std::int32_t t = 0; t < count; ++t) seeds |= std::uint64_t{1} << xs[t];
  return Close(seeds, seeds) == full_;
}

template <int W>
void FactorExtensions<W>::Allocate(const ByteFactor& f) {
  const std::int32_t s = f.size;
  if (s < 1 || s > 64 * W) throw std::logic_error("FactorExtensions: the factor does not fit the sets");
  f_ = &f;
  tetra_.assign(static_cast<std::size_t>(s), 0);
  tri_.assign(static_cast<std::size_t>(s), 0);
  for (std::size_t z = 0; z < static_cast<std::size_t>(s); ++z) {
    tetra_[z] = (z + 2) * (z + 1) * z / 6;
    tri_[z] = (z + 1) * z / 2;
  }
  const auto size = static_cast<std::size_t>(s);
  triples_.assign((size + 2) * (size + 1) * size / 6, Set{});
  pairs_.assign((size + 1) * size / 2, Set{});
}

template <int W>
void FactorExtensions<W>::Build(const ByteFactor& f) {
  if (f.size > 64) {
    BuildBySymmetry(f);
    return;
  }
  Allocate(f);
  filled_.assign(triples_.size(), 1);
  BuildEager();
  FillPairs();
}

// Every generating set of at most four elements is the image of one that the
// orbit search lists under some group element (under a subgroup of the
// automorphisms too, which FindAutomorphisms may return), so recording the
// images of every listed set under every group element records them all;
// a set met twice is recorded twice, which changes nothing.  Equ(6): 1661
// sets and 720 automorphisms.
template <int W>
void FactorExtensions<W>::BuildBySymmetry(const ByteFactor& f) {
  Allocate(f);
  filled_.assign(triples_.size(), 1);
  Set all{};
  for (std::int32_t x = 0; x < f.size; ++x) all.Add(x);
  const AutomorphismGroup<FactorElement> group = FindAutomorphisms(f);
  for (const GeneratingSet<FactorElement>& listed : GeneratingSetOrbits(f, group)) {
    for (const Permutation<FactorElement>& g : group.elements) {
      FactorElement image[MaxGeneratingSetSize];
      for (std::int32_t i = 0; i < listed.size; ++i) image[i] = g[listed.elements[static_cast<std::size_t>(i)]];
      SortSmall(image, listed.size);
      RecordGenerating(image, listed.size, all);
    }
  }
  FillPairs();
}

// The triples with the repeated elements stand for the sets they hold: the
// triple x, x, z asks for the w with {x, z, w} generating.
template <int W>
void FactorExtensions<W>::RecordGenerating(const FactorElement* s, std::int32_t count, const Set& all) {
  auto at = [this](std::int32_t x, std::int32_t y, std::int32_t z) -> Set& { return triples_[TripleIndex(x, y, z)]; };
  switch (count) {
    case 1:
      at(s[0], s[0], s[0]) = all;
      break;
    case 2:
      at(s[0], s[0], s[1]) = all;
      at(s[0], s[1], s[1]) = all;
      at(s[0], s[0], s[0]).Add(s[1]);
      at(s[1], s[1], s[1]).Add(s[0]);
      break;
    case 3:
      at(s[0], s[1], s[2]) = all;
      // Each pair of the three, completed by the third.
      for (std::int32_t out = 0; out < 3; ++out) {
        const std::int32_t x = s[out == 0 ? 1 : 0], z = s[out == 2 ? 1 : 2];
        at(x, x, z).Add(s[out]);
        at(x, z, z).Add(s[out]);
      }
      break;
    default:
      at(s[0], s[1], s[2]).Add(s[3]);
      at(s[0], s[1], s[3]).Add(s[2]);
      at(s[0], s[2], s[3]).Add(s[1]);
      at(s[1], s[2], s[3]).Add(s[0]);
      break;
  }
}

template <int W>
void FactorExtensions<W>::FillPairs() {
  const std::int32_t s = f_->size;
  for (std::int32_t x = 0; x < s; ++x) {
    for (std::int32_t y = x; y < s; ++y) {
      Set& pair = pairs_[PairIndex(x, y)];
      for (std::int32_t z = 0; z < s; ++z) {
        const std::int32_t lo = z < x ? z : x;
        const std::int32_t mid = z < x ? x : (z < y ? z : y);
        const std::int32_t hi = z < y ? y : z;
        if (!triples_[TripleIndex(lo, mid, hi)].Empty()) pair.Add(z);
      }
    }
  }
}

// The plain table: each triple is closed when first asked (all of Equ(6)'s
// 1.4 million triples, with up to 203 closures each, took about a minute),
// and no pair is ruled out.
template <int W>
void FactorExtensions<W>::BuildLazily(const ByteFactor& f) {
  Allocate(f);
  filled_.assign(triples_.size(), 0);
  Set all{};
  for (std::int32_t x = 0; x < f.size; ++x) all.Add(x);
  for (Set& pair : pairs_) pair = all;
  lazy_.emplace(f);
  lazyKnown_.assign(static_cast<std::size_t>(f.size), 0);
  lazyStop_.assign(static_cast<std::size_t>(f.size), 0);
}

// Goes through the 4-sets x < y < z < w once each, closing {x, y, z} first and
// then adding w.  Two shortcuts keep the closures few (Equ(5): about 86000
// closures for 270725 sets instead of one each):
// - a closure M of {x, y, z, w} that is not the factor is a proper sublattice
//   containing x and y, so every 4-set {x, y, z', w'} inside M fails too;
// - once {x, y, z, w} is known to generate, a later closure of {x, y, z, w'}
//   that reaches w generates as well.
// A global cache of the failing sublattices halved the closures again but cost
// more in lookups than it saved; dropped.
template <int W>
void FactorExtensions<W>::BuildEager() {
  const ByteFactor& f = *f_;
  const std::int32_t s = f.size;
  const SmallFactorClosure closure(f);
  const std::uint64_t full = closure.Full();
  auto bit = [](std::int32_t x) { return std::uint64_t{1} << x; };
  auto word = [this](std::int32_t x, std::int32_t y, std::int32_t z) -> std::uint64_t& {
    return triples_[TripleIndex(x, y, z)].word[0];
  };
  // Records the generating 4-set x < y < z < w in all four of its triples.
  auto record = [&](std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t w) {
    word(x, y, z) |= bit(w);
    word(x, y, w) |= bit(z);
    word(x, z, w) |= bit(y);
    word(y, z, w) |= bit(x);
  };
  // For the current pair x < y: fails[z] holds the w for which {x, y, z, w}
  // is known to fail, completes[z] those for which it is known to generate.
  std::vector<std::uint64_t> fails(static_cast<std::size_t>(s));
  std::vector<std::uint64_t> completes(static_cast<std::size_t>(s));
  for (std::int32_t x = 0; x < s; ++x) {
    for (std::int32_t y = x + 1; y < s; ++y) {
      std::fill(fails.begin(), fails.end(), 0);
      std::fill(completes.begin(), completes.end(), 0);
      for (std::int32_t z = y + 1; z < s; ++z) {
        const std::uint64_t seeds = bit(x) | bit(y) | bit(z);
        const std::uint64_t triple = closure.Close(seeds, seeds);
        if (triple == full) {
          word(x, y, z) = full;
          for (std::int32_t w = z + 1; w < s; ++w) record(x, y, z, w);
          continue;
        }
        std::uint64_t known = triple | fails[static_cast<std::size_t>(z)];
        std::uint64_t stop = completes[static_cast<std::size_t>(z)];
        for (std::int32_t w = z + 1; w < s; ++w) {
          if ((known & bit(w)) != 0) continue;
          const std::uint64_t reached = closure.Close(triple | bit(w), bit(w), stop);
          if (reached == full) {
            record(x, y, z, w);
            stop |= bit(w);
            completes[static_cast<std::size_t>(w)] |= bit(z);
          } else {
            known |= reached;
            for (std::uint64_t in = reached; in != 0; in &= in - 1) {
              fails[static_cast<std::size_t>(std::countr_zero(in))] |= reached;
            }
          }
        }
      }
    }
  }
  // Triples with a repeated element: {x, z} generates exactly when its four
  // elements x, z, x v z, x ^ z are all, and {x, z, w} when its triple entry
  // is the whole factor.
  auto pairGenerates = [&](std::int32_t x, std::int32_t z) {
    return (bit(x) | bit(z) | bit(f.Join(x, z)) | bit(f.Meet(x, z))) == full;
  };
  for (std::int32_t x = 0; x < s; ++x) {
    for (std::int32_t z = x + 1; z < s; ++z) {
      std::uint64_t ext = pairGenerates(x, z) ? full : 0;
      for (std::int32_t w = 0; w < s && ext != full; ++w) {
        if (w == x || w == z) continue;
        std::int32_t t[3] = {x, z, w};
        if (t[1] > t[2]) std::swap(t[1], t[2]);
        if (t[0] > t[1]) std::swap(t[0], t[1]);
        if (t[1] > t[2]) std::swap(t[1], t[2]);
        if (word(t[0], t[1], t[2]) == full) ext |= bit(w);
      }
      word(x, x, z) = ext;
      word(x, z, z) = ext;
    }
    std::uint64_t ext = s == 1 ? full : 0;
    for (std::int32_t w = 0; w < s; ++w) {
      if (w != x && pairGenerates(x, w)) ext |= bit(w);
    }
    word(x, x, x) = ext;
  }
}

// One triple of a large factor: its closure T, then T with each w, with the
// same two shortcuts as BuildEager within the triple.
template <int W>
void FactorExtensions<W>::FillTriple(std::int32_t x, std::int32_t y, std::int32_t z, std::size_t at) {
  FlatClosure<FactorElement>& c = *lazy_;
  const std::int32_t s = f_->size;
  Set ext{};
  c.Reset();
  c.Append(x);
  c.Append(y);
  c.Append(z);
  if (c.CloseFrom(0, nullptr)) {
    for (std::int32_t w = 0; w < s; ++w) ext.Add(w);
  } else {
    const std::int32_t closed = c.Count();
    // lazyKnown_[w]: 1 when {x, y, z, w} fails, 2 when it generates.
    std::uint8_t* known = lazyKnown_.data();
    for (std::int32_t w = 0; w < s; ++w) known[w] = 0;
    for (std::int32_t t = 0; t < closed; ++t) known[c.At(t)] = 1;
    // stop[w] != 0 exactly when known[w] == 2.
    std::vector<std::uint8_t>& stop = lazyStop_;
    for (std::int32_t w = 0; w < s; ++w) {
      if (known[w] != 0) continue;
      c.Append(w);
      if (c.CloseFrom(closed, stop.data())) {
        ext.Add(w);
        known[w] = 2;
        stop[static_cast<std::size_t>(w)] = 1;
      } else {
        for (std::int32_t t = closed; t < c.Count(); ++t) known[c.At(t)] = 1;
      }
      c.Truncate(closed);
    }
    for (std::int32_t w = 0; w < s; ++w) stop[static_cast<std::size_t>(w)] = 0;
  }
  triples_[at] = ext;
  filled_[at] = 1;
}

template class FactorExtensions<1>;
template class FactorExtensions<FactorWords>;

}  // namespace lattice
