// Reading images in the BMP file layout, as pictures hold them.
#ifndef KDDAO_BITMAP_BMP_IMAGE_H_
#define KDDAO_BITMAP_BMP_IMAGE_H_

#include <cstdint>
#include <vector>

namespace kd {

// A view of a BMP image's parts; the pointers point into the image's bytes.
struct BmpView {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool topDown = false;  // rows stored top row first (a negative height)
  std::uint16_t bitsPerPixel = 0;
  std::uint32_t tableEntries = 0;  // colour table entries present (4 bytes each)
  const std::uint8_t* table = nullptr;
  const std::uint8_t* bits = nullptr;
  std::uint64_t stride = 0;  // bytes per row
  std::int32_t horizontalResolution = 0;
  std::int32_t verticalResolution = 0;
};

// Parses an uncompressed BMP image (1, 4, 8, 16, 24 or 32 bits per pixel,
// information header of 40 bytes or longer), checking that its colour table
// and rows lie within `bytes`. False for anything else.
bool ParseBmp(const std::vector<std::uint8_t>& bytes, BmpView* view);
inline bool IsSupportedBmp(const std::vector<std::uint8_t>& bytes) {
  BmpView view;
  return ParseBmp(bytes, &view);
}

// A picture's pixels as the platform's graphics services deliver them to the
// device bitmap encoder: 1 bit stays 1; up to 4 bits give 4; up to 8 give 8;
// up to 24 give 24 (16-bit 5-5-5 pixels widened); 32 stay 32; a full colour
// table of 2^bits entries below 24 bits; rows bottom-up; resolution 100 x 200
// (so the encoder makes density 72). Raises 10026 "Corrupted bitmap." when
// `bmp` is not an image ParseBmp takes.
std::vector<std::uint8_t> PictureBits(const std::vector<std::uint8_t>& bmp);

}  // namespace kd

#endif  // KDDAO_BITMAP_BMP_IMAGE_H_
