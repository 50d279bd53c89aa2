// The picture hook on Windows: the platform's own picture objects.
//
// A picture handed out is a GDI DIB section made from the intermediate image
// and owned by an automation picture (OleCreatePictureIndirect), held as its
// IDispatch by a CPlatformObject. A picture taken in is any platform picture
// of the bitmap kind; its pixels are read back with GetDIBits in the format
// the device bitmap encoder takes.
#include <windows.h>

#include <ole2.h>
#include <olectl.h>

// Before variant.h (through picture.h): it undefines the GetObject macro.
#include "foundation/variant_win32.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "bitmap/bitmap_errors.h"
#include "bitmap/bmp_image.h"
#include "bitmap/picture.h"
#include "foundation/errors.h"

namespace kd {

namespace {

static_assert(sizeof(BITMAPINFOHEADER) == kBmpInfoHeaderSize);

// BITMAPINFO with room for the largest colour table.
struct BitmapInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
};

BITMAPINFO* AsInfo(BitmapInfo* info) {
  return reinterpret_cast<BITMAPINFO*>(info);
}

// A memory device context compatible with the screen. Without a display the
// screen's context may be missing; CreateCompatibleDC(NULL) then gives one
// compatible with the application's current screen. Get() is null when the
// platform has no context to give.
class CMemoryDC {
 public:
  CMemoryDC() {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    if (screen != nullptr) ReleaseDC(nullptr, screen);
  }
  ~CMemoryDC() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  CMemoryDC(const CMemoryDC&) = delete;
  CMemoryDC& operator=(const CMemoryDC&) = delete;

  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

// A GDI bitmap owned until Release() hands it on.
class CBitmapHandle {
 public:
  explicit CBitmapHandle(HBITMAP bitmap) : bitmap_(bitmap) {}
  ~CBitmapHandle() {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  CBitmapHandle(const CBitmapHandle&) = delete;
  CBitmapHandle& operator=(const CBitmapHandle&) = delete;

  HBITMAP Get() const { return bitmap_; }
  HBITMAP Release() { return std::exchange(bitmap_, nullptr); }

 private:
  HBITMAP bitmap_;
};

// A bitmap selected into a context for the guard's lifetime; the context's
// previous bitmap goes back in at the end.
class CSelection {
 public:
  CSelection(HDC dc, HBITMAP bitmap) : dc_(dc), previous_(SelectObject(dc, bitmap)) {}
  ~CSelection() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  CSelection(const CSelection&) = delete;
  CSelection& operator=(const CSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// One reference to a COM interface, released at the end.
template <typename T>
class CComRef {
 public:
  CComRef() = default;
  ~CComRef() {
    if (p_ != nullptr) p_->Release();
  }
  CComRef(const CComRef&) = delete;
  CComRef& operator=(const CComRef&) = delete;

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  // Where a call that hands out a reference stores it. REQUIRES: empty.
  void** Receive() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

// A picture selected into a context while a guard lives; it then goes back to
// the context it was in before (none: the context gets its own bitmap back).
class CPictureSelection {
 public:
  CPictureSelection(IPicture* picture, HDC dc) : picture_(picture) {
    selected_ = SUCCEEDED(picture_->SelectPicture(dc, &previous_, nullptr));
  }
  ~CPictureSelection() { Restore(); }
  CPictureSelection(const CPictureSelection&) = delete;
  CPictureSelection& operator=(const CPictureSelection&) = delete;

  void Restore() {
    if (selected_) picture_->SelectPicture(previous_, nullptr, nullptr);
    selected_ = false;
  }

 private:
  IPicture* picture_;
  HDC previous_ = nullptr;
  bool selected_;
};

// Colour table entries the image holds: those its header counts, or for the
// 2-bit table the whole padded table that sits before the bits.
std::uint32_t TableEntriesPresent(const BmpView& view) {
  if (view.header.bitsPerPixel > 8) return 0;
  const std::uint64_t room = view.bits > view.table ? (view.bits - view.table) / 4 : 0;
  return static_cast<std::uint32_t>(
      std::clamp<std::uint64_t>(room, view.tableEntries, 1u << view.header.bitsPerPixel));
}

// Bits per pixel of the image read from a bitmap of `planes` x `bits`.
std::uint16_t ImageBitsPerPixel(WORD planes, WORD bits) {
  const auto product = static_cast<std::uint16_t>(planes * bits);
  if (product == 1) return 1;
  if (product <= 4) return 4;
  if (product <= 8) return 8;
  if (product <= 24) return 24;
  return 32;
}

}  // namespace

CVariant MakePicture(const std::vector<std::uint8_t>& bmpImage) {
  BmpView view;
  const BmpFault fault = ReadBmp(bmpImage, kPictureBmpRules, &view);
  if (fault != BmpFault::kNone) RaiseConversionError("%s", DescribeBmpFault(fault));
  const BmpHeader& header = view.header;
  BitmapInfo info{};
  info.header.biSize = kBmpInfoHeaderSize;
  info.header.biWidth = header.width;
  info.header.biHeight = header.height;
  info.header.biPlanes = header.planes;
  info.header.biBitCount = header.bitsPerPixel;
  info.header.biCompression = header.compression;
  info.header.biSizeImage = header.imageSize;
  info.header.biXPelsPerMeter = header.horizontalResolution;
  info.header.biYPelsPerMeter = header.verticalResolution;
  info.header.biClrImportant = header.importantColours;
  // The section takes every entry the image holds, so that its table reads
  // back as written (the 2-bit table counts 4 colours of 16 entries).
  info.header.biClrUsed = TableEntriesPresent(view);
  if (info.header.biClrUsed != 0) std::memcpy(info.colours, view.table, 4u * info.header.biClrUsed);

  CMemoryDC dc;
  if (dc.Get() == nullptr) RaiseConversionError("the system lends no device context");
  void* pixels = nullptr;
  CBitmapHandle section(
      CreateDIBSection(dc.Get(), AsInfo(&info), DIB_RGB_COLORS, &pixels, nullptr, 0));
  DIBSECTION created{};
  if (section.Get() == nullptr || pixels == nullptr ||
      GetObjectW(section.Get(), sizeof created, &created) != sizeof created) {
    RaiseConversionError("the system makes no bitmap of %u x %u pixels", view.width, view.height);
  }
  const std::uint64_t sectionSize =
      static_cast<std::uint64_t>(created.dsBm.bmWidthBytes) * created.dsBm.bmHeight;
  const std::uint64_t imageBits = bmpImage.data() + bmpImage.size() - view.bits;
  std::memcpy(pixels, view.bits, static_cast<std::size_t>(std::min(sectionSize, imageBits)));
  {
    CSelection selected(dc.Get(), section.Get());
    SetDIBits(dc.Get(), section.Get(), 0, view.height, view.bits, AsInfo(&info), DIB_RGB_COLORS);
  }

  PICTDESC description{};
  description.cbSizeofstruct = sizeof description;
  description.picType = PICTYPE_BITMAP;
  description.bmp.hbitmap = section.Get();
  description.bmp.hpal = nullptr;
  CComRef<IDispatch> picture;
  const HRESULT made =
      OleCreatePictureIndirect(&description, IID_IDispatch, TRUE, picture.Receive());
  if (FAILED(made) || picture.Get() == nullptr) {
    RaiseConversionError("the system makes no picture object (0x%08X)",
                         static_cast<unsigned>(made));
  }
  section.Release();  // the picture owns it now and deletes it with its last reference
  return CVariant::Object(std::make_shared<CPlatformObject>(picture.Get()));
}

std::vector<std::uint8_t> PictureImage(const CVariant& picture) {
  if (picture.GetType() != VT_DISPATCH) throw CErrX(kMsgNotPicture);
  const auto object = std::dynamic_pointer_cast<CPlatformObject>(picture.GetObject());
  if (!object) throw CErrX(kMsgNotPicture);
  CComRef<IPicture> source;
  if (FAILED(object->Get()->QueryInterface(IID_IPicture, source.Receive())) ||
      source.Get() == nullptr) {
    throw CErrX(kMsgNotPicture);
  }
  SHORT type = PICTYPE_UNINITIALIZED;
  if (FAILED(source->get_Type(&type)) || type != PICTYPE_BITMAP) {
    RaiseCorruptedBitmap("the picture is not a bitmap (type %d)", type);
  }

  CMemoryDC dc;
  if (dc.Get() == nullptr) RaiseConversionError("the system lends no device context");
  CPictureSelection selection(source.Get(), dc.Get());
  OLE_HANDLE handle = 0;
  source->get_Handle(&handle);
  const auto bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
  BITMAP description{};
  if (GetObjectW(bitmap, sizeof description, &description) != sizeof description) {
    RaiseCorruptedBitmap("the picture's bitmap cannot be examined");
  }
  if (description.bmWidth <= 0 || description.bmWidth > 0xFFFF || description.bmHeight <= 0 ||
      description.bmHeight > 0xFFFF) {
    RaiseCorruptedBitmap("a bitmap of %ld x %ld pixels, not 1 to 65535 each way",
                         static_cast<long>(description.bmWidth),
                         static_cast<long>(description.bmHeight));
  }
  // Back where it was before the pixels are read: GetDIBits wants a bitmap
  // that is not selected into a context (unless the caller keeps it in one).
  selection.Restore();

  // The pixels in the encoder's layout; the request names it.
  const auto width = static_cast<std::uint32_t>(description.bmWidth);
  const auto height = static_cast<std::uint32_t>(description.bmHeight);
  const BmpLayout layout = PictureBitsLayout(
      width, height, ImageBitsPerPixel(description.bmPlanes, description.bmBitsPixel));
  CBmpWriter image(layout);
  BitmapInfo info{};
  info.header.biSize = kBmpInfoHeaderSize;
  info.header.biWidth = static_cast<LONG>(width);
  info.header.biHeight = static_cast<LONG>(height);
  info.header.biPlanes = 1;
  info.header.biBitCount = layout.bitsPerPixel;
  info.header.biCompression = BI_RGB;
  info.header.biSizeImage = static_cast<DWORD>(image.Stride() * height);
  info.header.biClrUsed = layout.tableEntries;
  if (GetDIBits(dc.Get(), bitmap, 0, height, image.Row(0), AsInfo(&info), DIB_RGB_COLORS) == 0) {
    RaiseCorruptedBitmap("the pixels of a bitmap of %u x %u cannot be read", width, height);
  }
  if (layout.tableEntries != 0) std::memcpy(image.Table(), info.colours, 4u * layout.tableEntries);
  return image.Take();
}

}  // namespace kd
