// genexact with both corners decided by the row minima over all elements, for
// whole-program timings against genexact.
#include "genexact/program.hpp"

int main(int argc, char** argv) { return genexact::RunGenexact(argc, argv, genexact::CornerMethod::RowMinima); }
