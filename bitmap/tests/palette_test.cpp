// The fixed colour tables and the two palette helpers.
#include <gtest/gtest.h>

#include <cstdint>

#include "bitmap/device_bitmap.h"

namespace kd {
namespace {

// Red-green-blue of entry `i` of a table in BMP order.
std::uint32_t Rgb(const std::uint8_t* table, int i) {
  return (table[4 * i + 2] << 16) | (table[4 * i + 1] << 8) | table[4 * i];
}

TEST(PaletteTest, SystemPaletteMatchesItsTellingRows) {
  struct Row {
    int index;
    std::uint32_t rgb;
  } rows[] = {{0, 0xFFFFFF},   {1, 0xFFCCFF},   {5, 0xFF00FF},   {6, 0xFFFFCC},   {18, 0xCCFFFF},
              {107, 0x000099}, {108, 0xFFFF66}, {125, 0xFF0000}, {214, 0x003300}, {215, 0x111111},
              {224, 0xEEEEEE}, {225, 0xC0C0C0}, {226, 0x800000}, {227, 0x800080}, {228, 0x008000},
              {229, 0x008080}, {230, 0x000000}, {255, 0x000000}};
  for (const Row& row : rows) {
    EXPECT_EQ(Rgb(Palette8Bit.data(), row.index), row.rgb) << row.index;
    EXPECT_EQ(Palette8Bit[4 * row.index + 3], 0);
  }
  // The same colours, red first.
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(Palette8BitRgb[4 * i], Palette8Bit[4 * i + 2]);
    EXPECT_EQ(Palette8BitRgb[4 * i + 1], Palette8Bit[4 * i + 1]);
    EXPECT_EQ(Palette8BitRgb[4 * i + 2], Palette8Bit[4 * i]);
  }
  // The cube holds each of its 216 colours once, black included.
  for (int i = 0; i < 215; ++i) {
    for (int j = i + 1; j < 215; ++j)
      ASSERT_NE(Rgb(Palette8Bit.data(), i), Rgb(Palette8Bit.data(), j));
  }
}

TEST(PaletteTest, GreyTables) {
  EXPECT_EQ(Rgb(Palette1Bit.data(), 0), 0xFFFFFFu);
  EXPECT_EQ(Rgb(Palette1Bit.data(), 1), 0x000000u);
  const std::uint32_t twoBit[] = {0xFFFFFF, 0xAAAAAA, 0x555555, 0x000000};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Rgb(Palette2Bit.data(), i), twoBit[i]);
    EXPECT_EQ(Rgb(Palette2BitPadded.data(), i), twoBit[i]);
  }
  for (int i = 4; i < 16; ++i)
    EXPECT_EQ(Rgb(Palette2BitPadded.data(), i), 0u);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(Rgb(Palette4Bit.data(), i), 0x111111u * (15 - i));
}

TEST(PaletteTest, PaletteEqualsIgnoresTheFourthByte) {
  std::uint8_t table[8] = {0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0x01};
  EXPECT_TRUE(PaletteEquals(table, Palette1Bit.data(), 2));
  table[4] = 1;
  EXPECT_FALSE(PaletteEquals(table, Palette1Bit.data(), 2));
  EXPECT_TRUE(PaletteEquals(table, Palette1Bit.data(), 1));
  EXPECT_TRUE(PaletteEquals(table, Palette8Bit.data(), 0));
  EXPECT_TRUE(PaletteEquals(table, Palette8Bit.data(), -3));
}

TEST(PaletteTest, NearestIndexAgainstTheSystemPalette) {
  struct Case {
    std::uint32_t rgb;
    int index;
  } cases[] = {
      {0xFFFFFF, 0},   {0x000000, 230}, {0x000001, 230}, {0xFEFEFE, 0},
      {0xC6C6C6, 25},  // as near to CCCCCC (25) as to C0C0C0 (225): the lower wins
      {0xFF0000, 125}, {0x800000, 226}, {0x7F0000, 226}, {0x121212, 215},
  };
  for (const Case& c : cases) {
    std::uint8_t colour[3] = {static_cast<std::uint8_t>(c.rgb),
                              static_cast<std::uint8_t>(c.rgb >> 8),
                              static_cast<std::uint8_t>(c.rgb >> 16)};
    EXPECT_EQ(NearestPaletteIndex(colour, Palette8Bit.data(), 256), c.index) << std::hex << c.rgb;
  }
  std::uint8_t white[3] = {0xFF, 0xFF, 0xFF};
  EXPECT_EQ(NearestPaletteIndex(white, Palette8Bit.data(), 0), 0);
  EXPECT_EQ(NearestPaletteIndex(white, Palette1Bit.data(), 2), 0);
}

}  // namespace
}  // namespace kd
