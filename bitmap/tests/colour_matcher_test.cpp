// The fast colour matcher against its rule, NearestPaletteIndex: every one of
// the 2^24 colours, for each device colour table.
//
// Why a sweep that calls NearestPaletteIndex only at run ends proves every
// colour. Hold green and red fixed; as blue runs over 0..255, entry j's
// squared distance is (blue - b_j)^2 + S_j, so whether entry k beats entry j
// (k < j: distance_k <= distance_j; k > j: distance_k < distance_j) is
// whether a linear function of blue is at most (or below) zero: a half-line,
// every blue or none. The blues where NearestPaletteIndex answers k are where
// all of k's conditions hold, an intersection of half-lines: one interval. So
// if it answers k at both ends of a run of blues where the matcher answers k,
// it answers k over the whole run. The sweep asks the matcher for every
// colour and NearestPaletteIndex at both ends of every run, in every row of
// the cube: every colour is proven with 1 call of NearestPaletteIndex in 20
// colours for the 8-bit table (1 in 21 to 73 for the others). A plain call
// for every colour takes about 14 s natively in release for the four tables,
// too slow for the suite, under the sanitizers above all; the sweep takes
// about 1 s there, 6 s in the sanitizer build (45 s on a loaded machine), and
// runs in every build (Wine included). The brute-force check of every colour is kept, disabled,
// for anyone who wants it (--gtest_also_run_disabled_tests); a strided sample
// of it always runs.
#include "bitmap/colour_matcher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "bitmap/device_bitmap.h"

namespace kd {
namespace {

struct Table {
  const char* name;
  const std::uint8_t* entries;
  int count;
};

// The tables and counts that kdpdb's import-bitmap matches against (the 2-bit
// table: its 4 real entries of the 16 padded).
const Table kDeviceTables[] = {
    {"1-bit", Palette1Bit.data(), 2},
    {"2-bit", Palette2BitPadded.data(), 4},
    {"4-bit", Palette4Bit.data(), 16},
    {"8-bit", Palette8Bit.data(), 256},
};

int Rule(const Table& table, int blue, int green, int red) {
  const std::uint8_t colour[3] = {static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                                  static_cast<std::uint8_t>(red)};
  return NearestPaletteIndex(colour, table.entries, table.count);
}

// Runs the sweep described above over every row of the cube; fails at the
// first colour it cannot prove, naming it. Returns the calls of the rule.
std::uint64_t SweepEveryColour(const Table& table) {
  CColourMatcher matcher(table.entries, table.count);
  std::uint64_t ruleCalls = 0;
  for (int red = 0; red < 256; ++red) {
    for (int green = 0; green < 256; ++green) {
      int start = 0;
      while (start < 256) {
        const int index =
            matcher.Nearest(static_cast<std::uint8_t>(start), static_cast<std::uint8_t>(green),
                            static_cast<std::uint8_t>(red));
        int end = start;
        while (end + 1 < 256 &&
               matcher.Nearest(static_cast<std::uint8_t>(end + 1), static_cast<std::uint8_t>(green),
                               static_cast<std::uint8_t>(red)) == index) {
          ++end;
        }
        for (int blue : {start, end}) {
          ++ruleCalls;
          const int expected = Rule(table, blue, green, red);
          if (expected != index) {
            ADD_FAILURE() << table.name << " table, red " << red << " green " << green << " blue "
                          << blue << ": matcher " << index << ", NearestPaletteIndex " << expected;
            return ruleCalls;
          }
        }
        start = end + 1;
      }
    }
  }
  return ruleCalls;
}

TEST(ColourMatcherTest, EveryColourOfEveryDeviceTable) {
  for (const Table& table : kDeviceTables) {
    const std::uint64_t calls = SweepEveryColour(table);
    EXPECT_GE(calls, 2u * 65536u) << table.name;  // at least both ends of every row
  }
}

TEST(ColourMatcherTest, StridedSampleAgainstTheRuleDirectly) {
  // A prime stride visits every blue, green and red value.
  for (const Table& table : kDeviceTables) {
    CColourMatcher matcher(table.entries, table.count);
    for (std::uint32_t c = 0; c < (1u << 24); c += 251) {
      const int blue = c & 0xFF, green = (c >> 8) & 0xFF, red = c >> 16;
      ASSERT_EQ(matcher.Nearest(static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                                static_cast<std::uint8_t>(red)),
                Rule(table, blue, green, red))
          << table.name << std::hex << " colour " << c;
    }
  }
}

// Every colour by a plain call of the rule: about 14 s natively in release.
TEST(ColourMatcherTest, DISABLED_EveryColourByBruteForce) {
  for (const Table& table : kDeviceTables) {
    CColourMatcher matcher(table.entries, table.count);
    for (std::uint32_t c = 0; c < (1u << 24); ++c) {
      const int blue = c & 0xFF, green = (c >> 8) & 0xFF, red = c >> 16;
      ASSERT_EQ(matcher.Nearest(static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                                static_cast<std::uint8_t>(red)),
                Rule(table, blue, green, red))
          << table.name << std::hex << " colour " << c;
    }
  }
}

TEST(ColourMatcherTest, TiesGoToTheLowestIndex) {
  // C6C6C6 is as near to CCCCCC (25) as to C0C0C0 (225).
  CColourMatcher system(Palette8Bit.data(), 256);
  EXPECT_EQ(system.Nearest(0xC6, 0xC6, 0xC6), 25);
  // A table of one colour three times; two greys with grey 1 half way
  // between them, in both orders.
  const std::uint8_t same[12] = {9, 9, 9, 0, 9, 9, 9, 0, 9, 9, 9, 0};
  CColourMatcher three(same, 3);
  EXPECT_EQ(three.Nearest(0, 0, 0), 0);
  EXPECT_EQ(three.Nearest(9, 9, 9), 0);
  const std::uint8_t upward[8] = {0, 0, 0, 0, 2, 2, 2, 0};
  const std::uint8_t downward[8] = {2, 2, 2, 0, 0, 0, 0, 0};
  EXPECT_EQ(CColourMatcher(upward, 2).Nearest(1, 1, 1), 0);
  EXPECT_EQ(CColourMatcher(downward, 2).Nearest(1, 1, 1), 0);
  EXPECT_EQ(CColourMatcher(downward, 2).Nearest(0, 1, 1), 1);
}

TEST(ColourMatcherTest, EmptyTableMatchesEverythingToTheFirstEntry) {
  CColourMatcher none(Palette8Bit.data(), 0);
  EXPECT_EQ(none.Nearest(0x12, 0x34, 0x56), 0);
  EXPECT_EQ(none.CandidateCount(), 0u);
  CColourMatcher negative(Palette8Bit.data(), -4);
  EXPECT_EQ(negative.Nearest(0xFF, 0xFF, 0xFF), 0);
}

TEST(ColourMatcherTest, RandomTablesAgainstTheRule) {
  // Tables the device does not use: random colours, repeats and clusters
  // (ties and crowded cells), at sizes from 1 to 256.
  std::mt19937 random(20240611);
  for (int count : {1, 2, 3, 7, 16, 64, 200, 256}) {
    std::uint8_t table[4 * 256] = {};
    for (int i = 0; i < count; ++i) {
      for (int c = 0; c < 3; ++c) {
        table[4 * i + c] = static_cast<std::uint8_t>(
            i % 5 == 4 ? table[4 * (i / 2) + c] : (i % 3 == 0 ? 0x70 + random() % 32 : random()));
      }
    }
    const Table t = {"random", table, count};
    CColourMatcher matcher(table, count);
    for (int n = 0; n < 20000; ++n) {
      const std::uint32_t c = random() & 0xFFFFFF;
      const int blue = c & 0xFF, green = (c >> 8) & 0xFF, red = c >> 16;
      ASSERT_EQ(matcher.Nearest(static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                                static_cast<std::uint8_t>(red)),
                Rule(t, blue, green, red))
          << count << " entries, colour " << std::hex << c;
    }
  }
}

}  // namespace
}  // namespace kd
