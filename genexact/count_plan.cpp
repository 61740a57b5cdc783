#include "genexact/count_plan.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <string>

#include "runframe/checked.hpp"

namespace genexact::inline GENEXACT_WIDTH {

std::uint64_t CountPlan::TotalTests() const {
  std::uint64_t total = 0;
  for (std::size_t u = 0; u < UnitCount(); ++u) total += UnitTests(u);
  return total;
}

namespace {

AutomorphismGroup TrivialGroup(const FactorLattice& f) {
  AutomorphismGroup g;
  Permutation identity(static_cast<std::size_t>(f.size));
  for (std::size_t x = 0; x < identity.size(); ++x) identity[x] = static_cast<Element>(x);
  g.elements.push_back(std::move(identity));
  g.complete = false;
  return g;
}

// The permutations of s's positions made by the elements of `group` that
// fix s, without the identity's duplicates; empty when only the identity
// fixes it.  images: ImagesByElement(group, ...).
std::vector<PositionPermutation> PositionStabilizer(const AutomorphismGroup& group, const std::vector<Element>& images,
                                                    const GeneratingSet& s,
                                                    const std::vector<std::array<std::uint8_t, 4>>& permutations) {
  std::vector<PositionPermutation> result;
  if (s.orbitSize == group.Order()) return result;
  const std::size_t order = group.Order();
  for (std::size_t g = 0; g < order; ++g) {
    std::array<std::uint8_t, 4> moved{0, 1, 2, 3};
    bool fixes = true;
    for (int i = 0; i < s.size && fixes; ++i) {
      const Element image = images[static_cast<std::size_t>(s.elements[static_cast<std::size_t>(i)]) * order + g];
      fixes = false;
      for (int j = 0; j < s.size; ++j) {
        if (s.elements[static_cast<std::size_t>(j)] == image) {
          moved[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(j);
          fixes = true;
        }
      }
    }
    if (!fixes) continue;
    const auto at = std::find(permutations.begin(), permutations.end(), moved);
    assert(at != permutations.end());
    const auto index = static_cast<PositionPermutation>(at - permutations.begin());
    if (std::find(result.begin(), result.end(), index) == result.end()) result.push_back(index);
  }
  if (result.size() == 1) result.clear();  // the identity alone
  return result;
}

std::vector<std::vector<PositionPermutation>> PositionStabilizers(const AutomorphismGroup& group,
                                                                  const std::vector<GeneratingSet>& sets) {
  std::vector<std::vector<PositionPermutation>> result;
  result.reserve(sets.size());
  std::array<std::vector<std::array<std::uint8_t, 4>>, SubsetSize + 1> permutations;
  for (int k = 1; k <= SubsetSize; ++k) permutations[static_cast<std::size_t>(k)] = PositionPermutations(k);
  // The group by element only when some set has more than the identity to
  // fix it (0.4 % of Equ(8)'s sets; 334 MB).
  const bool any =
      std::any_of(sets.begin(), sets.end(), [&](const GeneratingSet& s) { return s.orbitSize != group.Order(); });
  const std::vector<Element> images =
      any ? lattice::ImagesByElement(group, group.elements.front().size()) : std::vector<Element>{};
  for (const GeneratingSet& s : sets) {
    result.push_back(PositionStabilizer(group, images, s, permutations[static_cast<std::size_t>(s.size)]));
  }
  return result;
}

}  // namespace

CountPlan MakeCountPlan(const FactorLattice& a, const FactorLattice& b, const PlanSettings& settings) {
  CountPlan plan;
  plan.a = a;
  plan.b = b;
  plan.forcedA = DoublyIrreducibles(a).size();
  plan.forcedB = DoublyIrreducibles(b).size();
  const bool hopeless =
      plan.forcedA > static_cast<std::size_t>(SubsetSize) || plan.forcedB > static_cast<std::size_t>(SubsetSize);
  auto tell = [&](const std::string& text) {
    if (settings.progress) settings.progress(text);
  };
  auto search = [&](const FactorLattice& f, const char* ordinal, AutomorphismGroup& group,
                    std::vector<GeneratingSet>& sets, bool& searched) {
    if (hopeless) {
      group = TrivialGroup(f);
      searched = false;
      return;
    }
    tell(std::string(ordinal) + " factor: automorphisms");
    group = FindAutomorphisms(f);
    SearchProgress inner;
    if (settings.progress) inner = [&](const std::string& text) { tell(std::string(ordinal) + " factor: " + text); };
    if (settings.kept == nullptr) {
      sets = GeneratingSetOrbits(f, group, settings.threads, inner);
      return;
    }
    const std::uint64_t id = FactorFingerprint(f);
    const auto known = settings.kept->find(id);
    if (known != settings.kept->end() && known->second.complete) {
      sets = known->second.sets;
      return;
    }
    // The resume is copied: the saves below replace the kept entry.
    lattice::OrbitSearchCheckpoint<Element> resume;
    lattice::OrbitSearchSaving<Element> saving;
    if (known != settings.kept->end()) {
      resume = known->second.partial;
      saving.resume = &resume;
    }
    saving.saveEverySeconds = settings.saveEverySeconds;
    saving.save = [&](const lattice::OrbitSearchCheckpoint<Element>& finished) {
      SavedOrbits part;
      part.size = f.size;
      part.partial = finished;
      (*settings.kept)[id] = std::move(part);
      if (settings.keep) settings.keep();
    };
    sets = GeneratingSetOrbits(f, group, settings.threads, inner, saving);
    SavedOrbits whole;
    whole.size = f.size;
    whole.complete = true;
    whole.sets = sets;
    (*settings.kept)[id] = std::move(whole);
    if (settings.keep) settings.keep();
  };
  search(a, "1st", plan.groupA, plan.setsA, plan.searchedA);
  plan.symmetric = a.size == b.size && a.join == b.join && a.meet == b.meet;
  if (plan.symmetric) {
    // The same tables have the same group and sets: minutes saved on Equ(7).
    plan.groupB = plan.groupA;
    plan.setsB = plan.setsA;
    plan.searchedB = plan.searchedA;
  } else {
    search(b, "2nd", plan.groupB, plan.setsB, plan.searchedB);
  }
  // More units share out better among threads and shards; ties keep B outer.
  plan.outerIsA = plan.setsA.size() > plan.setsB.size();
  plan.domainIsA = a.size <= b.size;
  for (int p = 1; p <= SubsetSize; ++p) {
    for (int q = 1; q <= SubsetSize; ++q) {
      plan.patterns[static_cast<std::size_t>(p)][static_cast<std::size_t>(q)] = RelationPatterns(p, q);
    }
  }
  SetCornerMethod(plan, settings);
  for (std::size_t u = 0; u < plan.UnitCount(); ++u) {
    const int q = plan.Outer()[u].size;
    std::uint64_t tests = 0;
    for (std::size_t x = plan.symmetric ? u : 0; x < plan.Inner().size(); ++x) {
      tests += plan.patterns[static_cast<std::size_t>(plan.Inner()[x].size)][static_cast<std::size_t>(q)].size();
    }
    plan.unitTests.push_back(tests);
  }
  return plan;
}

void SetCornerMethod(CountPlan& plan, const PlanSettings& settings) {
  const bool covers = settings.method == CornerMethod::Covers || settings.method == CornerMethod::PlainCovers;
  const bool plain = settings.method == CornerMethod::PlainCovers;
  plan.refuteFirst = covers;
  plan.shortcuts = {};
  if (covers) {
    plan.shortcuts =
        plan.domainIsA ? FindCornerShortcuts(plan.a, plan.b, plain) : FindCornerShortcuts(plan.b, plan.a, plain);
  }
  // The baselines stay the earlier tests in full.
  plan.triples = {};
  if (settings.method == CornerMethod::Covers) {
    const FactorLattice& d = plan.domainIsA ? plan.a : plan.b;  // the relation test's domain and values
    const FactorLattice& v = plan.domainIsA ? plan.b : plan.a;
    const std::array<const std::optional<CornerShortcut>*, 2> corners = {&plan.shortcuts.lower, &plan.shortcuts.upper};
    const bool outerIsDomain = plan.outerIsA == plan.domainIsA;
    for (std::size_t c = 0; c < 2; ++c) {
      const auto& s = *corners[c];
      if (!s || !s->partition) continue;
      // One corner's values are the other's domain when both are read the
      // same way round: their covers are found already.
      const auto& other = *corners[1 - c];
      const bool shared = other && other->dual == s->dual;
      std::optional<JoinCovers> found;
      if (!shared) {
        found = FindJoinCovers(s->values);
        if (!found) continue;
      }
      const JoinCovers& valueCovers = shared ? other->covers : *found;
      // The corner's domain set comes from V when the generators enter exchanged.
      const FactorLattice& domainSide = s->exchanged ? v : d;
      std::optional<FactorLattice> dualDomain;
      if (s->dual) dualDomain = Dual(domainSide);
      const FactorLattice& domain = s->dual ? *dualDomain : domainSide;
      plan.triples[c] = MakeCornerTriples(domain, valueCovers, outerIsDomain != s->exchanged, plan.Outer(),
                                          plan.Inner(), plan.patterns);
    }
  }
  // The row-minimum baseline stays the earlier test in full, one relation at a time.
  plan.positionStabA.clear();
  plan.positionStabB.clear();
  if (settings.patternOrbits && covers) {
    plan.positionStabA = PositionStabilizers(plan.groupA, plan.setsA);
    plan.positionStabB = plan.symmetric ? plan.positionStabA : PositionStabilizers(plan.groupB, plan.setsB);
  }
}

namespace {

// FNV-1a, 64 bits: enough to tell problems apart, not a defence against forgery.
struct Fingerprint {
  std::uint64_t value = 1469598103934665603ULL;
  void Add(std::uint64_t x) {
    for (int k = 0; k < 8; ++k) {
      value ^= (x >> (8 * k)) & 0xFF;
      value *= 1099511628211ULL;
    }
  }
};

}  // namespace

std::uint64_t PlanFingerprint(const CountPlan& plan) {
  Fingerprint f;
  for (const FactorLattice* lattice : {&plan.a, &plan.b}) {
    f.Add(static_cast<std::uint64_t>(lattice->size));
    for (const Element e : lattice->join) f.Add(e);
    for (const Element e : lattice->meet) f.Add(e);
  }
  f.Add(plan.outerIsA ? 1 : 0);
  f.Add(plan.symmetric ? 1 : 0);
  for (const GeneratingSet& s : plan.Outer()) {
    for (const Element e : s.elements) f.Add(e);
    f.Add(s.orbitSize);
  }
  return f.value;
}

std::unique_ptr<RelationTest> MakeRelationTest(const CountPlan& plan) {
  return plan.domainIsA ? std::make_unique<RelationTest>(plan.a, plan.b, plan.shortcuts)
                        : std::make_unique<RelationTest>(plan.b, plan.a, plan.shortcuts);
}

namespace {

// The position permutations of set i, the identity alone when none are kept.
const std::vector<PositionPermutation>& StabilizerOf(const std::vector<std::vector<PositionPermutation>>& all,
                                                     std::size_t i) {
  static const std::vector<PositionPermutation> identityOnly{0};
  return all.empty() || all[i].empty() ? identityOnly : all[i];
}

}  // namespace

std::uint64_t CountUnit(const CountPlan& plan, std::size_t u, RelationTest& test) {
  assert(u < plan.UnitCount());
  assert(plan.InnerStabilizers().empty() || plan.InnerStabilizers().size() == plan.Inner().size());
  const GeneratingSet& y = plan.Outer()[u];
  // The outer set is on the domain side exactly when it belongs to the factor
  // the corner test uses as rows.
  const bool outerIsDomain = plan.outerIsA == plan.domainIsA;
  const FactorLattice& innerLattice = plan.outerIsA ? plan.b : plan.a;
  const SubsetBounds outerBounds = FindSubsetBounds(plan.outerIsA ? plan.a : plan.b, y.elements.data(), y.size);
  const std::vector<PositionPermutation>& outerStab = StabilizerOf(plan.OuterStabilizers(), u);
  std::uint64_t count = 0;
  // Partition corners read each set's parts, made once: the outer set is
  // one side of every relation of the unit.
  const bool setParts = test.ReadsSetParts();
  if (setParts && outerIsDomain) test.SetDomainSet(y.elements.data(), y.size);
  if (setParts && !outerIsDomain) test.SetValueSet(y.elements.data(), y.size);
  const std::vector<GeneratingSet>& innerSets = plan.Inner();
  const bool triples = plan.triples[0] || plan.triples[1];
  // The triple refutation of both corners takes in every split.
  const bool splits = plan.refuteFirst && !(plan.triples[0] && plan.triples[1]);
  std::optional<UnitTriples> unitTriples;
  if (triples) unitTriples.emplace(plan.triples, u, y, plan.patterns);
  for (std::size_t i = plan.symmetric ? u : 0; i < innerSets.size(); ++i) {
    const GeneratingSet& x = innerSets[i];
    const auto& patterns = plan.patterns[static_cast<std::size_t>(x.size)][static_cast<std::size_t>(y.size)];
    const SubsetBounds innerBounds =
        splits ? FindSubsetBounds(innerLattice, x.elements.data(), x.size) : SubsetBounds{};
    if (setParts && outerIsDomain) test.SetValueSet(x.elements.data(), x.size);
    if (setParts && !outerIsDomain) test.SetDomainSet(x.elements.data(), x.size);
    if (triples) unitTriples->SetInner(i, x.size);
    // Relations in one orbit of the stabilizers generate together: the
    // first of each orbit is tested and counts for all of it.
    const std::vector<PositionPermutation>& innerStab = StabilizerOf(plan.InnerStabilizers(), i);
    const bool plainPatterns = innerStab.size() == 1 && outerStab.size() == 1;
    std::uint64_t covered = 0;  // bit r: pattern r lies in an orbit already counted
    std::uint64_t generating = 0;
    for (std::size_t ri = 0; ri < patterns.size(); ++ri) {
      std::uint64_t multiplicity = 1;
      if (!plainPatterns) {
        if (covered >> ri & 1U) continue;
        std::uint64_t orbit = 0;
        for (const PositionPermutation sigma : innerStab) {
          for (const PositionPermutation tau : outerStab) {
            orbit |= std::uint64_t{1} << plan.patternSymmetry.Image(x.size, y.size, static_cast<int>(ri), sigma, tau);
          }
        }
        covered |= orbit;
        multiplicity = static_cast<std::uint64_t>(std::popcount(orbit));
      }
      const RelationPattern& r = patterns[ri];
      if (splits && CornerRefuted(r.splits, innerBounds, outerBounds)) continue;
      if (triples && unitTriples->Refutes(ri)) continue;
      // first: positions in the inner set, second: in the outer one.
      bool generates = false;
      if (setParts) {
        generates = outerIsDomain ? test.GeneratesAt(r.secondToFirst.data(), r.firstToSecond.data())
                                  : test.GeneratesAt(r.firstToSecond.data(), r.secondToFirst.data());
      } else {
        // Other lattices take the generators themselves.
        Element d[4];
        Element v[4];
        for (std::size_t k = 0; k < 4; ++k) {
          const Element inner = x.elements[r.first[k]];
          const Element outer = y.elements[r.second[k]];
          d[k] = outerIsDomain ? outer : inner;
          v[k] = outerIsDomain ? inner : outer;
        }
        generates = test.Generates(d, v);
      }
      if (generates) generating += multiplicity;
    }
    if (generating != 0) {
      std::uint64_t weight = runframe::CheckedMul(x.orbitSize, y.orbitSize, "the orbit weight");
      if (plan.symmetric && i != u) weight = runframe::CheckedMul(weight, std::uint64_t{2}, "the orbit weight");
      count = runframe::CheckedAdd(count, runframe::CheckedMul(weight, generating, "a unit's count"), "a unit's count");
    }
  }
  return count;
}

}  // namespace genexact::inline GENEXACT_WIDTH
