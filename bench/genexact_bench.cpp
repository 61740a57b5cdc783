// Per-test cost of genexact's generation test: the cover fixpoints (fast)
// against the row minima over all elements (baseline), on the same units of
// Equ(5)xEqu(5), Equ(5)xEqu(6) and Equ(6)xEqu(6).  Each case counts a few
// evenly spread units; counter "tests" is the number of relations tested per
// iteration, so time / tests is the cost of one test.  Both methods must give
// the same unit counts; a difference aborts the run.
//
// Whole programs: bench/run_programs.sh (genexact against genexact_baseline).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "genexact/count_plan.hpp"
#include "optables/equ_tables.hpp"

namespace {

using genexact::CornerMethod;
using genexact::CountPlan;

genexact::FactorLattice EquFactor(int k) {
  genexact::FactorLattice f = genexact::MakeFactor(optables::BuildEquTables(k));
  genexact::CheckFactor(f);
  return f;
}

// Plans are made once per product and method: the orbit search takes seconds.
const CountPlan& Plan(int n, int m, CornerMethod method) {
  static std::map<std::pair<int, int>, std::map<CornerMethod, std::unique_ptr<CountPlan>>> plans;
  auto& slot = plans[{n, m}][method];
  if (!slot) {
    genexact::PlanSettings settings;
    settings.method = method;
    slot = std::make_unique<CountPlan>(genexact::MakeCountPlan(EquFactor(n), EquFactor(m), settings));
  }
  return *slot;
}

std::vector<std::size_t> SpreadUnits(const CountPlan& plan, std::size_t count) {
  std::vector<std::size_t> units;
  for (std::size_t k = 0; k < count; ++k) units.push_back(k * plan.UnitCount() / count);
  return units;
}

// The count of every unit, by method, to compare the two.
std::map<std::size_t, std::uint64_t>& Counts(int n, int m, CornerMethod method) {
  static std::map<std::pair<int, int>, std::map<CornerMethod, std::map<std::size_t, std::uint64_t>>> counts;
  return counts[{n, m}][method];
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
  const auto& fast = Counts(n, m, CornerMethod::Covers);
  const auto& plain = Counts(n, m, CornerMethod::RowMinima);
  for (const auto& [u, count] : fast) {
    const auto other = plain.find(u);
    if (other != plain.end() && other->second != count) {
      std::fprintf(stderr, "unit %zu of %dx%d: %llu by covers, %llu by row minima\n", u, n, m,
                   static_cast<unsigned long long>(count), static_cast<unsigned long long>(other->second));
      std::abort();
    }
  }
}

void Register(int n, int m, std::size_t fastUnits, std::size_t plainUnits) {
  const std::string name = "Units/" + std::to_string(n) + "x" + std::to_string(m);
  benchmark::RegisterBenchmark((name + "/baseline").c_str(), Units, n, m, CornerMethod::RowMinima, plainUnits)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  benchmark::RegisterBenchmark((name + "/fast").c_str(), Units, n, m, CornerMethod::Covers, plainUnits)
      ->Unit(benchmark::kMillisecond);
  if (fastUnits != plainUnits) {
    benchmark::RegisterBenchmark((name + "/fast-more").c_str(), Units, n, m, CornerMethod::Covers, fastUnits)
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register(5, 5, 61, 8);
  Register(5, 6, 64, 4);
  Register(6, 6, 32, 2);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
