// gencount with the subset-by-subset count: the reference whose console and
// result file the real gencount must reproduce byte for byte.
#include "gencount/program.hpp"

int main(int argc, char** argv) { return gencount::RunGencount(argc, argv, gencount::ExhaustiveCountPlain); }
