// The portable picture object and pictures of the platform read back; and the
// colours of decoded images against an independent decoder of Palm bitmaps.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "bitmap/bmp_image.h"
#include "bitmap/device_bitmap.h"
#include "bitmap/picture.h"
#include "bitmap/tests/picture_test_util.h"
#include "testing/bitmap_images.h"
#include "testing/outcomes.h"
#include "testing/temp_dir.h"

namespace kd {
namespace {

using testing::Bmp16;
using testing::Bmp32;
using testing::Bytes;
using testing::DeviceBitmap;
using testing::PlatformPicture;

TEST(PictureTest, LargePicturesAreReturnedWhateverTheirSize) {
  // An 8-bit picture of 300 x 300 pixels: 16 + 300 x 300 bytes, more than a
  // Bitmap field can hold.
  std::vector<std::uint8_t> rows(300 * 300, 125);
  Bytes image = testing::BmpImage(300, 300, 8, Bytes(Palette8Bit.begin(), Palette8Bit.end()), rows);
  CVariant bitmap = CreateKDBitmap(PlatformPicture(image));
  EXPECT_EQ(bitmap.GetArray().GetElementCount(), 90016u);
}

TEST(PictureTest, SixteenBitPicturesAreReadAsTwentyFourBit) {
  // Two 5-5-5 pixels: red and white.
  Bytes image = testing::BmpImage(2, 1, 16, {}, {0x00, 0x7C, 0xFF, 0x7F});
  Bytes bits = PictureBits(image);
  EXPECT_EQ(Bmp16(bits, 28), 24);
  CVariant bitmap = CreateKDBitmap(PlatformPicture(image));
  const Bytes& bytes = bitmap.GetArray().GetData();
  EXPECT_EQ(bytes[8], 16);
  EXPECT_EQ(Bytes(bytes.begin() + 16, bytes.end()), (Bytes{0xF8, 0x00, 0xFF, 0xFF}));
}

TEST(PictureTest, TopDownImagesAreTurnedOver) {
  Bytes table(Palette1Bit.begin(), Palette1Bit.end());
  Bytes image = testing::BmpImage(8, -2, 1, table, {0xFF, 0, 0, 0, 0x0F, 0, 0, 0});
  Bytes bitmap = BmpToDeviceBitmap(PictureBits(image));
  EXPECT_EQ(Bytes(bitmap.begin() + 16, bitmap.end()), (Bytes{0xFF, 0, 0x0F, 0}));
}

TEST(PictureTest, PortablePicturesSaveAndLoadAsBmpFiles) {
  testing::TempDir dir;
  auto held = std::make_shared<CPicture>(DeviceBitmapToBmp(testing::SmallDeviceBitmap()));
  std::string path = dir.File("small.bmp");
  held->SaveBmp(path);
  EXPECT_EQ(testing::ReadFileBytes(path), held->GetBmpImage());
  auto loaded = CPicture::LoadBmp(path);
  EXPECT_EQ(loaded->GetBmpImage(), held->GetBmpImage());
  std::string junk = dir.File("junk.bmp");
  testing::WriteFileBytes(junk, {'B', 'M', 1, 2, 3});
  EXPECT_EQ(testing::Raised([&] { CPicture::LoadBmp(junk); }),
            "text: Error occured while converting bitmap.");
  EXPECT_EQ(testing::Raised([&] { CPicture::LoadBmp(dir.File("none.bmp")); }),
            testing::CannotAccess(dir.File("none.bmp")));
}

// A Palm OS bitmap (version 1: 16-byte header with flags, pixel size and
// version) of the same pixel rows, decoded by netpbm's palmtopnm, gives the
// colours that the decoded image's table gives the same pixels.
TEST(PictureTest, ColoursAgreeWithAnIndependentPalmBitmapDecoder) {
  if (testing::RunCommand("command -v palmtopnm").empty())
    GTEST_SKIP() << "needs netpbm's palmtopnm and a shell";
  testing::TempDir dir;
  for (std::uint8_t depth : {1, 2, 4, 8}) {
    const std::uint16_t columns = 16;
    const std::uint16_t rows = 4;
    const std::uint16_t rowBytes = testing::DeviceRowBytes(columns, depth);
    Bytes pixels(static_cast<std::size_t>(rowBytes) * rows);
    // Pixel bytes of every kind; 8-bit indices stay below 232, the colours the
    // other decoder's system palette holds (the rest are black).
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      pixels[i] = static_cast<std::uint8_t>(depth == 8 ? (i * 37 + 11) % 232 : i * 37 + 11);
    }
    // Palm OS bitmap version 1: width, height, rowBytes, flags 0, pixel size,
    // version 1, next depth offset 0, transparent index 0, compression 0, 0.
    Bytes palm = {0,     static_cast<std::uint8_t>(columns),
                  0,     static_cast<std::uint8_t>(rows),
                  0,     static_cast<std::uint8_t>(rowBytes),
                  0,     0,
                  depth, 1,
                  0,     0,
                  0,     0,
                  0,     0};
    palm.resize(16 + pixels.size());
    std::copy(pixels.begin(), pixels.end(), palm.begin() + 16);
    std::string palmPath = dir.File("bitmap" + std::to_string(depth) + ".palm");
    testing::WriteFileBytes(palmPath, palm);
    std::string ppm = testing::RunCommand("palmtopnm -plain '" + palmPath + "' 2>/dev/null");
    ASSERT_FALSE(ppm.empty()) << "depth " << int{depth};

    Bytes image = DeviceBitmapToBmp(DeviceBitmap(columns, rows, rowBytes, depth, 72, pixels));
    const std::uint32_t bitsPerPixel = Bmp16(image, 28);
    const std::uint32_t stride = (columns * bitsPerPixel + 31) / 32 * 4;
    const std::uint8_t* table = image.data() + 54;
    const std::uint8_t* bits = image.data() + Bmp32(image, 10);

    // Plain PBM (P1: 1 is black), PGM (P2) or PPM (P3): a magic number,
    // width, height, a maximum (not for PBM), then the values.
    std::istringstream in(ppm);
    std::string magic;
    int width = 0, height = 0, maximum = 1;
    in >> magic >> width >> height;
    if (magic != "P1") in >> maximum;
    ASSERT_EQ(width, columns);
    ASSERT_EQ(height, rows);
    const bool colour = magic == "P3";
    for (int y = 0; y < rows; ++y) {
      const std::uint8_t* row = bits + static_cast<std::size_t>(rows - 1 - y) * stride;
      for (int x = 0; x < columns; ++x) {
        int index = bitsPerPixel == 8   ? row[x]
                    : bitsPerPixel == 4 ? (x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0xF)
                                        : (row[x / 8] >> (7 - x % 8)) & 1;
        int red = 0, green = 0, blue = 0;
        if (colour) {
          in >> red >> green >> blue;
        } else {
          if (magic == "P1") {  // digits without separators; 1 is black
            char digit = 0;
            in >> digit;
            red = digit == '1' ? 0 : 1;
          } else {
            in >> red;
          }
          green = blue = red;
        }
        const int scale = 255 / maximum;
        EXPECT_EQ(table[4 * index + 2], red * scale)
            << "depth " << int{depth} << " at " << x << "," << y;
        EXPECT_EQ(table[4 * index + 1], green * scale);
        EXPECT_EQ(table[4 * index], blue * scale);
      }
    }
  }
}

}  // namespace
}  // namespace kd
