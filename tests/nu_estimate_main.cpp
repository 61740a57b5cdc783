// nu_estimate: a Monte-Carlo estimate of nu(Equ(k)), the number of 4-element
// generating sets of Equ(k), from uniformly random 4-subsets closed by the
// plainest closure (stopped once every atom is in).  It shares no code with
// genexact's orbit search: the tables come from optables' partition code and
// the closure is written out here.  With --expect V it ends with status 1 unless V lies within three
// standard errors of the estimate.
//
//   nu_estimate k samples [--seed S] [--threads T] [--expect V]
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "optables/equ_tables.hpp"

namespace {

// The atoms of the lattice (0-based), the elements just above the bottom.
// Every element of Equ(k) is a join of atoms and, for k >= 3, the bottom is
// the meet of two of them, so a sublattice holding every atom is the whole
// lattice: a generating closure stops there instead of forming all of its
// pairs (most of the time of this check on Equ(8)).  Found here from the
// tables alone, by the definition.
std::vector<char> Atoms(const lattice::OperationTables& t) {
  const int n = t.size;
  int bottom = 0;  // the meet of everything, as the fold of the second operation
  for (int x = 1; x < n; ++x) bottom = t.Second(bottom + 1, x + 1) - 1;
  std::vector<char> atom(static_cast<std::size_t>(n), 0);
  for (int a = 0; a < n; ++a) {
    if (a == bottom) continue;
    bool covers = true;  // every meet with a is a or the bottom
    for (int y = 0; y < n && covers; ++y) {
      const int m = t.Second(a + 1, y + 1) - 1;
      covers = m == a || m == bottom;
    }
    atom[static_cast<std::size_t>(a)] = covers ? 1 : 0;
  }
  return atom;
}

// Closes the four elements (0-based) under both operations; true when the
// closure is the whole lattice.  With atoms (k >= 3) it stops as soon as
// every atom is in.
bool PlainGenerates(const lattice::OperationTables& t, const std::vector<char>* atoms, int atomCount,
                    const int (&seeds)[4], std::vector<char>& member, std::vector<int>& list) {
  const int n = t.size;
  member.assign(static_cast<std::size_t>(n), 0);
  list.clear();
  int atomsIn = 0;
  const auto add = [&](int z) {
    if (member[static_cast<std::size_t>(z)]) return;
    member[static_cast<std::size_t>(z)] = 1;
    list.push_back(z);
    if (atoms != nullptr) atomsIn += (*atoms)[static_cast<std::size_t>(z)];
  };
  for (const int s : seeds) add(s);
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (atoms != nullptr && atomsIn == atomCount) return true;
    for (std::size_t j = 0; j < i; ++j) {
      const int x = list[i] + 1;
      const int y = list[j] + 1;
      add(t.First(x, y) - 1);
      add(t.Second(x, y) - 1);
    }
  }
  return static_cast<int>(list.size()) == n;
}

long double Choose4(long double n) { return n * (n - 1) * (n - 2) * (n - 3) / 24; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: nu_estimate k samples [--seed S] [--threads T] [--expect V]\n");
    return 2;
  }
  const int k = std::atoi(argv[1]);
  const long long samples = std::atoll(argv[2]);
  std::uint64_t seed = 1;
  int threads = 2;
  long double expect = -1;
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--seed") {
      seed = std::strtoull(argv[i + 1], nullptr, 10);
    } else if (name == "--threads") {
      threads = std::atoi(argv[i + 1]);
    } else if (name == "--expect") {
      expect = std::strtold(argv[i + 1], nullptr);
    } else {
      std::fprintf(stderr, "unknown option %s\n", name.c_str());
      return 2;
    }
  }
  if (k < 1 || k > lattice::MaxEquPoints || samples < 1 || threads < 1) {
    std::fprintf(stderr, "bad k, samples or threads\n");
    return 2;
  }
  const lattice::OperationTables t = lattice::BuildEquTables(k);
  if (t.size < 4) {
    std::fprintf(stderr, "Equ(%d) has fewer than four elements\n", k);
    return 2;
  }

  const std::vector<char> atoms = Atoms(t);
  const int atomCount = static_cast<int>(std::count(atoms.begin(), atoms.end(), 1));
  // k * (k - 1) / 2 atoms, found from the tables: a check of the check.
  if (atomCount != k * (k - 1) / 2) {
    std::fprintf(stderr, "Equ(%d) has %d atoms, not %d\n", k, atomCount, k * (k - 1) / 2);
    return 1;
  }
  const std::vector<char>* stopAtAtoms = k >= 3 ? &atoms : nullptr;

  std::atomic<long long> hits{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < threads; ++w) {
    workers.emplace_back([&, w] {
      // Each worker draws its own share from a stream of its own.
      optables::SplitMix64 random(seed * 1000003 + static_cast<std::uint64_t>(w));
      std::vector<char> member;
      std::vector<int> list;
      long long mine = 0;
      for (long long s = w; s < samples; s += threads) {
        int set[4];
        for (int i = 0; i < 4; ++i) {
          bool fresh = false;
          while (!fresh) {
            set[i] = static_cast<int>(random.Below(static_cast<std::uint64_t>(t.size)));
            fresh = true;
            for (int j = 0; j < i; ++j) fresh = fresh && set[j] != set[i];
          }
        }
        if (PlainGenerates(t, stopAtAtoms, atomCount, set, member, list)) ++mine;
      }
      hits += mine;
    });
  }
  for (std::thread& w : workers) w.join();

  const long double p = static_cast<long double>(hits.load()) / static_cast<long double>(samples);
  const long double all = Choose4(t.size);
  const long double estimate = all * p;
  const long double error = all * std::sqrt(p * (1 - p) / static_cast<long double>(samples));
  std::printf("Equ(%d): %lld of %lld random 4-subsets generate; nu estimate %.0Lf, standard error %.0Lf\n", k,
              hits.load(), samples, estimate, error);
  if (expect >= 0) {
    const long double off = std::fabs(expect - estimate) / (error > 0 ? error : 1);
    std::printf("expected %.0Lf lies %.2Lf standard errors away\n", expect, off);
    return off <= 3 ? 0 : 1;
  }
  return 0;
}
