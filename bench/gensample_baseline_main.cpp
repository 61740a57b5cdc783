// gensample on the baseline driver, for whole-program timings against gensample.
#include "bench/baseline_drivers.hpp"
#include "gensample/program.hpp"

int main(int argc, char** argv) { return gensample::RunGensample(argc, argv, bench::BaselineRandomSampling); }
