// Pictures as bytes, for tests: device bitmaps (big-endian header) and BMP
// images (little-endian headers), built and read back field by field.
#ifndef KDDAO_TESTING_BITMAP_IMAGES_H_
#define KDDAO_TESTING_BITMAP_IMAGES_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kd::testing {

using Bytes = std::vector<std::uint8_t>;

// A device bitmap header followed by `rows`:
//   0 signature (2)  2 width  4 height  6 rowBytes  8 depth  9 version
//  10 density  12 reserved (4)  16 rows
Bytes DeviceBitmap(std::uint16_t width, std::uint16_t height, std::uint16_t rowBytes,
                   std::uint8_t depth, std::uint16_t density, const Bytes& rows,
                   std::uint32_t reserved = 0, const char* signature = "bm",
                   std::uint8_t version = 2);

// The bytes of a row of `columns` pixels at `depth` bits, rounded up to words.
std::uint16_t DeviceRowBytes(std::uint32_t columns, std::uint32_t depth);

// A 16 x 2 device bitmap at 1 bit per pixel and density 72 (rows F0 0F, AA 55).
const Bytes& SmallDeviceBitmap();
// The bitmap stored for a Bitmap field without a picture: 0 x 0 pixels.
const Bytes& PlaceholderBitmap();

// A BMP image: file and information headers, `masks` (with compression 3),
// `table` (4 bytes an entry; their count is the colours used), then `rows` as
// given (bottom row first unless the height is negative, each already padded
// to a multiple of 4 bytes).
Bytes BmpImage(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel,
               const Bytes& table, const Bytes& rows, std::uint32_t resolution = 720,
               std::uint32_t compression = 0, const Bytes& masks = {});

// Little-endian fields of a BMP image.
std::uint32_t Bmp32(const Bytes& image, std::size_t offset);
std::uint16_t Bmp16(const Bytes& image, std::size_t offset);

}  // namespace kd::testing

#endif  // KDDAO_TESTING_BITMAP_IMAGES_H_
