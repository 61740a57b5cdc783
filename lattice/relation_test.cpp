#include "lattice/relation_test.hpp"

#include <cassert>

namespace lattice {

namespace {

// The orientation with fewer covers to lower along, of the two that can
// decide one corner.
template <class Element>
std::optional<CornerShortcut<Element>> Cheaper(const FlatFactor<Element>& domain, const FlatFactor<Element>& values,
                                               const FlatFactor<Element>& dualDomain,
                                               const FlatFactor<Element>& dualValues, bool plain) {
  std::optional<CornerShortcut<Element>> best;
  if (auto covers = FindJoinCovers(domain))
    best = CornerShortcut<Element>{std::move(*covers), values, false, false, std::nullopt};
  if (auto covers = FindJoinCovers(dualValues)) {
    if (!best || covers->covers.size() < best->covers.covers.size()) {
      best = CornerShortcut<Element>{std::move(*covers), dualDomain, true, true, std::nullopt};
    }
  }
  if (best && !plain) best->partition = MakePartitionCornerTables(best->covers, best->values);
  return best;
}

}  // namespace

template <class Element>
CornerShortcuts<Element> FindCornerShortcuts(const FlatFactor<Element>& domain, const FlatFactor<Element>& values,
                                             bool plain) {
  const FlatFactor<Element> dualDomain = Dual(domain);
  const FlatFactor<Element> dualValues = Dual(values);
  CornerShortcuts<Element> result;
  // (top D, bottom V): on J(D) with generators (d, v), or on J(dual V) with (v, d).
  result.lower = Cheaper(domain, values, dualDomain, dualValues, plain);
  // (bottom D, top V) = (top V, bottom D) read with V as the domain: the same
  // choice with the factors exchanged, so the generators enter the other way.
  result.upper = Cheaper(values, domain, dualValues, dualDomain, plain);
  if (result.upper) result.upper->exchanged = !result.upper->exchanged;
  return result;
}

template <class Element>
RelationTest<Element>::RelationTest(const FlatFactor<Element>& domain, const FlatFactor<Element>& values,
                                    const CornerShortcuts<Element>& shortcuts)
    : rowMinima_(domain, values) {
  if (const auto& s = shortcuts.lower) {
    if (s->partition) {
      lowerPartition_.emplace(s->covers, *s->partition);
    } else {
      lower_.emplace(s->covers, s->values);
    }
    lowerExchanged_ = s->exchanged;
  }
  if (const auto& s = shortcuts.upper) {
    if (s->partition) {
      upperPartition_.emplace(s->covers, *s->partition);
    } else {
      upper_.emplace(s->covers, s->values);
    }
    upperExchanged_ = s->exchanged;
  }
}

template <class Element>
void RelationTest<Element>::SetDomainSet(const Element* set, int size) {
  assert(ReadsSetParts());
  // A corner read the other way round has its domain on the values' side.
  Fill(*lowerPartition_, !lowerExchanged_, set, size, lowerParts_);
  Fill(*upperPartition_, !upperExchanged_, set, size, upperParts_);
}

template <class Element>
void RelationTest<Element>::SetValueSet(const Element* set, int size) {
  assert(ReadsSetParts());
  Fill(*lowerPartition_, lowerExchanged_, set, size, lowerParts_);
  Fill(*upperPartition_, upperExchanged_, set, size, upperParts_);
}

template <class Element>
bool RelationTest<Element>::GeneratesAt(const std::uint8_t* dToV, const std::uint8_t* vToD) const {
  assert(ReadsSetParts());
  return lowerPartition_->ReachesSpread(lowerParts_.positions.data(), lowerParts_.meets.data(),
                                        lowerExchanged_ ? vToD : dToV) &&
         upperPartition_->ReachesSpread(upperParts_.positions.data(), upperParts_.meets.data(),
                                        upperExchanged_ ? vToD : dToV);
}

// The two widths genexact is built for (genexact/element_width.hpp).
template CornerShortcuts<std::uint8_t> FindCornerShortcuts(const FlatFactor<std::uint8_t>&,
                                                           const FlatFactor<std::uint8_t>&, bool);
template CornerShortcuts<std::uint16_t> FindCornerShortcuts(const FlatFactor<std::uint16_t>&,
                                                            const FlatFactor<std::uint16_t>&, bool);
template class RelationTest<std::uint8_t>;
template class RelationTest<std::uint16_t>;

}  // namespace lattice
