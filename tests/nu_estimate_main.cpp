// nu_estimate: a Monte-Carlo estimate of nu(Equ(k)), the number of 4-element
// generating sets of Equ(k), from uniformly random 4-subsets closed by the
// plainest closure.  It shares no code with genexact's orbit search: the
// tables come from optables' partition code and the closure is written out
// here.  With --expect V it ends with status 1 unless V lies within three
// standard errors of the estimate.
//
//   nu_estimate k samples [--seed S] [--threads T] [--expect V]
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

// Closes the four elements (0-based) under both operations; true when the
// closure is the whole lattice.
bool PlainGenerates(const lattice::OperationTables& t, const int (&seeds)[4], std::vector<char>& member,
                    std::vector<int>& list) {
  const int n = t.size;
  member.assign(static_cast<std::size_t>(n), 0);
  list.clear();
  for (const int s : seeds) {
    if (!member[static_cast<std::size_t>(s)]) {
      member[static_cast<std::size_t>(s)] = 1;
      list.push_back(s);
    }
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      const int x = list[i] + 1;
      const int y = list[j] + 1;
      for (const int z : {t.First(x, y) - 1, t.Second(x, y) - 1}) {
        if (!member[static_cast<std::size_t>(z)]) {
          member[static_cast<std::size_t>(z)] = 1;
          list.push_back(z);
        }
      }
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
        if (PlainGenerates(t, set, member, list)) ++mine;
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
