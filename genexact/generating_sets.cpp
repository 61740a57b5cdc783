#include "genexact/generating_sets.hpp"

#include <algorithm>

namespace genexact {

bool Generates(const FactorLattice& f, const Element* set, int k) {
  std::vector<Element> list;
  list.reserve(static_cast<std::size_t>(f.size));
  std::vector<std::uint8_t> member(static_cast<std::size_t>(f.size), 0);
  for (int i = 0; i < k; ++i) {
    if (!member[set[i]]) {
      member[set[i]] = 1;
      list.push_back(set[i]);
    }
  }
  // Semi-naive passes: each pass pairs every known element with those that
  // are new since the pass before.
  std::size_t previous = 0;
  while (previous < list.size()) {
    const std::size_t passEnd = list.size();
    for (std::size_t i = 0; i < passEnd; ++i) {
      for (std::size_t j = std::max(previous, i); j < passEnd; ++j) {
        for (const Element e : {f.Join(list[i], list[j]), f.Meet(list[i], list[j])}) {
          if (!member[e]) {
            member[e] = 1;
            list.push_back(e);
          }
        }
      }
    }
    previous = passEnd;
  }
  return static_cast<int>(list.size()) == f.size;
}

namespace {

class OrbitSearch {
 public:
  OrbitSearch(const FactorLattice& f, const AutomorphismGroup& group) : f_(f), group_(group) {}

  std::vector<GeneratingSet> Run() {
    Extend(0);
    std::stable_sort(result_.begin(), result_.end(),
                     [](const GeneratingSet& a, const GeneratingSet& b) { return a.size < b.size; });
    return std::move(result_);
  }

 private:
  // Returns the stabilizer order when set_[0..k-1] is the least of its
  // images, 0 otherwise.
  std::uint64_t LeastImageStabilizer(int k) const {
    std::uint64_t stabilizer = 0;
    std::array<Element, SubsetSize> image{};
    for (const Permutation& g : group_.elements) {
      // Insertion sort: at most four elements, and std::sort on a short
      // array trips GCC's bounds warning.
      for (int i = 0; i < k; ++i) {
        const Element e = g[set_[static_cast<std::size_t>(i)]];
        int j = i;
        for (; j > 0 && image[static_cast<std::size_t>(j - 1)] > e; --j) {
          image[static_cast<std::size_t>(j)] = image[static_cast<std::size_t>(j - 1)];
        }
        image[static_cast<std::size_t>(j)] = e;
      }
      const int order = Compare(image, k);
      if (order < 0) return 0;
      if (order == 0) ++stabilizer;
    }
    return stabilizer;
  }

  int Compare(const std::array<Element, SubsetSize>& image, int k) const {
    for (int i = 0; i < k; ++i) {
      const auto u = static_cast<std::size_t>(i);
      if (image[u] != set_[u]) return image[u] < set_[u] ? -1 : 1;
    }
    return 0;
  }

  void Extend(int k) {
    const int from = k == 0 ? 0 : set_[static_cast<std::size_t>(k - 1)] + 1;
    for (int s = from; s < f_.size; ++s) {
      set_[static_cast<std::size_t>(k)] = static_cast<Element>(s);
      const std::uint64_t stabilizer = LeastImageStabilizer(k + 1);
      if (stabilizer == 0) continue;
      if (Generates(f_, set_.data(), k + 1)) {
        GeneratingSet g;
        g.elements = set_;
        for (int i = k + 1; i < SubsetSize; ++i) g.elements[static_cast<std::size_t>(i)] = 0;
        g.size = k + 1;
        g.orbitSize = group_.Order() / stabilizer;
        result_.push_back(g);
      }
      if (k + 1 < SubsetSize) Extend(k + 1);
    }
  }

  const FactorLattice& f_;
  const AutomorphismGroup& group_;
  std::array<Element, SubsetSize> set_{};  // set_[0..k-1]: the set being grown, increasing
  std::vector<GeneratingSet> result_;
};

}  // namespace

std::vector<GeneratingSet> GeneratingSetOrbits(const FactorLattice& lattice, const AutomorphismGroup& group) {
  return OrbitSearch(lattice, group).Run();
}

}  // namespace genexact
