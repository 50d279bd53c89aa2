// kdpdb's picture files: images in the BMP file layout (what the library's
// pictures hold) to and from PNG files (through libpng), and the colour
// reduction that gives a device bitmap a chosen depth.
#ifndef KDDAO_TOOLS_KDPDB_PICTURE_FILES_H_
#define KDDAO_TOOLS_KDPDB_PICTURE_FILES_H_

#include <cstdint>

#include "tools/kdpdb/values.h"

namespace kdpdb {

// Pixels as 8-bit red, green, blue, the top row first.
struct RgbImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  Bytes rgb;
};

// Pictures of more pixels than this are refused, whatever their shape (16 x
// 31,991 and 1000 x 1000 are taken): a bound on what a picture file may make
// the tool hold (64 MiB of pixels), far above anything a hand-held shows. A
// device bitmap file may be larger than a Bitmap field holds (63,999 bytes);
// the field refuses such a value when it is stored.
constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{4096} * 4096;

// The pixels of an uncompressed BMP image of 1, 4, 8, 16, 24 or 32 bits per
// pixel (16 and 32 with or without bit-field masks) of at most
// kMaxPicturePixels pixels. Raises ToolError for anything else.
RgbImage DecodeBmp(const Bytes& bmp);

// A BMP image as a PNG file: an indexed PNG with the image's colour table at 1,
// 4 and 8 bits per pixel, 8-bit RGB otherwise. Raises ToolError as DecodeBmp,
// and when libpng fails.
Bytes BmpToPng(const Bytes& bmp);

// The pixels of a PNG file of any kind of at most kMaxPicturePixels pixels;
// transparent pixels are laid over white. Raises ToolError with libpng's
// message, or naming the size.
RgbImage DecodePng(const Bytes& png);

// A bottom-up 24-bit BMP image of `image`.
Bytes EncodeBmp24(const RgbImage& image);

// A bottom-up indexed BMP image of `image` at `bitsPerPixel` (1, 4 or 8) with
// the colour table `table` (`tableEntries` entries of blue, green, red, 0):
// each pixel takes the nearest of the first `usableEntries` entries.
Bytes EncodeIndexedBmp(const RgbImage& image, int bitsPerPixel, const std::uint8_t* table,
                       int tableEntries, int usableEntries);

// The BMP image of `image` that the device bitmap encoder turns into a
// bitmap of `depth` bits (1, 2, 4 or 8 with the device's colour tables, 16
// from 24-bit pixels). Raises ToolError for other depths.
Bytes BmpForDepth(const RgbImage& image, int depth);

}  // namespace kdpdb

#endif  // KDDAO_TOOLS_KDPDB_PICTURE_FILES_H_
