// Decoding device bitmaps into BMP images: golden images, and headers that
// must be refused.
#include <gtest/gtest.h>

#include <string>

#include "bitmap/device_bitmap.h"
#include "testing/bitmap_images.h"
#include "testing/hex.h"
#include "testing/outcomes.h"

namespace kd {
namespace {

using testing::Bmp16;
using testing::Bmp32;
using testing::Bytes;
using testing::DeviceBitmap;
using testing::Hex;
using testing::Raised;

TEST(DecodeTest, OneBitImage) {
  // 16 x 2 pixels at density 72, rows of 2 bytes.
  Bytes image = DeviceBitmapToBmp(DeviceBitmap(16, 2, 2, 1, 72, {0x80, 0x01, 0xF0, 0x0F}));
  EXPECT_EQ(image[0], 'B');
  EXPECT_EQ(image[1], 'M');
  EXPECT_EQ(Bmp32(image, 2), image.size());
  EXPECT_EQ(Bmp32(image, 10), 62u);  // bits after 54 bytes of headers and 2 colours
  EXPECT_EQ(Bmp32(image, 14), 40u);
  EXPECT_EQ(Bmp32(image, 18), 16u);
  EXPECT_EQ(Bmp32(image, 22), 2u);
  EXPECT_EQ(Bmp16(image, 26), 1);
  EXPECT_EQ(Bmp16(image, 28), 1);
  EXPECT_EQ(Bmp32(image, 30), 0u);
  EXPECT_EQ(Bmp32(image, 38), 720u);
  EXPECT_EQ(Bmp32(image, 42), 720u);
  EXPECT_EQ(Bmp32(image, 46), 2u);
  EXPECT_EQ(Bmp32(image, 50), 0u);
  EXPECT_EQ(Bytes(image.begin() + 54, image.begin() + 62),
            (Bytes{0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0}));
  // The last device row first; rows of 4 bytes (2 data, 2 zero).
  EXPECT_EQ(Bytes(image.begin() + 62, image.end()), (Bytes{0xF0, 0x0F, 0, 0, 0x80, 0x01, 0, 0}));
}

TEST(DecodeTest, TwoBitPixelsWidenToFourBitIndices) {
  Bytes image = DeviceBitmapToBmp(DeviceBitmap(4, 1, 2, 2, 72, {0x1B, 0xE4}));
  EXPECT_EQ(Bmp16(image, 28), 4);
  EXPECT_EQ(Bmp32(image, 46), 4u);    // colours used
  EXPECT_EQ(Bmp32(image, 10), 118u);  // a table of 16 entries
  EXPECT_EQ(Bytes(image.begin() + 54, image.begin() + 118),
            Bytes(Palette2BitPadded.begin(), Palette2BitPadded.end()));
  EXPECT_EQ(Bytes(image.begin() + 118, image.end()), (Bytes{0x01, 0x23, 0x32, 0x10}));
}

TEST(DecodeTest, SixteenBitPixelsBecomeTwentyFourBit) {
  Bytes image = DeviceBitmapToBmp(
      DeviceBitmap(4, 1, 8, 16, 72, {0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F, 0xFF, 0xFF}));
  EXPECT_EQ(Bmp16(image, 28), 24);
  EXPECT_EQ(Bmp32(image, 46), 0u);
  EXPECT_EQ(Bmp32(image, 10), 54u);
  EXPECT_EQ(Bytes(image.begin() + 54, image.end()),
            (Bytes{0, 0, 0xF8, 0, 0xFC, 0, 0xF8, 0, 0, 0xF8, 0xFC, 0xF8}));
}

TEST(DecodeTest, DensityScalesThePixelSizeAndTheResolution) {
  struct Case {
    std::uint16_t width, height, density;
    std::uint32_t columns, rows, resolution;
  } cases[] = {
      {80, 40, 144, 160, 80, 1440}, {100, 2, 108, 150, 3, 1080}, {10, 10, 72, 10, 10, 720},
      {10, 4, 288, 40, 16, 2880},   {10, 3, 216, 30, 9, 2160},
  };
  for (const Case& c : cases) {
    std::uint16_t rowBytes = static_cast<std::uint16_t>(((c.columns * 8 + 15) / 8) & ~1u);
    Bytes rows(static_cast<std::size_t>(rowBytes) * c.rows, 0x10);
    Bytes image = DeviceBitmapToBmp(DeviceBitmap(c.width, c.height, rowBytes, 8, c.density, rows));
    EXPECT_EQ(Bmp32(image, 18), c.columns) << c.density;
    EXPECT_EQ(Bmp32(image, 22), c.rows) << c.density;
    EXPECT_EQ(Bmp32(image, 38), c.resolution) << c.density;
    EXPECT_EQ(Bmp32(image, 42), c.resolution) << c.density;
    EXPECT_EQ(image.size(), 54 + 1024 + (c.columns + 3) / 4 * 4 * c.rows) << c.density;
  }
}

TEST(DecodeTest, HeightZeroWritesHeadersAndTableOnly) {
  for (std::uint8_t depth : {1, 2, 4, 8, 16}) {
    Bytes image = DeviceBitmapToBmp(DeviceBitmap(8, 0, 16, depth, 72, {}));
    EXPECT_EQ(image.size(), Bmp32(image, 10)) << int{depth};
    EXPECT_EQ(Bmp32(image, 22), 0u);
  }
}

TEST(DecodeTest, RowsLongerThanThePixelsNeedAreCutToTheImageStride) {
  // 8 pixels of 1 bit need one byte; the device rows hold 6.
  Bytes image = DeviceBitmapToBmp(DeviceBitmap(8, 1, 6, 1, 72, {0xAB, 1, 2, 3, 4, 5}));
  EXPECT_EQ(image.size(), 62u + 4);
  EXPECT_EQ(Bytes(image.begin() + 62, image.end()), (Bytes{0xAB, 1, 2, 3}));
}

TEST(DecodeTest, BadHeadersAreRefused) {
  const std::string bitmapError = "text: bitmap error.";
  struct Case {
    const char* what;
    Bytes bitmap;
    std::string outcome;
  } cases[] = {
      {"signature bm", DeviceBitmap(8, 1, 2, 1, 72, {0, 0}), "ok"},
      {"signature mb", DeviceBitmap(8, 1, 2, 1, 72, {0, 0}, 0, "mb"), "ok"},
      {"signature xm", DeviceBitmap(8, 1, 2, 1, 72, {0, 0}, 0, "xm"), "ok"},
      {"signature bx", DeviceBitmap(8, 1, 2, 1, 72, {0, 0}, 0, "bx"), bitmapError},
      {"signature ab", DeviceBitmap(8, 1, 2, 1, 72, {0, 0}, 0, "ab"), bitmapError},
      {"version 1", DeviceBitmap(8, 1, 2, 1, 72, {0, 0}, 0, "bm", 1), bitmapError},
      {"version 3", DeviceBitmap(8, 1, 2, 1, 72, {0, 0}, 0, "bm", 3), bitmapError},
      {"depth 0", DeviceBitmap(8, 1, 2, 0, 72, {0, 0}), bitmapError},
      {"depth 3", DeviceBitmap(8, 1, 2, 3, 72, {0, 0}), bitmapError},
      {"depth 32", DeviceBitmap(8, 1, 32, 32, 72, Bytes(32, 0)), bitmapError},
      {"the placeholder bitmap", testing::PlaceholderBitmap(), bitmapError},
      {"a blank Bitmap value", {'b', 'm', 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0}, bitmapError},
      {"shorter than a header", {'b', 'm', 0, 8}, bitmapError},
      {"empty", {}, bitmapError},
      {"rows past the array", DeviceBitmap(8, 3, 2, 1, 72, {0, 0, 0, 0}), bitmapError},
      {"huge height", DeviceBitmap(8, 0xFFFF, 2, 1, 288, {0, 0}), bitmapError},
      {"rows shorter than their pixels", DeviceBitmap(32, 1, 2, 1, 72, {0, 0}), bitmapError},
      {"16-bit row too short", DeviceBitmap(2, 1, 2, 16, 72, {0, 0}), bitmapError},
      {"huge width, row too short", DeviceBitmap(0xFFFF, 1, 2, 8, 288, {0, 0}), bitmapError},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Raised([&] { DeviceBitmapToBmp(c.bitmap); }), c.outcome) << c.what;
  }
}

// Inputs the fuzz targets found (docs/robustness.md), kept as they failed:
// bitmaps without pixel columns, whose rows of no bytes the decoder copied
// from an empty buffer.
TEST(DecodeTest, FuzzFindingsBitmapsWithoutColumns) {
  // 0 x 2048 units of 16 bits at density 8960: 254862 rows of no bytes.
  Bytes image = DeviceBitmapToBmp(Hex("626d0000080000001002230003e1ffff"));
  EXPECT_EQ(Bmp32(image, 18), 0u);
  EXPECT_EQ(Bmp32(image, 22), 254862u);
  EXPECT_EQ(image.size(), 54u);
  // A 4-bit image 0x05000000 pixels wide, of which the encoder keeps the low
  // 16 bits: a device bitmap of 0 x 3 pixels at depth 8, which decodes.
  Bytes bitmap = BmpToDeviceBitmap(
      Hex("424d82000000000000007600000028000000000000050300000001000400000000000c000000130b0000"
          "130b00001000000000ff250020df4a0030cf6f0040bf940050afb900609fde00708f0300807f2800"
          "0006fc877f87ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
          "ffffffffffffffff80000000000c000000007ffc8706878c000f0b0000000006e01ff00f2b00012340"
          "0056789000abcde000"));
  EXPECT_EQ(bitmap, DeviceBitmap(0, 3, 0, 8, 72, {}, 0xFFFFFFFF));
  image = DeviceBitmapToBmp(bitmap);
  EXPECT_EQ(Bmp32(image, 18), 0u);
  EXPECT_EQ(Bmp32(image, 22), 3u);
  EXPECT_EQ(image.size(), 54u + 1024);
}

}  // namespace
}  // namespace kd
