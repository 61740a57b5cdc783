#include "gensample/random_sampling.hpp"

#include <cstdio>
#include <memory>

#include "lattice/closure.hpp"
#include "lattice/generating_test.hpp"
#include "runframe/checked.hpp"
#include "runframe/int_conversion.hpp"
#include "runframe/report.hpp"
#include "runframe/run_frame.hpp"

namespace gensample {

SamplerParameters ReadSamplerParameters(const runframe::RunContext& run) {
  SamplerParameters s;
  if (run.parameters.size() >= 3) s.testCount = runframe::ConvertInteger(run.parameters[2]);
  if (run.parameters.size() >= 4) s.dotInterval = runframe::ConvertInteger(run.parameters[3]);
  return s;
}

void DrawSubset(RandomSource& random, std::int32_t productSize, std::int32_t (&index)[SubsetSize]) {
  const auto bound = static_cast<std::uint32_t>(productSize);
  for (std::int32_t t = 0; t < SubsetSize; ++t) {
    bool repeated;
    do {
      index[t] = static_cast<std::int32_t>(random.Below(bound)) + 1;
      repeated = false;
      for (std::int32_t u = 0; u < t; ++u) repeated |= index[u] == index[t];
    } while (repeated);
  }
}

std::string CountLine(std::int32_t n, std::int32_t m, std::int32_t testsDone) {
  return "For Part(" + std::to_string(n) + ")*Part(" + std::to_string(m) + "), out of " + std::to_string(testsDone) +
         " " + std::to_string(SubsetSize) + "-element random subsets,";
}

std::string ShareLine(std::uint64_t generatingCount, std::int32_t testsDone) {
  // The product is formed in 64 bits, so a long run cannot overflow here.
  const std::uint64_t hundredfold = runframe::CheckedMul<std::uint64_t>(generatingCount, 100, "the percentage");
  const double percentage = static_cast<double>(hundredfold) / static_cast<double>(testsDone);
  char field[64];
  (void)std::snprintf(field, sizeof field, "%8.4f", percentage);
  return std::to_string(generatingCount) + " are generating, i.e., " + field + "%.";
}

void PollStopRequest(ConsoleKeys& keys, runframe::TextOutput& console, bool& stopRequested) {
  if (!TakeStopKey(keys)) return;
  console.Line(" Entering into stop mode ..., please wait");
  stopRequested = true;
}

void CheckSampleable(const SampleProduct& product) {
  if (product.productSize < SubsetSize) {
    runframe::FatalStop("The product has fewer than 4 elements, so no 4-element subset can be drawn");
  }
}

void RandomSampling(runframe::RunContext& run, SampleProduct& product, RandomSource& random, ConsoleKeys& keys,
                    SubsetTest subsetTest) {
  if (subsetTest == SubsetTest::Closure) {
    SamplingLoop(run, product, random, keys,
                 [&](const std::int32_t(&index)[SubsetSize]) { return lattice::SeedAndClose(product, index); });
    return;
  }
  // Set up before the first test (Equ(5) x Equ(6): 4 ms, mostly the byte
  // tables of Equ(5)'s closure); the loop then allocates nothing.
  auto fast = std::make_unique<lattice::GeneratingTest<MaxSizeA>>(product);
  SamplingLoop(run, product, random, keys,
               [&](const std::int32_t(&index)[SubsetSize]) { return fast->Generates(index); });
}

void SamplingLoop(runframe::RunContext& run, SampleProduct& product, RandomSource& random, ConsoleKeys& keys,
                  const GeneratingTestFn& generates) {
  std::int32_t testsDone = 0;
  std::int32_t sinceLineBreak = 0;
  // 64 bits: the count times 100 must not overflow in a long run.
  std::uint64_t generatingCount = 0;
  const SamplerParameters params = ReadSamplerParameters(run);
  // 64 bits, so a huge dot interval cannot overflow; 0 means no dots.
  const std::int64_t dotInterval = params.dotInterval;
  const std::int64_t rowLength = dotInterval * DotsPerLine;
  bool stopRequested = false;
  std::int32_t index[SubsetSize];
  do {
    testsDone = runframe::CheckedAdd(testsDone, 1, "the test count");
    sinceLineBreak = runframe::CheckedAdd(sinceLineBreak, 1, "the dot row");
    if (dotInterval != 0) {
      if (sinceLineBreak % dotInterval == 0) run.console.Write(".");
      if (sinceLineBreak % rowLength == 0) {
        run.console.Line();
        sinceLineBreak = 0;
      }
    }
    lattice::ClearMembers(product);
    PollStopRequest(keys, run.console, stopRequested);
    DrawSubset(random, product.productSize, index);
    if (generates(index)) ++generatingCount;
  } while (testsDone < params.testCount && !stopRequested);

  runframe::WriteReport(run, {CountLine(run.n, run.m, testsDone), ShareLine(generatingCount, testsDone)},
                        runframe::ResultFileEnd::LastLine);
}

}  // namespace gensample
