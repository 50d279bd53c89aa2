// A PNG file as kdpdb reads it (DecodePng); the BMP image it makes of the
// pixels (EncodeBmp24) must read back to the same pixels.
#include "fuzz/fuzz_support.h"
#include "tools/kdpdb/picture_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kd::fuzz;
  kdpdb::RgbImage image;
  try {
    image = kdpdb::DecodePng(kdpdb::Bytes(data, data + size));
  } catch (const kdpdb::ToolError&) {
    return 0;
  }
  try {
    const kdpdb::RgbImage back = kdpdb::DecodeBmp(kdpdb::EncodeBmp24(image));
    Check(back.width == image.width && back.height == image.height && back.rgb == image.rgb,
          "the BMP image shows other pixels");
  } catch (const kdpdb::ToolError& error) {
    Fail("the BMP image of a PNG file does not read back", error.what());
  }
  return 0;
}
