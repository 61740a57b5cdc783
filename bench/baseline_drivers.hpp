#pragma once
// The BASELINE of every benchmark: the per-subset steps transcribed plainly,
// with no shortcut at all -- clear every used MemberMatrix cell, seed PairList
// with the four elements, SubuniverseClosure, compare count with N -- inside
// the plain driver loops of gencount and gensample.  Every figure of the
// benchmarks is a ratio to these, measured in the same run.
#include <cstdint>

#include "gencount/exhaustive_count.hpp"
#include "gensample/random_sampling.hpp"
#include "lattice/closure.hpp"
#include "lattice/product.hpp"
#include "runframe/run_context.hpp"

namespace bench {

// The per-subset steps for the ProductPairs indexes index[0..3], in order.
template <std::int32_t MaxSizeA>
bool BaselineGenerates(lattice::Product<MaxSizeA>& p, const std::int32_t (&index)[4]) {
  for (std::int32_t a = 1; a <= p.sizeA; ++a) {
    for (std::int32_t b = 1; b <= p.sizeB; ++b) p.MemberMatrix[a][b] = 0;
  }
  p.PairList.count = 0;
  for (std::int32_t t = 0; t < 4; ++t) {
    p.PairList.entries[static_cast<std::size_t>(t + 1)] = p.ProductPairs[static_cast<std::size_t>(index[t])];
  }
  for (std::int32_t t = 1; t <= 4; ++t) {
    const lattice::ProductElement e = p.PairList.entries[static_cast<std::size_t>(t)];
    p.MemberMatrix[e.a][e.b] = 1;
    p.PairList.count += 1;
  }
  lattice::SubuniverseClosure(p);
  return p.PairList.count == p.productSize;
}

// gencount's loop over all subsets with BaselineGenerates; progress points to
// sink one at a time.
std::uint64_t BaselineCount(gencount::CountProduct& model, gencount::ProgressSink& sink);

// gencount's computation on BaselineCount: a progress item written to the
// console for every 1024 subsets, then the report.
void BaselineExhaustiveCount(runframe::RunContext& run, gencount::CountProduct& model);

// gensample's sampling loop with BaselineGenerates, then the report.
void BaselineRandomSampling(runframe::RunContext& run, gensample::SampleProduct& product,
                            gensample::RandomSource& random, gensample::ConsoleKeys& keys);

}  // namespace bench
