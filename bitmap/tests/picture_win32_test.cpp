// The picture hook on Windows against the platform's own GDI and automation
// pictures: exact round trips, what the handed-out picture is and who owns
// its bitmap, pictures that are not bitmaps, and running out of GDI handles.
#include <windows.h>

#include <ole2.h>
#include <olectl.h>

#include "foundation/variant_win32.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bitmap/device_bitmap.h"
#include "bitmap/picture.h"
#include "bitmap/tests/picture_test_util.h"
#include "testing/bitmap_images.h"
#include "testing/outcomes.h"

namespace kd {
namespace {

using testing::Bytes;
using testing::DeviceBitmap;
using testing::Raised;

const char* const kNotPicture = "code 10024: Object type must be IDispPicture";
const char* const kCorrupted = "code 10026: Corrupted bitmap.";
const char* const kConversionFailed = "text: Error occured while converting bitmap.";

// An interface of a platform object held by `picture` (a new reference), or
// null.
template <typename T = IPicture>
T* PictureOf(const CVariant& picture, REFIID iid = IID_IPicture) {
  auto object = std::dynamic_pointer_cast<CPlatformObject>(picture.GetObject());
  T* result = nullptr;
  if (object) object->Get()->QueryInterface(iid, reinterpret_cast<void**>(&result));
  return result;
}

HBITMAP HandleOf(IPicture* picture) {
  OLE_HANDLE handle = 0;
  picture->get_Handle(&handle);
  return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
}

// A VT_DISPATCH value for a platform object; takes over `dispatch`'s reference.
CVariant Adopt(IDispatch* dispatch) {
  CVariant value = CVariant::Object(std::make_shared<CPlatformObject>(dispatch));
  dispatch->Release();
  return value;
}

// An automation picture the platform makes from `description`.
CVariant PlatformPictureOf(PICTDESC description, BOOL own) {
  description.cbSizeofstruct = sizeof description;
  IDispatch* dispatch = nullptr;
  if (FAILED(OleCreatePictureIndirect(&description, IID_IDispatch, own,
                                      reinterpret_cast<void**>(&dispatch)))) {
    throw std::runtime_error("OleCreatePictureIndirect failed");
  }
  return Adopt(dispatch);
}

using testing::DeviceRowBytes;

// Clears the bits of each row past its last pixel. GDI keeps pixels, not the
// rest of a row: GetDIBits gives those bits back as zero.
void ClearPastLastPixel(Bytes& rows, std::uint32_t columns, std::uint16_t rowBytes,
                        std::uint8_t depth) {
  const std::uint32_t used = columns * depth;
  for (std::size_t row = 0; row + rowBytes <= rows.size(); row += rowBytes) {
    for (std::uint32_t bit = used; bit < rowBytes * 8u; ++bit)
      rows[row + bit / 8] &= static_cast<std::uint8_t>(~(0x80u >> (bit % 8)));
  }
}

// Device bitmap -> GDI picture -> device bitmap, for every depth, at density
// 72 and 144, with random pixels: the picture is a bitmap of the pixel size at
// the depth's bits per pixel, and the pixels come back exactly (at density 72,
// with the pixel size as width and height).
TEST(PictureWin32Test, RoundTripsThroughGdiPicturesAreExact) {
  std::mt19937 random(2024);
  struct Depth {
    std::uint8_t depth;
    WORD bitsPerPixel;  // of the picture's bitmap
  } depths[] = {{1, 1}, {2, 4}, {4, 4}, {8, 8}, {16, 24}};
  for (const Depth& d : depths) {
    for (std::uint16_t density : {72, 144}) {
      for (std::uint16_t width : {3, 16, 33}) {
        const std::uint16_t height = 5;
        const std::uint32_t columns = width * density / 72u;
        const std::uint32_t rows = height * density / 72u;
        const std::uint16_t rowBytes = DeviceRowBytes(columns, d.depth);
        Bytes pixels(static_cast<std::size_t>(rowBytes) * rows);
        for (auto& byte : pixels)
          byte = static_cast<std::uint8_t>(random());
        const std::string what = "depth " + std::to_string(d.depth) + " density " +
                                 std::to_string(density) + " width " + std::to_string(width);

        CVariant picture = CreateOlePicture(
            CVariant::Bytes(DeviceBitmap(width, height, rowBytes, d.depth, density, pixels)));
        IPicture* ipicture = PictureOf(picture);
        ASSERT_NE(ipicture, nullptr) << what;
        SHORT type = PICTYPE_UNINITIALIZED;
        ipicture->get_Type(&type);
        EXPECT_EQ(type, PICTYPE_BITMAP) << what;
        BITMAP description{};
        ASSERT_EQ(GetObjectW(HandleOf(ipicture), sizeof description, &description),
                  static_cast<int>(sizeof description))
            << what;
        ipicture->Release();
        EXPECT_EQ(description.bmWidth, static_cast<LONG>(columns)) << what;
        EXPECT_EQ(description.bmHeight, static_cast<LONG>(rows)) << what;
        EXPECT_EQ(description.bmPlanes * description.bmBitsPixel, d.bitsPerPixel) << what;

        CVariant back = CreateKDBitmap(picture);
        ASSERT_TRUE(back.IsByteArray()) << what;
        Bytes got = back.GetArray().GetData();
        ASSERT_GE(got.size(), 16u) << what;
        Bytes gotRows(got.begin() + 16, got.end());
        ClearPastLastPixel(gotRows, columns, rowBytes, d.depth);
        ClearPastLastPixel(pixels, columns, rowBytes, d.depth);
        EXPECT_EQ(
            Bytes(got.begin(), got.begin() + 16),
            DeviceBitmap(static_cast<std::uint16_t>(columns), static_cast<std::uint16_t>(rows),
                         rowBytes, d.depth, 72, {}, 0xFFFFFFFF))
            << what;
        EXPECT_EQ(gotRows, pixels) << what;
      }
    }
  }
}

// The picture is an IPictureDisp owning its bitmap: reading it leaves it
// selected where it was, holds no reference, and the bitmap goes with the
// picture's last reference.
TEST(PictureWin32Test, PicturesOwnTheirBitmapAndReadingLeavesThemAsFound) {
  const Bytes bitmap = DeviceBitmap(16, 2, 2, 1, 72, {0x80, 0x01, 0xF0, 0x0F});
  CVariant picture = CreateOlePicture(CVariant::Bytes(bitmap));
  IPictureDisp* disp = PictureOf<IPictureDisp>(picture, IID_IPictureDisp);
  ASSERT_NE(disp, nullptr);
  disp->Release();
  IPicture* ipicture = PictureOf(picture);
  ASSERT_NE(ipicture, nullptr);
  const HBITMAP handle = HandleOf(ipicture);

  Bytes expected = bitmap;
  expected[12] = expected[13] = expected[14] = expected[15] = 0xFF;
  EXPECT_EQ(CreateKDBitmap(picture).GetArray().GetData(), expected);
  HDC current = reinterpret_cast<HDC>(1);
  ipicture->get_CurDC(&current);
  EXPECT_EQ(current, nullptr);  // selected nowhere, as before

  // Selected into a caller's context: it is there again afterwards.
  HDC callerDC = CreateCompatibleDC(nullptr);
  ASSERT_TRUE(SUCCEEDED(ipicture->SelectPicture(callerDC, nullptr, nullptr)));
  EXPECT_EQ(CreateKDBitmap(picture).GetArray().GetData(), expected);
  ipicture->get_CurDC(&current);
  EXPECT_EQ(current, callerDC);
  EXPECT_EQ(GetCurrentObject(callerDC, OBJ_BITMAP), handle);
  ipicture->SelectPicture(nullptr, nullptr, nullptr);
  DeleteDC(callerDC);

  ipicture->Release();
  EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP));
  picture = CVariant();
  EXPECT_EQ(GetObjectType(handle), 0u);  // deleted with the picture
}

TEST(PictureWin32Test, OnlyBitmapPicturesAreRead) {
  PICTDESC none{};
  none.picType = PICTYPE_NONE;
  PICTDESC icon{};
  icon.picType = PICTYPE_ICON;
  icon.icon.hicon = LoadIcon(nullptr, IDI_APPLICATION);
  FONTDESC font{};
  font.cbSizeofstruct = sizeof font;
  font.lpstrName = const_cast<LPOLESTR>(L"Arial");
  font.cySize.int64 = 100000;
  font.sWeight = FW_NORMAL;
  IDispatch* fontObject = nullptr;
  ASSERT_TRUE(SUCCEEDED(
      OleCreateFontIndirect(&font, IID_IDispatch, reinterpret_cast<void**>(&fontObject))));

  struct Case {
    const char* what;
    CVariant value;
    const char* result;
  } cases[] = {
      {"an empty picture", PlatformPictureOf(none, TRUE), kCorrupted},
      {"an icon", PlatformPictureOf(icon, FALSE), kCorrupted},
      {"a font object", Adopt(fontObject), kNotPicture},
      {"the portable picture",
       CVariant::Object(
           std::make_shared<CPicture>(DeviceBitmapToBmp(DeviceBitmap(16, 1, 2, 1, 72, {0, 0})))),
       kNotPicture},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Raised([&] { CreateKDBitmap(c.value); }), c.result) << c.what;
  }
}

// Bitmaps the library did not make: a monochrome device-dependent bitmap
// (GDI's table is black then white, so its pixels are mapped onto the 8-bit
// table) and a 32-bit DIB section (read at 32 bits, written at depth 16).
TEST(PictureWin32Test, OtherPlatformBitmapsAreRead) {
  const BYTE monochromeBits[2] = {0xF0, 0};  // rows of a whole word: 8 pixels, padding
  PICTDESC monochrome{};
  monochrome.picType = PICTYPE_BITMAP;
  monochrome.bmp.hbitmap = CreateBitmap(8, 1, 1, 1, monochromeBits);
  ASSERT_NE(monochrome.bmp.hbitmap, nullptr);
  struct Case {
    const char* what;
    CVariant picture;
    Bytes deviceBitmap;
  } cases[] = {
      {"monochrome", PlatformPictureOf(monochrome, TRUE),
       DeviceBitmap(8, 1, 8, 8, 72, {0, 0, 0, 0, 230, 230, 230, 230}, 0xFFFFFFFF)},
      {"32 bits",
       testing::PlatformPicture(
           testing::BmpImage(2, 1, 32, {}, {0, 0, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0})),
       DeviceBitmap(2, 1, 4, 16, 72, {0xF8, 0x00, 0xFF, 0xFF}, 0xFFFFFFFF)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CreateKDBitmap(c.picture).GetArray().GetData(), c.deviceBitmap) << c.what;
  }
}

// Takes every GDI handle (as memory contexts) the process can still take but
// `spare`, until destroyed.
class CGdiHandleHog {
 public:
  explicit CGdiHandleHog(int spare = 0) {
    while (taken_.size() < 200000) {
      HDC dc = CreateCompatibleDC(nullptr);
      if (dc == nullptr) break;
      taken_.push_back(dc);
    }
    for (int i = 0; i < spare && !taken_.empty(); ++i) {
      DeleteDC(taken_.back());
      taken_.pop_back();
    }
  }
  ~CGdiHandleHog() {
    for (HDC dc : taken_)
      DeleteDC(dc);
  }
  CGdiHandleHog(const CGdiHandleHog&) = delete;
  CGdiHandleHog& operator=(const CGdiHandleHog&) = delete;

  int Count() const { return static_cast<int>(taken_.size()); }

 private:
  std::vector<HDC> taken_;
};

int FreeGdiHandles() {
  return CGdiHandleHog().Count();
}

// With 0 to 4 GDI handles left, each conversion either succeeds or raises
// 10027's text (never an empty picture), and gives back every handle it took.
TEST(PictureWin32Test, RunningOutOfGdiHandlesRaisesAndLeaksNothing) {
  const CVariant bitmap = CVariant::Bytes(DeviceBitmap(16, 2, 2, 1, 72, {1, 2, 3, 4}));
  CVariant picture = CreateOlePicture(bitmap);
  CreateKDBitmap(picture);  // the platform's one-time set-up, outside the count
  for (int spare = 0; spare <= 4; ++spare) {
    std::string made;
    std::string read;
    int leftAfterMaking = 0;
    int leftAfterReading = 0;
    {
      CGdiHandleHog hog(spare);
      made = Raised([&] {
        CVariant result = CreateOlePicture(bitmap);
        IPicture* ipicture = PictureOf(result);
        if (ipicture == nullptr) throw CErr("no picture object");
        ipicture->Release();
      });
      leftAfterMaking = FreeGdiHandles();
      read = Raised([&] { CreateKDBitmap(picture); });
      leftAfterReading = FreeGdiHandles();
    }
    EXPECT_TRUE(made == "ok" || made == kConversionFailed) << spare << ": " << made;
    EXPECT_TRUE(read == "ok" || read == kConversionFailed) << spare << ": " << read;
    EXPECT_EQ(leftAfterMaking, spare);
    EXPECT_EQ(leftAfterReading, spare);
    if (spare == 0) {
      EXPECT_EQ(made, kConversionFailed);
      EXPECT_EQ(read, kConversionFailed);
    }
    if (spare == 4) {
      EXPECT_EQ(made, "ok");
      EXPECT_EQ(read, "ok");
    }
  }
}

}  // namespace
}  // namespace kd
