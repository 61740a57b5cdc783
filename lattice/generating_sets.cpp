#include "lattice/generating_sets.hpp"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <chrono>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <thread>

#include "lattice/flat_closure.hpp"
#include "lattice/split_refutation.hpp"
#include "runframe/worker_threads.hpp"

namespace lattice {

template <class Element>
std::vector<Element> DoublyIrreducibles(const FlatFactor<Element>& f) {
  const std::vector<Element> joinIrreducible = JoinIrreducibles(f);
  const std::vector<Element> meetIrreducible = JoinIrreducibles(Dual(f));
  std::vector<Element> both;
  std::set_intersection(joinIrreducible.begin(), joinIrreducible.end(), meetIrreducible.begin(), meetIrreducible.end(),
                        std::back_inserter(both));
  return both;
}

namespace {

constexpr int SubsetSize = MaxGeneratingSetSize;

template <class Element>
using Set = std::array<Element, SubsetSize>;

// Lexicographic order of the first k entries.
template <class Element>
int CompareFirst(const Element* a, const Element* b, int k) {
  for (int i = 0; i < k; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// What one least k-set S yields: its least extensions S u {x}, x > max S,
// and those of them that generate.
template <class Element>
struct Extensions {
  std::vector<Set<Element>> least;
  std::vector<GeneratingSet<Element>> generating;
};

// The group as maps and inverse maps, shared by the workers.
template <class Element>
struct Group {
  const std::vector<Permutation<Element>>& maps;  // the caller's: Equ(8)'s take 334 MB
  // inverseOf[g]: the place in maps of the inverse of maps[g].  The listed
  // maps are a group, so the inverses are among them; a copy of the inverse
  // maps took another 334 MB on Equ(8).
  std::vector<std::uint32_t> inverseOf;
  std::vector<std::uint8_t> isIdentity;  // isIdentity[g]: maps[g] moves nothing
  std::vector<Element> orbitMin;         // orbitMin[x]: the least image of element x
  // imageOf[x * |G| + g] = maps[g][x] (ImagesByElement).  Read from the
  // maps, the pass over the group per set was most of Equ(8)'s search once
  // the closures were cut down.
  std::vector<Element> imageOf;
  const Element* ImagesOf(Element x) const { return imageOf.data() + static_cast<std::size_t>(x) * maps.size(); }
};

// One worker of the level search; its buffers are its own.
//
// Which x keep S u {x} least, from one pass over the group.  Let S = s_0 <
// ... < s_{k-1} be least, A = S u {x} with x > s_{k-1}, g a group element,
// c = sort(gS) (so c >= S) and y = g(x).  A is least when sort(gA) >= A for
// every g:
//   - c = S (g fixes S): sort(gA) < A exactly when y < x.
//   - c > S and y > c_{k-1}: sort(gA) starts with c, so it is > A.
//   - c > S and y < c_{k-1}: sort(gA) is D(y) = sort(c_0..c_{k-2}, y)
//     followed by c_{k-1}.  It is < A when D(y) < S, or when D(y) = S and
//     c_{k-1} < x.  D grows with y and D(c_{k-1}) = c > S, so D(y) < S
//     exactly for y below a threshold t (read off c and S, see
//     LeastThreshold), and D(y) = S for y = t at most.
// So each g marks the x = g^-1(y) for y < t (and perhaps g^-1(t)) as not
// least, at a cost of about t; group elements fixing S mark by scanning.
template <class Element>
class LevelWorker {
 public:
  using Set = lattice::Set<Element>;
  using SplitRefutation = lattice::SplitRefutation<Element>;

  LevelWorker(const FlatFactor<Element>& f, const Group<Element>& group, const std::vector<std::uint8_t>& forced,
              int forcedCount)
      : f_(f), group_(group), forced_(forced), forcedCount_(forcedCount), refutation_(f), closure_(f) {
    notLeast_.assign(static_cast<std::size_t>(f.size), 0);
  }

  Extensions<Element> Extend(const Set& s, int k, bool wantLeast) {
    Extensions<Element> out;
    MarkNotLeast(s, k);
    int missing = forcedCount_;
    Element join = f_.bottom;
    Element meet = f_.top;
    for (int i = 0; i < k; ++i) {
      const Element e = s[static_cast<std::size_t>(i)];
      missing -= forced_[e];
      join = f_.Join(join, e);
      meet = f_.Meet(meet, e);
    }
    bool baseSet = false;
    const typename SplitRefutation::Parts parts = SplitRefutation::PartsOf(f_, s.data(), k);
    const int from = k == 0 ? 0 : s[static_cast<std::size_t>(k - 1)] + 1;
    for (int xi = from; xi < f_.size; ++xi) {
      const auto x = static_cast<Element>(xi);
      if (notLeast_[x] == stamp_) continue;
      const int left = missing - forced_[x];
      // The forced elements still missing must fit in the places left.
      if (left > SubsetSize - (k + 1)) continue;
      Set a = s;
      a[static_cast<std::size_t>(k)] = x;
      if (wantLeast) out.least.push_back(a);
      if (left != 0 || f_.Join(join, x) != f_.top || f_.Meet(meet, x) != f_.bottom) continue;
      if (refutation_.Refutes(f_, parts, k, x)) continue;
      if (!baseSet) {
        closure_.SetBase(s.data(), k);
        baseSet = true;
      }
      if (!closure_.GeneratesWith(x)) continue;
      GeneratingSet<Element> g;
      g.elements = a;
      for (int i = k + 1; i < SubsetSize; ++i) g.elements[static_cast<std::size_t>(i)] = 0;
      g.size = k + 1;
      // The identity fixes every set, so the stabilizer has at least one element.
      g.orbitSize = group_.maps.size() / std::max<std::uint64_t>(Stabilizer(a, k + 1), 1);
      out.generating.push_back(g);
    }
    return out;
  }

 private:
  // The least t with D(t) >= S, and whether D(t) = S, for c > S.  Let p be
  // the first place where c and S differ (c_p > s_p).  A y below s_p goes
  // in before place p or takes it, so D(y) < S; a y above s_p leaves a value
  // above s_p at place p (y itself or c_p), so D(y) > S; and D(s_p) follows
  // S to place p and then compares c_p..c_{k-2} with s_{p+1}..s_{k-1}.
  // This replaced a bisection over [0, c_{k-1}], which cost about half of
  // the search of Equ(6); the tests still compare the result with the
  // plain search.
  struct Threshold {
    int low = 0;              // least t with D(t) >= S
    bool equalAtLow = false;  // D(low) = S
  };
  static Threshold LeastThreshold(const Element* c, int k, const Element* s) {
    assert(k >= 1 && CompareFirst(c, s, k) > 0);
    int p = 0;
    while (p < k - 1 && c[p] == s[p]) ++p;  // c > S: they differ by place k-1
    const int tail = CompareFirst(c + p, s + p + 1, k - 1 - p);
    if (tail < 0) return {s[p] + 1, false};
    return {s[p], tail == 0};
  }

  void MarkNotLeast(const Set& s, int k) {
    if (++stamp_ == 0) {
      std::fill(notLeast_.begin(), notLeast_.end(), 0);
      stamp_ = 1;
    }
    const int from = k == 0 ? 0 : s[static_cast<std::size_t>(k - 1)] + 1;
    // An x with an image below s_0 gives S u {x} an image that starts below
    // S.  Marking these once covers every y < s_0 below, so each group
    // element only marks the y from s_0 up to its threshold.
    const int first = k == 0 ? 0 : s[0];
    if (k > 0) {
      for (int x = from; x < f_.size; ++x) {
        if (group_.orbitMin[static_cast<std::size_t>(x)] < first) notLeast_[static_cast<std::size_t>(x)] = stamp_;
      }
    }
    const Element* images[SubsetSize] = {};
    for (int i = 0; i < k; ++i) images[i] = group_.ImagesOf(s[static_cast<std::size_t>(i)]);
    for (std::size_t gi = 0; gi < group_.maps.size(); ++gi) {
      Element c[SubsetSize] = {};
      for (int i = 0; i < k; ++i) c[i] = images[i][gi];
      SortSmall(c, k);
      if (CompareFirst(c, s.data(), k) == 0) {
        if (group_.isIdentity[gi]) continue;
        const Permutation<Element>& g = group_.maps[gi];
        for (int x = from; x < f_.size; ++x) {
          if (g[static_cast<std::size_t>(x)] < x) notLeast_[static_cast<std::size_t>(x)] = stamp_;
        }
        continue;
      }
      // g^-1(y) is read from y's images, at the place of g's inverse: the
      // thresholds lie at s_0 or just above for most g, so these few images
      // stay in the cache, where g^-1's own map would be a miss per g.
      const std::uint32_t inverse = group_.inverseOf[gi];
      const Threshold t = LeastThreshold(c, k, s.data());
      for (int y = first; y < t.low; ++y) {
        const Element x = group_.ImagesOf(static_cast<Element>(y))[inverse];
        if (x >= from) notLeast_[x] = stamp_;
      }
      if (t.equalAtLow) {
        const Element x = group_.ImagesOf(static_cast<Element>(t.low))[inverse];
        if (x >= from && c[k - 1] < x) notLeast_[x] = stamp_;
      }
    }
  }

  std::uint64_t Stabilizer(const Set& a, int k) const {
    std::uint64_t count = 0;
    const Element* images[SubsetSize] = {};
    for (int i = 0; i < k; ++i) images[i] = group_.ImagesOf(a[static_cast<std::size_t>(i)]);
    for (std::size_t gi = 0; gi < group_.maps.size(); ++gi) {
      Element image[SubsetSize];
      for (int i = 0; i < k; ++i) image[i] = images[i][gi];
      SortSmall(image, k);
      if (CompareFirst(image, a.data(), k) == 0) ++count;
    }
    assert(count > 0);
    return count;
  }

  const FlatFactor<Element>& f_;
  const Group<Element>& group_;
  const std::vector<std::uint8_t>& forced_;
  int forcedCount_;
  SplitRefutation refutation_;
  lattice::IncrementalFlatClosure<Element> closure_;
  std::vector<std::uint32_t> notLeast_;  // notLeast_[x] == stamp_: S u {x} is not least
  std::uint32_t stamp_ = 0;
};

}  // namespace

template <class Element>
std::vector<GeneratingSet<Element>> GeneratingSetOrbits(const FlatFactor<Element>& lattice,
                                                        const AutomorphismGroup<Element>& automorphisms, int threads,
                                                        const SearchProgress& progress,
                                                        const OrbitSearchSaving<Element>& saving) {
  using Set = lattice::Set<Element>;
  std::vector<GeneratingSet<Element>> result;
  const std::vector<Element> doubly = DoublyIrreducibles(lattice);
  if (doubly.size() > static_cast<std::size_t>(SubsetSize)) return result;
  std::vector<std::uint8_t> forced(static_cast<std::size_t>(lattice.size), 0);
  for (const Element e : doubly) forced[e] = 1;

  Group<Element> group{automorphisms.elements, {}, {}, {}, {}};
  group.orbitMin.resize(static_cast<std::size_t>(lattice.size));
  for (std::size_t x = 0; x < group.orbitMin.size(); ++x) group.orbitMin[x] = static_cast<Element>(x);
  // The maps in lexicographic order, to look each inverse up among them.
  std::vector<std::uint32_t> byMap(group.maps.size());
  for (std::size_t gi = 0; gi < byMap.size(); ++gi) byMap[gi] = static_cast<std::uint32_t>(gi);
  std::sort(byMap.begin(), byMap.end(),
            [&](std::uint32_t x, std::uint32_t y) { return group.maps[x] < group.maps[y]; });
  Permutation<Element> inverse(static_cast<std::size_t>(lattice.size));
  for (const Permutation<Element>& g : group.maps) {
    bool identity = true;
    for (std::size_t x = 0; x < g.size(); ++x) {
      inverse[g[x]] = static_cast<Element>(x);
      identity = identity && g[x] == x;
      group.orbitMin[x] = std::min(group.orbitMin[x], g[x]);
    }
    const auto place =
        std::lower_bound(byMap.begin(), byMap.end(), inverse,
                         [&](std::uint32_t x, const Permutation<Element>& p) { return group.maps[x] < p; });
    if (place == byMap.end() || group.maps[*place] != inverse) {
      throw std::invalid_argument("the automorphisms given are not a group: an inverse is missing");
    }
    group.inverseOf.push_back(*place);
    group.isIdentity.push_back(identity ? 1 : 0);
  }
  group.imageOf = ImagesByElement(automorphisms, static_cast<std::size_t>(lattice.size));

  const int workers = std::max(1, threads);
  std::vector<LevelWorker<Element>> pool;
  pool.reserve(static_cast<std::size_t>(workers));
  for (int w = 0; w < workers; ++w) pool.emplace_back(lattice, group, forced, static_cast<int>(doubly.size()));

  std::vector<Set> level(1, Set{});  // the least sets of k elements; k = 0: the empty set
  for (int k = 0; k < SubsetSize && !level.empty(); ++k) {
    const bool lastLevel = k + 1 == SubsetSize;
    const bool wantLeast = !lastLevel;
    OrbitSearchCheckpoint<Element> kept;  // the last level's finished prefix, grown by the saves
    kept.lastLevelSets = level.size();
    std::size_t start = 0;
    if (lastLevel && saving.resume != nullptr) {
      if (saving.resume->lastLevelSets != level.size() || saving.resume->extended > level.size()) {
        throw std::invalid_argument("the saved orbit search belongs to another lattice or group");
      }
      start = static_cast<std::size_t>(saving.resume->extended);
      kept = *saving.resume;
    }
    std::vector<Set> following;
    const std::size_t block = std::max<std::size_t>(saving.levelBlock, 1);
    std::atomic<std::size_t> done{start};  // sets of the level extended, for the reports
    auto shown = std::chrono::steady_clock::now();
    auto saved = shown;
    // The level goes in blocks, so that the per-set results in flight stay
    // small: Equ(8) has 11 million least sets of three, and a result for each
    // of them at once took half a gigabyte.
    for (std::size_t from = start; from < level.size(); from += block) {
      const std::size_t count = std::min(block, level.size() - from);
      std::vector<Extensions<Element>> parts(count);
      // finished[i] = 1 once parts[i] is complete (release): the saves read
      // the finished prefix while the workers fill the parts after it.
      const std::unique_ptr<std::atomic<std::uint8_t>[]> finished(new std::atomic<std::uint8_t>[count]);
      for (std::size_t i = 0; i < count; ++i) finished[i].store(0, std::memory_order_relaxed);
      const auto grow = [&] {
        std::size_t p = static_cast<std::size_t>(kept.extended) - from;
        for (; p < count && finished[p].load(std::memory_order_acquire) != 0; ++p) {
          kept.found.insert(kept.found.end(), parts[p].generating.begin(), parts[p].generating.end());
          std::vector<GeneratingSet<Element>>().swap(parts[p].generating);  // kept once, not twice
        }
        kept.extended = from + p;
      };
      std::atomic<std::size_t> next{0};
      std::atomic<std::size_t> blockDone{0};
      // A failure anywhere (no room for a thread or for a set, a console that
      // cannot be written) stops the other shares and comes back from Join.
      runframe::WorkerThreads shares;
      auto work = [&](LevelWorker<Element>& worker) {
        for (std::size_t i = next++; i < count && !shares.Failed(); i = next++) {
          parts[i] = worker.Extend(level[from + i], k, wantLeast);
          finished[i].store(1, std::memory_order_release);
          ++blockDone;
          ++done;
        }
      };
      // With a progress report every share runs on a thread of its own, so
      // that this one can report (and save); without, this thread takes the
      // first share.
      const int first = progress ? 0 : 1;
      for (int w = first; w < workers && static_cast<std::size_t>(w) < count; ++w) {
        if (!shares.Start([&work, &pool, w] { work(pool[static_cast<std::size_t>(w)]); })) break;
      }
      try {
        if (progress) {
          while (blockDone.load() < count && !shares.Failed()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const auto now = std::chrono::steady_clock::now();
            if (lastLevel && saving.save && now - saved >= std::chrono::duration<double>(saving.saveEverySeconds)) {
              saved = now;
              grow();
              saving.save(kept);
            }
            if (now - shown < std::chrono::milliseconds(250)) continue;
            shown = now;
            progress("sets of " + std::to_string(k + 1) + " element(s): " + std::to_string(done.load()) + " of " +
                     std::to_string(level.size()) + " sets of " + std::to_string(k) + " extended");
          }
        } else if (!shares.Failed()) {
          work(pool[0]);
        }
      } catch (...) {
        shares.Fail(std::current_exception());
      }
      try {
        shares.Join();
      } catch (...) {
        // What is finished is kept however the search ends.
        if (lastLevel && saving.save) {
          grow();
          saving.save(kept);
        }
        throw;
      }
      if (lastLevel) {
        grow();
        continue;
      }
      for (Extensions<Element>& part : parts) {
        result.insert(result.end(), part.generating.begin(), part.generating.end());
        following.insert(following.end(), part.least.begin(), part.least.end());
      }
    }
    if (lastLevel) {
      result.insert(result.end(), kept.found.begin(), kept.found.end());
      break;
    }
    level = std::move(following);
  }
  return result;
}

namespace {

template <class Element>
class PlainOrbitSearch {
 public:
  PlainOrbitSearch(const FlatFactor<Element>& f, const AutomorphismGroup<Element>& group) : f_(f), group_(group) {}

  std::vector<GeneratingSet<Element>> Run() {
    Extend(0);
    std::stable_sort(result_.begin(), result_.end(),
                     [](const GeneratingSet<Element>& a, const GeneratingSet<Element>& b) { return a.size < b.size; });
    return std::move(result_);
  }

 private:
  // Returns the stabilizer order when set_[0..k-1] is the least of its
  // images, 0 otherwise.
  std::uint64_t LeastImageStabilizer(int k) const {
    std::uint64_t stabilizer = 0;
    std::array<Element, SubsetSize> image{};
    for (const Permutation<Element>& g : group_.elements) {
      for (int i = 0; i < k; ++i) image[static_cast<std::size_t>(i)] = g[set_[static_cast<std::size_t>(i)]];
      SortSmall(image.data(), k);
      const int order = CompareFirst(image.data(), set_.data(), k);
      if (order < 0) return 0;
      if (order == 0) ++stabilizer;
    }
    return stabilizer;
  }

  void Extend(int k) {
    const int from = k == 0 ? 0 : set_[static_cast<std::size_t>(k - 1)] + 1;
    for (int s = from; s < f_.size; ++s) {
      set_[static_cast<std::size_t>(k)] = static_cast<Element>(s);
      const std::uint64_t stabilizer = LeastImageStabilizer(k + 1);
      if (stabilizer == 0) continue;
      if (closure_.Generates(set_.data(), k + 1)) {
        GeneratingSet<Element> g;
        g.elements = set_;
        for (int i = k + 1; i < SubsetSize; ++i) g.elements[static_cast<std::size_t>(i)] = 0;
        g.size = k + 1;
        g.orbitSize = group_.Order() / stabilizer;
        result_.push_back(g);
      }
      if (k + 1 < SubsetSize) Extend(k + 1);
    }
  }

  const FlatFactor<Element>& f_;
  const AutomorphismGroup<Element>& group_;
  FlatClosure<Element> closure_{f_};
  std::array<Element, SubsetSize> set_{};  // set_[0..k-1]: the set being grown, increasing
  std::vector<GeneratingSet<Element>> result_;
};

}  // namespace

template <class Element>
std::vector<GeneratingSet<Element>> GeneratingSetOrbitsByImages(const FlatFactor<Element>& lattice,
                                                                const AutomorphismGroup<Element>& group) {
  return PlainOrbitSearch<Element>(lattice, group).Run();
}

// The two widths genexact is built for (genexact/element_width.hpp); gencount
// builds its tables of Equ(6) with the first.
template std::vector<std::uint8_t> DoublyIrreducibles(const FlatFactor<std::uint8_t>&);
template std::vector<GeneratingSet<std::uint8_t>> GeneratingSetOrbits(const FlatFactor<std::uint8_t>&,
                                                                      const AutomorphismGroup<std::uint8_t>&, int,
                                                                      const SearchProgress&,
                                                                      const OrbitSearchSaving<std::uint8_t>&);
template std::vector<GeneratingSet<std::uint8_t>> GeneratingSetOrbitsByImages(const FlatFactor<std::uint8_t>&,
                                                                              const AutomorphismGroup<std::uint8_t>&);
template std::vector<std::uint16_t> DoublyIrreducibles(const FlatFactor<std::uint16_t>&);
template std::vector<GeneratingSet<std::uint16_t>> GeneratingSetOrbits(const FlatFactor<std::uint16_t>&,
                                                                       const AutomorphismGroup<std::uint16_t>&, int,
                                                                       const SearchProgress&,
                                                                       const OrbitSearchSaving<std::uint16_t>&);
template std::vector<GeneratingSet<std::uint16_t>> GeneratingSetOrbitsByImages(const FlatFactor<std::uint16_t>&,
                                                                               const AutomorphismGroup<std::uint16_t>&);

}  // namespace lattice
