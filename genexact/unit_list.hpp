#pragma once
// The published form of a count: every work unit with its orbit
// representative, the representative's orbit size, its elements (numbered as
// in the table files and, for a factor that is Equ(k) in the table maker's
// numbering, as partitions of {1..k} by their blocks) and, after a merge, the
// unit's count.  With the other factor's sets (the same list for a product
// of two equal factors) and the definition of a unit's sum in the file's
// head, any unit can be recomputed by other software from this file alone.
//
//   genexact unit list 1
//   # ... what a unit sums, in words ...
//   product <name>
//   fingerprint <16 hex digits>      as in the partial results
//   units <U>
//   outer <1st|2nd>                  the factor whose sets are the units
//   pairs <upper|all>                see the head's text
//   inner <i> <orbit> <e1,e2,...> [<blocks> ...]     (pairs all only)
//   unit <u> <orbit> <count or -> <e1,e2,...> [<blocks> ...]
//   end
//
// Lines end with CR LF like every file of the programs.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "genexact/count_plan.hpp"

namespace genexact::inline GENEXACT_WIDTH {

// The blocks text of every element (index: element, 0..size-1) when the
// factor's tables, read either way round, are those the table maker writes
// for Equ(k); empty when they are not.
std::vector<std::string> PartitionNames(const FactorLattice& factor);

// Contract: the plan is complete; counts, when not null, holds the count of
// every unit.
std::string UnitListText(const CountPlan& plan, std::uint64_t fingerprint, const std::string& productName,
                         const std::map<std::uint64_t, std::uint64_t>* counts);

}  // namespace genexact::inline GENEXACT_WIDTH
