// The hand-held's device bitmap, and its conversion to and from the
// intermediate bitmap image in the BMP file layout.
//
// Device bitmap (all numbers big-endian):
//
//   OFFSET  SIZE  FIELD      MEANING
//        0     2  signature  "bm" (0x62 0x6D)
//        2     2  width      in standard units (one pixel at density 72)
//        4     2  height     in standard units
//        6     2  rowBytes   bytes per stored pixel row
//        8     1  depth      bits per pixel: 1, 2, 4, 8 or 16
//        9     1  version    2
//       10     2  density    72 x pixels per unit: 72, 108, 144, 216 or 288
//       12     4  reserved   ignored on reading; the encoder writes 0xFFFFFFFF
//       16     *  rows       top row first, rowBytes each; pixels packed most
//                            significant bits first; 16-bit pixels are 5-6-5
//
// Pixel columns = width x density / 72, pixel rows = height x density / 72
// (product first). Depths 1, 2, 4 and 8 index the fixed colour tables below.
//
// Intermediate image: BITMAPFILEHEADER (14 bytes), BITMAPINFOHEADER (40),
// colour table, rows bottom-up, each padded to a multiple of 4 bytes; all
// numbers little-endian.
#ifndef KDDAO_BITMAP_DEVICE_BITMAP_H_
#define KDDAO_BITMAP_DEVICE_BITMAP_H_

#include <array>
#include <cstdint>
#include <vector>

#include "foundation/stream.h"

namespace kd {

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
// target's position is at the end of the device bitmap. Raises the text of
// 10027 "Error occured while converting bitmap." for an image it cannot take.
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
