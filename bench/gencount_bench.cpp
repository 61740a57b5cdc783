// Benchmarks of the generating test and of the two drivers.  Every case runs
// as a pair NAME/baseline and NAME/fast; the baseline is the plain per-subset
// transcription of baseline_drivers.hpp.  After the runs a table gives each
// fast figure as a ratio to its baseline from the same run.
//
//   Closure/PxQ/KIND   one subset: the baseline steps (clear, seed, close,
//                      compare) against the fast generating test.  KIND:
//                      generating; projections (both projections generate,
//                      the subset does not); random (a typical failure).
//   Overhead/PxQ       per subset outside the closure: the baseline's clear
//                      and seed against the fast count's whole cost per subset
//                      (its time divided by the number of subsets: counter
//                      "subsets" = subsets per iteration).
//   Count/PxQ          gencount's count in-process (progress items formatted,
//                      not written): 3x4, 4x4, 3x5, 2x5.  The baselines of 4x4
//                      and 3x5 take minutes; they run once.
//   Count/1x6          the count of 1x6 with the second factor's tables from
//                      its generating sets up to symmetry, against the same
//                      count with them filled triple by triple by closures
//                      (the earlier route; about a minute, run once).
//   Extensions/Equ6    per triple of Equ(6): the whole table from the
//                      generating sets, against filling the triples of ten
//                      pairs by closures.
//   Sample/PxQ         20000 random tests with one seed, as gensample P Q
//                      20000: 5x6, 1x6, 6x6.
//
// Whole programs, startup and console included: bench/run_programs.sh.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/baseline_drivers.hpp"
#include "gencount/exhaustive_count.hpp"
#include "gensample/random_sampling.hpp"
#include "gensample/random_source.hpp"
#include "lattice/factor_lattice.hpp"
#include "lattice/generating_test.hpp"
#include "lattice/partition_lattice.hpp"

namespace {

template <std::int32_t MaxSizeA>
std::unique_ptr<lattice::Product<MaxSizeA>> MakeProduct(int n, int m) {
  auto p = std::make_unique<lattice::Product<MaxSizeA>>();
  lattice::SetSizes(*p, n, m);
  auto fill = [](auto& factor, int k) {
    const lattice::OperationTables t = lattice::BuildEquTables(k);
    for (int x = 1; x <= t.size; ++x) {
      for (int y = 1; y <= t.size; ++y) {
        factor.firstOp[x][y] = static_cast<lattice::FactorElement>(t.First(x, y));
        factor.secondOp[x][y] = static_cast<lattice::FactorElement>(t.Second(x, y));
      }
    }
  };
  fill(p->factorA, n);
  fill(p->factorB, m);
  lattice::BuildProductPairs(*p);
  return p;
}

std::string Label(int n, int m) { return std::to_string(n) + "x" + std::to_string(m); }

// Formats each progress item as the console would get it, without writing.
class FormattingSink final : public gencount::ProgressSink {
 public:
  void Items(std::uint64_t first, std::uint64_t last) override {
    for (std::uint64_t d = first; d <= last; d += gencount::ProgressEvery) {
      chars_ +=
          static_cast<std::size_t>(std::snprintf(text_, sizeof text_, "  %10llu", static_cast<unsigned long long>(d)));
    }
  }
  std::size_t Chars() const { return chars_; }

 private:
  char text_[32];
  std::size_t chars_ = 0;
};

// Seeds of one kind in one product, found by drawing random subsets.
template <std::int32_t MaxSizeA>
struct SeedSets {
  std::map<std::string, std::array<std::int32_t, 4>> byKind;
};

template <std::int32_t MaxSizeA>
SeedSets<MaxSizeA> FindSeeds(lattice::Product<MaxSizeA>& p) {
  SeedSets<MaxSizeA> found;
  lattice::GeneratingTest<MaxSizeA> fast(p);
  lattice::ByteFactor factorA = lattice::FlatFactorOf(p.factorA, p.sizeA);
  lattice::ByteFactor factorB = lattice::FlatFactorOf(p.factorB, p.sizeB);
  if (!lattice::CheckFactor(factorA).bounds || !lattice::CheckFactor(factorB).bounds) {
    throw std::logic_error("the factors are no lattices");
  }
  lattice::FactorGenerationTest testA(factorA);
  lattice::FactorGenerationTest testB(factorB);
  gensample::RandomSource random(2026);
  std::int32_t index[4];
  for (long draw = 0; draw < 50000000 && found.byKind.size() < 3; ++draw) {
    gensample::DrawSubset(random, p.productSize, index);
    const bool generates = fast.Generates(index);
    std::string kind = "random";
    if (generates) {
      kind = "generating";
    } else {
      lattice::FactorElement a[4], b[4];
      for (int t = 0; t < 4; ++t) {
        a[t] = static_cast<lattice::FactorElement>(p.ProductPairs[static_cast<std::size_t>(index[t])].a - 1);
        b[t] = static_cast<lattice::FactorElement>(p.ProductPairs[static_cast<std::size_t>(index[t])].b - 1);
      }
      if (testA.Generates(a) && testB.Generates(b)) kind = "projections";
    }
    if (found.byKind.count(kind) == 0) {
      if (lattice::SeedAndClose(p, index) != generates) throw std::logic_error("fast test disagrees");
      found.byKind[kind] = {index[0], index[1], index[2], index[3]};
    }
  }
  return found;
}

template <std::int32_t MaxSizeA>
void RegisterClosure(int n, int m) {
  auto p = std::shared_ptr<lattice::Product<MaxSizeA>>(MakeProduct<MaxSizeA>(n, m));
  const SeedSets<MaxSizeA> seeds = FindSeeds(*p);
  for (const auto& [kind, set] : seeds.byKind) {
    const std::array<std::int32_t, 4> s = set;
    const std::string name = "Closure/" + Label(n, m) + "/" + kind;
    benchmark::RegisterBenchmark((name + "/baseline").c_str(), [p, s](benchmark::State& state) {
      const std::int32_t index[4] = {s[0], s[1], s[2], s[3]};
      for (auto _ : state) benchmark::DoNotOptimize(bench::BaselineGenerates(*p, index));
    });
    auto fast = std::make_shared<lattice::GeneratingTest<MaxSizeA>>(*p);
    benchmark::RegisterBenchmark((name + "/fast").c_str(), [p, s, fast](benchmark::State& state) {
      const std::int32_t index[4] = {s[0], s[1], s[2], s[3]};
      for (auto _ : state) benchmark::DoNotOptimize(fast->Generates(index));
    });
  }
}

void RegisterOverhead(int n, int m) {
  auto p = std::shared_ptr<gencount::CountProduct>(MakeProduct<gencount::MaxSizeA>(n, m));
  const std::string name = "Overhead/" + Label(n, m);
  // The baseline's steps around the closure: clear every used cell and seed.
  benchmark::RegisterBenchmark((name + "/baseline").c_str(), [p](benchmark::State& state) {
    std::int32_t index[4] = {1, 2, 3, 4};
    for (auto _ : state) {
      for (std::int32_t a = 1; a <= p->sizeA; ++a) {
        for (std::int32_t b = 1; b <= p->sizeB; ++b) p->MemberMatrix[a][b] = 0;
      }
      p->PairList.count = 0;
      for (std::int32_t t = 0; t < 4; ++t) {
        const lattice::ProductElement e = p->ProductPairs[static_cast<std::size_t>(index[t])];
        p->PairList.entries[static_cast<std::size_t>(t + 1)] = e;
        p->MemberMatrix[e.a][e.b] = 1;
        ++p->PairList.count;
      }
      benchmark::ClobberMemory();
      index[3] = index[3] == p->productSize ? 4 : index[3] + 1;
    }
    state.counters["subsets"] = 1;
  });
  // The fast count needs no steps per subset: its whole cost per subset.
  benchmark::RegisterBenchmark((name + "/fast").c_str(), [p](benchmark::State& state) {
    for (auto _ : state) {
      FormattingSink sink;
      benchmark::DoNotOptimize(gencount::CountGeneratingSubsets(*p, sink));
    }
    state.counters["subsets"] = static_cast<double>(lattice::SubsetCount(p->productSize));
  })->Unit(benchmark::kMillisecond);
}

void RegisterCount(int n, int m, bool longBaseline) {
  auto p = std::shared_ptr<gencount::CountProduct>(MakeProduct<gencount::MaxSizeA>(n, m));
  const std::string name = "Count/" + Label(n, m);
  const auto subsets = static_cast<std::int64_t>(lattice::SubsetCount(p->productSize));
  auto* baseline = benchmark::RegisterBenchmark((name + "/baseline").c_str(), [p, subsets](benchmark::State& state) {
    std::uint64_t count = 0;
    for (auto _ : state) {
      FormattingSink sink;
      count = bench::BaselineCount(*p, sink);
    }
    state.counters["count"] = static_cast<double>(count);
    state.SetItemsProcessed(state.iterations() * subsets);
  });
  baseline->Unit(benchmark::kMillisecond);
  if (longBaseline) baseline->Iterations(1);
  benchmark::RegisterBenchmark((name + "/fast").c_str(), [p, subsets](benchmark::State& state) {
    std::uint64_t count = 0;
    for (auto _ : state) {
      FormattingSink sink;
      count = gencount::CountGeneratingSubsets(*p, sink);
    }
    state.counters["count"] = static_cast<double>(count);
    state.SetItemsProcessed(state.iterations() * subsets);
  })->Unit(benchmark::kMillisecond);
}

// Count/1x6: the earlier route filled Equ(6)'s tables triple by triple.
void RegisterCountBySymmetry(int n, int m) {
  auto p = std::shared_ptr<gencount::CountProduct>(MakeProduct<gencount::MaxSizeA>(n, m));
  const std::string name = "Count/" + Label(n, m);
  const auto subsets = static_cast<std::int64_t>(lattice::SubsetCount(p->productSize));
  for (const bool fast : {false, true}) {
    const gencount::SecondFactorTables tables =
        fast ? gencount::SecondFactorTables::BySize : gencount::SecondFactorTables::Lazy;
    auto* run = benchmark::RegisterBenchmark((name + (fast ? "/fast" : "/baseline")).c_str(),
                                             [p, subsets, tables](benchmark::State& state) {
                                               std::uint64_t count = 0;
                                               for (auto _ : state) {
                                                 FormattingSink sink;
                                                 count = gencount::CountGeneratingSubsets(*p, sink, tables);
                                               }
                                               state.counters["count"] = static_cast<double>(count);
                                               state.SetItemsProcessed(state.iterations() * subsets);
                                             });
    run->Unit(benchmark::kMillisecond);
    if (!fast) run->Iterations(1);
  }
}

// Extensions/Equ6, per triple (counter "subsets": triples per iteration).
void RegisterExtensions6() {
  auto p = std::shared_ptr<gensample::SampleProduct>(MakeProduct<gensample::MaxSizeA>(6, 1));
  auto factor = std::make_shared<lattice::ByteFactor>(lattice::FlatFactorOf(p->factorA, p->sizeA));
  if (!lattice::CheckFactor(*factor).bounds) throw std::logic_error("Equ(6) is no lattice");
  const double size = factor->size;
  benchmark::RegisterBenchmark("Extensions/Equ6/baseline", [factor](benchmark::State& state) {
    for (auto _ : state) {
      auto ext = std::make_unique<lattice::FactorExtensions<lattice::FactorWords>>();
      ext->BuildLazily(*factor);
      for (std::int32_t pair = 0; pair < 10; ++pair) {
        for (std::int32_t z = 0; z < factor->size; ++z) benchmark::DoNotOptimize(ext->Triple(pair, 100 + pair, z));
      }
    }
    state.counters["subsets"] = 10 * factor->size;
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Extensions/Equ6/fast", [factor, size](benchmark::State& state) {
    for (auto _ : state) {
      auto ext = std::make_unique<lattice::FactorExtensions<lattice::FactorWords>>();
      ext->BuildBySymmetry(*factor);
      benchmark::DoNotOptimize(ext->TripleSorted(0, 1, 2));
    }
    state.counters["subsets"] = (size + 2) * (size + 1) * size / 6;
  })->Unit(benchmark::kMillisecond);
}

void RegisterSample(int n, int m, std::int32_t tests) {
  auto p = std::shared_ptr<gensample::SampleProduct>(MakeProduct<gensample::MaxSizeA>(n, m));
  const std::string name = "Sample/" + Label(n, m);
  benchmark::RegisterBenchmark((name + "/baseline").c_str(), [p, tests](benchmark::State& state) {
    std::int64_t generating = 0;
    for (auto _ : state) {
      gensample::RandomSource random(12345);
      std::int32_t index[4];
      generating = 0;
      for (std::int32_t t = 0; t < tests; ++t) {
        gensample::DrawSubset(random, p->productSize, index);
        generating += bench::BaselineGenerates(*p, index) ? 1 : 0;
      }
    }
    state.counters["generating"] = static_cast<double>(generating);
    state.SetItemsProcessed(state.iterations() * tests);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark((name + "/fast").c_str(), [p, tests](benchmark::State& state) {
    std::int64_t generating = 0;
    for (auto _ : state) {
      // The setup is part of every run of gensample, so it is timed too.
      lattice::GeneratingTest<gensample::MaxSizeA> fast(*p);
      gensample::RandomSource random(12345);
      std::int32_t index[4];
      generating = 0;
      for (std::int32_t t = 0; t < tests; ++t) {
        gensample::DrawSubset(random, p->productSize, index);
        generating += fast.Generates(index) ? 1 : 0;
      }
    }
    state.counters["generating"] = static_cast<double>(generating);
    state.SetItemsProcessed(state.iterations() * tests);
  })->Unit(benchmark::kMillisecond);
}

// The console table as usual, then every NAME/fast as a ratio to NAME/baseline.
class RatioReporter final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const std::string name = run.run_name.function_name;
      // Per subset where the case says how many subsets an iteration covers.
      const auto per = run.counters.find("subsets");
      const double items = static_cast<double>(run.iterations) * (per == run.counters.end() ? 1.0 : per->second.value);
      const double perIteration = run.real_accumulated_time / items;
      const double cpuPerIteration = run.cpu_accumulated_time / items;
      auto& best = seconds_[name];
      // With repetitions the best run counts: the machine is shared.
      if (best.first == 0 || perIteration < best.first) best = {perIteration, cpuPerIteration};
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nSeconds per iteration (Overhead: per subset), best run; ratio = baseline / fast.\n");
    std::printf("%-32s %14s %14s %10s %10s\n", "case", "baseline", "fast", "ratio", "cpu ratio");
    for (const auto& [name, fast] : seconds_) {
      const std::string suffix = "/fast";
      if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        continue;
      const std::string stem = name.substr(0, name.size() - suffix.size());
      const auto base = seconds_.find(stem + "/baseline");
      if (base == seconds_.end()) continue;
      std::printf("%-32s %14.4g %14.4g %9.1fx %9.1fx\n", stem.c_str(), base->second.first, fast.first,
                  base->second.first / fast.first, base->second.second / fast.second);
    }
  }

 private:
  std::map<std::string, std::pair<double, double>> seconds_;  // name -> best (real, cpu) seconds per iteration
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const auto& [n, m] : {std::pair{3, 3}, std::pair{4, 4}, std::pair{2, 5}, std::pair{3, 5}}) {
    RegisterClosure<gencount::MaxSizeA>(n, m);
  }
  RegisterClosure<gensample::MaxSizeA>(5, 6);
  for (const auto& [n, m] : {std::pair{3, 4}, std::pair{4, 4}, std::pair{2, 5}}) RegisterOverhead(n, m);
  RegisterCount(3, 4, false);
  RegisterCount(2, 5, false);
  RegisterCount(4, 4, true);
  RegisterCount(3, 5, true);
  RegisterCountBySymmetry(1, 6);
  RegisterExtensions6();
  for (const auto& [n, m] : {std::pair{5, 6}, std::pair{1, 6}, std::pair{6, 6}}) RegisterSample(n, m, 20000);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
