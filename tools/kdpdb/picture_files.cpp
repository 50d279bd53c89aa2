#include "tools/kdpdb/picture_files.h"

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "bitmap/bmp_image.h"
#include "bitmap/colour_matcher.h"
#include "bitmap/device_bitmap.h"
#include "foundation/byte_order.h"

namespace kdpdb {

namespace {

constexpr std::int32_t kPixelsPerMeter72Dpi = 2835;

// What the tool reads: images of any BMP kind, bit fields included, planes
// and colour counts as they come; no side longer than the most pixels taken.
constexpr kd::BmpRules kToolBmpRules = {static_cast<std::uint32_t>(kMaxPicturePixels), false, true,
                                        false};

// "W x H pixels is too large" for a picture of more than kMaxPicturePixels
// pixels, "" otherwise.
std::string SizeProblem(std::uint64_t width, std::uint64_t height) {
  if (width * height <= kMaxPicturePixels) return "";
  return std::to_string(width) + " x " + std::to_string(height) + " pixels is too large (at most " +
         std::to_string(kMaxPicturePixels) + " pixels)";
}

// The image in `bmp`, or ToolError naming why it is not one the tool reads.
kd::BmpView ReadToolBmp(const Bytes& bmp) {
  kd::BmpView view;
  const kd::BmpFault fault = kd::ReadBmp(bmp, kToolBmpRules, &view);
  std::string why;
  switch (fault) {
    case kd::BmpFault::kNone:
      why = SizeProblem(view.width, view.height);
      if (why.empty()) return view;
      break;
    case kd::BmpFault::kNoFileHeader:
      why = "no BMP file header";
      break;
    case kd::BmpFault::kInfoHeader:
      why = "information header of " + std::to_string(view.header.headerSize) + " bytes";
      break;
    case kd::BmpFault::kNoPixels:
      why = "no pixels";
      break;
    case kd::BmpFault::kTooLarge:
      why = SizeProblem(view.width, view.height);
      break;
    case kd::BmpFault::kCompressed:
      why = "compressed pixels";
      break;
    case kd::BmpFault::kBitsPerPixel:
      why = std::to_string(view.header.bitsPerPixel) + " bits per pixel";
      break;
    case kd::BmpFault::kNoMasks:
      why = "no bit-field masks";
      break;
    case kd::BmpFault::kTableCutShort:
      why = "colour table cut short";
      break;
    case kd::BmpFault::kRowsCutShort:
      why = "pixel rows cut short";
      break;
    case kd::BmpFault::kPlanes:  // neither is checked under the tool's rules
      why = std::to_string(view.header.planes) + " planes";
      break;
    case kd::BmpFault::kColourCount:
      why = std::to_string(view.header.coloursUsed) + " colours used";
      break;
  }
  throw ToolError("not a BMP image this tool reads: " + why);
}

// Colour-table index of pixel `x` of an indexed row; out-of-table indexes
// show the first colour, as viewers show them.
std::uint32_t IndexAt(const kd::BmpView& view, const std::uint8_t* row, std::uint32_t x) {
  const std::uint32_t index = kd::BmpPixelIndex(row, x, view.header.bitsPerPixel);
  return index < view.tableEntries ? index : 0;
}

// Frees what libpng's simplified interface holds, whatever happens.
class PngImage {
 public:
  PngImage() { image_.version = PNG_IMAGE_VERSION; }
  ~PngImage() { png_image_free(&image_); }
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;

  png_image* operator->() { return &image_; }
  png_image* get() { return &image_; }
  [[noreturn]] void Fail(const char* what) {
    throw ToolError(std::string(what) + ": " + image_.message);
  }

 private:
  png_image image_{};
};

Bytes WritePng(PngImage& image, const void* pixels, const void* colormap) {
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(image.get(), nullptr, &size, 0, pixels, 0, colormap)) {
    image.Fail("cannot make the PNG image");
  }
  Bytes png(size);
  if (!png_image_write_to_memory(image.get(), png.data(), &size, 0, pixels, 0, colormap)) {
    image.Fail("cannot make the PNG image");
  }
  png.resize(size);
  return png;
}

// A new bottom-up image of `image`'s size at 72 dots per inch.
kd::CBmpWriter NewBmp(const RgbImage& image, std::uint16_t bitsPerPixel,
                      std::uint32_t tableEntries) {
  kd::BmpLayout layout;
  layout.width = image.width;
  layout.height = image.height;
  layout.bitsPerPixel = bitsPerPixel;
  layout.tableEntries = tableEntries;
  layout.coloursUsed = tableEntries;
  layout.horizontalResolution = kPixelsPerMeter72Dpi;
  layout.verticalResolution = kPixelsPerMeter72Dpi;
  return kd::CBmpWriter(layout);
}

}  // namespace

RgbImage DecodeBmp(const Bytes& bmp) {
  const kd::BmpView view = ReadToolBmp(bmp);
  const std::uint16_t bitsPerPixel = view.header.bitsPerPixel;
  RgbImage image;
  image.width = view.width;
  image.height = view.height;
  image.rgb.resize(std::size_t{3} * view.width * view.height);
  std::uint8_t* out = image.rgb.data();
  for (std::uint32_t y = 0; y < view.height; ++y) {
    const std::uint8_t* row = view.Row(y);
    for (std::uint32_t x = 0; x < view.width; ++x, out += 3) {
      if (bitsPerPixel <= 8) {
        const std::uint8_t* entry = view.table + 4 * IndexAt(view, row, x);
        out[0] = entry[2];
        out[1] = entry[1];
        out[2] = entry[0];
      } else if (bitsPerPixel == 24) {
        const std::uint8_t* pixel = row + 3 * x;
        out[0] = pixel[2];
        out[1] = pixel[1];
        out[2] = pixel[0];
      } else {
        const std::uint32_t pixel = bitsPerPixel == 16 ? kd::LoadLittleEndian16(row + 2 * x)
                                                       : kd::LoadLittleEndian32(row + 4 * x);
        for (int c = 0; c < 3; ++c)
          out[c] = kd::BmpChannel(pixel, view.masks[c]);
      }
    }
  }
  return image;
}

Bytes BmpToPng(const Bytes& bmp) {
  const kd::BmpView view = ReadToolBmp(bmp);
  PngImage png;
  png->width = view.width;
  png->height = view.height;
  if (view.header.bitsPerPixel > 8) {
    const RgbImage rgb = DecodeBmp(bmp);
    png->format = PNG_FORMAT_RGB;
    return WritePng(png, rgb.rgb.data(), nullptr);
  }
  // Indexed: one byte an index, the colour table as the PNG palette (libpng
  // packs the indexes as tightly as the palette's length allows).
  Bytes indexes(std::size_t{view.width} * view.height);
  for (std::uint32_t y = 0; y < view.height; ++y) {
    const std::uint8_t* row = view.Row(y);
    for (std::uint32_t x = 0; x < view.width; ++x)
      indexes[std::size_t{y} * view.width + x] = static_cast<std::uint8_t>(IndexAt(view, row, x));
  }
  Bytes palette(3 * std::size_t{view.tableEntries});
  for (std::uint32_t i = 0; i < view.tableEntries; ++i) {
    palette[3 * i] = view.table[4 * i + 2];
    palette[3 * i + 1] = view.table[4 * i + 1];
    palette[3 * i + 2] = view.table[4 * i];
  }
  png->format = PNG_FORMAT_RGB_COLORMAP;
  png->colormap_entries = view.tableEntries;
  return WritePng(png, indexes.data(), palette.data());
}

RgbImage DecodePng(const Bytes& bytes) {
  PngImage png;
  if (!png_image_begin_read_from_memory(png.get(), bytes.data(), bytes.size())) {
    png.Fail("not a PNG image this tool reads");
  }
  const std::string tooLarge = SizeProblem(png->width, png->height);
  if (!tooLarge.empty()) throw ToolError("a PNG image of " + tooLarge);
  png->format = PNG_FORMAT_RGB;
  RgbImage image;
  image.width = png->width;
  image.height = png->height;
  image.rgb.resize(PNG_IMAGE_SIZE(*png.get()));
  png_color white = {255, 255, 255};
  if (!png_image_finish_read(png.get(), &white, image.rgb.data(), 0, nullptr)) {
    png.Fail("cannot read the PNG image");
  }
  return image;
}

Bytes EncodeBmp24(const RgbImage& image) {
  kd::CBmpWriter bmp = NewBmp(image, 24, 0);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    std::uint8_t* row = bmp.Row(image.height - 1 - y);
    const std::uint8_t* in = image.rgb.data() + std::size_t{3} * image.width * y;
    for (std::uint32_t x = 0; x < image.width; ++x) {
      row[3 * x] = in[3 * x + 2];
      row[3 * x + 1] = in[3 * x + 1];
      row[3 * x + 2] = in[3 * x];
    }
  }
  return bmp.Take();
}

Bytes EncodeIndexedBmp(const RgbImage& image, int bitsPerPixel, const std::uint8_t* table,
                       int tableEntries, int usableEntries) {
  const auto bits = static_cast<std::uint16_t>(bitsPerPixel);
  kd::CBmpWriter bmp = NewBmp(image, bits, static_cast<std::uint32_t>(tableEntries));
  std::copy(table, table + 4 * tableEntries, bmp.Table());
  // NearestPaletteIndex's answers; a run of one colour is matched once.
  kd::CColourMatcher matcher(table, usableEntries);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    std::uint8_t* row = bmp.Row(image.height - 1 - y);
    const std::uint8_t* in = image.rgb.data() + std::size_t{3} * image.width * y;
    std::uint32_t lastRgb = 0xFFFFFFFF;  // no colour
    std::uint32_t index = 0;
    for (std::uint32_t x = 0; x < image.width; ++x) {
      const std::uint32_t rgb =
          (std::uint32_t{in[3 * x]} << 16) | (in[3 * x + 1] << 8) | in[3 * x + 2];
      if (rgb != lastRgb) {
        index =
            static_cast<std::uint32_t>(matcher.Nearest(in[3 * x + 2], in[3 * x + 1], in[3 * x]));
        lastRgb = rgb;
      }
      kd::PutBmpPixelIndex(row, x, bits, index);
    }
  }
  return bmp.Take();
}

Bytes BmpForDepth(const RgbImage& image, int depth) {
  switch (depth) {
    case 1:
      return EncodeIndexedBmp(image, 1, kd::Palette1Bit.data(), 2, 2);
    case 2:
      return EncodeIndexedBmp(image, 4, kd::Palette2BitPadded.data(), 16, 4);
    case 4:
      return EncodeIndexedBmp(image, 4, kd::Palette4Bit.data(), 16, 16);
    case 8:
      return EncodeIndexedBmp(image, 8, kd::Palette8Bit.data(), 256, 256);
    case 16:
      return EncodeBmp24(image);
    default:
      throw ToolError("depth " + std::to_string(depth) + " is not 1, 2, 4, 8 or 16");
  }
}

}  // namespace kdpdb
