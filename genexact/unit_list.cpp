#include "genexact/unit_list.hpp"

#include <cstdio>

#include "lattice/partition_lattice.hpp"
#include "lattice/product.hpp"

namespace genexact::inline GENEXACT_WIDTH {

namespace {

// Equ(k) as the table maker numbers it, join and meet either way round: a
// file that gives the meet first is read as the dual (flat_factor.hpp).
bool IsEquInTableNumbering(const FactorLattice& factor, int k) {
  const lattice::OperationTables equ = lattice::BuildEquTables(k);
  if (equ.size != factor.size) return false;
  const auto same = [&](const std::vector<std::int32_t>& first, const std::vector<std::int32_t>& second) {
    for (std::size_t cell = 0; cell < first.size(); ++cell) {
      if (first[cell] - 1 != factor.join[cell] || second[cell] - 1 != factor.meet[cell]) return false;
    }
    return true;
  };
  return same(equ.first, equ.second) || same(equ.second, equ.first);
}

std::string Hex16(std::uint64_t value) {
  char text[17];
  (void)std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// "<orbit> ... <e1,e2,...> [<blocks> ...]" after the caller's fields.
std::string SetFields(const GeneratingSet& set, const std::vector<std::string>& names) {
  std::string elements;
  std::string blocks;
  for (int i = 0; i < set.size; ++i) {
    const auto e = static_cast<std::size_t>(set.elements[static_cast<std::size_t>(i)]);
    if (i > 0) elements += ',';
    elements += std::to_string(e + 1);
    if (!names.empty()) {
      blocks += ' ';
      blocks += names[e];
    }
  }
  return elements + blocks;
}

}  // namespace

std::vector<std::string> PartitionNames(const FactorLattice& factor) {
  std::vector<std::string> names;
  for (int k = 1; k <= lattice::MaxEquPoints; ++k) {
    if (lattice::BellNumbers[static_cast<std::size_t>(k)] != factor.size) continue;
    if (!IsEquInTableNumbering(factor, k)) break;
    for (const lattice::Partition& p : lattice::EquPartitions(k)) names.push_back(lattice::BlocksText(p));
  }
  return names;
}

std::string UnitListText(const CountPlan& plan, std::uint64_t fingerprint, const std::string& productName,
                         const std::map<std::uint64_t, std::uint64_t>* counts) {
  const char* const eol = "\r\n";
  const FactorLattice& outer = plan.outerIsA ? plan.a : plan.b;
  const FactorLattice& inner = plan.outerIsA ? plan.b : plan.a;
  const std::vector<std::string> outerNames = PartitionNames(outer);
  const std::vector<std::string> innerNames = plan.symmetric ? outerNames : PartitionNames(inner);
  const std::string outerOrdinal = plan.outerIsA ? "1st" : "2nd";
  const std::string innerOrdinal = plan.outerIsA ? "2nd" : "1st";

  std::string text = std::string("genexact unit list 1") + eol;
  const auto comment = [&](const std::string& line) { text += "# " + line + eol; };
  comment("The count of 4-element generating sets of " + productName + " is the sum of the units' counts.");
  comment("Sets are orbit representatives, under the automorphisms of their factor, of the");
  comment("generating sets of at most 4 elements; orbit is the size of the set's orbit.");
  comment("Elements are numbered 1..size as in the table files; a factor that is Equ(k) in the");
  comment("table maker's numbering also has each element as a partition of {1..k} by its blocks.");
  comment("For a set X of the 1st factor and Y of the 2nd, c(X, Y) is the number of 4-element");
  comment("subsets R of X x Y whose projections are all of X and all of Y and which generate");
  comment("the product.");
  if (plan.symmetric) {
    comment("Both factors have the same tables, so the units' sets serve both (pairs upper):");
    comment("count(u) = sum over v >= u of w(u, v) * orbit(u) * orbit(v) * c(S_u, S_v),");
    comment("with w(u, u) = 1 and w(u, v) = 2 for v > u, as c(S_u, S_v) = c(S_v, S_u).");
  } else {
    comment("The units are the sets S_u of the " + outerOrdinal + " factor, the inner lines the sets T_i");
    comment("of the " + innerOrdinal + " (pairs all): count(u) = sum over every i of");
    comment("orbit(u) * orbit(i) * c(X, Y), with X, Y = S_u, T_i in the order of the factors.");
  }
  if (!plan.symmetric) comment("Lines: inner <i> <orbit> <elements> [<partitions>], then");
  comment("Lines: unit <u> <orbit> <count, or - before a merge> <elements> [<partitions>].");
  text += "product " + productName + eol;
  text += "fingerprint " + Hex16(fingerprint) + eol;
  text += "units " + std::to_string(plan.UnitCount()) + eol;
  text += "outer " + outerOrdinal + eol;
  text += std::string("pairs ") + (plan.symmetric ? "upper" : "all") + eol;
  if (!plan.symmetric) {
    const std::vector<GeneratingSet>& sets = plan.Inner();
    for (std::size_t i = 0; i < sets.size(); ++i) {
      text += "inner " + std::to_string(i) + " " + std::to_string(sets[i].orbitSize) + " " +
              SetFields(sets[i], innerNames) + eol;
    }
  }
  const std::vector<GeneratingSet>& units = plan.Outer();
  for (std::size_t u = 0; u < units.size(); ++u) {
    const std::string count = counts != nullptr ? std::to_string(counts->at(u)) : std::string("-");
    text += "unit " + std::to_string(u) + " " + std::to_string(units[u].orbitSize) + " " + count + " " +
            SetFields(units[u], outerNames) + eol;
  }
  text += std::string("end") + eol;
  return text;
}

}  // namespace genexact::inline GENEXACT_WIDTH
