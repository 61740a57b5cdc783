#pragma once
// The check that two operation tables form a lattice.  The counting relies on
// every law: the corner argument needs absorption and the bounds, the orbit
// argument needs that automorphisms are found from join-irreducibles, which
// holds in lattices only.
#include <optional>
#include <string>

#include "genexact/factor_lattice.hpp"

namespace genexact::inline GENEXACT_WIDTH {

// Contract: lattice.join and lattice.meet are complete size*size tables with
// values in 0..size-1.  Returns nothing when both operations are commutative,
// idempotent and associative, the absorption laws hold and both operations
// have an absorbing element (then top and bottom are set); otherwise the first
// broken law with a witness, in 1-based element numbers.
std::optional<std::string> LatticeLawFault(FactorLattice& lattice);

}  // namespace genexact
