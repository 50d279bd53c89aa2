#include "testing/bitmap_images.h"

#include "foundation/byte_order.h"

namespace kd::testing {

Bytes DeviceBitmap(std::uint16_t width, std::uint16_t height, std::uint16_t rowBytes,
                   std::uint8_t depth, std::uint16_t density, const Bytes& rows,
                   std::uint32_t reserved, const char* signature, std::uint8_t version) {
  Bytes bitmap(16);
  bitmap[0] = static_cast<std::uint8_t>(signature[0]);
  bitmap[1] = static_cast<std::uint8_t>(signature[1]);
  StoreBigEndian16(&bitmap[2], width);
  StoreBigEndian16(&bitmap[4], height);
  StoreBigEndian16(&bitmap[6], rowBytes);
  bitmap[8] = depth;
  bitmap[9] = version;
  StoreBigEndian16(&bitmap[10], density);
  StoreBigEndian32(&bitmap[12], reserved);
  bitmap.insert(bitmap.end(), rows.begin(), rows.end());
  return bitmap;
}

std::uint16_t DeviceRowBytes(std::uint32_t columns, std::uint32_t depth) {
  return static_cast<std::uint16_t>(((columns * depth + 15) / 8) & ~1u);
}

const Bytes& SmallDeviceBitmap() {
  static const Bytes bitmap = {'b', 'm', 0, 16, 0, 2, 0,    2,    1,    2,
                               0,   72,  0, 0,  0, 0, 0xF0, 0x0F, 0xAA, 0x55};
  return bitmap;
}

const Bytes& PlaceholderBitmap() {
  static const Bytes bitmap = {'b', 'm', 0, 0, 0, 0, 0, 2, 0, 2, 0, 72, 0, 0, 0, 0};
  return bitmap;
}

Bytes BmpImage(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel,
               const Bytes& table, const Bytes& rows, std::uint32_t resolution,
               std::uint32_t compression, const Bytes& masks) {
  Bytes image(54, 0);
  image[0] = 'B';
  image[1] = 'M';
  StoreLittleEndian32(&image[10], static_cast<std::uint32_t>(54 + masks.size() + table.size()));
  StoreLittleEndian32(&image[14], 40);
  StoreLittleEndian32(&image[18], static_cast<std::uint32_t>(width));
  StoreLittleEndian32(&image[22], static_cast<std::uint32_t>(height));
  StoreLittleEndian16(&image[26], 1);
  StoreLittleEndian16(&image[28], bitsPerPixel);
  StoreLittleEndian32(&image[30], compression);
  StoreLittleEndian32(&image[38], resolution);
  StoreLittleEndian32(&image[42], resolution);
  StoreLittleEndian32(&image[46], static_cast<std::uint32_t>(table.size() / 4));
  image.insert(image.end(), masks.begin(), masks.end());
  image.insert(image.end(), table.begin(), table.end());
  image.insert(image.end(), rows.begin(), rows.end());
  StoreLittleEndian32(&image[2], static_cast<std::uint32_t>(image.size()));
  return image;
}

std::uint32_t Bmp32(const Bytes& image, std::size_t offset) {
  return LoadLittleEndian32(image.data() + offset);
}

std::uint16_t Bmp16(const Bytes& image, std::size_t offset) {
  return LoadLittleEndian16(image.data() + offset);
}

}  // namespace kd::testing
