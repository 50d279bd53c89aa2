// Picture objects: what CreateOlePicture hands out and CreateKDBitmap takes.
//
// The steps up to the intermediate image (device_bitmap.h) are shared; making
// and reading a picture object is the platform's. This header is that hook:
// on Windows the picture is the platform's own (a GDI bitmap inside an
// automation picture); elsewhere it is CPicture, which holds the image.
#ifndef KDDAO_BITMAP_PICTURE_H_
#define KDDAO_BITMAP_PICTURE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/variant.h"

namespace kd {

// A portable picture: a reference-counted object (held by a CVariant as
// VT_DISPATCH) that holds an image in the BMP file layout. The picture hook
// hands it out and takes it where the platform has no picture objects; it
// builds and works on every platform (the command-line tool uses it).
class CPicture : public CAutomationObject {
 public:
  explicit CPicture(std::vector<std::uint8_t> bmpImage) : bmpImage_(std::move(bmpImage)) {}

  const std::vector<std::uint8_t>& GetBmpImage() const { return bmpImage_; }
  // Writes the image as a .bmp file; raises 60002 naming the path on failure.
  void SaveBmp(const std::string& path) const;
  // Reads a .bmp file; raises 60002 naming the path when it cannot be read and
  // 10027's text when it is not an image that ReadBmp takes under
  // kPictureBmpRules, with DescribeBmpFault's words as the reason.
  static std::shared_ptr<CPicture> LoadBmp(const std::string& path);

 private:
  std::vector<std::uint8_t> bmpImage_;
};

// The picture hook, one implementation per platform (picture_win32.cpp,
// picture_posix.cpp).
//
// MakePicture turns an intermediate image into a picture object (VT_DISPATCH):
// on Windows an automation picture (IPictureDisp) that owns a DIB section,
// elsewhere a CPicture. On Windows it raises the text of 10027 "Error occured
// while converting bitmap." when the platform cannot make the device context,
// the section or the picture; it never hands out an empty object.
//
// PictureImage gives the intermediate image of a picture object: on Windows
// any platform picture of the bitmap kind, elsewhere a CPicture. Raises 10024
// "Object type must be IDispPicture" when `picture` is not VT_DISPATCH holding
// a picture, 10026 "Corrupted bitmap." when it is not a bitmap or its pixels
// cannot be read, and on Windows the text of 10027 when the platform has no
// device context to lend.
CVariant MakePicture(const std::vector<std::uint8_t>& bmpImage);
std::vector<std::uint8_t> PictureImage(const CVariant& picture);

// The two recordset properties, by their steps: CreateOlePicture checks the
// byte array (10021), decodes it and makes the picture; CreateKDBitmap reads
// the picture and encodes a device bitmap as a byte array.
CVariant CreateOlePicture(const CVariant& byteArray);
CVariant CreateKDBitmap(const CVariant& picture);

}  // namespace kd

#endif  // KDDAO_BITMAP_PICTURE_H_
