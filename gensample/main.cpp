// gensample: estimates the number of 4-element generating sets of
// Equ(n)*Equ(m) by random tests; Alt+R stops it early.
#include "gensample/program.hpp"

int main(int argc, char** argv) {
  return gensample::RunGensample(
      argc, argv,
      [](runframe::RunContext& run, gensample::SampleProduct& product, gensample::RandomSource& random,
         gensample::ConsoleKeys& keys) { gensample::RandomSampling(run, product, random, keys); });
}
