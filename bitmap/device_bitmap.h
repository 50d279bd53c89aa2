// The hand-held's device bitmap, and its conversion to and from the
// intermediate image in the BMP file layout (bmp_image.h).
//
// A device bitmap is its 16-byte header (below), then the rows: top row
// first, rowBytes each; pixels packed most significant bits first; 1, 2, 4
// and 8 bits index the fixed colour tables below; 16-bit pixels are 5-6-5,
// big-endian. Pixel columns = width x density / 72 and pixel rows = height x
// density / 72 (product first).
#ifndef KDDAO_BITMAP_DEVICE_BITMAP_H_
#define KDDAO_BITMAP_DEVICE_BITMAP_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/stream.h"

namespace kd {

constexpr std::size_t kDeviceBitmapHeaderSize = 16;
constexpr std::uint16_t kDeviceBitmapSignature = 0x626D;  // "bm"
constexpr std::uint8_t kDeviceBitmapVersion = 2;

struct DeviceBitmapHeader {
  std::uint16_t signature = kDeviceBitmapSignature;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint16_t rowBytes = 0;
  std::uint8_t depth = 0;
  std::uint8_t version = kDeviceBitmapVersion;
  std::uint16_t density = 0;
  std::uint32_t reserved = 0;
};

// The header's layout, as ReadDeviceBitmapHeader and DeviceBitmapHeaderBytes
// walk it: visit(OFFSET, SIZE, FIELD) for every field, in order. All integers
// are big-endian.
template <typename Header, typename Visit>
void ForEachDeviceBitmapField(Header& h, Visit&& visit) {
  //    OFFSET SIZE FIELD
  visit(0, 2, h.signature);  // "bm" (0x62 0x6D)
  visit(2, 2, h.width);      // in standard units (one pixel at density 72)
  visit(4, 2, h.height);     // in standard units
  visit(6, 2, h.rowBytes);   // bytes a stored row
  visit(8, 1, h.depth);      // bits per pixel: 1, 2, 4, 8 or 16
  visit(9, 1, h.version);    // 2
  visit(10, 2, h.density);   // 72 x pixels a unit: 72, 108, 144, 216 or 288
  visit(12, 4, h.reserved);  // ignored on reading; the encoder writes 0xFFFFFFFF
}

// The header at `bytes`, and the 16 bytes of a header. REQUIRES: 16 bytes at
// `bytes`.
DeviceBitmapHeader ReadDeviceBitmapHeader(const std::uint8_t* bytes);
std::array<std::uint8_t, kDeviceBitmapHeaderSize> DeviceBitmapHeaderBytes(
    const DeviceBitmapHeader& header);

// The whole length of the device bitmap a record holds: 16 + rowBytes x
// height x density / 72, the product taken first with rowBytes and height as
// signed 16-bit numbers and density unsigned, the quotient rounded toward
// zero. Below 16 when those numbers give a negative length.
std::int64_t DeviceBitmapLength(const DeviceBitmapHeader& header);

// The pixel columns and rows of the image (unsigned, product first).
inline std::uint32_t DevicePixelColumns(const DeviceBitmapHeader& header) {
  return std::uint32_t{header.width} * header.density / 72;
}
inline std::uint32_t DevicePixelRows(const DeviceBitmapHeader& header) {
  return std::uint32_t{header.height} * header.density / 72;
}

// Colour tables, 4 bytes an entry. Palette1Bit to Palette8Bit are in the BMP
// colour table order (blue, green, red, 0); Palette8BitRgb holds the colours
// of Palette8Bit as red, green, blue, 0.
extern const std::array<std::uint8_t, 2 * 4> Palette1Bit;
extern const std::array<std::uint8_t, 4 * 4> Palette2Bit;
extern const std::array<std::uint8_t, 16 * 4> Palette2BitPadded;
extern const std::array<std::uint8_t, 16 * 4> Palette4Bit;
extern const std::array<std::uint8_t, 256 * 4> Palette8Bit;
extern const std::array<std::uint8_t, 256 * 4> Palette8BitRgb;

// The text of the decoder's error (raised as a text error without a code).
constexpr const char* kBitmapErrorText = "bitmap error.";

// Decodes the device bitmap at position 0 of `source` (a big-endian memory
// stream) into the intermediate image in `target` (an empty memory stream).
// Raises "bitmap error." for a bad signature, version or depth, and for a
// header that asks for more bytes than `source` holds.
void DeviceBitmapToDib(CMemFile& source, CMemFile& target);

// Encodes the intermediate image at position 0 of `source` into a device
// bitmap in `target` (an empty big-endian memory stream); on return the
// target's position is at the end of the device bitmap. The colour table is
// taken at offset 54 with 2^bitsPerPixel entries, whatever the header size and
// colours used. Raises the text of 10027 "Error occured while converting
// bitmap." for an image it cannot take: no "BM", bits past offset 32767,
// compressed, planes other than 1, bits per pixel other than 1, 4, 8, 24 or
// 32, or a colour table or rows past the end.
void DibToDeviceBitmap(CMemFile& source, CMemFile& target);

// Whether the first `count` entries of two colour tables agree in their first
// three bytes; true for count <= 0.
bool PaletteEquals(const std::uint8_t* a, const std::uint8_t* b, int count);

// The entry of `table` (`count` entries) nearest to `colour` (blue, green, red)
// by squared distance; the lowest index wins ties; 0 for count <= 0.
int NearestPaletteIndex(const std::uint8_t* colour, const std::uint8_t* table, int count);

// Byte-vector forms of the two conversions.
std::vector<std::uint8_t> DeviceBitmapToBmp(const std::vector<std::uint8_t>& deviceBitmap);
std::vector<std::uint8_t> BmpToDeviceBitmap(const std::vector<std::uint8_t>& bmpImage);

}  // namespace kd

#endif  // KDDAO_BITMAP_DEVICE_BITMAP_H_
