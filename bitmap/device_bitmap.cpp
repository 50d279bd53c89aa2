#include "bitmap/device_bitmap.h"

#include <climits>
#include <cstring>

#include "foundation/byte_order.h"
#include "foundation/errors.h"

namespace kd {

namespace {

// BMP layout: BITMAPFILEHEADER then BITMAPINFOHEADER, little-endian.
//
//   OFFSET  SIZE  FIELD
//        0     2  type "BM"
//        2     4  file size
//        6     4  two reserved words
//       10     4  offset of the bits
//       14     4  header size (40)
//       18     4  width
//       22     4  height (positive: rows bottom-up)
//       26     2  planes (1)
//       28     2  bits per pixel
//       30     4  compression (0)
//       34     4  image size
//       38     4  horizontal resolution
//       42     4  vertical resolution
//       46     4  colours used
//       50     4  important colours
//       54     *  colour table, then the rows
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
constexpr std::uint32_t kDeviceHeaderSize = 16;

[[noreturn]] void RaiseBitmapError() {
  throw CErr(kBitmapErrorText);
}
[[noreturn]] void RaiseConversionError() {
  throw CErr(kMsgBitmapConversionFailed);
}

void Put16(std::uint8_t* p, std::uint32_t v) {
  StoreLittleEndian16(p, static_cast<std::uint16_t>(v));
}

// Bytes of one BMP row of `columns` pixels at `bitsPerPixel`, padded to 4.
std::uint64_t BmpStride(std::uint64_t columns, std::uint32_t bitsPerPixel) {
  return (columns * bitsPerPixel + 31) / 32 * 4;
}

struct DepthFormat {
  std::uint32_t depth;
  std::uint32_t bitsPerPixel;  // of the image
  std::uint32_t coloursUsed;
  const std::uint8_t* table;
  std::uint32_t tableEntries;
};

const DepthFormat* FormatOfDepth(std::uint32_t depth) {
  static const DepthFormat kFormats[] = {
      {1, 1, 2, Palette1Bit.data(), 2},
      {2, 4, 4, Palette2BitPadded.data(), 16},
      {4, 4, 16, Palette4Bit.data(), 16},
      {8, 8, 256, Palette8Bit.data(), 256},
      {16, 24, 0, nullptr, 0},
  };
  for (const DepthFormat& format : kFormats) {
    if (format.depth == depth) return &format;
  }
  return nullptr;
}

// Converts one device row into image row bytes.
void ConvertRowToImage(std::uint32_t depth, const std::uint8_t* row, std::uint32_t rowBytes,
                       std::uint8_t* out) {
  switch (depth) {
    case 2:
      for (std::uint32_t i = 0; i < rowBytes; ++i) {
        std::uint8_t b = row[i];
        out[2 * i] = static_cast<std::uint8_t>(((b >> 6) & 3) * 16 + ((b >> 4) & 3));
        out[2 * i + 1] = static_cast<std::uint8_t>(((b >> 2) & 3) * 16 + (b & 3));
      }
      return;
    case 16:
      for (std::uint32_t i = 0; i < rowBytes / 2; ++i) {
        std::uint16_t pixel = LoadBigEndian16(row + 2 * i);
        out[3 * i] = static_cast<std::uint8_t>((pixel & 0x1F) * 8);              // blue
        out[3 * i + 1] = static_cast<std::uint8_t>(((pixel >> 5) & 0x3F) * 4);   // green
        out[3 * i + 2] = static_cast<std::uint8_t>(((pixel >> 11) & 0x1F) * 8);  // red
      }
      return;
    default:
      std::memcpy(out, row, rowBytes);
  }
}

std::uint32_t ConvertedRowLength(std::uint32_t depth, std::uint32_t rowBytes) {
  if (depth == 2) return 2 * rowBytes;
  if (depth == 16) return rowBytes / 2 * 3;
  return rowBytes;
}

}  // namespace

bool PaletteEquals(const std::uint8_t* a, const std::uint8_t* b, int count) {
  for (int i = 0; i < count; ++i) {
    if (std::memcmp(a + 4 * i, b + 4 * i, 3) != 0) return false;
  }
  return true;
}

int NearestPaletteIndex(const std::uint8_t* colour, const std::uint8_t* table, int count) {
  int best = INT_MAX;
  int bestIndex = 0;
  for (int i = 0; i < count; ++i) {
    int blue = colour[0] - table[4 * i];
    int green = colour[1] - table[4 * i + 1];
    int red = colour[2] - table[4 * i + 2];
    int distance = red * red + green * green + blue * blue;
    if (distance == 0) return i;
    if (distance < best) {
      best = distance;
      bestIndex = i;
    }
  }
  return bestIndex;
}

void DeviceBitmapToDib(CMemFile& source, CMemFile& target) {
  // The signature test is loose: either byte may be the "m".
  source.SetBigEndian(true);
  if (source.GetSize() < kDeviceHeaderSize) RaiseBitmapError();
  std::uint8_t signature[2];
  source.Read(signature, 2);
  if (signature[0] != 0x6D && signature[1] != 0x6D) RaiseBitmapError();
  std::uint16_t width, height, rowBytes, density;
  std::uint8_t depth, version;
  std::uint32_t reserved;
  source >> width >> height >> rowBytes >> depth >> version;
  if (version != 2) RaiseBitmapError();
  source >> density >> reserved;

  const std::uint32_t columns = static_cast<std::uint32_t>(width) * density / 72;
  const std::uint32_t rows = static_cast<std::uint32_t>(height) * density / 72;
  const DepthFormat* format = FormatOfDepth(depth);
  if (format == nullptr) RaiseBitmapError();
  // The header must not ask for more than the array holds, and each row must
  // hold the pixels of the row.
  if (kDeviceHeaderSize + static_cast<std::uint64_t>(rows) * rowBytes > source.GetSize() ||
      static_cast<std::uint64_t>(rowBytes) * 8 < static_cast<std::uint64_t>(columns) * depth) {
    RaiseBitmapError();
  }

  // Every image row has the stride that its width implies; what a device row
  // holds beyond it is dropped.
  const std::uint64_t stride = BmpStride(columns, format->bitsPerPixel);
  if (kHeadersSize + 4ull * format->tableEntries + stride * rows > 0x7FFFFF00u) RaiseBitmapError();
  target.Seek(kHeadersSize);
  target.Write(format->table, 4 * format->tableEntries);
  const std::uint32_t bitsOffset = target.GetPosition();

  std::vector<std::uint8_t> converted(ConvertedRowLength(depth, rowBytes) + stride);
  const std::uint8_t* bits = source.GetBuffer() + kDeviceHeaderSize;
  for (std::uint32_t r = rows; r-- > 0;) {
    std::fill(converted.begin(), converted.end(), 0);
    ConvertRowToImage(depth, bits + static_cast<std::size_t>(r) * rowBytes, rowBytes,
                      converted.data());
    target.Write(converted.data(), static_cast<std::uint32_t>(stride));
  }

  const std::uint32_t fileSize = target.GetPosition();
  target.Seek(fileSize);
  target.Truncate();
  std::uint8_t headers[kHeadersSize] = {'B', 'M'};
  StoreLittleEndian32(headers + 2, fileSize);
  StoreLittleEndian32(headers + 10, bitsOffset);
  StoreLittleEndian32(headers + 14, kInfoHeaderSize);
  StoreLittleEndian32(headers + 18, columns);
  StoreLittleEndian32(headers + 22, rows);
  Put16(headers + 26, 1);
  Put16(headers + 28, format->bitsPerPixel);
  StoreLittleEndian32(headers + 38, density * 10u);
  StoreLittleEndian32(headers + 42, density * 10u);
  StoreLittleEndian32(headers + 46, format->coloursUsed);
  target.Seek(0);
  target.Write(headers, kHeadersSize);
  target.Seek(0);
}

void DibToDeviceBitmap(CMemFile& source, CMemFile& target) {
  const std::uint32_t size = source.GetSize();
  if (size < kHeadersSize) RaiseConversionError();
  const std::uint8_t* image = source.GetBuffer();
  const std::uint32_t bitsOffset = LoadLittleEndian32(image + 10);
  const std::uint32_t imageWidth = LoadLittleEndian32(image + 18);
  const std::uint32_t imageHeight = LoadLittleEndian32(image + 22);
  const std::uint16_t planes = LoadLittleEndian16(image + 26);
  const std::uint16_t bitsPerPixel = LoadLittleEndian16(image + 28);
  const std::uint32_t compression = LoadLittleEndian32(image + 30);
  const std::uint32_t resolution = LoadLittleEndian32(image + 38);
  if (image[0] != 'B' || image[1] != 'M' || bitsOffset > 32767 || compression != 0 || planes != 1) {
    RaiseConversionError();
  }
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 &&
      bitsPerPixel != 32) {
    RaiseConversionError();  // never an index map beyond 256 entries
  }

  // Depth and mode: the colour tables that the decoder writes come back as
  // their own depth, copied; anything else is converted.
  const std::uint8_t* table = image + kHeadersSize;
  const std::uint32_t tableEntries = bitsPerPixel <= 8 ? 1u << bitsPerPixel : 0;
  if (kHeadersSize + 4ull * tableEntries > size) RaiseConversionError();
  std::uint32_t depth = 8;
  bool copy = false;
  if (bitsPerPixel >= 24) {
    depth = 16;
  } else if (bitsPerPixel == 1 && PaletteEquals(table, Palette1Bit.data(), 2)) {
    depth = 1;
    copy = true;
  } else if (bitsPerPixel == 4 && PaletteEquals(table, Palette2BitPadded.data(), 16)) {
    depth = 2;
    copy = true;
  } else if (bitsPerPixel == 4 && PaletteEquals(table, Palette4Bit.data(), 16)) {
    depth = 4;
    copy = true;
  } else if (bitsPerPixel == 8 && PaletteEquals(table, Palette8Bit.data(), 256)) {
    copy = true;
  }

  const std::uint32_t columns = imageWidth & 0xFFFF;
  const std::uint32_t rows = imageHeight & 0xFFFF;
  const std::uint32_t rowBytes = ((columns * depth + 15) / 8) & ~1u;
  std::uint32_t density = resolution / 10;
  if (density != 72 && density != 108 && density != 144 && density != 216 && density != 288) {
    density = 72;
  }
  const std::uint64_t stride = BmpStride(columns, bitsPerPixel);
  if (static_cast<std::uint64_t>(bitsOffset) + stride * rows > size) RaiseConversionError();
  if (rowBytes > 0xFFFF ||
      kDeviceHeaderSize + static_cast<std::uint64_t>(rowBytes) * rows > 0x7FFFFF00u) {
    RaiseConversionError();
  }

  target << std::uint8_t{'b'} << std::uint8_t{'m'}
         << static_cast<std::uint16_t>(columns * 72 / density)
         << static_cast<std::uint16_t>(rows * 72 / density) << static_cast<std::uint16_t>(rowBytes)
         << static_cast<std::uint8_t>(depth) << std::uint8_t{2}
         << static_cast<std::uint16_t>(density) << std::uint32_t{0xFFFFFFFF};
  target.Seek(kDeviceHeaderSize + rowBytes * rows);  // the rows, zero

  std::uint8_t map[256] = {};
  if (!copy && bitsPerPixel < 24) {
    for (std::uint32_t i = 0; i < tableEntries; ++i) {
      map[i] =
          static_cast<std::uint8_t>(NearestPaletteIndex(table + 4 * i, Palette8Bit.data(), 256));
    }
  }

  // The image's first (bottom) row is the device bitmap's last.
  for (std::uint32_t r = 0; r < rows; ++r) {
    const std::uint8_t* in = image + bitsOffset + r * stride;
    std::uint8_t* out = target.GetBuffer() + kDeviceHeaderSize + (rows - 1 - r) * rowBytes;
    if (copy && depth == 2) {
      for (std::uint32_t i = 0; i < rowBytes; ++i) {
        std::uint8_t a = in[2 * i];
        std::uint8_t b = in[2 * i + 1];
        out[i] = static_cast<std::uint8_t>(((a >> 4) & 3) * 64 + (a & 3) * 16 + ((b >> 4) & 3) * 4 +
                                           (b & 3));
      }
    } else if (copy) {
      std::memcpy(out, in, rowBytes);
    } else if (bitsPerPixel == 1) {
      for (std::uint32_t c = 0; c < columns; ++c)
        out[c] = map[(in[c / 8] >> (7 - c % 8)) & 1];
    } else if (bitsPerPixel == 4) {
      for (std::uint32_t c = 0; c < columns; ++c) {
        out[c] = map[c % 2 == 0 ? in[c / 2] >> 4 : in[c / 2] & 0x0F];
      }
    } else if (bitsPerPixel == 8) {
      for (std::uint32_t c = 0; c < columns; ++c)
        out[c] = map[in[c]];
    } else {
      const std::uint32_t step = bitsPerPixel / 8;
      for (std::uint32_t c = 0; c < rowBytes / 2; ++c) {
        std::uint8_t blue = in[c * step];
        std::uint8_t green = in[c * step + 1];
        std::uint8_t red = in[c * step + 2];
        out[2 * c] = static_cast<std::uint8_t>((red & 0xF8) + green / 32);
        out[2 * c + 1] = static_cast<std::uint8_t>(((green / 4) % 8) * 32 + blue / 8);
      }
    }
  }
}

std::vector<std::uint8_t> DeviceBitmapToBmp(const std::vector<std::uint8_t>& deviceBitmap) {
  CMemFile source;
  source.SetBigEndian(true);
  source.Reset();
  source.Write(deviceBitmap.data(), static_cast<std::uint32_t>(deviceBitmap.size()));
  source.Seek(0);
  CMemFile target;
  target.Reset();
  DeviceBitmapToDib(source, target);
  return std::vector<std::uint8_t>(target.GetBuffer(), target.GetBuffer() + target.GetSize());
}

std::vector<std::uint8_t> BmpToDeviceBitmap(const std::vector<std::uint8_t>& bmpImage) {
  CMemFile source;
  source.Reset();
  source.Write(bmpImage.data(), static_cast<std::uint32_t>(bmpImage.size()));
  source.Seek(0);
  CMemFile target;
  target.SetBigEndian(true);
  target.Reset();
  DibToDeviceBitmap(source, target);
  return std::vector<std::uint8_t>(target.GetBuffer(), target.GetBuffer() + target.GetPosition());
}

}  // namespace kd
