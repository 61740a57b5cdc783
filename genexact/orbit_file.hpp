#pragma once
// The orbit searches of factors, kept between runs (--plan-file): an
// hours-long search (Equ(8)) is saved as it goes and resumed after a stop,
// and once complete it serves every later run with that factor, every shard
// and every product, instead of being made again.
//
//   genexact orbit lists 1
//   factor <fingerprint> <size> complete <sets>            then one line per set:
//   set <size> <orbit size> <e1,e2,...>                    elements 1..size of the factor
//   factor <fingerprint> <size> partial <3-sets> <extended> <sets>
//   set ...                                                the finished part of the last level
//   end <lines>
//   checksum <16 hex digits>                               see checked_text.hpp
//
// A factor is known by FactorFingerprint of its tables, so a file serves
// whichever side of a product the factor is on.  Lines end with CR LF.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "genexact/factor_lattice.hpp"
#include "genexact/partial_result.hpp"

namespace genexact::inline GENEXACT_WIDTH {

struct SavedOrbits {
  std::int32_t size = 0;                            // the factor's elements
  bool complete = false;                            // sets is the whole list
  std::vector<GeneratingSet> sets;                  // complete: the list, in the search's order
  lattice::OrbitSearchCheckpoint<Element> partial;  // not complete: the finished part
};

using OrbitFileContent = std::map<std::uint64_t, SavedOrbits>;  // by FactorFingerprint

// FNV-1a 64 of the size and both tables.
std::uint64_t FactorFingerprint(const FactorLattice& factor);

// Missing when the file is not there (errnoValue says why when it exists but
// cannot be opened), Damaged when it is not a complete, intact file of this
// format (or holds an element beyond its factor's size, or a set of more
// than four elements).
LoadStatus LoadOrbitFile(const std::string& file, OrbitFileContent& content, int& errnoValue);

std::string OrbitFileText(const OrbitFileContent& content);

}  // namespace genexact::inline GENEXACT_WIDTH
