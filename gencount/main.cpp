// gencount: the exact number of 4-element generating sets of Equ(n)*Equ(m).
#include "gencount/program.hpp"

int main(int argc, char** argv) { return gencount::RunGencount(argc, argv, gencount::ExhaustiveCount); }
