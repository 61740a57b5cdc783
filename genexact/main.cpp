// genexact: the exact number of 4-element generating sets of Equ(n)*Equ(m),
// counted by orbits instead of subset by subset.
#include "genexact/program.hpp"

int main(int argc, char** argv) { return genexact::RunGenexact(argc, argv, genexact::CornerMethod::Covers); }
