// genexact_recheck: checks a published unit list of Equ(n) x Equ(m) (genexact
// --units ... --merge ...) by a route that shares no code with genexact's
// corner tests: the relations are decided by the row minima over all elements
// (lattice/corner_fixpoint.hpp), the relations themselves are enumerated here
// from the definition in the list's head, and the tables are made in memory
// by the table maker's code.  Two checks:
//
//   --units K      K units drawn at random, each recomputed in full from the
//                  list's sets and orbit sizes and compared with its count
//                  (--unit U, repeatable: unit U as well);
//   --relations R  R uniformly random relations between uniformly random
//                  generating sets of the two factors (a listed set moved by
//                  a random permutation of the points), whose share of
//                  generating ones estimates the count; the list's total must
//                  lie within three standard errors.
//
//   genexact_recheck n m LIST [--units K] [--unit U]... [--relations R] [--seed S] [--threads T]
//
// Ends with status 0 when every check holds, 1 when one fails, 2 on a usage
// or file fault.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <map>
#include <mutex>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "lattice/corner_fixpoint.hpp"
#include "lattice/flat_factor.hpp"
#include "lattice/partition_lattice.hpp"
#include "runframe/int_conversion.hpp"
#include "runframe/random_draws.hpp"

namespace {

using Element = std::uint16_t;
using Factor = lattice::FlatFactor<Element>;
using Clock = std::chrono::steady_clock;

struct UsageFault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct ListedSet {
  std::vector<Element> elements;  // 0-based, increasing
  std::uint64_t orbit = 0;
  std::uint64_t count = 0;  // units only
  bool counted = false;     // a count, not "-"
};

struct UnitList {
  bool upper = false;     // pairs upper: the units' sets serve both factors
  bool outerIsA = false;  // the units are sets of the 1st factor
  std::vector<ListedSet> inner, units;
};

// A factor Equ(k) with the partitions' blocks texts, for the list's own check
// that its element numbers and partitions agree.
struct Equ {
  int points = 0;
  Factor factor;
  std::vector<lattice::Partition> partitions;
  std::map<lattice::Partition, Element> number;
  std::vector<std::string> blocks;
};

Equ MakeEqu(int k) {
  Equ e;
  e.points = k;
  e.factor = lattice::MakeFlatFactor<Element>(lattice::BuildEquTables(k));
  if (!lattice::CheckFactor(e.factor).bounds) throw std::logic_error("Equ(k) failed the lattice check");
  e.partitions = lattice::EquPartitions(k);
  for (std::size_t x = 0; x < e.partitions.size(); ++x) {
    e.number.emplace(e.partitions[x], static_cast<Element>(x));
    e.blocks.push_back(lattice::BlocksText(e.partitions[x]));
  }
  return e;
}

std::uint64_t Number(const std::string& text, const std::string& what) {
  const std::optional<std::uint64_t> value = runframe::ParseUnsigned(text);
  if (!value) throw UsageFault("not a number: " + what + " '" + text + "'");
  return *value;
}

// "<orbit> [<count>] <e1,e2,...> <blocks>..." of an inner or unit line.
ListedSet ParseSet(std::istringstream& in, bool withCount, const Equ& factor, const std::string& line) {
  ListedSet set;
  std::string word;
  in >> word;
  set.orbit = Number(word, "orbit in line '" + line + "'");
  if (withCount) {
    in >> word;
    set.counted = word != "-";
    if (set.counted) set.count = Number(word, "count in line '" + line + "'");
  }
  in >> word;
  std::istringstream elements(word);
  for (std::string e; std::getline(elements, e, ',');) {
    const std::uint64_t x = Number(e, "element in line '" + line + "'");
    if (x < 1 || x > factor.partitions.size()) throw UsageFault("element out of range in line '" + line + "'");
    set.elements.push_back(static_cast<Element>(x - 1));
  }
  if (set.elements.empty() || set.elements.size() > 4 || !std::is_sorted(set.elements.begin(), set.elements.end())) {
    throw UsageFault("not a listed set in line '" + line + "'");
  }
  for (const Element x : set.elements) {
    if (!(in >> word) || word != factor.blocks[x]) {
      throw UsageFault("element and partition disagree in line '" + line + "'");
    }
  }
  return set;
}

UnitList ReadList(const std::string& file, const Equ& a, const Equ& b) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw UsageFault(file + " cannot be read");
  UnitList list;
  std::string line;
  bool ended = false;
  std::uint64_t declared = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "outer") {
      std::string which;
      words >> which;
      list.outerIsA = which == "1st";
    } else if (key == "pairs") {
      std::string which;
      words >> which;
      list.upper = which == "upper";
    } else if (key == "units") {
      std::string n;
      words >> n;
      declared = Number(n, "units");
    } else if (key == "inner") {
      words >> key;  // its index
      list.inner.push_back(ParseSet(words, false, list.outerIsA ? b : a, line));
    } else if (key == "unit") {
      words >> key;
      if (Number(key, "unit") != list.units.size()) throw UsageFault("units out of order at '" + line + "'");
      list.units.push_back(ParseSet(words, true, list.outerIsA ? a : b, line));
    } else if (key == "end") {
      ended = true;
    }
  }
  if (!ended || declared != list.units.size()) throw UsageFault(file + " is cut short");
  if (list.upper) list.inner = list.units;
  return list;
}

// The relations between an x-set of p and a y-set of q elements: 4 distinct
// position pairs (i, j) that use every i < p and every j < q.
std::vector<std::array<std::array<int, 2>, 4>> Relations(int p, int q) {
  std::vector<std::array<std::array<int, 2>, 4>> out;
  const int cells = p * q;
  for (int c0 = 0; c0 < cells; ++c0) {
    for (int c1 = c0 + 1; c1 < cells; ++c1) {
      for (int c2 = c1 + 1; c2 < cells; ++c2) {
        for (int c3 = c2 + 1; c3 < cells; ++c3) {
          unsigned rows = 0, columns = 0;
          std::array<std::array<int, 2>, 4> r{};
          const int c[4] = {c0, c1, c2, c3};
          for (int t = 0; t < 4; ++t) {
            r[static_cast<std::size_t>(t)] = {c[t] / q, c[t] % q};
            rows |= 1U << (c[t] / q);
            columns |= 1U << (c[t] % q);
          }
          if (rows == (1U << p) - 1 && columns == (1U << q) - 1) out.push_back(r);
        }
      }
    }
  }
  return out;
}

struct Decider {
  lattice::CornerFixpoint<Element> rowMinima;
  Decider(const Factor& a, const Factor& b) : rowMinima(a, b) {}
  // Contract as CornerFixpoint::Generates: x-side elements from the 1st factor.
  bool Generates(const ListedSet& x, const ListedSet& y, const std::array<std::array<int, 2>, 4>& r) {
    Element d[4], v[4];
    for (std::size_t t = 0; t < 4; ++t) {
      d[t] = x.elements[static_cast<std::size_t>(r[t][0])];
      v[t] = y.elements[static_cast<std::size_t>(r[t][1])];
    }
    return rowMinima.Generates(d, v);
  }
};

using RelationTable = std::vector<std::vector<std::array<std::array<int, 2>, 4>>>;  // [p * 5 + q]

RelationTable AllRelations() {
  RelationTable table(25);
  for (int p = 1; p <= 4; ++p) {
    for (int q = 1; q <= 4; ++q) table[static_cast<std::size_t>(p) * 5 + static_cast<std::size_t>(q)] = Relations(p, q);
  }
  return table;
}

// count(u) as the list's head defines it.
std::uint64_t Recount(const UnitList& list, std::size_t u, const RelationTable& relations, Decider& decide) {
  const ListedSet& s = list.units[u];
  std::uint64_t sum = 0;
  for (std::size_t i = list.upper ? u : 0; i < list.inner.size(); ++i) {
    const ListedSet& t = list.inner[i];
    const ListedSet& x = list.outerIsA ? s : t;
    const ListedSet& y = list.outerIsA ? t : s;
    std::uint64_t generating = 0;
    for (const auto& r : relations[x.elements.size() * 5 + y.elements.size()]) {
      if (decide.Generates(x, y, r)) ++generating;
    }
    const std::uint64_t weight = (list.upper && i != u ? 2 : 1) * s.orbit * t.orbit;
    sum += weight * generating;
  }
  return sum;
}

// A uniformly random generating set of the factor: a listed set with
// probability proportional to its orbit, moved by a random permutation of the
// points (Equ(k)'s automorphisms), sorted.
ListedSet RandomSet(const std::vector<ListedSet>& sets, const std::vector<std::uint64_t>& cumulative, const Equ& equ,
                    runframe::SplitMix64& random) {
  const std::uint64_t pick = random.Below(cumulative.back());
  const auto at = std::upper_bound(cumulative.begin(), cumulative.end(), pick) - cumulative.begin();
  std::vector<int> points(static_cast<std::size_t>(equ.points));
  std::iota(points.begin(), points.end(), 0);
  for (std::size_t i = points.size(); i > 1; --i) std::swap(points[i - 1], points[random.Below(i)]);
  ListedSet moved;
  for (const Element e : sets[static_cast<std::size_t>(at)].elements) {
    const lattice::Partition& p = equ.partitions[e];
    std::vector<int> labels(p.size());
    for (std::size_t i = 0; i < p.size(); ++i) labels[static_cast<std::size_t>(points[i])] = p[i];
    // Canonical form: blocks numbered by first point.
    std::map<int, int> renamed;
    lattice::Partition canonical(p.size());
    for (std::size_t i = 0; i < labels.size(); ++i) {
      canonical[i] = renamed.try_emplace(labels[i], static_cast<int>(renamed.size())).first->second;
    }
    moved.elements.push_back(equ.number.at(canonical));
  }
  std::sort(moved.elements.begin(), moved.elements.end());
  return moved;
}

std::vector<std::uint64_t> Cumulative(const std::vector<ListedSet>& sets) {
  std::vector<std::uint64_t> c;
  c.reserve(sets.size());
  std::uint64_t sum = 0;
  for (const ListedSet& s : sets) c.push_back(sum += s.orbit);
  return c;
}

int Run(int argc, char** argv) {
  if (argc < 4)
    throw UsageFault(
        "usage: genexact_recheck n m LIST [--units K] [--unit U]... [--relations R] [--seed S] [--threads T]");
  const std::uint64_t n = Number(argv[1], "n");
  const std::uint64_t m = Number(argv[2], "m");
  if (n < 1 || m < 1 || n > lattice::MaxEquPoints || m > lattice::MaxEquPoints)
    throw UsageFault("n and m: 1 to " + std::to_string(lattice::MaxEquPoints));
  const std::string file = argv[3];
  std::uint64_t unitChecks = 20, relations = 100000, seed = 1;
  std::vector<std::uint64_t> chosen;  // --unit U: these units, before the random ones
  std::uint64_t threads = std::max(1U, std::thread::hardware_concurrency());
  for (int i = 4; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) throw UsageFault(name + " needs a value");
    const std::uint64_t value = Number(argv[++i], name);
    if (name == "--units") {
      unitChecks = value;
    } else if (name == "--unit") {
      chosen.push_back(value);
    } else if (name == "--relations") {
      relations = value;
    } else if (name == "--seed") {
      seed = value;
    } else if (name == "--threads" && value >= 1 && value <= 256) {
      threads = value;
    } else {
      throw UsageFault("unknown option or value " + name);
    }
  }
  const Equ a = MakeEqu(static_cast<int>(n));
  const Equ b = MakeEqu(static_cast<int>(m));
  const UnitList list = ReadList(file, a, b);
  std::uint64_t total = 0;
  for (const ListedSet& s : list.units) {
    if (!s.counted) throw UsageFault(file + " has no counts: make it with --units after --merge's files are in");
    if (total + s.count < total) throw UsageFault("the counts' sum exceeds 64 bits");
    total += s.count;
  }
  std::printf("%s: %zu units, count %llu\n", file.c_str(), list.units.size(), static_cast<unsigned long long>(total));
  bool ok = true;

  // Units drawn without repetition, spread over the workers.
  runframe::SplitMix64 draw(seed);
  std::vector<std::size_t> order(list.units.size());
  std::iota(order.begin(), order.end(), 0);
  unitChecks = std::min<std::uint64_t>(unitChecks, order.size());
  for (std::size_t i = 0; i < unitChecks; ++i) std::swap(order[i], order[i + draw.Below(order.size() - i)]);
  order.resize(unitChecks);
  for (const std::uint64_t u : chosen) {
    if (u >= list.units.size()) throw UsageFault("no unit " + std::to_string(u));
    order.insert(order.begin(), static_cast<std::size_t>(u));
  }
  const RelationTable relationTable = AllRelations();
  std::mutex lines;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> allSame{true};
  const auto started = Clock::now();
  {
    std::vector<std::jthread> workers;
    for (std::uint64_t w = 0; w < threads; ++w) {
      workers.emplace_back([&] {
        Decider decide(a.factor, b.factor);
        for (std::size_t k; (k = next++) < order.size();) {
          const auto t0 = Clock::now();
          const std::uint64_t again = Recount(list, order[k], relationTable, decide);
          const double s = std::chrono::duration<double>(Clock::now() - t0).count();
          const bool same = again == list.units[order[k]].count;
          if (!same) allSame = false;
          const std::lock_guard<std::mutex> hold(lines);
          std::printf("unit %zu: listed %llu, recomputed %llu, %s (%.1f s)\n", order[k],
                      static_cast<unsigned long long>(list.units[order[k]].count),
                      static_cast<unsigned long long>(again), same ? "same" : "DIFFERENT", s);
          (void)std::fflush(stdout);
        }
      });
    }
  }
  std::printf("Units: %zu recomputed by the row minima in %.1f s (wall), %s\n", order.size(),
              std::chrono::duration<double>(Clock::now() - started).count(),
              allSame ? "all equal to the list" : "SOME DIFFER");
  ok = ok && allSame;

  if (relations > 0) {
    // The triples (X, Y, R): a set of each factor and a relation between
    // them.  X and Y are drawn by orbit weight; a pair is kept with
    // probability R(|X|, |Y|) / max R, so that triples are uniform.
    const std::vector<ListedSet>& setsA = list.outerIsA ? list.units : list.inner;
    const std::vector<ListedSet>& setsB = list.outerIsA ? list.inner : list.units;
    std::uint64_t sizedA[5] = {}, sizedB[5] = {};
    for (const ListedSet& s : setsA) sizedA[s.elements.size()] += s.orbit;
    for (const ListedSet& s : setsB) sizedB[s.elements.size()] += s.orbit;
    const RelationTable& rel = relationTable;
    std::size_t most = 1;
    long double triples = 0;
    for (int p = 1; p <= 4; ++p) {
      for (int q = 1; q <= 4; ++q) {
        const std::size_t r = rel[static_cast<std::size_t>(p) * 5 + static_cast<std::size_t>(q)].size();
        most = std::max(most, r);
        triples += static_cast<long double>(sizedA[p]) * static_cast<long double>(sizedB[q]) * r;
      }
    }
    const std::vector<std::uint64_t> cumA = Cumulative(setsA), cumB = Cumulative(setsB);
    std::atomic<std::uint64_t> hits{0};
    const auto t0 = Clock::now();
    {
      std::vector<std::jthread> workers;
      for (std::uint64_t w = 0; w < threads; ++w) {
        workers.emplace_back([&, w] {
          runframe::SplitMix64 random(seed * 1000003 + 7919 * (w + 1));
          Decider decide(a.factor, b.factor);
          std::uint64_t mine = 0;
          const std::uint64_t share = relations / threads + (w < relations % threads ? 1 : 0);
          for (std::uint64_t k = 0; k < share;) {
            const ListedSet x = RandomSet(setsA, cumA, a, random);
            const ListedSet y = RandomSet(setsB, cumB, b, random);
            const auto& all = rel[x.elements.size() * 5 + y.elements.size()];
            if (random.Below(most) >= all.size()) continue;
            ++k;
            if (decide.Generates(x, y, all[random.Below(all.size())])) ++mine;
          }
          hits += mine;
        });
      }
    }
    const long double p = static_cast<long double>(hits.load()) / static_cast<long double>(relations);
    const long double estimate = triples * p;
    const long double se = triples * std::sqrt(p * (1 - p) / static_cast<long double>(relations));
    const long double off = se > 0 ? std::fabs(static_cast<long double>(total) - estimate) / se : 0;
    const bool within = se > 0 ? off <= 3 : static_cast<long double>(total) == estimate;
    std::printf(
        "Estimate: %llu of %llu random relations generate; %.6Le +- %.3Le (one standard error); "
        "the list's count is %.2Lf standard errors away, %s (%.1f s)\n",
        static_cast<unsigned long long>(hits.load()), static_cast<unsigned long long>(relations), estimate, se, off,
        within ? "within three" : "OUTSIDE THREE", std::chrono::duration<double>(Clock::now() - t0).count());
    ok = ok && within;
  }
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const UsageFault& fault) {
    (void)std::fprintf(stderr, "genexact_recheck: %s\n", fault.what());
    return 2;
  } catch (const std::exception& fault) {
    (void)std::fprintf(stderr, "genexact_recheck: %s\n", fault.what());
    return 2;
  }
}
