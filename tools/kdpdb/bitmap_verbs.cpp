// The picture verbs: bitmap (a Bitmap field to a .png or .bmp file) and
// import-bitmap (a .png or .bmp file to a device bitmap for add FIELD=@FILE).
#include <memory>

#include "bitmap/picture.h"
#include "engine/pdb_database.h"
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
    Check(Guard([&] { held->SaveBmp(options.out); }));
  } else {
    WriteFileBytes(options.out, BmpToPng(held->GetBmpImage()));
  }
  return 0;
}

int ImportBitmap(const ImportBitmapOptions& options) {
  const PictureFormat format = FormatOf(options.image);
  std::shared_ptr<kd::CPicture> picture;
  if (format == PictureFormat::kBmp && options.depth == 0) {
    // The file as it is: the encoder chooses the depth from its pixels.
    Check(Guard([&] { picture = kd::CPicture::LoadBmp(options.image); }));
  } else {
    const Bytes bytes = ReadFileBytes(options.image);
    const RgbImage image = format == PictureFormat::kPng ? DecodePng(bytes) : DecodeBmp(bytes);
    picture =
        std::make_shared<kd::CPicture>(BmpForDepth(image, options.depth == 0 ? 16 : options.depth));
  }
  kd::CVariant deviceBitmap;
  Check(Guard([&] { deviceBitmap = kd::CreateKDBitmap(kd::CVariant::Object(picture)); }));
  WriteFileBytes(options.out, deviceBitmap.GetArray().GetData());
  return 0;
}

}  // namespace kdpdb
