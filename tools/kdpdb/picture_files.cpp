#include "tools/kdpdb/picture_files.h"

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "bitmap/device_bitmap.h"

namespace kdpdb {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitFields = 3;
constexpr std::int32_t kPixelsPerMeter72Dpi = 2835;

std::uint16_t Le16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void PutLe16(Bytes& b, std::size_t at, std::uint32_t value) {
  b[at] = static_cast<std::uint8_t>(value);
  b[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLe32(Bytes& b, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t Stride(std::uint32_t width, std::uint32_t bitsPerPixel) {
  return (static_cast<std::uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
}

[[noreturn]] void NotBmp(const std::string& why) {
  throw ToolError("not a BMP image this tool reads: " + why);
}

// One colour channel of a bit-field pixel, scaled to 8 bits.
std::uint8_t Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0)
    ++shift;
  std::uint32_t max = mask >> shift;
  return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / max);
}

// The parts of a BMP image, checked against its length.
struct ParsedBmp {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool topDown = false;
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t masks[3] = {0, 0, 0};
  std::uint32_t tableEntries = 0;
  const std::uint8_t* table = nullptr;  // blue, green, red, 0
  const std::uint8_t* bits = nullptr;
  std::uint64_t stride = 0;

  // Start of stored row `y`, counting from the top.
  const std::uint8_t* Row(std::uint32_t y) const {
    return bits + stride * (topDown ? y : height - 1 - y);
  }
  // Colour-table index of pixel `x` of an indexed row.
  std::uint32_t Index(const std::uint8_t* row, std::uint32_t x) const {
    std::uint32_t bit = x * bitsPerPixel;
    std::uint32_t shift = 8 - bitsPerPixel - bit % 8;
    return (row[bit / 8] >> shift) & ((1u << bitsPerPixel) - 1);
  }
};

ParsedBmp ParseBmp(const Bytes& bmp) {
  if (bmp.size() < kFileHeaderSize + kInfoHeaderSize || bmp[0] != 'B' || bmp[1] != 'M') {
    NotBmp("no BMP file header");
  }
  ParsedBmp image;
  const std::uint32_t bitsOffset = Le32(bmp, 10);
  const std::uint32_t infoSize = Le32(bmp, 14);
  const auto width = static_cast<std::int32_t>(Le32(bmp, 18));
  const auto height = static_cast<std::int32_t>(Le32(bmp, 22));
  image.bitsPerPixel = Le16(bmp, 28);
  const std::uint32_t compression = Le32(bmp, 30);
  const std::uint32_t colorsUsed = Le32(bmp, 46);
  if (infoSize < kInfoHeaderSize || kFileHeaderSize + std::uint64_t{infoSize} > bmp.size()) {
    NotBmp("information header of " + std::to_string(infoSize) + " bytes");
  }
  if (width <= 0 || height == 0 || height == INT32_MIN) NotBmp("no pixels");
  image.width = static_cast<std::uint32_t>(width);
  image.topDown = height < 0;
  image.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
  if (image.width > kMaxPictureSide || image.height > kMaxPictureSide) {
    NotBmp(std::to_string(image.width) + " x " + std::to_string(image.height) +
           " pixels is too large");
  }
  switch (image.bitsPerPixel) {
    case 1:
    case 4:
    case 8:
      if (compression != kBiRgb) NotBmp("compressed pixels");
      break;
    case 16:
    case 32:
      if (compression == kBiBitFields) {
        if (kFileHeaderSize + kInfoHeaderSize + 12 > bmp.size()) NotBmp("no bit-field masks");
        for (int i = 0; i < 3; ++i)
          image.masks[i] = Le32(bmp, kFileHeaderSize + kInfoHeaderSize + 4 * i);
      } else if (compression == kBiRgb && image.bitsPerPixel == 16) {
        image.masks[0] = 0x7C00;
        image.masks[1] = 0x03E0;
        image.masks[2] = 0x001F;
      } else if (compression == kBiRgb) {
        image.masks[0] = 0xFF0000;
        image.masks[1] = 0x00FF00;
        image.masks[2] = 0x0000FF;
      } else {
        NotBmp("compressed pixels");
      }
      break;
    case 24:
      if (compression != kBiRgb) NotBmp("compressed pixels");
      break;
    default:
      NotBmp(std::to_string(image.bitsPerPixel) + " bits per pixel");
  }
  if (image.bitsPerPixel <= 8) {
    const std::uint32_t full = 1u << image.bitsPerPixel;
    image.tableEntries = colorsUsed == 0 || colorsUsed > full ? full : colorsUsed;
    const std::uint64_t tableOffset = kFileHeaderSize + std::uint64_t{infoSize};
    if (tableOffset + 4ull * image.tableEntries > bmp.size()) NotBmp("colour table cut short");
    image.table = bmp.data() + tableOffset;
  }
  image.stride = Stride(image.width, image.bitsPerPixel);
  if (std::uint64_t{bitsOffset} + image.stride * image.height > bmp.size()) {
    NotBmp("pixel rows cut short");
  }
  image.bits = bmp.data() + bitsOffset;
  return image;
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

Bytes BmpHeaders(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel,
                 std::uint32_t tableEntries) {
  const std::uint32_t bitsOffset = kFileHeaderSize + kInfoHeaderSize + 4 * tableEntries;
  const auto imageSize = static_cast<std::uint32_t>(Stride(width, bitsPerPixel) * height);
  Bytes bmp(bitsOffset + imageSize, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  PutLe32(bmp, 2, static_cast<std::uint32_t>(bmp.size()));
  PutLe32(bmp, 10, bitsOffset);
  PutLe32(bmp, 14, kInfoHeaderSize);
  PutLe32(bmp, 18, width);
  PutLe32(bmp, 22, height);
  PutLe16(bmp, 26, 1);
  PutLe16(bmp, 28, bitsPerPixel);
  PutLe32(bmp, 30, kBiRgb);
  PutLe32(bmp, 34, imageSize);
  PutLe32(bmp, 38, kPixelsPerMeter72Dpi);
  PutLe32(bmp, 42, kPixelsPerMeter72Dpi);
  PutLe32(bmp, 46, tableEntries);
  return bmp;
}

}  // namespace

RgbImage DecodeBmp(const Bytes& bmp) {
  const ParsedBmp parsed = ParseBmp(bmp);
  RgbImage image;
  image.width = parsed.width;
  image.height = parsed.height;
  image.rgb.resize(std::size_t{3} * parsed.width * parsed.height);
  std::uint8_t* out = image.rgb.data();
  for (std::uint32_t y = 0; y < parsed.height; ++y) {
    const std::uint8_t* row = parsed.Row(y);
    for (std::uint32_t x = 0; x < parsed.width; ++x, out += 3) {
      if (parsed.bitsPerPixel <= 8) {
        std::uint32_t index = parsed.Index(row, x);
        if (index >= parsed.tableEntries) index = 0;  // as viewers show it
        const std::uint8_t* entry = parsed.table + 4 * index;
        out[0] = entry[2];
        out[1] = entry[1];
        out[2] = entry[0];
      } else if (parsed.bitsPerPixel == 24) {
        const std::uint8_t* pixel = row + 3 * x;
        out[0] = pixel[2];
        out[1] = pixel[1];
        out[2] = pixel[0];
      } else {
        std::uint32_t pixel = 0;
        const std::uint32_t bytes = parsed.bitsPerPixel / 8;
        for (std::uint32_t k = 0; k < bytes; ++k)
          pixel |= static_cast<std::uint32_t>(row[bytes * x + k]) << (8 * k);
        for (int c = 0; c < 3; ++c)
          out[c] = Channel(pixel, parsed.masks[c]);
      }
    }
  }
  return image;
}

Bytes BmpToPng(const Bytes& bmp) {
  const ParsedBmp parsed = ParseBmp(bmp);
  PngImage png;
  png->width = parsed.width;
  png->height = parsed.height;
  if (parsed.bitsPerPixel > 8) {
    const RgbImage rgb = DecodeBmp(bmp);
    png->format = PNG_FORMAT_RGB;
    return WritePng(png, rgb.rgb.data(), nullptr);
  }
  // Indexed: one byte an index, the colour table as the PNG palette (libpng
  // packs the indexes as tightly as the palette's length allows).
  Bytes indexes(std::size_t{parsed.width} * parsed.height);
  for (std::uint32_t y = 0; y < parsed.height; ++y) {
    const std::uint8_t* row = parsed.Row(y);
    for (std::uint32_t x = 0; x < parsed.width; ++x) {
      std::uint32_t index = parsed.Index(row, x);
      indexes[std::size_t{y} * parsed.width + x] =
          static_cast<std::uint8_t>(index < parsed.tableEntries ? index : 0);
    }
  }
  Bytes palette(3 * std::size_t{parsed.tableEntries});
  for (std::uint32_t i = 0; i < parsed.tableEntries; ++i) {
    palette[3 * i] = parsed.table[4 * i + 2];
    palette[3 * i + 1] = parsed.table[4 * i + 1];
    palette[3 * i + 2] = parsed.table[4 * i];
  }
  png->format = PNG_FORMAT_RGB_COLORMAP;
  png->colormap_entries = parsed.tableEntries;
  return WritePng(png, indexes.data(), palette.data());
}

RgbImage DecodePng(const Bytes& bytes) {
  PngImage png;
  if (!png_image_begin_read_from_memory(png.get(), bytes.data(), bytes.size())) {
    png.Fail("not a PNG image this tool reads");
  }
  if (png->width == 0 || png->height == 0 || png->width > kMaxPictureSide ||
      png->height > kMaxPictureSide) {
    throw ToolError("a PNG image of " + std::to_string(png->width) + " x " +
                    std::to_string(png->height) + " pixels is too large");
  }
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
  Bytes bmp = BmpHeaders(image.width, image.height, 24, 0);
  const std::uint64_t stride = Stride(image.width, 24);
  const std::size_t bitsOffset = Le32(bmp, 10);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    std::uint8_t* row = bmp.data() + bitsOffset + stride * (image.height - 1 - y);
    const std::uint8_t* in = image.rgb.data() + std::size_t{3} * image.width * y;
    for (std::uint32_t x = 0; x < image.width; ++x) {
      row[3 * x] = in[3 * x + 2];
      row[3 * x + 1] = in[3 * x + 1];
      row[3 * x + 2] = in[3 * x];
    }
  }
  return bmp;
}

Bytes EncodeIndexedBmp(const RgbImage& image, int bitsPerPixel, const std::uint8_t* table,
                       int tableEntries, int usableEntries) {
  Bytes bmp = BmpHeaders(image.width, image.height, static_cast<std::uint32_t>(bitsPerPixel),
                         static_cast<std::uint32_t>(tableEntries));
  std::copy(table, table + 4 * tableEntries, bmp.begin() + kFileHeaderSize + kInfoHeaderSize);
  const std::uint64_t stride = Stride(image.width, static_cast<std::uint32_t>(bitsPerPixel));
  const std::size_t bitsOffset = Le32(bmp, 10);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    std::uint8_t* row = bmp.data() + bitsOffset + stride * (image.height - 1 - y);
    const std::uint8_t* in = image.rgb.data() + std::size_t{3} * image.width * y;
    for (std::uint32_t x = 0; x < image.width; ++x) {
      const std::uint8_t bgr[3] = {in[3 * x + 2], in[3 * x + 1], in[3 * x]};
      const auto index =
          static_cast<std::uint32_t>(kd::NearestPaletteIndex(bgr, table, usableEntries));
      const std::uint32_t bit = x * static_cast<std::uint32_t>(bitsPerPixel);
      const std::uint32_t shift = 8 - static_cast<std::uint32_t>(bitsPerPixel) - bit % 8;
      row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | (index << shift));
    }
  }
  return bmp;
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
