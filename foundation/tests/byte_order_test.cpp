// Byte order helpers against golden bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "foundation/byte_order.h"

namespace kd {
namespace {

TEST(ByteOrderTest, SwapsReverseTheBytes) {
  std::uint16_t w = 0x0102;
  Swap16(w);
  EXPECT_EQ(w, 0x0201);
  std::uint32_t d = 0x11223344;
  Swap32(d);
  EXPECT_EQ(d, 0x44332211u);
  std::uint64_t q = 0x0102030405060708ULL;
  Swap64(q);
  EXPECT_EQ(q, 0x0807060504030201ULL);
}

TEST(ByteOrderTest, BigAndLittleEndianGoldenBytes) {
  std::uint8_t b[8];
  StoreBigEndian32(b, 0x11223344);
  EXPECT_EQ(b[0], 0x11);
  EXPECT_EQ(b[3], 0x44);
  EXPECT_EQ(LoadBigEndian32(b), 0x11223344u);
  StoreBigEndian24(b, 0xABCDEF);
  EXPECT_EQ(b[0], 0xAB);
  EXPECT_EQ(b[2], 0xEF);
  EXPECT_EQ(LoadBigEndian24(b), 0xABCDEFu);
  StoreBigEndian16(b, 0xFFFE);
  EXPECT_EQ(LoadBigEndian16(b), 0xFFFE);
  StoreBigEndian64(b, BitsOfDouble(1.0));
  EXPECT_EQ(b[0], 0x3F);
  EXPECT_EQ(b[1], 0xF0);
  EXPECT_EQ(DoubleOfBits(LoadBigEndian64(b)), 1.0);
  StoreLittleEndian32(b, 0x11223344);
  EXPECT_EQ(b[0], 0x44);
  EXPECT_EQ(LoadLittleEndian32(b), 0x11223344u);
  StoreLittleEndian16(b, 0x0102);
  EXPECT_EQ(b[0], 0x02);
  EXPECT_EQ(BitsOfFloat(1.0f), 0x3F800000u);
  EXPECT_EQ(FloatOfBits(0x3F800000u), 1.0f);
}

TEST(ByteOrderTest, NarrowFieldsOfEachWidth) {
  struct Case {
    std::size_t width;
    std::uint32_t value;  // stored: its low `width` bytes
    std::uint8_t big[4];
    std::uint8_t little[4];
  } cases[] = {
      {1, 0xA1B2C3D4, {0xD4}, {0xD4}},
      {2, 0xA1B2C3D4, {0xC3, 0xD4}, {0xD4, 0xC3}},
      {3, 0x00010203, {0x01, 0x02, 0x03}, {0x03, 0x02, 0x01}},
      {4, 0xA1B2C3D4, {0xA1, 0xB2, 0xC3, 0xD4}, {0xD4, 0xC3, 0xB2, 0xA1}},
  };
  for (const Case& c : cases) {
    const std::uint32_t kept = c.width == 4 ? c.value : c.value & ((1u << (8 * c.width)) - 1);
    std::uint8_t b[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    StoreBigEndianN(b, c.value, c.width);
    EXPECT_EQ(std::memcmp(b, c.big, c.width), 0) << c.width;
    EXPECT_EQ(b[c.width], 0xEE) << c.width;  // nothing written past the field
    EXPECT_EQ(LoadBigEndianN(c.big, c.width), kept) << c.width;
    StoreLittleEndianN(b, c.value, c.width);
    EXPECT_EQ(std::memcmp(b, c.little, c.width), 0) << c.width;
    EXPECT_EQ(b[c.width], 0xEE) << c.width;
    EXPECT_EQ(LoadLittleEndianN(c.little, c.width), kept) << c.width;
  }
}

}  // namespace
}  // namespace kd
