// The picture verbs: bitmap (a Bitmap field to a .png or .bmp file) and
// import-bitmap (a .png or .bmp file to a device bitmap for add FIELD=@FILE).
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>

#include "bitmap/bmp_image.h"
#include "bitmap/device_bitmap.h"
#include "bitmap/picture.h"
#include "engine/pdb_database.h"
#include "foundation/byte_order.h"
#include "foundation/codepage.h"
#include "tools/kdpdb/picture_files.h"
#include "tools/kdpdb/tool.h"

namespace kdpdb {

namespace {

enum class PictureFormat { kPng, kBmp };

// The format a picture file's name asks for: ".png" or ".bmp", any case.
PictureFormat FormatOf(const std::string& path) {
  std::string extension;
  const std::size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && path.find('/', dot) == std::string::npos) {
    for (char c : path.substr(dot + 1))
      extension.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  if (extension == "png") return PictureFormat::kPng;
  if (extension == "bmp") return PictureFormat::kBmp;
  throw ToolError("'" + path + "' does not end in .png or .bmp");
}

// Density is dots per inch: a device bitmap of density D shows at D dots per
// inch as large as the hand-held shows it, so a BMP picture carries D in its
// resolution as D / 0.0254 pixels a metre (72: 2835, 144: 5669), rounded.
constexpr std::uint16_t kDensities[] = {72, 108, 144, 216, 288};

std::int32_t PixelsPerMetre(std::uint32_t density) {
  return static_cast<std::int32_t>((density * 10000u + 127) / 254);
}

// The density nearest to a resolution in pixels a metre (the lower of two as
// near); 72 for a resolution that a picture does not state (0 or below).
std::uint16_t DensityOfResolution(std::int32_t pixelsPerMetre) {
  if (pixelsPerMetre <= 0) return 72;
  std::uint16_t best = kDensities[0];
  for (std::uint16_t density : kDensities) {
    if (std::abs(std::int64_t{pixelsPerMetre} - PixelsPerMetre(density)) <
        std::abs(std::int64_t{pixelsPerMetre} - PixelsPerMetre(best))) {
      best = density;
    }
  }
  return best;
}

// `bmp` (an image that ReadBmpHeader takes) with both resolutions set.
void SetBmpResolution(Bytes& bmp, std::int32_t pixelsPerMetre) {
  kd::BmpHeader header;
  if (!kd::ReadBmpHeader(bmp.data(), bmp.size(), &header)) throw ToolError("no BMP image");
  header.horizontalResolution = pixelsPerMetre;
  header.verticalResolution = pixelsPerMetre;
  kd::ForEachBmpField(header, [&bmp](std::size_t offset, std::size_t size, auto field) {
    kd::StoreLittleEndianN(bmp.data() + offset, static_cast<std::uint32_t>(field), size);
  });
}

// The device bitmap of density 72 that the encoder made, at `density`: the
// same rows, with width and height counted in standard units. Raises
// ToolError when a side is no whole number of units, which would lose pixels.
Bytes AtDensity(Bytes deviceBitmap, std::uint16_t density) {
  kd::DeviceBitmapHeader header = kd::ReadDeviceBitmapHeader(deviceBitmap.data());
  const std::uint32_t columns = kd::DevicePixelColumns(header);
  const std::uint32_t rows = kd::DevicePixelRows(header);
  if (columns * 72 % density != 0 || rows * 72 % density != 0) {
    const std::uint32_t step = density == 144 ? 2 : density == 288 ? 4 : 3;
    throw ToolError("a picture of " + std::to_string(columns) + " x " + std::to_string(rows) +
                    " pixels is no whole number of standard units at density " +
                    std::to_string(density) + ": its sides must be multiples of " +
                    std::to_string(step) + " pixels");
  }
  header.width = static_cast<std::uint16_t>(columns * 72 / density);
  header.height = static_cast<std::uint16_t>(rows * 72 / density);
  header.density = density;
  const auto bytes = kd::DeviceBitmapHeaderBytes(header);
  std::copy(bytes.begin(), bytes.end(), deviceBitmap.begin());
  return deviceBitmap;
}

}  // namespace

int Bitmap(const BitmapOptions& options) {
  const PictureFormat format = FormatOf(options.out);
  const std::uint32_t uniqueID = ParseUniqueID(options.uniqueID);
  kd::CDbSchema schema;
  LoadDescription(schema, options.description);
  kd::CVariant value;
  const kd::CDbField* field =
      &ReadRecordField(schema, options.file, uniqueID, options.field, &value);
  if (field->GetType() != kd::DbFieldType::kBitmap) {
    throw ToolError(std::string("'") + field->GetName() + "' is a " + TypeName(field->GetType()) +
                    " field, not a Bitmap field");
  }

  kd::CVariant picture;
  Check(Guard([&] { picture = kd::CreateOlePicture(value); }));
  auto held = std::dynamic_pointer_cast<kd::CPicture>(picture.GetObject());
  if (!held) throw ToolError("the library made no picture");
  if (format == PictureFormat::kBmp) {
    // The bitmap's density as the picture's resolution.
    Bytes bmp = held->GetBmpImage();
    const Bytes& deviceBitmap = value.GetArray().GetData();
    SetBmpResolution(bmp, PixelsPerMetre(kd::ReadDeviceBitmapHeader(deviceBitmap.data()).density));
    WriteFileBytes(options.out, bmp);
  } else {
    WriteFileBytes(options.out, BmpToPng(held->GetBmpImage()));
  }
  return 0;
}

int ImportBitmap(const ImportBitmapOptions& options) {
  const PictureFormat format = FormatOf(options.image);
  const bool autoDensity = options.density == "auto";
  if (autoDensity && format != PictureFormat::kBmp) {
    throw ToolError("--density auto reads a BMP picture's resolution; give the density of '" +
                    options.image + "' (72, 108, 144, 216 or 288)");
  }
  std::shared_ptr<kd::CPicture> picture;
  Bytes bmp;  // the BMP file, for its resolution
  if (format == PictureFormat::kBmp && options.depth == 0) {
    // The file as it is: the encoder chooses the depth from its pixels.
    Check(Guard([&] { picture = kd::CPicture::LoadBmp(options.image); }));
    bmp = picture->GetBmpImage();
  } else {
    const Bytes bytes = ReadFileBytes(options.image);
    const RgbImage image = format == PictureFormat::kPng ? DecodePng(bytes) : DecodeBmp(bytes);
    if (image.width > kd::kPictureBmpRules.maxSide || image.height > kd::kPictureBmpRules.maxSide) {
      throw ToolError("a picture of " + std::to_string(image.width) + " x " +
                      std::to_string(image.height) + " pixels has a side longer than the " +
                      std::to_string(kd::kPictureBmpRules.maxSide) + " pixels of a device bitmap");
    }
    if (format == PictureFormat::kBmp) bmp = bytes;
    picture =
        std::make_shared<kd::CPicture>(BmpForDepth(image, options.depth == 0 ? 16 : options.depth));
  }
  std::uint16_t density = 72;
  if (autoDensity) {
    kd::BmpHeader header;
    kd::ReadBmpHeader(bmp.data(), bmp.size(), &header);  // LoadBmp or DecodeBmp took it
    density = DensityOfResolution(header.horizontalResolution);
  } else {
    const auto named =
        std::find_if(std::begin(kDensities), std::end(kDensities),
                     [&](std::uint16_t d) { return std::to_string(d) == options.density; });
    if (named == std::end(kDensities)) {
      throw ToolError("--density " + options.density + " is not 72, 108, 144, 216, 288 or auto");
    }
    density = *named;
  }
  kd::CVariant deviceBitmap;
  Check(Guard([&] { deviceBitmap = kd::CreateKDBitmap(kd::CVariant::Object(picture)); }));
  WriteFileBytes(options.out, AtDensity(deviceBitmap.GetArray().GetData(), density));
  return 0;
}

}  // namespace kdpdb
