#include "bitmap/tests/bitmap_test_util.h"

namespace kd::testing {

Bytes DeviceBitmap(std::uint16_t width, std::uint16_t height, std::uint16_t rowBytes,
                   std::uint8_t depth, std::uint16_t density, const Bytes& rows,
                   std::uint32_t reserved, const char* signature, std::uint8_t version) {
  Bytes bitmap = {static_cast<std::uint8_t>(signature[0]),
                  static_cast<std::uint8_t>(signature[1]),
                  static_cast<std::uint8_t>(width >> 8),
                  static_cast<std::uint8_t>(width),
                  static_cast<std::uint8_t>(height >> 8),
                  static_cast<std::uint8_t>(height),
                  static_cast<std::uint8_t>(rowBytes >> 8),
                  static_cast<std::uint8_t>(rowBytes),
                  depth,
                  version,
                  static_cast<std::uint8_t>(density >> 8),
                  static_cast<std::uint8_t>(density),
                  static_cast<std::uint8_t>(reserved >> 24),
                  static_cast<std::uint8_t>(reserved >> 16),
                  static_cast<std::uint8_t>(reserved >> 8),
                  static_cast<std::uint8_t>(reserved)};
  bitmap.insert(bitmap.end(), rows.begin(), rows.end());
  return bitmap;
}

std::uint32_t Bmp32(const Bytes& image, std::size_t offset) {
  return image[offset] | (image[offset + 1] << 8) | (image[offset + 2] << 16) |
         (static_cast<std::uint32_t>(image[offset + 3]) << 24);
}

std::uint16_t Bmp16(const Bytes& image, std::size_t offset) {
  return static_cast<std::uint16_t>(image[offset] | (image[offset + 1] << 8));
}

}  // namespace kd::testing

namespace kd::testing {

Bytes BmpImage(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel,
               const Bytes& table, const Bytes& rows, std::uint32_t resolution) {
  Bytes image(54, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      image[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  image[0] = 'B';
  image[1] = 'M';
  put32(10, static_cast<std::uint32_t>(54 + table.size()));
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  image[26] = 1;
  image[28] = static_cast<std::uint8_t>(bitsPerPixel);
  put32(38, resolution);
  put32(42, resolution);
  put32(46, static_cast<std::uint32_t>(table.size() / 4));
  image.insert(image.end(), table.begin(), table.end());
  image.insert(image.end(), rows.begin(), rows.end());
  put32(2, static_cast<std::uint32_t>(image.size()));
  return image;
}

}  // namespace kd::testing
