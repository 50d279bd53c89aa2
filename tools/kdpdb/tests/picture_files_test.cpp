// BMP images to and from PNG files, and the colour reduction for a chosen
// device bitmap depth.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bitmap/bmp_image.h"
#include "bitmap/device_bitmap.h"
#include "foundation/byte_order.h"
#include "testing/bitmap_images.h"
#include "tools/kdpdb/picture_files.h"
#include "tools/kdpdb/tests/tool_runner.h"

namespace kdpdb {
namespace {

struct Rgb {
  std::uint8_t r, g, b;
};

// A BMP image (without a resolution) from its rows (top row first, unpadded),
// laid out bottom-up unless `topDown`.
Bytes MakeBmp(std::int32_t width, int bitsPerPixel, const std::vector<Rgb>& table,
              const std::vector<Bytes>& rows, bool topDown = false, std::uint32_t compression = 0,
              const std::vector<std::uint32_t>& masks = {}) {
  const std::size_t stride = (static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32 * 4;
  Bytes padded(stride * rows.size(), 0);
  for (std::size_t y = 0; y < rows.size(); ++y) {
    std::size_t stored = topDown ? y : rows.size() - 1 - y;
    std::copy(rows[y].begin(), rows[y].end(), padded.begin() + stride * stored);
  }
  Bytes tableBytes;
  for (const Rgb& c : table)
    tableBytes.insert(tableBytes.end(), {c.b, c.g, c.r, 0});
  Bytes maskBytes(4 * masks.size());
  for (std::size_t i = 0; i < masks.size(); ++i)
    kd::StoreLittleEndian32(&maskBytes[4 * i], masks[i]);
  const auto height = static_cast<std::int32_t>(rows.size());
  return kd::testing::BmpImage(width, topDown ? -height : height,
                               static_cast<std::uint16_t>(bitsPerPixel), tableBytes, padded, 0,
                               compression, maskBytes);
}

Bytes Pixels(const std::vector<Rgb>& pixels) {
  Bytes rgb;
  for (const Rgb& p : pixels)
    rgb.insert(rgb.end(), {p.r, p.g, p.b});
  return rgb;
}

const Rgb kBlack = {0, 0, 0};
const Rgb kWhite = {255, 255, 255};
const Rgb kRed = {255, 0, 0};
const Rgb kGreen = {0, 255, 0};
const Rgb kBlue = {0, 0, 255};

struct BmpCase {
  const char* name;
  Bytes bmp;
  std::uint32_t width, height;
  std::vector<Rgb> pixels;  // top row first
  int pngBitDepth;          // of the PNG BmpToPng writes
  int pngColourType;        // 3: palette, 2: RGB
};

std::vector<BmpCase> BmpCases() {
  std::vector<Rgb> table16;
  for (int i = 0; i < 16; ++i)
    table16.push_back({static_cast<std::uint8_t>(16 * i), static_cast<std::uint8_t>(255 - 16 * i),
                       static_cast<std::uint8_t>(i)});
  std::vector<Rgb> table256;
  for (int i = 0; i < 256; ++i)
    table256.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                        static_cast<std::uint8_t>(i / 2)});
  return {
      // 5 x 2 at 1 bit: rows need padding; pixels most significant bit first.
      {"1 bit",
       MakeBmp(5, 1, {kBlack, kWhite}, {{0xA8}, {0x50}}),
       5,
       2,
       {kWhite, kBlack, kWhite, kBlack, kWhite, kBlack, kWhite, kBlack, kWhite, kBlack},
       1,
       3},
      {"4 bits",
       MakeBmp(3, 4, table16, {{0x01, 0xF0}, {0x5A, 0x30}}),
       3,
       2,
       {table16[0], table16[1], table16[15], table16[5], table16[10], table16[3]},
       4,
       3},
      {"8 bits, top-down",
       MakeBmp(3, 8, table256, {{0, 128, 255}, {7, 8, 9}}, true),
       3,
       2,
       {table256[0], table256[128], table256[255], table256[7], table256[8], table256[9]},
       8,
       3},
      {"24 bits",
       MakeBmp(3, 24, {}, {{0, 0, 255, 0, 255, 0, 255, 0, 0}, {1, 2, 3, 255, 255, 255, 0, 0, 0}}),
       3,
       2,
       {kRed, kGreen, kBlue, {3, 2, 1}, kWhite, kBlack},
       8,
       2},
      {"16 bits 5-5-5",
       MakeBmp(2, 16, {}, {{0x00, 0x7C, 0xE0, 0x03}, {0x1F, 0x00, 0x10, 0x42}}),
       2,
       2,
       {kRed, kGreen, kBlue, {131, 131, 131}},
       8,
       2},
      {"16 bits 5-6-5 bit fields",
       MakeBmp(2, 16, {}, {{0x00, 0xF8, 0xE0, 0x07}, {0x1F, 0x00, 0xFF, 0xFF}}, false, 3,
               {0xF800, 0x07E0, 0x001F}),
       2,
       2,
       {kRed, kGreen, kBlue, kWhite},
       8,
       2},
      {"32 bits",
       MakeBmp(1, 32, {}, {{10, 20, 30, 99}, {255, 0, 0, 0}}),
       1,
       2,
       {{30, 20, 10}, kBlue},
       8,
       2},
  };
}

TEST(PictureFiles, DecodesEveryBmpDepthAndWritesItAsPng) {
  for (const BmpCase& c : BmpCases()) {
    SCOPED_TRACE(c.name);
    RgbImage image = DecodeBmp(c.bmp);
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    EXPECT_EQ(image.rgb, Pixels(c.pixels));

    Bytes png = BmpToPng(c.bmp);
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png[24], c.pngBitDepth);  // IHDR bit depth
    EXPECT_EQ(png[25], c.pngColourType);
    RgbImage back = DecodePng(png);
    EXPECT_EQ(back.width, c.width);
    EXPECT_EQ(back.height, c.height);
    EXPECT_EQ(back.rgb, Pixels(c.pixels));
  }
}

TEST(PictureFiles, LaysTransparentPngPixelsOverWhite) {
  Bytes png = testing::WritePng(3, 1, {255, 0, 0, 0, 0, 0, 255, 255, 0, 0, 0, 128}, true);
  RgbImage image = DecodePng(png);
  ASSERT_EQ(image.rgb.size(), 9u);
  EXPECT_EQ(Bytes(image.rgb.begin(), image.rgb.begin() + 6), Pixels({kWhite, kBlue}));
  for (int c = 6; c < 9; ++c) {  // half black over white: a middle grey
    EXPECT_GT(image.rgb[c], 100);
    EXPECT_LT(image.rgb[c], 200);
  }
}

TEST(PictureFiles, Encodes24BitBmpThatDecodesToTheSamePixels) {
  RgbImage image;
  image.width = 3;  // 9 bytes a row: padded to 12
  image.height = 2;
  image.rgb = Pixels({kRed, kGreen, kBlue, {1, 2, 3}, {250, 128, 7}, kWhite});
  Bytes bmp = EncodeBmp24(image);
  EXPECT_EQ(bmp.size(), 54u + 2 * 12);
  RgbImage back = DecodeBmp(bmp);
  EXPECT_EQ(back.width, 3u);
  EXPECT_EQ(back.height, 2u);
  EXPECT_EQ(back.rgb, image.rgb);
}

// Pixels after a trip through 16-bit (5-6-5) device pixels: the decoder
// widens each channel by shifting, so the low bits come back zero.
Bytes At16Bits(Bytes rgb) {
  for (std::size_t i = 0; i < rgb.size(); ++i)
    rgb[i] = static_cast<std::uint8_t>(rgb[i] & (i % 3 == 1 ? 0xFC : 0xF8));
  return rgb;
}

TEST(PictureFiles, GivesTheDeviceBitmapTheDepthAskedFor) {
  RgbImage image;
  image.width = 5;  // rows of 5 pixels need padding at every depth
  image.height = 2;
  image.rgb =
      Pixels({kBlack, kWhite, kWhite, kBlack, kWhite, kWhite, kBlack, kBlack, kWhite, kBlack});
  for (int depth : {1, 2, 4, 8, 16}) {
    SCOPED_TRACE(depth);
    Bytes device = kd::BmpToDeviceBitmap(BmpForDepth(image, depth));
    ASSERT_GE(device.size(), 16u);
    EXPECT_EQ(device[8], depth);
    RgbImage back = DecodeBmp(kd::DeviceBitmapToBmp(device));
    EXPECT_EQ(back.width, 5u);
    EXPECT_EQ(back.height, 2u);
    EXPECT_EQ(back.rgb, depth == 16 ? At16Bits(image.rgb) : image.rgb);
  }

  // At 1 bit, each colour becomes the nearer of black and white.
  RgbImage greys;
  greys.width = 4;
  greys.height = 1;
  greys.rgb = Pixels({{100, 100, 100}, {200, 200, 200}, {20, 40, 10}, {235, 240, 250}});
  Bytes device = kd::BmpToDeviceBitmap(BmpForDepth(greys, 1));
  EXPECT_EQ(DecodeBmp(kd::DeviceBitmapToBmp(device)).rgb, Pixels({kBlack, kWhite, kBlack, kWhite}));

  // Pure colours: among the device's 256 colours, and 16-bit pixels.
  RgbImage colours;
  colours.width = 3;
  colours.height = 1;
  colours.rgb = Pixels({kRed, kGreen, kBlue});
  EXPECT_EQ(DecodeBmp(kd::DeviceBitmapToBmp(kd::BmpToDeviceBitmap(BmpForDepth(colours, 8)))).rgb,
            colours.rgb);
  EXPECT_EQ(DecodeBmp(kd::DeviceBitmapToBmp(kd::BmpToDeviceBitmap(BmpForDepth(colours, 16)))).rgb,
            At16Bits(colours.rgb));
  EXPECT_THROW(BmpForDepth(colours, 3), ToolError);
  EXPECT_THROW(BmpForDepth(colours, 24), ToolError);
}

TEST(PictureFiles, RefusesImagesItCannotRead) {
  Bytes good = MakeBmp(2, 24, {}, {{0, 0, 0, 0, 0, 0}});
  auto with32 = [&](std::size_t at, std::uint32_t value) {
    Bytes bmp = good;
    kd::StoreLittleEndian32(&bmp[at], value);
    return bmp;
  };
  Bytes signature = good;
  signature[0] = 'X';
  Bytes cut(good.begin(), good.end() - 1);
  const struct {
    const char* name;
    Bytes bmp;
    const char* message;
  } kCases[] = {
      {"too short", Bytes(good.begin(), good.begin() + 30), "no BMP file header"},
      {"signature", signature, "no BMP file header"},
      {"RLE", with32(30, 1), "compressed pixels"},
      {"no width", with32(18, 0), "no pixels"},
      {"no height", with32(22, 0), "no pixels"},
      {"2 bits per pixel", MakeBmp(2, 2, {kBlack, kWhite, kRed, kBlue}, {{0}}), "2 bits per pixel"},
      {"rows cut short", cut, "pixel rows cut short"},
      {"header size", with32(14, 12), "information header of 12 bytes"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    try {
      DecodeBmp(c.bmp);
      ADD_FAILURE() << "accepted";
    } catch (const ToolError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
    EXPECT_THROW(BmpToPng(c.bmp), ToolError);
  }
  EXPECT_THROW(DecodePng(good), ToolError);  // a BMP is no PNG
  EXPECT_THROW(DecodePng(Bytes()), ToolError);
}

// A picture may have up to kMaxPicturePixels pixels in any shape; more are
// refused, whichever side is long.
TEST(PictureFiles, TakesPicturesOfAnyShapeUpToTheMostPixels) {
  const struct {
    std::uint32_t width, height;
    bool taken;
  } kSizes[] = {
      {16, 31991, true},  // 63,998 bytes as a 1-bit device bitmap
      {1000, 1000, true},
      {65536, 257, false},
      {4097, 4096, false},
  };
  const Bytes table = {0, 0, 0, 0, 255, 255, 255, 0};
  for (const auto& c : kSizes) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    const Bytes rows(kd::BmpStride(c.width, 1) * c.height, 0);
    const Bytes bmp = kd::testing::BmpImage(static_cast<std::int32_t>(c.width),
                                            static_cast<std::int32_t>(c.height), 1, table, rows);
    // A PNG of the refused sizes would take 64 MiB to write: the BMP
    // reader's refusal, and the PNG reader's of an image one pixel taller
    // than the most, stand for them.
    const bool withPng = c.taken;
    const Bytes png = withPng
                          ? testing::WritePng(c.width, c.height,
                                              Bytes(std::size_t{4} * c.width * c.height, 0), true)
                          : Bytes();
    for (const bool isPng : {false, true}) {
      if (isPng && !withPng) continue;
      try {
        const RgbImage image = isPng ? DecodePng(png) : DecodeBmp(bmp);
        EXPECT_TRUE(c.taken);
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
      } catch (const ToolError& error) {
        EXPECT_FALSE(c.taken) << error.what();
        EXPECT_NE(std::string(error.what()).find("pixels is too large"), std::string::npos)
            << error.what();
      }
    }
    if (c.taken) {
      EXPECT_EQ(DecodePng(BmpToPng(bmp)).height, c.height);
    }
  }
}

}  // namespace
}  // namespace kdpdb
