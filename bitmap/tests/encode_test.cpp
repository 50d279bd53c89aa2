// Encoding BMP images into device bitmaps: exact round trips, the depth and
// mode choice, the colour mapping, and images that must be refused.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "bitmap/device_bitmap.h"
#include "testing/bitmap_images.h"
#include "testing/outcomes.h"

namespace kd {
namespace {

using testing::BmpImage;
using testing::Bytes;
using testing::DeviceBitmap;
using testing::Raised;

using testing::DeviceRowBytes;

// Device bitmap -> image -> device bitmap gives the same bytes, but for
// reserved, for every depth and density, with random pixels (sizes whose
// pixel counts are whole at every density).
TEST(EncodeTest, ExactRoundTripForEveryDepthAndDensity) {
  std::mt19937 random(12345);
  for (std::uint8_t depth : {1, 2, 4, 8, 16}) {
    for (std::uint16_t density : {72, 108, 144, 216, 288}) {
      for (std::uint16_t width : {2, 8, 16, 34}) {
        std::uint16_t height = 4;
        std::uint32_t columns = width * density / 72u;
        std::uint32_t rows = height * density / 72u;
        std::uint16_t rowBytes = DeviceRowBytes(columns, depth);
        Bytes pixels(static_cast<std::size_t>(rowBytes) * rows);
        for (auto& byte : pixels)
          byte = static_cast<std::uint8_t>(random());
        Bytes original = DeviceBitmap(width, height, rowBytes, depth, density, pixels, 0x12345678);
        Bytes back = BmpToDeviceBitmap(DeviceBitmapToBmp(original));
        Bytes expected = original;
        expected[12] = expected[13] = expected[14] = expected[15] = 0xFF;
        ASSERT_EQ(back, expected) << "depth " << int{depth} << " density " << density << " width "
                                  << width;
      }
    }
  }
}

TEST(EncodeTest, RowBytesRoundUpToWords) {
  struct Case {
    std::uint16_t bits;  // of the image
    Bytes table;
    std::uint16_t rowBytes;
    std::uint8_t depth;
  } cases[] = {
      {1, Bytes(Palette1Bit.begin(), Palette1Bit.end()), 2, 1},
      {4, Bytes(Palette2BitPadded.begin(), Palette2BitPadded.end()), 4, 2},
      {4, Bytes(Palette4Bit.begin(), Palette4Bit.end()), 6, 4},
      {8, Bytes(Palette8Bit.begin(), Palette8Bit.end()), 10, 8},
      {24, {}, 18, 16},
  };
  for (const Case& c : cases) {
    std::uint32_t stride = (9u * c.bits + 31) / 32 * 4;
    Bytes bitmap = BmpToDeviceBitmap(BmpImage(9, 1, c.bits, c.table, Bytes(stride, 0)));
    EXPECT_EQ((bitmap[6] << 8) | bitmap[7], c.rowBytes) << c.bits;
    EXPECT_EQ(bitmap[8], c.depth) << c.bits;
    EXPECT_EQ(bitmap.size(), 16u + c.rowBytes) << c.bits;
  }
}

TEST(EncodeTest, OneBitImageWithAnotherTableIsConvertedToEightBit) {
  // Black then white: not the device's white-then-black table. Nine pixels:
  // a row of 9 index bytes and one zero byte; two rows.
  Bytes table = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0};
  Bytes rows = {0x80, 0x80, 0, 0,   // bottom row: pixels 0 and 8 white
                0x7F, 0x00, 0, 0};  // top row: pixels 1-7 white
  Bytes bitmap = BmpToDeviceBitmap(BmpImage(9, 2, 1, table, rows));
  EXPECT_EQ(bitmap[8], 8);
  EXPECT_EQ((bitmap[6] << 8) | bitmap[7], 10);
  Bytes top(bitmap.begin() + 16, bitmap.begin() + 26);
  Bytes bottom(bitmap.begin() + 26, bitmap.begin() + 36);
  EXPECT_EQ(top, (Bytes{230, 0, 0, 0, 0, 0, 0, 0, 230, 0}));
  EXPECT_EQ(bottom, (Bytes{0, 230, 230, 230, 230, 230, 230, 230, 0, 0}));
}

TEST(EncodeTest, ColouredOneBitImageFollowsTheGeneralRule) {
  // Entry 1 is pure blue: it maps to the system palette's blue (index 5? no:
  // 0000FF is the cube colour red 0, green 0, blue FF), not to red.
  Bytes table = {0xFF, 0xFF, 0xFF, 0, 0xFF, 0, 0, 0};  // white, blue (BMP order)
  Bytes bitmap = BmpToDeviceBitmap(BmpImage(2, 1, 1, table, {0x40, 0, 0, 0}));
  std::uint8_t blue[3] = {0xFF, 0, 0};
  int expected = NearestPaletteIndex(blue, Palette8Bit.data(), 256);
  EXPECT_EQ(Palette8Bit[4 * expected], 0xFF);  // a blue entry
  EXPECT_EQ(Palette8Bit[4 * expected + 2], 0x00);
  EXPECT_EQ(bitmap[16], 0);
  EXPECT_EQ(bitmap[17], expected);
}

TEST(EncodeTest, FourAndEightBitImagesWithOtherTablesAreConverted) {
  Bytes table16(64, 0);
  table16[4 * 3 + 2] = 0xFF;  // entry 3 red
  Bytes four = BmpToDeviceBitmap(BmpImage(3, 1, 4, table16, {0x30, 0x30, 0, 0}));
  EXPECT_EQ(four[8], 8);
  EXPECT_EQ(Bytes(four.begin() + 16, four.end()), (Bytes{125, 230, 125, 0}));
  Bytes table256(Palette8Bit.begin(), Palette8Bit.end());
  table256[4 * 255] = 1;  // no longer the system palette
  Bytes eight = BmpToDeviceBitmap(BmpImage(2, 1, 8, table256, {0, 125, 0, 0}));
  EXPECT_EQ(eight[8], 8);
  EXPECT_EQ(Bytes(eight.begin() + 16, eight.end()), (Bytes{0, 125}));
}

TEST(EncodeTest, TrueColourBecomesSixteenBit) {
  Bytes rows24 = {0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0};  // red green blue white
  rows24.resize(16, 0);
  Bytes from24 = BmpToDeviceBitmap(BmpImage(4, 1, 24, {}, rows24));
  EXPECT_EQ(from24[8], 16);
  EXPECT_EQ(Bytes(from24.begin() + 16, from24.end()),
            (Bytes{0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F, 0xFF, 0xFF}));
  Bytes rows32 = {0x08, 0x84, 0x42, 0x99};  // blue 08, green 84, red 42, ignored
  Bytes from32 = BmpToDeviceBitmap(BmpImage(1, 1, 32, {}, rows32));
  EXPECT_EQ(Bytes(from32.begin() + 16, from32.end()), (Bytes{0x44, 0x21}));
}

TEST(EncodeTest, DensityComesFromTheResolution) {
  struct Case {
    std::uint32_t resolution;
    std::uint16_t density;
    std::uint16_t width;  // of an image 144 pixels wide
  } cases[] = {{720, 72, 144},  {1080, 108, 96}, {1440, 144, 72}, {2160, 216, 48},
               {2880, 288, 36}, {100, 72, 144},  {1441, 144, 72}, {0, 72, 144}};
  for (const Case& c : cases) {
    Bytes bitmap = BmpToDeviceBitmap(BmpImage(144, 1, 24, {}, Bytes(432, 0), c.resolution));
    EXPECT_EQ((bitmap[10] << 8) | bitmap[11], c.density) << c.resolution;
    EXPECT_EQ((bitmap[2] << 8) | bitmap[3], c.width) << c.resolution;
    EXPECT_EQ(Bytes(bitmap.begin() + 12, bitmap.begin() + 16), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  }
}

TEST(EncodeTest, ImagesItCannotTakeAreRefused) {
  const std::string refused = "text: Error occured while converting bitmap.";
  Bytes good = BmpImage(2, 1, 24, {}, Bytes(8, 0));
  struct Case {
    const char* what;
    std::size_t offset;  // a byte to change, or SIZE_MAX
    std::uint8_t value;
    std::size_t size;  // cut to this size, or SIZE_MAX
  } cases[] = {
      {"not BM", 0, 'X', SIZE_MAX},
      {"bits past 32767", 11, 0x80, SIZE_MAX},
      {"compressed", 30, 1, SIZE_MAX},
      {"two planes", 26, 2, SIZE_MAX},
      {"16 bits per pixel", 28, 16, SIZE_MAX},
      {"2 bits per pixel", 28, 2, SIZE_MAX},
      {"0 bits per pixel", 28, 0, SIZE_MAX},
      {"rows past the data", 22, 3, SIZE_MAX},
      {"shorter than its headers", SIZE_MAX, 0, 40},
      {"wide rows past the data", 19, 0xFF, SIZE_MAX},
  };
  for (const Case& c : cases) {
    Bytes image = good;
    if (c.offset != SIZE_MAX) image[c.offset] = c.value;
    if (c.size != SIZE_MAX) image.resize(c.size);
    EXPECT_EQ(Raised([&] { BmpToDeviceBitmap(image); }), refused) << c.what;
  }
  // An 8-bit image whose colour table would run past the data.
  EXPECT_EQ(Raised([&] { BmpToDeviceBitmap(BmpImage(1, 1, 8, Bytes(8, 0), {})); }), refused);
  EXPECT_EQ(Raised([&] { BmpToDeviceBitmap(good); }), "ok");
}

}  // namespace
}  // namespace kd
