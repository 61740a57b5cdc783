// Per-test cost of genexact's generation test on the same units, three ways:
// "covers" is the test genexact runs (the triple tables of
// lattice/triple_refutation.hpp, then PartitionCorner), "covers-before" the
// plain cover fixpoint after the split refutation (CoverCorner), and
// "row-minima" the row minima over all elements, where affordable (not with
// an Equ(7) factor: a unit of Equ(6)xEqu(7) would take minutes).  Each case
// counts a few evenly spread units; counter "tests" is the number of
// relations tested per iteration, so time / tests is the cost of one test
// ("ns/test", CPU).  All methods must give the same unit counts; a
// difference aborts the run.
//
// Compiled twice, as genexact is: the one-byte build for products of
// factors up to Equ(6), the two-byte one for those with an Equ(7) factor
// (genexact_bench_main.cpp registers both).
//
// The machine's memory system is shared and its speed drifts by 15 % and
// more over minutes, the table-bound test far more than compute-bound code:
// compare with --benchmark_repetitions=5
// --benchmark_enable_random_interleaving=true, which runs the repetitions
// of all cases in random order, and read the "_min" rows (the least time
// of each case, its speed on a quiet machine).
//
// Whole programs: bench/run_programs.sh (genexact against genexact_baseline).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "genexact/count_plan.hpp"
#include "lattice/partition_lattice.hpp"

namespace {

using genexact::CornerMethod;
using genexact::CountPlan;

genexact::FactorLattice EquFactor(int k) {
  genexact::FactorLattice f = genexact::MakeFactor(lattice::BuildEquTables(k));
  genexact::CheckFactor(f);
  return f;
}

// Plans are made once per product, and once more per method from the first
// one's search: the orbit search of Equ(7) takes about 20 seconds.
const CountPlan& Plan(int n, int m, CornerMethod method) {
  static std::map<std::pair<int, int>, std::map<CornerMethod, std::unique_ptr<CountPlan>>> plans;
  auto& byMethod = plans[{n, m}];
  if (const auto found = byMethod.find(method); found != byMethod.end()) return *found->second;
  genexact::PlanSettings settings;
  settings.method = method;
  std::unique_ptr<CountPlan> plan;
  if (byMethod.empty()) {
    plan = std::make_unique<CountPlan>(genexact::MakeCountPlan(EquFactor(n), EquFactor(m), settings));
  } else {
    plan = std::make_unique<CountPlan>(*byMethod.begin()->second);
    genexact::SetCornerMethod(*plan, settings);
  }
  return *(byMethod[method] = std::move(plan));
}

std::vector<std::size_t> SpreadUnits(const CountPlan& plan, std::size_t count) {
  std::vector<std::size_t> units;
  for (std::size_t k = 0; k < count; ++k) units.push_back(k * plan.UnitCount() / count);
  return units;
}

// The count of every unit, by method, to compare them.
std::map<std::size_t, std::uint64_t>& Counts(int n, int m, CornerMethod method) {
  static std::map<std::pair<int, int>, std::map<CornerMethod, std::map<std::size_t, std::uint64_t>>> counts;
  return counts[{n, m}][method];
}

void CheckAgreement(int n, int m) {
  const CornerMethod methods[] = {CornerMethod::Covers, CornerMethod::PlainCovers, CornerMethod::RowMinima};
  for (const CornerMethod a : methods) {
    for (const CornerMethod b : methods) {
      for (const auto& [u, count] : Counts(n, m, a)) {
        const auto& other = Counts(n, m, b);
        const auto found = other.find(u);
        if (found != other.end() && found->second != count) {
          std::fprintf(stderr, "unit %zu of %dx%d: %llu by method %d, %llu by method %d\n", u, n, m,
                       static_cast<unsigned long long>(count), static_cast<int>(a),
                       static_cast<unsigned long long>(found->second), static_cast<int>(b));
          std::abort();
        }
      }
    }
  }
}

void Units(benchmark::State& state, int n, int m, CornerMethod method, std::size_t unitCount) {
  const CountPlan& plan = Plan(n, m, method);
  const std::vector<std::size_t> units = SpreadUnits(plan, unitCount);
  const auto test = genexact::MakeRelationTest(plan);
  std::uint64_t tests = 0;
  for (const std::size_t u : units) tests += plan.UnitTests(u);
  for (auto _ : state) {
    for (const std::size_t u : units) {
      const std::uint64_t count = genexact::CountUnit(plan, u, *test);
      benchmark::DoNotOptimize(count);
      Counts(n, m, method)[u] = count;
    }
  }
  state.counters["tests"] = static_cast<double>(tests);
  state.counters["ns/test"] = benchmark::Counter(
      static_cast<double>(tests) * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  CheckAgreement(n, m);
}

double Least(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// The row minima on rowMinimaUnits units (none when 0), both cover fixpoints
// on coverUnits; a multiple of rowMinimaUnits makes the first units the same.
void Register(int n, int m, std::size_t rowMinimaUnits, std::size_t coverUnits) {
  const std::string name = "Units/" + std::to_string(n) + "x" + std::to_string(m);
  if (rowMinimaUnits > 0) {
    benchmark::RegisterBenchmark((name + "/row-minima").c_str(), Units, n, m, CornerMethod::RowMinima, rowMinimaUnits)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
  benchmark::RegisterBenchmark((name + "/covers-before").c_str(), Units, n, m, CornerMethod::PlainCovers, coverUnits)
      ->Unit(benchmark::kMillisecond)
      ->ComputeStatistics("min", Least);
  benchmark::RegisterBenchmark((name + "/covers").c_str(), Units, n, m, CornerMethod::Covers, coverUnits)
      ->Unit(benchmark::kMillisecond)
      ->ComputeStatistics("min", Least);
}

}  // namespace

#if GENEXACT_WIDE_ELEMENTS
void RegisterWideCases() {
  Register(6, 7, 0, 32);
  Register(7, 7, 0, 12);
}
#else
void RegisterNarrowCases() {
  Register(5, 5, 8, 64);
  Register(5, 6, 4, 64);
  Register(6, 6, 2, 32);
}
#endif
