#include <windows.h>

#include <ole2.h>
#include <olectl.h>

#include "foundation/variant_win32.h"

#include <cstring>
#include <memory>
#include <stdexcept>

#include "bitmap/tests/picture_test_util.h"

namespace kd::testing {

CVariant PlatformPicture(const std::vector<std::uint8_t>& bmpImage) {
  // BITMAPINFOHEADER at 14, the colour table after it, the bits where the
  // file header's offset says.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info{};
  if (bmpImage.size() < 54) throw std::runtime_error("not a BMP image");
  std::memcpy(&info.header, bmpImage.data() + 14, sizeof info.header);
  const std::size_t tableBytes =
      info.header.biBitCount <= 8
          ? 4 * (info.header.biClrUsed != 0 ? info.header.biClrUsed : 1u << info.header.biBitCount)
          : 0;
  if (tableBytes > sizeof info.colours || 54 + tableBytes > bmpImage.size()) {
    throw std::runtime_error("BMP colour table too long");
  }
  std::memcpy(info.colours, bmpImage.data() + 54, tableBytes);
  std::uint32_t bitsOffset;
  std::memcpy(&bitsOffset, bmpImage.data() + 10, 4);

  void* pixels = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                     &pixels, nullptr, 0);
  if (section == nullptr) throw std::runtime_error("CreateDIBSection failed");
  DIBSECTION made{};
  GetObjectW(section, sizeof made, &made);
  const std::size_t size = static_cast<std::size_t>(made.dsBm.bmWidthBytes) * made.dsBm.bmHeight;
  if (bitsOffset + size > bmpImage.size()) {
    DeleteObject(section);
    throw std::runtime_error("BMP image shorter than its rows");
  }
  std::memcpy(pixels, bmpImage.data() + bitsOffset, size);

  PICTDESC description{};
  description.cbSizeofstruct = sizeof description;
  description.picType = PICTYPE_BITMAP;
  description.bmp.hbitmap = section;
  IDispatch* picture = nullptr;
  if (FAILED(OleCreatePictureIndirect(&description, IID_IDispatch, TRUE,
                                      reinterpret_cast<void**>(&picture)))) {
    DeleteObject(section);
    throw std::runtime_error("OleCreatePictureIndirect failed");
  }
  CVariant held = CVariant::Object(std::make_shared<CPlatformObject>(picture));
  picture->Release();
  return held;
}

std::string RunCommand(const std::string&) {
  return std::string();
}

}  // namespace kd::testing
