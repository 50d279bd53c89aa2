// Images in the BMP file layout: the one description of that layout, its one
// reader and its one writer. The device bitmap conversions, the pictures of
// both platforms and the command-line tool read and write images through here.
#ifndef KDDAO_BITMAP_BMP_IMAGE_H_
#define KDDAO_BITMAP_BMP_IMAGE_H_

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kd {

constexpr std::size_t kBmpFileHeaderSize = 14;
constexpr std::size_t kBmpInfoHeaderSize = 40;
constexpr std::size_t kBmpHeadersSize = kBmpFileHeaderSize + kBmpInfoHeaderSize;
constexpr std::uint16_t kBmpType = 0x4D42;  // "BM"
constexpr std::uint32_t kBmpNoCompression = 0;
constexpr std::uint32_t kBmpBitFields = 3;

// The file header and the information header.
struct BmpHeader {
  std::uint16_t type = kBmpType;
  std::uint32_t fileSize = 0;
  std::uint32_t reserved = 0;
  std::uint32_t bitsOffset = 0;
  std::uint32_t headerSize = kBmpInfoHeaderSize;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t planes = 1;
  std::uint16_t bitsPerPixel = 0;
  std::uint32_t compression = kBmpNoCompression;
  std::uint32_t imageSize = 0;
  std::int32_t horizontalResolution = 0;
  std::int32_t verticalResolution = 0;
  std::uint32_t coloursUsed = 0;
  std::uint32_t importantColours = 0;
};

// The layout, as ReadBmpHeader and the writer walk it: visit(OFFSET, SIZE,
// FIELD) for every field of the headers, in order. All integers are
// little-endian.
template <typename Header, typename Visit>
void ForEachBmpField(Header& h, Visit&& visit) {
  //    OFFSET SIZE FIELD
  visit(0, 2, h.type);                   // "BM"
  visit(2, 4, h.fileSize);               // of the whole image
  visit(6, 4, h.reserved);               // two reserved words
  visit(10, 4, h.bitsOffset);            // where the rows start
  visit(14, 4, h.headerSize);            // of the information header: 40 or more
  visit(18, 4, h.width);                 // pixels
  visit(22, 4, h.height);                // rows; positive: bottom-up, negative: top-down
  visit(26, 2, h.planes);                // 1
  visit(28, 2, h.bitsPerPixel);          // 1, 4, 8, 16, 24 or 32
  visit(30, 4, h.compression);           // 0 none; 3 bit fields (masks from offset 54)
  visit(34, 4, h.imageSize);             // bytes of rows; may be 0 when uncompressed
  visit(38, 4, h.horizontalResolution);  // pixels per metre
  visit(42, 4, h.verticalResolution);    // pixels per metre
  visit(46, 4, h.coloursUsed);           // colour table entries; 0: 2^bitsPerPixel
  visit(50, 4, h.importantColours);      // 0: all
  // 14 + headerSize: the colour table, 4 bytes an entry (blue, green, red, 0).
  // bitsOffset: the rows, each padded with zeros to a multiple of 4 bytes;
  // pixels packed most significant bits first, true colour as blue, green, red.
}

// Reads the headers; false when `size` is shorter than them or there is no "BM".
bool ReadBmpHeader(const std::uint8_t* bytes, std::size_t size, BmpHeader* header);

// Bytes of one stored row of `width` pixels.
inline std::uint64_t BmpStride(std::uint64_t width, std::uint32_t bitsPerPixel) {
  return (width * bitsPerPixel + 31) / 32 * 4;
}

// The colour table index of pixel `x` of a row of 1, 4 or 8 bits per pixel,
// and storing one into a row of zeros.
inline std::uint32_t BmpPixelIndex(const std::uint8_t* row, std::uint32_t x,
                                   std::uint32_t bitsPerPixel) {
  const std::uint32_t bit = x * bitsPerPixel;
  return (row[bit / 8] >> (8 - bitsPerPixel - bit % 8)) & ((1u << bitsPerPixel) - 1);
}
inline void PutBmpPixelIndex(std::uint8_t* row, std::uint32_t x, std::uint32_t bitsPerPixel,
                             std::uint32_t index) {
  const std::uint32_t bit = x * bitsPerPixel;
  row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | (index << (8 - bitsPerPixel - bit % 8)));
}

// One colour channel of a 16- or 32-bit pixel, given its mask, scaled to 8 bits.
std::uint8_t BmpChannel(std::uint32_t pixel, std::uint32_t mask);

// What a reader takes beyond the layout itself.
struct BmpRules {
  std::uint32_t maxSide;  // widest and tallest image taken, in pixels
  bool emptyAllowed;      // a width or a height of 0
  bool bitFieldsAllowed;  // 16 and 32 bits per pixel with colour masks
  bool strict;            // one plane, and no more colours than 2^bitsPerPixel
};

// What the pictures and the device bitmap conversions take: uncompressed
// images up to 65535 pixels a side, empty ones included.
constexpr BmpRules kPictureBmpRules = {0xFFFF, true, false, true};

// Why ReadBmp refused an image, in the order it checks.
enum class BmpFault {
  kNone,
  kNoFileHeader,   // shorter than the headers, or no "BM"
  kInfoHeader,     // information header shorter than 40 bytes or past the end
  kPlanes,         // strict: planes other than 1
  kNoPixels,       // a negative width or height -2^31; 0 unless emptyAllowed
  kTooLarge,       // a side beyond maxSide
  kCompressed,     // compressed rows, or bit fields where they are not allowed
  kBitsPerPixel,   // not 1, 4, 8, 16, 24 or 32
  kNoMasks,        // bit fields whose masks lie past the end
  kColourCount,    // strict: more colours used than 2^bitsPerPixel
  kTableCutShort,  // colour table past the end
  kRowsCutShort,   // rows past the end
};

// What a fault means, for the reason beside an error ("" for kNone).
const char* DescribeBmpFault(BmpFault fault);

// An image as ReadBmp finds it; the pointers point into the image's bytes.
struct BmpView {
  BmpHeader header;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool topDown = false;            // rows stored top row first (a negative height)
  std::uint32_t masks[3] = {};     // red, green, blue of 16- and 32-bit pixels
  std::uint32_t tableEntries = 0;  // 8 bits or fewer: entries present, 4 bytes each
  const std::uint8_t* table = nullptr;
  const std::uint8_t* bits = nullptr;
  std::uint64_t stride = 0;  // bytes a row

  // The stored row `y` rows from the top.
  const std::uint8_t* Row(std::uint32_t y) const {
    return bits + stride * (topDown ? y : height - 1 - y);
  }
};

// Reads the image in `bytes` and checks it against the layout and `rules`:
// that its colour table (8 bits per pixel or fewer; colours used, or all
// 2^bitsPerPixel when 0 or more) and its rows lie within `bytes`. Without a
// fault `view` describes the image; after any fault past kNoFileHeader,
// `view->header` holds the headers read.
BmpFault ReadBmp(const std::vector<std::uint8_t>& bytes, const BmpRules& rules, BmpView* view);

// The shape of a new image and the header fields its writer chooses.
struct BmpLayout {
  std::uint32_t width = 0;
  std::uint32_t height = 0;  // stored bottom-up
  std::uint16_t bitsPerPixel = 0;
  std::uint32_t tableEntries = 0;  // colour table entries written
  std::uint32_t coloursUsed = 0;   // as the header states them
  bool statesImageSize = true;     // false: the image size field holds 0
  std::int32_t horizontalResolution = 0;
  std::int32_t verticalResolution = 0;
};

// Writes a new image: its headers filled in from the layout, then a colour
// table and rows of zeros for the caller to fill.
class CBmpWriter {
 public:
  explicit CBmpWriter(const BmpLayout& layout);

  std::uint8_t* Table() { return image_.data() + kBmpHeadersSize; }
  // Stored row `r`, counting from the first stored (the bottom row); the rows
  // follow one another, Stride() bytes each.
  std::uint8_t* Row(std::uint32_t r) { return image_.data() + bitsOffset_ + stride_ * r; }
  std::uint64_t Stride() const { return stride_; }
  // The image; the writer is empty afterwards.
  std::vector<std::uint8_t> Take() { return std::move(image_); }

 private:
  std::vector<std::uint8_t> image_;
  std::uint64_t bitsOffset_;
  std::uint64_t stride_;
};

// The layout in which pictures hand their pixels to the device bitmap
// encoder: a full colour table of 2^bitsPerPixel entries below 24 bits, the
// image size stated, resolution 100 x 200 (so that the encoder makes density 72).
BmpLayout PictureBitsLayout(std::uint32_t width, std::uint32_t height, std::uint16_t bitsPerPixel);

// A picture's image in the layout above: 1 bit stays 1, 4 stays 4, 8 stays 8,
// 16-bit 5-5-5 pixels are widened to 24, 24 and 32 stay; rows bottom-up.
// Raises 10026 "Corrupted bitmap." when `bmp` is not an image that ReadBmp
// takes under kPictureBmpRules.
std::vector<std::uint8_t> PictureBits(const std::vector<std::uint8_t>& bmp);

}  // namespace kd

#endif  // KDDAO_BITMAP_BMP_IMAGE_H_
