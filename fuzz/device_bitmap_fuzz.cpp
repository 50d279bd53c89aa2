// A device bitmap to an image (DeviceBitmapToDib), and every decodable bitmap
// back (device -> image -> device): directly, and by way of a picture as the
// recordset's CreateOlePicture and CreateKDBitmap go, which must give the
// same depth and pixels.
#include "bitmap/device_bitmap.h"
#include "bitmap/picture.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kd::fuzz;
  const Bytes bitmap(data, data + size);
  Bytes image;
  if (!Accepted([&] { image = kd::DeviceBitmapToBmp(bitmap); })) return 0;
  const DevicePixels pixels = ReadDevicePixels(bitmap);
  Bytes back;
  MustSucceed("encoding a decoded bitmap", [&] { back = kd::BmpToDeviceBitmap(image); });
  CheckSamePixels(pixels, ReadDevicePixels(back), "device -> image -> device");
  if (size > 64000 || pixels.columns > 0xFFFF || pixels.rows > 0xFFFF) return 0;  // no picture
  kd::CVariant fromPicture;
  MustSucceed("a picture there and back", [&] {
    fromPicture = kd::CreateKDBitmap(kd::CreateOlePicture(kd::CVariant::Bytes(bitmap)));
  });
  const DevicePixels viaPicture = ReadDevicePixels(fromPicture.GetArray().GetData());
  CheckSamePixels(pixels, viaPicture, "device -> picture -> device");
  Check(viaPicture.columns == pixels.columns && viaPicture.rows == pixels.rows,
        "a picture changed the size");
  return 0;
}
