#pragma once
// What `--sample U` times and how its time becomes an estimate of the run.
//
// Units are taken in short blocks of consecutive units, spread evenly over
// the list.  A unit's first tests find the caches cold; a whole run pays
// that about once, as consecutive units share most of their table rows, but
// a sample of isolated units pays it every time: on Equ(4)xEqu(8), whose
// units take microseconds, 200 isolated units gave 2 min 20 s for a run of
// 42 s, 13 of them before the first unit.  So the first `threads` units of each block warm up
// (they are counted and timed, but their time is left out), and the rate
// comes from the rest, as each unit's own time on its thread: thread
// start-up and the corner tests' set-up are not part of it either.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace genexact {

// Consecutive units in one block, for each thread.
inline constexpr std::size_t SampleBlockPerThread = 4;

// `count` of the units 0..all-1, increasing: blocks of
// SampleBlockPerThread * threads consecutive units (the last one shorter)
// starting at evenly spread units; the first `count` units when blocks that
// long do not fit apart, every unit when count >= all.
std::vector<std::size_t> SampleUnits(std::size_t all, std::size_t count, int threads);

struct SampledUnit {
  std::size_t unit = 0;
  std::uint64_t tests = 0;  // its corner tests
  double seconds = 0;       // the time it took on its thread
};

// Seconds of wall clock per corner test of a run on `threads` threads: the
// units whose `threads` predecessors were sampled too (all units when there
// are none with tests), their seconds over their tests, shared by the
// threads.  0 when no unit has tests.  Contract: threads >= 1.
double SampleSecondsPerTest(const std::vector<SampledUnit>& units, int threads);

}  // namespace genexact
