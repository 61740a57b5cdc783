// genexact_bench's cases of both element widths in one run (genexact_bench.cpp).
#include <benchmark/benchmark.h>

void RegisterNarrowCases();
void RegisterWideCases();

int main(int argc, char** argv) {
  RegisterNarrowCases();
  RegisterWideCases();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
