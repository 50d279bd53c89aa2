#include "bitmap/bmp_image.h"

#include <cstring>

#include "foundation/byte_order.h"
#include "foundation/errors.h"

namespace kd {

namespace {
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
}  // namespace

bool ParseBmp(const std::vector<std::uint8_t>& bytes, BmpView* view) {
  const std::uint64_t size = bytes.size();
  if (size < kFileHeaderSize + kInfoHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') return false;
  const std::uint8_t* p = bytes.data();
  const std::uint32_t bitsOffset = LoadLittleEndian32(p + 10);
  const std::uint32_t headerSize = LoadLittleEndian32(p + 14);
  const auto width = static_cast<std::int32_t>(LoadLittleEndian32(p + 18));
  const auto height = static_cast<std::int32_t>(LoadLittleEndian32(p + 22));
  const std::uint16_t planes = LoadLittleEndian16(p + 26);
  const std::uint16_t bitsPerPixel = LoadLittleEndian16(p + 28);
  const std::uint32_t compression = LoadLittleEndian32(p + 30);
  const std::uint32_t coloursUsed = LoadLittleEndian32(p + 46);
  if (headerSize < kInfoHeaderSize ||
      kFileHeaderSize + static_cast<std::uint64_t>(headerSize) > size || planes != 1 ||
      compression != 0 || width < 0 || width > 0xFFFF || height == INT32_MIN ||
      (height < 0 ? -height : height) > 0xFFFF) {
    return false;
  }
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 &&
      bitsPerPixel != 24 && bitsPerPixel != 32) {
    return false;
  }
  std::uint32_t tableEntries = 0;
  if (bitsPerPixel <= 8) {
    tableEntries = coloursUsed != 0 ? coloursUsed : 1u << bitsPerPixel;
    if (tableEntries > (1u << bitsPerPixel)) return false;
  }
  const std::uint64_t tableOffset = kFileHeaderSize + static_cast<std::uint64_t>(headerSize);
  if (tableOffset + 4ull * tableEntries > size) return false;
  view->width = static_cast<std::uint32_t>(width);
  view->height = static_cast<std::uint32_t>(height < 0 ? -height : height);
  view->topDown = height < 0;
  view->bitsPerPixel = bitsPerPixel;
  view->tableEntries = tableEntries;
  view->table = p + tableOffset;
  view->stride = (static_cast<std::uint64_t>(view->width) * bitsPerPixel + 31) / 32 * 4;
  if (static_cast<std::uint64_t>(bitsOffset) + view->stride * view->height > size) return false;
  view->bits = p + bitsOffset;
  view->horizontalResolution = static_cast<std::int32_t>(LoadLittleEndian32(p + 38));
  view->verticalResolution = static_cast<std::int32_t>(LoadLittleEndian32(p + 42));
  return true;
}

std::vector<std::uint8_t> PictureBits(const std::vector<std::uint8_t>& bmp) {
  BmpView view;
  if (!ParseBmp(bmp, &view)) throw CErrX(kMsgCorruptedBitmap);
  std::uint16_t bits = view.bitsPerPixel;
  if (bits == 16) bits = 24;
  const std::uint32_t tableEntries = bits < 24 ? 1u << bits : 0;
  const std::uint64_t stride = (static_cast<std::uint64_t>(view.width) * bits + 31) / 32 * 4;
  const std::uint64_t imageSize = stride * view.height;
  const std::uint64_t bitsOffset = kFileHeaderSize + kInfoHeaderSize + 4ull * tableEntries;
  std::vector<std::uint8_t> image(bitsOffset + imageSize, 0);
  std::uint8_t* p = image.data();
  p[0] = 'B';
  p[1] = 'M';
  StoreLittleEndian32(p + 2, static_cast<std::uint32_t>(image.size()));
  StoreLittleEndian32(p + 10, static_cast<std::uint32_t>(bitsOffset));
  StoreLittleEndian32(p + 14, kInfoHeaderSize);
  StoreLittleEndian32(p + 18, view.width);
  StoreLittleEndian32(p + 22, view.height);
  StoreLittleEndian16(p + 26, 1);
  StoreLittleEndian16(p + 28, bits);
  StoreLittleEndian32(p + 34, static_cast<std::uint32_t>(imageSize));
  StoreLittleEndian32(p + 38, 100);
  StoreLittleEndian32(p + 42, 200);
  StoreLittleEndian32(p + 46, tableEntries);
  std::memcpy(p + kFileHeaderSize + kInfoHeaderSize, view.table, 4ull * view.tableEntries);
  for (std::uint32_t r = 0; r < view.height; ++r) {
    const std::uint32_t source = view.topDown ? view.height - 1 - r : r;
    const std::uint8_t* in = view.bits + source * view.stride;
    std::uint8_t* out = p + bitsOffset + r * stride;
    if (view.bitsPerPixel == 16) {  // 5-5-5, widened to 24 bits
      for (std::uint32_t c = 0; c < view.width; ++c) {
        std::uint16_t pixel = LoadLittleEndian16(in + 2 * c);
        out[3 * c] = static_cast<std::uint8_t>((pixel & 0x1F) * 255 / 31);
        out[3 * c + 1] = static_cast<std::uint8_t>(((pixel >> 5) & 0x1F) * 255 / 31);
        out[3 * c + 2] = static_cast<std::uint8_t>(((pixel >> 10) & 0x1F) * 255 / 31);
      }
    } else {
      std::memcpy(out, in, view.stride);
    }
  }
  return image;
}

}  // namespace kd
