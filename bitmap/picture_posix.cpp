// The picture hook without the platform's graphics services: CPicture.
#include "bitmap/bmp_image.h"
#include "bitmap/picture.h"
#include "foundation/errors.h"

namespace kd {

CVariant MakePicture(const std::vector<std::uint8_t>& bmpImage) {
  return CVariant::Object(std::make_shared<CPicture>(bmpImage));
}

std::vector<std::uint8_t> PictureImage(const CVariant& picture) {
  if (picture.GetType() != VT_DISPATCH) throw CErrX(kMsgNotPicture);
  auto held = std::dynamic_pointer_cast<CPicture>(picture.GetObject());
  if (!held) throw CErrX(kMsgNotPicture);
  return PictureBits(held->GetBmpImage());
}

}  // namespace kd
