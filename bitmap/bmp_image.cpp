#include "bitmap/bmp_image.h"

#include <climits>
#include <cstring>
#include <type_traits>

#include "foundation/byte_order.h"
#include "foundation/errors.h"

namespace kd {

bool ReadBmpHeader(const std::uint8_t* bytes, std::size_t size, BmpHeader* header) {
  if (size < kBmpHeadersSize) return false;
  ForEachBmpField(*header, [bytes](std::size_t offset, std::size_t width, auto& field) {
    field = static_cast<std::remove_reference_t<decltype(field)>>(
        LoadLittleEndianN(bytes + offset, width));
  });
  return header->type == kBmpType;
}

std::uint8_t BmpChannel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0)
    ++shift;
  return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / (mask >> shift));
}

BmpFault ReadBmp(const std::vector<std::uint8_t>& bytes, const BmpRules& rules, BmpView* view) {
  *view = BmpView();
  const std::uint64_t size = bytes.size();
  const BmpHeader& h = view->header;
  if (!ReadBmpHeader(bytes.data(), bytes.size(), &view->header)) return BmpFault::kNoFileHeader;
  if (h.headerSize < kBmpInfoHeaderSize ||
      kBmpFileHeaderSize + std::uint64_t{h.headerSize} > size) {
    return BmpFault::kInfoHeader;
  }
  if (rules.strict && h.planes != 1) return BmpFault::kPlanes;
  if (h.width < 0 || h.height == INT32_MIN ||
      (!rules.emptyAllowed && (h.width == 0 || h.height == 0))) {
    return BmpFault::kNoPixels;
  }
  view->width = static_cast<std::uint32_t>(h.width);
  view->topDown = h.height < 0;
  view->height = static_cast<std::uint32_t>(h.height < 0 ? -h.height : h.height);
  if (view->width > rules.maxSide || view->height > rules.maxSide) return BmpFault::kTooLarge;

  const std::uint16_t bitsPerPixel = h.bitsPerPixel;
  switch (bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 24:
      if (h.compression != kBmpNoCompression) return BmpFault::kCompressed;
      break;
    case 16:
    case 32:
      if (h.compression == kBmpBitFields && rules.bitFieldsAllowed) {
        if (kBmpHeadersSize + 3 * 4 > size) return BmpFault::kNoMasks;
        for (int i = 0; i < 3; ++i)
          view->masks[i] = LoadLittleEndian32(bytes.data() + kBmpHeadersSize + 4 * i);
      } else if (h.compression != kBmpNoCompression) {
        return BmpFault::kCompressed;
      } else if (bitsPerPixel == 16) {  // 5-5-5
        view->masks[0] = 0x7C00;
        view->masks[1] = 0x03E0;
        view->masks[2] = 0x001F;
      } else {
        view->masks[0] = 0xFF0000;
        view->masks[1] = 0x00FF00;
        view->masks[2] = 0x0000FF;
      }
      break;
    default:
      return BmpFault::kBitsPerPixel;
  }

  if (bitsPerPixel <= 8) {
    const std::uint32_t full = 1u << bitsPerPixel;
    if (rules.strict && h.coloursUsed > full) return BmpFault::kColourCount;
    view->tableEntries = h.coloursUsed == 0 || h.coloursUsed > full ? full : h.coloursUsed;
    const std::uint64_t tableOffset = kBmpFileHeaderSize + std::uint64_t{h.headerSize};
    if (tableOffset + 4ull * view->tableEntries > size) return BmpFault::kTableCutShort;
    view->table = bytes.data() + tableOffset;
  }
  view->stride = BmpStride(view->width, bitsPerPixel);
  if (std::uint64_t{h.bitsOffset} + view->stride * view->height > size) {
    return BmpFault::kRowsCutShort;
  }
  view->bits = bytes.data() + h.bitsOffset;
  return BmpFault::kNone;
}

CBmpWriter::CBmpWriter(const BmpLayout& layout)
    : bitsOffset_(kBmpHeadersSize + 4ull * layout.tableEntries),
      stride_(BmpStride(layout.width, layout.bitsPerPixel)) {
  const std::uint64_t imageSize = stride_ * layout.height;
  image_.assign(static_cast<std::size_t>(bitsOffset_ + imageSize), 0);
  BmpHeader h;
  h.fileSize = static_cast<std::uint32_t>(image_.size());
  h.bitsOffset = static_cast<std::uint32_t>(bitsOffset_);
  h.width = static_cast<std::int32_t>(layout.width);
  h.height = static_cast<std::int32_t>(layout.height);
  h.bitsPerPixel = layout.bitsPerPixel;
  h.imageSize = layout.statesImageSize ? static_cast<std::uint32_t>(imageSize) : 0;
  h.horizontalResolution = layout.horizontalResolution;
  h.verticalResolution = layout.verticalResolution;
  h.coloursUsed = layout.coloursUsed;
  std::uint8_t* out = image_.data();
  ForEachBmpField(h, [out](std::size_t offset, std::size_t width, auto field) {
    StoreLittleEndianN(out + offset, static_cast<std::uint32_t>(field), width);
  });
}

BmpLayout PictureBitsLayout(std::uint32_t width, std::uint32_t height, std::uint16_t bitsPerPixel) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.bitsPerPixel = bitsPerPixel;
  layout.tableEntries = bitsPerPixel < 24 ? 1u << bitsPerPixel : 0;
  layout.coloursUsed = layout.tableEntries;
  layout.horizontalResolution = 100;
  layout.verticalResolution = 200;
  return layout;
}

const char* DescribeBmpFault(BmpFault fault) {
  switch (fault) {
    case BmpFault::kNone:
      return "";
    case BmpFault::kNoFileHeader:
      return "no image file header (\"BM\")";
    case BmpFault::kInfoHeader:
      return "the information header is shorter than 40 bytes or cut short";
    case BmpFault::kPlanes:
      return "more than one plane";
    case BmpFault::kNoPixels:
      return "no pixels (a width or height of 0)";
    case BmpFault::kTooLarge:
      return "a side longer than allowed";
    case BmpFault::kCompressed:
      return "compressed rows";
    case BmpFault::kBitsPerPixel:
      return "bits per pixel other than 1, 4, 8, 16, 24 or 32";
    case BmpFault::kNoMasks:
      return "the colour masks are cut short";
    case BmpFault::kColourCount:
      return "more colours used than the bits per pixel allow";
    case BmpFault::kTableCutShort:
      return "the colour table is cut short";
    case BmpFault::kRowsCutShort:
      return "the rows are cut short";
  }
  return "";
}

std::vector<std::uint8_t> PictureBits(const std::vector<std::uint8_t>& bmp) {
  BmpView view;
  const BmpFault fault = ReadBmp(bmp, kPictureBmpRules, &view);
  if (fault != BmpFault::kNone) {
    CErrX error(kMsgCorruptedBitmap);
    error.SetReason("%s", DescribeBmpFault(fault));
    throw error;
  }
  const std::uint16_t bitsIn = view.header.bitsPerPixel;
  CBmpWriter image(PictureBitsLayout(view.width, view.height, bitsIn == 16 ? 24 : bitsIn));
  if (view.tableEntries != 0) std::memcpy(image.Table(), view.table, 4ull * view.tableEntries);
  for (std::uint32_t r = 0; r < view.height; ++r) {
    const std::uint8_t* in = view.Row(view.height - 1 - r);
    std::uint8_t* out = image.Row(r);
    if (bitsIn == 16) {  // widened to 24 bits
      for (std::uint32_t c = 0; c < view.width; ++c) {
        const std::uint16_t pixel = LoadLittleEndian16(in + 2 * c);
        out[3 * c] = BmpChannel(pixel, view.masks[2]);
        out[3 * c + 1] = BmpChannel(pixel, view.masks[1]);
        out[3 * c + 2] = BmpChannel(pixel, view.masks[0]);
      }
    } else {
      std::memcpy(out, in, static_cast<std::size_t>(view.stride));
    }
  }
  return image.Take();
}

}  // namespace kd
