#pragma once
// gensample's computation: random 4-element subsets tested one by one, with
// progress dots, a keyboard stop, and the count and percentage at the end.
#include <cstdint>
#include <functional>
#include <string>

#include "gensample/console_keys.hpp"
#include "gensample/random_source.hpp"
#include "lattice/product.hpp"
#include "runframe/run_context.hpp"

namespace gensample {

// gensample takes n up to 6: both factors may be Equ(6).
inline constexpr std::int32_t MaxSizeA = 203;
using SampleProduct = lattice::Product<MaxSizeA>;

inline constexpr std::int32_t SubsetSize = 4;    // elements per tested subset
inline constexpr std::int32_t DotsPerLine = 64;  // dots in a full progress row

struct SamplerParameters {
  std::int32_t testCount = 10;   // tests asked for; at least one is always done
  std::int32_t dotInterval = 4;  // a dot every this many tests; 0: no dots
};

// Parameters 3 and 4 of the command line, with their defaults.
SamplerParameters ReadSamplerParameters(const runframe::RunContext& run);

// Four pairwise different ProductPairs indexes, each uniform over 1..N,
// drawn again until it differs from the ones before it.  N >= 4.
void DrawSubset(RandomSource& random, std::int32_t productSize, std::int32_t (&index)[SubsetSize]);

// The two console and result-file lines of the report.
std::string CountLine(std::int32_t n, std::int32_t m, std::int32_t testsDone);
std::string ShareLine(std::uint64_t generatingCount, std::int32_t testsDone);

// Looks at the keyboard once without waiting; on Alt+R announces the stop on
// the console and sets stopRequested.
void PollStopRequest(ConsoleKeys& keys, runframe::TextOutput& console, bool& stopRequested);

// How a test decides whether its subset generates: the fast generating test
// (lattice/generating_test.hpp), or the closure of every subset, which is the
// reference that the fast one is checked against.
enum class SubsetTest { Fast, Closure };

// The sampling run; random and keys are the seams tests replace.
void RandomSampling(runframe::RunContext& run, SampleProduct& product, RandomSource& random, ConsoleKeys& keys,
                    SubsetTest subsetTest = SubsetTest::Fast);

// Whether the subset of ProductPairs indexes generates the product.
using GeneratingTestFn = std::function<bool(const std::int32_t (&)[SubsetSize])>;

// The sampling run with a given generating test: parameters, tests with dots
// and the stop poll, then the report.
void SamplingLoop(runframe::RunContext& run, SampleProduct& product, RandomSource& random, ConsoleKeys& keys,
                  const GeneratingTestFn& generates);

// Refuses a product with fewer than four elements, which has no 4-element
// subset to draw.
void CheckSampleable(const SampleProduct& product);

}  // namespace gensample
