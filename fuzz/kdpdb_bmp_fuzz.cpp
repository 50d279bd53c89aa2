// A BMP file as kdpdb reads it: its pixels (DecodeBmp), and the PNG file it
// makes of them (BmpToPng), which must read back to the same pixels; then the
// image for each device depth, which the device bitmap encoder must take.
#include "bitmap/device_bitmap.h"
#include "fuzz/fuzz_support.h"
#include "tools/kdpdb/picture_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kd::fuzz;
  const kdpdb::Bytes bmp(data, data + size);
  kdpdb::RgbImage image;
  try {
    image = kdpdb::DecodeBmp(bmp);
  } catch (const kdpdb::ToolError&) {
    return 0;
  }
  try {
    const kdpdb::RgbImage fromPng = kdpdb::DecodePng(kdpdb::BmpToPng(bmp));
    Check(
        fromPng.width == image.width && fromPng.height == image.height && fromPng.rgb == image.rgb,
        "the PNG file shows other pixels");
  } catch (const kdpdb::ToolError& error) {
    Fail("a BMP image it reads does not go to PNG and back", error.what());
  }
  for (int depth : {1, 2, 4, 8, 16}) {
    MustSucceed("encoding the image for a depth",
                [&] { kd::BmpToDeviceBitmap(kdpdb::BmpForDepth(image, depth)); });
  }
  return 0;
}
