#pragma once
// The generating sets of at most four elements of one factor, one set per
// orbit of the automorphism group, with the size of its orbit.
//
// A set is listed when, as a sorted tuple, it is the lexicographically least
// of its images.  That property passes to the set without its largest
// element (the k-th least element of a set is at most that of any subset
// image), so the sets grow element by element and a set that is not least is
// never extended.
//
// GeneratingSetOrbits grows the least sets level by level and decides, for a
// least k-set S, which additions x > max S keep the set least in one pass
// over the group (see the comment in the source): each candidate is then
// closed at most once, and first only when the join of the set is the top
// and its meet the bottom.  Elements that are both join- and
// meet-irreducible lie in every generating set; the search keeps room for
// them and gives up at once when there are more than four.
//
// GeneratingSetOrbitsByImages is the first, plain version: it applies every
// group element to every candidate set and closes every least set.  It is
// kept to check the other on small lattices.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lattice/automorphisms.hpp"
#include "lattice/flat_factor.hpp"

namespace lattice {

// The most elements a listed generating set has.
inline constexpr int MaxGeneratingSetSize = 4;

// Element is std::uint8_t or std::uint16_t (the instantiations generating_sets.cpp provides).
template <class Element>
struct GeneratingSet {
  std::array<Element, MaxGeneratingSetSize> elements{};  // elements[0..size-1], increasing
  int size = 0;                                          // 1..4
  std::uint64_t orbitSize = 0;                           // |group| / |stabilizer|
};

// The elements that are join- and meet-irreducible.  Such an element is no
// join or meet of other elements, so every generating set contains it.
template <class Element>
std::vector<Element> DoublyIrreducibles(const FlatFactor<Element>& lattice);

// Sorts the first k entries of a set, as the sets here are kept.  Insertion
// sort: at most four elements, and std::sort on a short array trips GCC's
// bounds warning.
template <class Element>
void SortSmall(Element* a, int k) {
  for (int i = 1; i < k; ++i) {
    const Element e = a[i];
    int j = i;
    for (; j > 0 && a[j - 1] > e; --j) a[j] = a[j - 1];
    a[j] = e;
  }
}

// Called now and then during a long search with a short account of it.
using SearchProgress = std::function<void(const std::string&)>;

// The finished part of a search, so that a long one (Equ(8): hours) that
// is stopped goes on later from where it was.  The last level (the sets of
// four elements, grown from the least sets of three) is nearly all of the
// time.  Its sets of three are taken in a fixed order, so what is finished
// is kept as a prefix of them and the generating sets that prefix gave; the
// levels before it are made again on resuming (minutes on Equ(8)).
template <class Element>
struct OrbitSearchCheckpoint {
  std::uint64_t lastLevelSets = 0;            // least 3-sets of the last level, to check a resume fits
  std::uint64_t extended = 0;                 // the first `extended` of them are finished
  std::vector<GeneratingSet<Element>> found;  // the generating 4-sets they gave, in the search's order
};

template <class Element>
struct OrbitSearchSaving {
  const OrbitSearchCheckpoint<Element>* resume = nullptr;  // start from here; must come from this lattice and group
  // Called with the finished part every saveEverySeconds during the last
  // level and once more when the search ends by an exception (a stop asked
  // through the progress report, no memory); a throw from it ends the search.
  std::function<void(const OrbitSearchCheckpoint<Element>&)> save;
  double saveEverySeconds = 60;
  // Sets of a level extended together: the per-set results in flight.  Equ(8)
  // has 11 million least sets of three; all their results at once took half
  // a gigabyte.  Tests make it small.
  std::size_t levelBlock = std::size_t{1} << 16;
};

// One representative of every orbit of `group` on the generating sets of 1
// to 4 elements, ordered by size, then lexicographically.  `threads` workers
// share each level.  Saves are made only with a progress report (the thread
// that reports also saves).  A resume that does not fit the last level
// throws std::invalid_argument, and so do automorphisms that are not a group.
template <class Element>
std::vector<GeneratingSet<Element>> GeneratingSetOrbits(const FlatFactor<Element>& lattice,
                                                        const AutomorphismGroup<Element>& group, int threads = 1,
                                                        const SearchProgress& progress = {},
                                                        const OrbitSearchSaving<Element>& saving = {});

// The same list by the plain search.
template <class Element>
std::vector<GeneratingSet<Element>> GeneratingSetOrbitsByImages(const FlatFactor<Element>& lattice,
                                                                const AutomorphismGroup<Element>& group);

}  // namespace lattice
