// The two byte layouts against golden bytes, what the BMP reader refuses
// under each set of rules, and the stored length of a device bitmap.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bitmap/bmp_image.h"
#include "bitmap/device_bitmap.h"
#include "testing/bitmap_images.h"

namespace kd {
namespace {

using testing::BmpImage;
using testing::Bytes;

TEST(BmpLayoutTest, WriterAndReaderAgreeWithGoldenHeaders) {
  BmpLayout layout;
  layout.width = 3;
  layout.height = 2;
  layout.bitsPerPixel = 4;
  layout.tableEntries = 2;
  layout.coloursUsed = 5;
  layout.horizontalResolution = 0x01020304;
  layout.verticalResolution = -2;
  CBmpWriter writer(layout);
  EXPECT_EQ(writer.Stride(), 4u);
  writer.Table()[0] = 0xA1;
  writer.Row(1)[0] = 0xB2;  // the second stored row: the top one
  const Bytes image = writer.Take();
  const Bytes golden = {
      'B',  'M',  70,   0,    0,    0,                 // type, file size 54 + 8 + 2 x 4
      0,    0,    0,    0,                             // reserved
      62,   0,    0,    0,                             // bits after two table entries
      40,   0,    0,    0,    3,    0,    0,    0,     // header size, width
      2,    0,    0,    0,    1,    0,    4,    0,     // height, planes, bits per pixel
      0,    0,    0,    0,    8,    0,    0,    0,     // compression, image size
      0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF,  // resolutions
      5,    0,    0,    0,    0,    0,    0,    0,     // colours used, important
      0xA1, 0,    0,    0,    0,    0,    0,    0,     // table
      0,    0,    0,    0,    0xB2, 0,    0,    0};    // rows
  EXPECT_EQ(image, golden);

  BmpHeader header;
  ASSERT_TRUE(ReadBmpHeader(golden.data(), golden.size(), &header));
  EXPECT_EQ(header.fileSize, 70u);
  EXPECT_EQ(header.bitsOffset, 62u);
  EXPECT_EQ(header.width, 3);
  EXPECT_EQ(header.height, 2);
  EXPECT_EQ(header.bitsPerPixel, 4);
  EXPECT_EQ(header.imageSize, 8u);
  EXPECT_EQ(header.horizontalResolution, 0x01020304);
  EXPECT_EQ(header.verticalResolution, -2);
  EXPECT_EQ(header.coloursUsed, 5u);
  EXPECT_FALSE(ReadBmpHeader(golden.data(), 53, &header));
}

TEST(BmpLayoutTest, ReaderRefusalsUnderEachRules) {
  const BmpRules tool = {4096, false, true, false};
  const Bytes good = BmpImage(2, 1, 8, Bytes(8, 0), Bytes(4, 0));  // two colours used
  auto with32 = [&](std::size_t at, std::uint32_t value) {
    Bytes image = good;
    for (int i = 0; i < 4; ++i)
      image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return image;
  };
  Bytes bitFields =
      BmpImage(1, 1, 16, {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}, Bytes(4, 0));
  bitFields[30] = 3;
  struct Case {
    const char* what;
    Bytes image;
    BmpFault pictures;
    BmpFault other;  // under the tool's rules
  } cases[] = {
      {"good", good, BmpFault::kNone, BmpFault::kNone},
      {"cut inside the headers", Bytes(good.begin(), good.begin() + 53), BmpFault::kNoFileHeader,
       BmpFault::kNoFileHeader},
      {"header of 12 bytes", with32(14, 12), BmpFault::kInfoHeader, BmpFault::kInfoHeader},
      {"header past the end", with32(14, 100), BmpFault::kInfoHeader, BmpFault::kInfoHeader},
      {"two planes", with32(26, 0x00080002), BmpFault::kPlanes, BmpFault::kNone},
      {"no rows", with32(22, 0), BmpFault::kNone, BmpFault::kNoPixels},
      {"negative width", with32(18, 0xFFFFFFFF), BmpFault::kNoPixels, BmpFault::kNoPixels},
      {"height -2^31", with32(22, 0x80000000), BmpFault::kNoPixels, BmpFault::kNoPixels},
      {"65536 rows", with32(22, 0x10000), BmpFault::kTooLarge, BmpFault::kTooLarge},
      {"4097 rows top-down", with32(22, static_cast<std::uint32_t>(-4097)), BmpFault::kRowsCutShort,
       BmpFault::kTooLarge},
      {"run-length", with32(30, 1), BmpFault::kCompressed, BmpFault::kCompressed},
      {"bit fields", bitFields, BmpFault::kCompressed, BmpFault::kNone},
      {"bit-field masks cut", Bytes(bitFields.begin(), bitFields.begin() + 65),
       BmpFault::kCompressed, BmpFault::kNoMasks},
      {"2 bits per pixel", with32(28, 0x00000002), BmpFault::kBitsPerPixel,
       BmpFault::kBitsPerPixel},
      {"257 colours", with32(46, 257), BmpFault::kColourCount, BmpFault::kTableCutShort},
      {"4 colours", with32(46, 4), BmpFault::kTableCutShort, BmpFault::kTableCutShort},
      {"0 colours: all 256", with32(46, 0), BmpFault::kTableCutShort, BmpFault::kTableCutShort},
      {"rows a byte short", Bytes(good.begin(), good.end() - 1), BmpFault::kRowsCutShort,
       BmpFault::kRowsCutShort},
  };
  for (const Case& c : cases) {
    BmpView view;
    EXPECT_EQ(ReadBmp(c.image, kPictureBmpRules, &view), c.pictures) << c.what;
    EXPECT_EQ(ReadBmp(c.image, tool, &view), c.other) << c.what;
  }
}

TEST(DeviceBitmapLayoutTest, HeaderAgainstGoldenBytes) {
  const Bytes golden = {0x62, 0x6D, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
                        16,   2,    0x01, 0x20, 0xFF, 0xFE, 0xFD, 0xFC};
  const DeviceBitmapHeader header = ReadDeviceBitmapHeader(golden.data());
  EXPECT_EQ(header.signature, kDeviceBitmapSignature);
  EXPECT_EQ(header.width, 0x0102);
  EXPECT_EQ(header.height, 0x0304);
  EXPECT_EQ(header.rowBytes, 0x0506);
  EXPECT_EQ(header.depth, 16);
  EXPECT_EQ(header.version, 2);
  EXPECT_EQ(header.density, 0x0120);
  EXPECT_EQ(header.reserved, 0xFFFEFDFCu);
  const auto bytes = DeviceBitmapHeaderBytes(header);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), golden);
}

TEST(DeviceBitmapLayoutTest, LengthTakesTheProductFirstAndRoundsTowardZero) {
  struct Case {
    std::uint16_t rowBytes, height, density;
    std::int64_t length;
  } cases[] = {
      {2, 3, 144, 16 + 12},
      {3, 5, 108, 16 + 22},     // 1620 / 72 = 22.5: the product first
      {0, 9, 72, 16},           // the placeholder's kind: no rows
      {2, 0xFFFF, 72, 16 - 2},  // height -1
      {0xFFFF, 1, 71, 16},      // -71 / 72 rounds toward zero, to 0
      {0xFFFF, 1, 73, 16 - 1},  //
      {0x8000, 0x8000, 0xFFFF, 16 + 0x40000000LL * 0xFFFF / 72},       // two negatives
      {0x7FFF, 0x7FFF, 0xFFFF, 16 + 0x7FFFLL * 0x7FFF * 0xFFFF / 72},  // density unsigned
  };
  for (const Case& c : cases) {
    DeviceBitmapHeader header;
    header.rowBytes = c.rowBytes;
    header.height = c.height;
    header.density = c.density;
    EXPECT_EQ(DeviceBitmapLength(header), c.length)
        << c.rowBytes << " x " << c.height << " x " << c.density;
  }
}

}  // namespace
}  // namespace kd
