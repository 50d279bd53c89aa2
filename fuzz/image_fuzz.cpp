// An image to a device bitmap (DibToDeviceBitmap), directly and by way of a
// picture (CreateKDBitmap); what the encoder makes must decode, and come back
// from its image with the same depth and pixels.
#include "bitmap/device_bitmap.h"
#include "bitmap/picture.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kd::fuzz;
  const Bytes image(data, data + size);
  Accepted([&] { kd::CreateKDBitmap(kd::MakePicture(image)); });
  Bytes bitmap;
  if (!Accepted([&] { bitmap = kd::BmpToDeviceBitmap(image); })) return 0;
  Bytes decoded;
  Bytes again;
  MustSucceed("decoding an encoded bitmap", [&] { decoded = kd::DeviceBitmapToBmp(bitmap); });
  MustSucceed("encoding it again", [&] { again = kd::BmpToDeviceBitmap(decoded); });
  CheckSamePixels(ReadDevicePixels(bitmap), ReadDevicePixels(again),
                  "image -> device -> image -> device");
  return 0;
}
