// gencount on the baseline driver, for whole-program timings against gencount.
#include "bench/baseline_drivers.hpp"
#include "gencount/program.hpp"

int main(int argc, char** argv) { return gencount::RunGencount(argc, argv, bench::BaselineExhaustiveCount); }
