// The two picture conversions of the recordset, and the portable picture's
// files.
#include "bitmap/picture.h"

#include "bitmap/bitmap_errors.h"
#include "bitmap/bmp_image.h"
#include "bitmap/device_bitmap.h"
#include "foundation/errors.h"
#include "foundation/file.h"

namespace kd {

namespace {
constexpr std::size_t kMaxDeviceBitmapInput = 64000;
}  // namespace

CVariant CreateOlePicture(const CVariant& byteArray) {
  if (!byteArray.IsByteArray()) throw CErrX(kMsgNotByteArray);
  const CSafeArray& array = byteArray.GetArray();
  if (array.GetDimensions() != 1 || array.GetElementCount() > kMaxDeviceBitmapInput) {
    throw CErrX(kMsgNotByteArray);
  }
  return MakePicture(DeviceBitmapToBmp(array.GetData()));
}

CVariant CreateKDBitmap(const CVariant& picture) {
  return CVariant::Bytes(BmpToDeviceBitmap(PictureImage(picture)));
}

void CPicture::SaveBmp(const std::string& path) const {
  CFile file;
  file.Open(path.c_str(), file::kWrite, file::kShareRead, file::kCreateAlways, file::kNoFlags);
  file.Write(bmpImage_.data(), static_cast<std::uint32_t>(bmpImage_.size()));
  file.Close();
}

std::shared_ptr<CPicture> CPicture::LoadBmp(const std::string& path) {
  std::vector<std::uint8_t> bytes = ReadWholeFile(path.c_str());
  BmpView view;
  const BmpFault fault = ReadBmp(bytes, kPictureBmpRules, &view);
  if (fault != BmpFault::kNone) RaiseConversionError("%s", DescribeBmpFault(fault));
  return std::make_shared<CPicture>(std::move(bytes));
}

}  // namespace kd
