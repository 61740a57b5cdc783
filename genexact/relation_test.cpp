#include "genexact/relation_test.hpp"

namespace genexact::inline GENEXACT_WIDTH {

namespace {

// The orientation with fewer covers to lower along, of the two that can
// decide one corner.
std::optional<CornerShortcut> Cheaper(const FactorLattice& domain, const FactorLattice& values,
                                      const FactorLattice& dualDomain, const FactorLattice& dualValues) {
  std::optional<CornerShortcut> best;
  if (auto covers = FindJoinCovers(domain)) best = CornerShortcut{std::move(*covers), values, false};
  if (auto covers = FindJoinCovers(dualValues)) {
    if (!best || covers->covers.size() < best->covers.covers.size()) {
      best = CornerShortcut{std::move(*covers), dualDomain, true};
    }
  }
  return best;
}

}  // namespace

CornerShortcuts FindCornerShortcuts(const FactorLattice& domain, const FactorLattice& values) {
  const FactorLattice dualDomain = Dual(domain);
  const FactorLattice dualValues = Dual(values);
  CornerShortcuts result;
  // (top D, bottom V): on J(D) with generators (d, v), or on J(dual V) with (v, d).
  result.lower = Cheaper(domain, values, dualDomain, dualValues);
  // (bottom D, top V) = (top V, bottom D) read with V as the domain: the same
  // choice with the factors exchanged, so the generators enter the other way.
  result.upper = Cheaper(values, domain, dualValues, dualDomain);
  if (result.upper) result.upper->exchanged = !result.upper->exchanged;
  return result;
}

RelationTest::RelationTest(const FactorLattice& domain, const FactorLattice& values, const CornerShortcuts& shortcuts)
    : rowMinima_(domain, values) {
  if (shortcuts.lower) {
    lower_.emplace(shortcuts.lower->covers, shortcuts.lower->values);
    lowerExchanged_ = shortcuts.lower->exchanged;
  }
  if (shortcuts.upper) {
    upper_.emplace(shortcuts.upper->covers, shortcuts.upper->values);
    upperExchanged_ = shortcuts.upper->exchanged;
  }
}

}  // namespace genexact
