// genexact's parts that do not depend on the width of element numbers: the
// relation patterns, the share line and the progress line.  Compiled once;
// genexact_test.cpp holds what is built for both widths.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "genexact/progress_line.hpp"
#include "genexact/relation_patterns.hpp"
#include "genexact/sample_estimate.hpp"
#include "genexact/share_line.hpp"
#include "genexact/table_memory.hpp"
#include "lattice/product.hpp"
#include "runframe/run_frame.hpp"

namespace {

TEST(GenexactTableMemory, StatedFromTheSizesAndRefusedBeyondTheMachine) {
  // Equ(1) x Equ(8) in two bytes: 4 * (1 + 4140^2) flat, 8 * 4140^2 filled, and
  // two bit sets of 65 words for each of 4140 elements.
  const std::uint64_t equ8 = 4 * (1 + 4140ull * 4140) + 8 * 4140ull * 4140 + 2 * 4140ull * 65 * 8;
  EXPECT_EQ(genexact::TableMemoryBytes(1, 4140, 2), equ8);
  EXPECT_EQ(genexact::TableMemoryBytes(4140, 1, 2), equ8);
  EXPECT_EQ(genexact::TableMemoryBytes(203, 52, 1), 2 * (203ull * 203 + 52 * 52) + 8 * 203ull * 203 + 2 * 203 * 4 * 8);
  // The largest lattices genexact numbers: the products stay in 64 bits.
  EXPECT_EQ(genexact::TableMemoryBytes(65535, 65535, 2),
            8 * 65535ull * 65535 + 8 * 65535ull * 65535 + 2 * 65535ull * 1024 * 8);
  EXPECT_EQ(genexact::TableMemoryLine(equ8, 24'000'000'000ull),
            "Memory for the tables: 210 MB at most (this machine has 24000 MB)");
  EXPECT_EQ(genexact::TableMemoryLine(1, std::nullopt), "Memory for the tables: 1 MB at most");

  EXPECT_NO_THROW(genexact::RefuseTablesBeyondMemory(equ8, equ8));
  EXPECT_NO_THROW(genexact::RefuseTablesBeyondMemory(equ8, std::nullopt));
  try {
    genexact::RefuseTablesBeyondMemory(equ8, equ8 - 1);
    ADD_FAILURE() << "tables one byte too large for the machine were taken";
  } catch (const runframe::FatalStopRequest& stop) {
    EXPECT_EQ(stop.message,
              "The tables need 210 MB of memory, but this machine has 209 MB: too large a lattice for it");
  }
  // Two factors of 65535 elements need 68.8 GB.
  EXPECT_THROW(genexact::RefuseTablesBeyondMemory(genexact::TableMemoryBytes(65535, 65535, 2), 64'000'000'000ull),
               runframe::FatalStopRequest);
}

TEST(GenexactTableMemory, PlanStatedFromTheGroupBoundAndRefusedWithTheTables) {
  // Equ(8) lists its whole group of 8! maps of 4140 two-byte elements, and
  // its search copies them; a lattice of 65535 elements is held to 512 MiB
  // of maps.
  EXPECT_EQ(genexact::PlanMemoryBytes(1, 4140, 2), 40320ull * 2 + 2 * 40320ull * 4140 * 2);
  EXPECT_EQ(genexact::PlanMemoryBytes(65535, 65535, 2), 3 * (512ull << 20));
  EXPECT_EQ(genexact::PlanMemoryLine(334'000'001), "Memory for the plan: 335 MB at most and 120 bytes for each orbit");
  const std::uint64_t equ8 = genexact::TableMemoryBytes(1, 4140, 2) + genexact::PlanMemoryBytes(1, 4140, 2);
  EXPECT_NO_THROW(genexact::RefusePlanBeyondMemory(equ8, equ8));
  EXPECT_NO_THROW(genexact::RefusePlanBeyondMemory(equ8, std::nullopt));
  try {
    genexact::RefusePlanBeyondMemory(equ8, 500'000'000);
    ADD_FAILURE() << "a plan beyond the machine was taken";
  } catch (const runframe::FatalStopRequest& stop) {
    EXPECT_EQ(stop.message,
              "The tables and the plan need 878 MB of memory, but this machine has 500 MB: too large a lattice for it");
  }
}

TEST(GenexactPatterns, RelationPatternsCoverBothSides) {
  // Four cells of the p x q grid meeting every row and column, counted by
  // hand: 2x3: 15 less the 3 that miss a column; 2x4: one cell per column,
  // 2^4 less the 2 in one row; 3x3: 126 - 2*3*15 + 9 (inclusion-exclusion);
  // 3x4: the 36 maps of 4 columns onto 3 rows; 4x4: the 24 bijections.
  const std::size_t expected[5][5] = {
      {0, 0, 0, 0, 0}, {0, 0, 0, 0, 1}, {0, 0, 1, 12, 14}, {0, 0, 12, 45, 36}, {0, 1, 14, 36, 24}};
  for (int p = 1; p <= 4; ++p) {
    for (int q = 1; q <= 4; ++q) {
      EXPECT_EQ(genexact::RelationPatterns(p, q).size(), expected[p][q]) << p << "x" << q;
    }
  }
}

// The splits made once per pattern refute exactly what the definition says:
// some non-empty proper part of the four pairs whose positions in the D-set
// have a join below top while the V-set positions of the other pairs have a
// meet above bottom, or the same with the two sets exchanged.  Every
// pattern, sparse random bounds (bit 0, the empty part, always set).
TEST(GenexactPatterns, SplitsRefuteWhatTheDefinitionRefutes) {
  std::mt19937_64 random(19);
  auto sparse = [&]() { return static_cast<std::uint16_t>((random() & random() & random()) | 1U); };
  int refuted = 0;
  int kept = 0;
  for (int p = 1; p <= 4; ++p) {
    for (int q = 1; q <= 4; ++q) {
      for (const genexact::RelationPattern& r : genexact::RelationPatterns(p, q)) {
        ASSERT_EQ(r.splits, lattice::MakeCornerSplits(r.first, r.second));
        for (int trial = 0; trial < 300; ++trial) {
          const lattice::SubsetBounds d{sparse(), sparse()};
          const lattice::SubsetBounds v{sparse(), sparse()};
          bool expected = false;
          for (unsigned part = 1; part < 15; ++part) {
            unsigned dIn = 0, dOut = 0, vIn = 0, vOut = 0;
            for (unsigned k = 0; k < 4; ++k) {
              const bool in = (part >> k & 1U) != 0;
              (in ? dIn : dOut) |= 1U << r.first[k];
              (in ? vIn : vOut) |= 1U << r.second[k];
            }
            expected = expected || ((d.joinBelowTop >> dIn & 1U) != 0 && (v.meetAboveBottom >> vOut & 1U) != 0) ||
                       ((v.joinBelowTop >> vIn & 1U) != 0 && (d.meetAboveBottom >> dOut & 1U) != 0);
          }
          ASSERT_EQ(lattice::CornerRefuted(r.splits, d, v), expected) << p << "x" << q << " trial " << trial;
          (expected ? refuted : kept)++;
        }
      }
    }
  }
  EXPECT_GT(refuted, 1000);
  EXPECT_GT(kept, 1000);
}

}  // namespace

namespace {

TEST(GenexactShare, FourSubsetsIsTheBinomialCoefficient) {
  auto four = [](std::uint64_t n) { return genexact::Decimal(lattice::FourSubsets(n)); };
  EXPECT_EQ(four(0), "0");
  EXPECT_EQ(four(3), "0");
  EXPECT_EQ(four(4), "1");
  EXPECT_EQ(four(25), "12650");
  EXPECT_EQ(four(41209), "120141714922932626");  // Equ(6) x Equ(6)
  EXPECT_EQ(four(65025), "744852239264246400");  // 255 * 255 elements
  // Beyond 64 bits: Equ(6) x Equ(7), Equ(7) x Equ(7), and the largest
  // product genexact takes, 4095 * 4095 elements.
  EXPECT_EQ(four(178031), "41855896338043717965");
  EXPECT_EQ(four(769129), "14580825661515018653126");
  EXPECT_EQ(four(16769025), "3294730161598138591616870400");
  for (std::uint64_t n = 4; n < 200; ++n) {
    EXPECT_TRUE(lattice::FourSubsets(n + 1) == lattice::FourSubsets(n) + (n * (n - 1) * (n - 2) / 6)) << n;
  }
}

// The two share lines, joined by a line feed.
std::string Share(std::uint64_t productSize, std::uint64_t count) {
  const auto lines = genexact::ShareLines(productSize, count);
  return lines[0] + "\n" + lines[1];
}

TEST(GenexactShare, LinesInGensamplesForm) {
  EXPECT_EQ(Share(25, 72), "Out of 12650 4-element subsets,\n72 are generating, i.e.,   0.5692%.");
  EXPECT_EQ(Share(4, 1), "Out of 1 4-element subsets,\n1 are generating, i.e., 100.0000%.");
  EXPECT_EQ(Share(4, 0), "Out of 1 4-element subsets,\n0 are generating, i.e.,   0.0000%.");
  EXPECT_EQ(Share(41209, 9816108379200ull),
            "Out of 120141714922932626 4-element subsets,\n9816108379200 are generating, i.e.,   0.0082%.");
  // Rounded to the nearest 0.0001 %, exactly: C(8,4) = 70 subsets.
  EXPECT_EQ(Share(8, 7), "Out of 70 4-element subsets,\n7 are generating, i.e.,  10.0000%.");
  EXPECT_EQ(Share(8, 1), "Out of 70 4-element subsets,\n1 are generating, i.e.,   1.4286%.");
  EXPECT_EQ(Share(8, 69), "Out of 70 4-element subsets,\n69 are generating, i.e.,  98.5714%.");
  EXPECT_EQ(Share(8, 2), "Out of 70 4-element subsets,\n2 are generating, i.e.,   2.8571%.");
  // Products whose subsets or count * 10^6 no longer fit 64 bits.
  EXPECT_EQ(Share(178031, 1ull << 62),
            "Out of 41855896338043717965 4-element subsets,\n4611686018427387904 are generating, i.e.,  11.0180%.");
  EXPECT_EQ(Share(65025, 372426119632123200ull),
            "Out of 744852239264246400 4-element subsets,\n372426119632123200 are generating, i.e.,  50.0000%.");
  EXPECT_EQ(Share(65025, 744852239264246399ull),
            "Out of 744852239264246400 4-element subsets,\n744852239264246399 are generating, i.e., 100.0000%.");
  EXPECT_EQ(Share(65025, 248284079754748800ull),
            "Out of 744852239264246400 4-element subsets,\n248284079754748800 are generating, i.e.,  33.3333%.");
  EXPECT_EQ(Share(65025, 1), "Out of 744852239264246400 4-element subsets,\n1 are generating, i.e.,   0.0000%.");
}

}  // namespace

namespace {

using genexact::ProgressDisplay;

TEST(GenexactProgress, FitsTheTerminalAndKeepsTheStatus) {
  ProgressDisplay display(true);
  const std::string text = genexact::ProgressText(1234, 1661, 123456789, 999999999999, 1234567.0);
  ASSERT_GT(text.size() + 10, 80u) << text;
  std::string shown = display.Show(text, ", stopping", 0.25, 80);
  EXPECT_EQ(shown.size(), 1u + 79u) << "carriage return and 79 characters";
  EXPECT_EQ(shown.front(), '\r');
  EXPECT_EQ(shown.substr(shown.size() - 10), ", stopping");
  EXPECT_EQ(shown.substr(1, 69), text.substr(0, 69));
  // Short enough: as it is.
  shown = display.Show("  units 1/2", "", 0.5, 80);
  EXPECT_EQ(shown, "\r  units 1/2" + std::string(79 - 11, ' ')) << "blanks cover the longer line before";
  shown = display.Show("  units 2/2", "", 0.75, 80);
  EXPECT_EQ(shown, "\r  units 2/2");
  // A narrower window: the cover is cut too.
  display.Show(std::string(60, 'x'), "", 1.0, 80);
  shown = display.Show("y", "", 1.25, 20);
  EXPECT_EQ(shown, "\ry" + std::string(18, ' '));
  // A status wider than the terminal is cut like the text.
  shown = display.Show("z", ", stopping", 1.5, 6);
  EXPECT_EQ(shown, "\rz, st");
}

TEST(GenexactProgress, PlainLinesNowAndThenWhenNoTerminal) {
  ProgressDisplay display(false);
  const std::string text = "  units 1/9";
  EXPECT_EQ(display.Show(text, "", 0.25, 0), "");
  EXPECT_EQ(display.Show(text, "", genexact::PlainProgressInterval - 0.01, 0), "");
  EXPECT_EQ(display.Show(text, ", stopping", genexact::PlainProgressInterval, 0), text + ", stopping\r\n");
  EXPECT_EQ(display.Show(text, "", genexact::PlainProgressInterval + 0.25, 0), "");
  // After a long pause, one line, and the next one a whole interval later.
  EXPECT_EQ(display.Show(text, "", 3.5 * genexact::PlainProgressInterval, 0), text + "\r\n");
  EXPECT_EQ(display.Show(text, "", 3.9 * genexact::PlainProgressInterval, 0), "");
  EXPECT_EQ(display.Show(text, "", 4 * genexact::PlainProgressInterval, 0), text + "\r\n");
}

// A sample is short blocks of consecutive units spread over the list: each
// unit once, increasing, as many as asked, reaching the last part of the
// list, and every unit when asked for as many or more.
TEST(GenexactSample, BlocksOfConsecutiveUnitsSpreadOverTheList) {
  for (const std::size_t all : {1U, 7U, 61U, 1000U, 78037U}) {
    for (const std::size_t count : {1U, 5U, 8U, 9U, 60U, 200U, 2000U}) {
      for (const int threads : {1, 2, 3}) {
        SCOPED_TRACE(std::to_string(count) + " of " + std::to_string(all) + " units, " + std::to_string(threads) +
                     " thread(s)");
        const std::vector<std::size_t> units = genexact::SampleUnits(all, count, threads);
        ASSERT_EQ(units.size(), std::min(count, all));
        for (std::size_t k = 1; k < units.size(); ++k) ASSERT_LT(units[k - 1], units[k]);
        ASSERT_LT(units.back(), all);
        const std::size_t block = genexact::SampleBlockPerThread * static_cast<std::size_t>(threads);
        if (count >= 2 * block && count * 2 <= all) {
          // Spread: the last block starts in the last part of the list...
          EXPECT_GE(units.back() + 1, all - all / ((count + block - 1) / block) - 1);
          // ...and the units come in runs of `block`, save the last run.
          std::size_t run = 1;
          for (std::size_t k = 1; k < units.size(); ++k) {
            if (units[k] == units[k - 1] + 1) {
              ++run;
            } else {
              EXPECT_EQ(run, block) << "before unit " << units[k];
              run = 1;
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(genexact::SampleUnits(10, 10, 2), (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(genexact::SampleUnits(10, 99, 2).size(), 10U);
  EXPECT_EQ(genexact::SampleUnits(100, 12, 1), (std::vector<std::size_t>{0, 1, 2, 3, 33, 34, 35, 36, 66, 67, 68, 69}));
}

// The rate leaves out each block's first `threads` units (cold caches) and
// shares the rest among the threads; without warm units it takes them all.
TEST(GenexactSample, RateFromWarmUnitsSharedByTheThreads) {
  using genexact::SampledUnit;
  // Two blocks; units 0, 1, 10 and 11 cold and slow.
  std::vector<SampledUnit> units;
  for (const std::size_t u : {0U, 1U, 2U, 3U, 10U, 11U, 12U, 13U}) {
    const bool cold = u == 0 || u == 1 || u == 10 || u == 11;
    units.push_back({u, 100, cold ? 1.0 : 0.01});
  }
  EXPECT_DOUBLE_EQ(genexact::SampleSecondsPerTest(units, 2), 0.04 / 400 / 2);
  // One thread: only units 0 and 10 warm up.
  EXPECT_DOUBLE_EQ(genexact::SampleSecondsPerTest(units, 1), (2.0 + 0.04) / 600);
  // Isolated units: none is warm, so all count.
  const std::vector<SampledUnit> apart = {{0, 10, 1.0}, {5, 30, 3.0}};
  EXPECT_DOUBLE_EQ(genexact::SampleSecondsPerTest(apart, 1), 4.0 / 40);
  EXPECT_DOUBLE_EQ(genexact::SampleSecondsPerTest({}, 2), 0.0);
  EXPECT_DOUBLE_EQ(genexact::SampleSecondsPerTest({{3, 0, 1.0}}, 1), 0.0);
}

}  // namespace
