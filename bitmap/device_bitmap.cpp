#include "bitmap/device_bitmap.h"

#include <climits>
#include <cstring>
#include <type_traits>

#include "bitmap/bitmap_errors.h"
#include "bitmap/bmp_image.h"
#include "foundation/byte_order.h"
#include "foundation/errors.h"

namespace kd {

namespace {

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

DeviceBitmapHeader ReadDeviceBitmapHeader(const std::uint8_t* bytes) {
  DeviceBitmapHeader header;
  ForEachDeviceBitmapField(header, [bytes](std::size_t offset, std::size_t size, auto& field) {
    field =
        static_cast<std::remove_reference_t<decltype(field)>>(LoadBigEndianN(bytes + offset, size));
  });
  return header;
}

std::array<std::uint8_t, kDeviceBitmapHeaderSize> DeviceBitmapHeaderBytes(
    const DeviceBitmapHeader& header) {
  std::array<std::uint8_t, kDeviceBitmapHeaderSize> bytes{};
  ForEachDeviceBitmapField(header, [&bytes](std::size_t offset, std::size_t size, auto field) {
    StoreBigEndianN(bytes.data() + offset, field, size);
  });
  return bytes;
}

std::int64_t DeviceBitmapLength(const DeviceBitmapHeader& header) {
  const auto rowBytes = static_cast<std::int16_t>(header.rowBytes);
  const auto height = static_cast<std::int16_t>(header.height);
  return std::int64_t{kDeviceBitmapHeaderSize} +
         std::int64_t{rowBytes} * height * header.density / 72;
}

void DeviceBitmapToDib(CMemFile& source, CMemFile& target) {
  if (source.GetSize() < kDeviceBitmapHeaderSize) {
    RaiseBitmapError("%u bytes, fewer than the %zu of a header", source.GetSize(),
                     kDeviceBitmapHeaderSize);
  }
  std::uint8_t headerBytes[kDeviceBitmapHeaderSize];
  source.Read(headerBytes, kDeviceBitmapHeaderSize);
  const DeviceBitmapHeader header = ReadDeviceBitmapHeader(headerBytes);
  // The signature test is loose: either byte may be the "m".
  if ((header.signature >> 8) != 0x6D && (header.signature & 0xFF) != 0x6D) {
    RaiseBitmapError("signature 0x%04X has no \"m\"", header.signature);
  }
  if (header.version != kDeviceBitmapVersion) {
    RaiseBitmapError("version %u, not %u", header.version, kDeviceBitmapVersion);
  }

  const std::uint32_t columns = DevicePixelColumns(header);
  const std::uint32_t rows = DevicePixelRows(header);
  const std::uint32_t rowBytes = header.rowBytes;
  const std::uint32_t depth = header.depth;
  const DepthFormat* format = FormatOfDepth(depth);
  if (format == nullptr) RaiseBitmapError("depth %u is not 1, 2, 4, 8 or 16", depth);
  // The header must not ask for more than the array holds, and each row must
  // hold the pixels of the row.
  const std::uint64_t needed =
      kDeviceBitmapHeaderSize + static_cast<std::uint64_t>(rows) * rowBytes;
  if (needed > source.GetSize()) {
    RaiseBitmapError("%u rows of %u bytes need %llu bytes, the array holds %u", rows, rowBytes,
                     static_cast<unsigned long long>(needed), source.GetSize());
  }
  if (static_cast<std::uint64_t>(rowBytes) * 8 < static_cast<std::uint64_t>(columns) * depth) {
    RaiseBitmapError("rows of %u bytes cannot hold %u pixels of %u bits", rowBytes, columns, depth);
  }

  // Every image row has the stride that its width implies; what a device row
  // holds beyond it is dropped.
  const std::uint64_t stride = BmpStride(columns, format->bitsPerPixel);
  if (kBmpHeadersSize + 4ull * format->tableEntries + stride * rows > 0x7FFFFF00u) {
    RaiseBitmapError("an image of %u x %u pixels is too large", columns, rows);
  }
  BmpLayout layout;
  layout.width = columns;
  layout.height = rows;
  layout.bitsPerPixel = static_cast<std::uint16_t>(format->bitsPerPixel);
  layout.tableEntries = format->tableEntries;
  layout.coloursUsed = format->coloursUsed;
  layout.statesImageSize = false;
  layout.horizontalResolution = static_cast<std::int32_t>(header.density * 10u);
  layout.verticalResolution = layout.horizontalResolution;
  CBmpWriter image(layout);
  if (format->tableEntries != 0) {
    std::memcpy(image.Table(), format->table, 4 * format->tableEntries);
  }

  // The last device row is the first stored. An image without columns has
  // rows of no bytes, and nothing to convert.
  std::vector<std::uint8_t> converted(ConvertedRowLength(depth, rowBytes) + stride);
  const std::uint8_t* bits = source.GetBuffer() + kDeviceBitmapHeaderSize;
  for (std::uint32_t r = 0; stride != 0 && r < rows; ++r) {
    std::fill(converted.begin(), converted.end(), 0);
    ConvertRowToImage(depth, bits + static_cast<std::size_t>(rows - 1 - r) * rowBytes, rowBytes,
                      converted.data());
    std::memcpy(image.Row(r), converted.data(), static_cast<std::size_t>(stride));
  }

  const std::vector<std::uint8_t> bytes = image.Take();
  target.Seek(0);
  target.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  target.Truncate();
  target.Seek(0);
}

void DibToDeviceBitmap(CMemFile& source, CMemFile& target) {
  const std::uint32_t size = source.GetSize();
  const std::uint8_t* image = source.GetBuffer();
  BmpHeader bmp;
  if (!ReadBmpHeader(image, size, &bmp)) {
    RaiseConversionError("%u bytes are no image headers (\"BM\" and 54 bytes)", size);
  }
  if (bmp.bitsOffset > 32767) RaiseConversionError("the pixels begin at %u", bmp.bitsOffset);
  if (bmp.compression != kBmpNoCompression) {
    RaiseConversionError("compression %u", bmp.compression);
  }
  if (bmp.planes != 1) RaiseConversionError("%u planes", bmp.planes);
  const std::uint16_t bitsPerPixel = bmp.bitsPerPixel;
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 &&
      bitsPerPixel != 32) {
    // Never an index map beyond 256 entries.
    RaiseConversionError("%u bits per pixel, not 1, 4, 8, 24 or 32", bitsPerPixel);
  }

  // Depth and mode: the colour tables that the decoder writes come back as
  // their own depth, copied; anything else is converted.
  const std::uint8_t* table = image + kBmpHeadersSize;
  const std::uint32_t tableEntries = bitsPerPixel <= 8 ? 1u << bitsPerPixel : 0;
  if (kBmpHeadersSize + 4ull * tableEntries > size) {
    RaiseConversionError("the colour table of %u entries ends past the image (%u bytes)",
                         tableEntries, size);
  }
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

  const std::uint32_t columns = static_cast<std::uint32_t>(bmp.width) & 0xFFFF;
  const std::uint32_t rows = static_cast<std::uint32_t>(bmp.height) & 0xFFFF;
  const std::uint32_t rowBytes = ((columns * depth + 15) / 8) & ~1u;
  std::uint32_t density = static_cast<std::uint32_t>(bmp.horizontalResolution) / 10;
  if (density != 72 && density != 108 && density != 144 && density != 216 && density != 288) {
    density = 72;
  }
  const std::uint64_t stride = BmpStride(columns, bitsPerPixel);
  if (static_cast<std::uint64_t>(bmp.bitsOffset) + stride * rows > size) {
    RaiseConversionError("%u rows of %llu bytes from %u end past the image (%u bytes)", rows,
                         static_cast<unsigned long long>(stride), bmp.bitsOffset, size);
  }
  if (rowBytes > 0xFFFF ||
      kDeviceBitmapHeaderSize + static_cast<std::uint64_t>(rowBytes) * rows > 0x7FFFFF00u) {
    RaiseConversionError("a device bitmap of %u x %u pixels is too large", columns, rows);
  }

  DeviceBitmapHeader header;
  header.width = static_cast<std::uint16_t>(columns * 72 / density);
  header.height = static_cast<std::uint16_t>(rows * 72 / density);
  header.rowBytes = static_cast<std::uint16_t>(rowBytes);
  header.depth = static_cast<std::uint8_t>(depth);
  header.density = static_cast<std::uint16_t>(density);
  header.reserved = 0xFFFFFFFF;
  target.Write(DeviceBitmapHeaderBytes(header).data(), kDeviceBitmapHeaderSize);
  target.Seek(kDeviceBitmapHeaderSize + rowBytes * rows);  // the rows, zero

  std::uint8_t map[256] = {};
  if (!copy && bitsPerPixel < 24) {
    for (std::uint32_t i = 0; i < tableEntries; ++i) {
      map[i] =
          static_cast<std::uint8_t>(NearestPaletteIndex(table + 4 * i, Palette8Bit.data(), 256));
    }
  }

  // The image's first (bottom) row is the device bitmap's last.
  for (std::uint32_t r = 0; r < rows; ++r) {
    const std::uint8_t* in = image + bmp.bitsOffset + r * stride;
    std::uint8_t* out = target.GetBuffer() + kDeviceBitmapHeaderSize + (rows - 1 - r) * rowBytes;
    if (copy && depth == 2) {
      for (std::uint32_t i = 0; i < rowBytes; ++i) {
        std::uint8_t a = in[2 * i];
        std::uint8_t b = in[2 * i + 1];
        out[i] = static_cast<std::uint8_t>(((a >> 4) & 3) * 64 + (a & 3) * 16 + ((b >> 4) & 3) * 4 +
                                           (b & 3));
      }
    } else if (copy) {
      std::memcpy(out, in, rowBytes);
    } else if (bitsPerPixel <= 8) {
      for (std::uint32_t c = 0; c < columns; ++c)
        out[c] = map[BmpPixelIndex(in, c, bitsPerPixel)];
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
