// The recordset's picture properties: device bitmaps to picture objects and
// back, with the values they refuse as callers see them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "recordset/recordset.h"
#include "testing/bitmap_images.h"
#include "testing/outcomes.h"

namespace kd {
namespace {

using testing::Bytes;
using testing::DeviceBitmap;
using testing::Result;

const char* const kNotPicture = "80042728 Object type must be IDispPicture";
const char* const kBitmapError = "80042710 Generic error: bitmap error.";

// A 1-bit bitmap of 16 x 2 units at `density`.
Bytes SmallBitmap(std::uint16_t density) {
  const std::uint32_t rows = 2u * density / 72;
  const std::uint16_t rowBytes = testing::DeviceRowBytes(16u * density / 72, 1);
  return DeviceBitmap(16, 2, rowBytes, 1, density, Bytes(rowBytes * rows, 0x5A));
}

TEST(PicturePropertiesTest, CreateOlePictureNeedsAByteArrayAndNoTable) {
  CRecordset rs;  // closed: the conversions need no table
  struct Case {
    const char* what;
    CVariant value;
    std::string result;
  } cases[] = {
      {"a bitmap", CVariant::Bytes(SmallBitmap(72)), "ok"},
      {"64000 elements", CVariant::Bytes([] {
         Bytes b = SmallBitmap(72);
         b.resize(64000, 0);
         return b;
       }()),
       "ok"},
      {"64001 elements", CVariant::Bytes(Bytes(64001, 0)), testing::kNotByteArray},
      {"two dimensions", CVariant::Array(CSafeArray(VT_UI1, {{16, 0}, {2, 0}})),
       testing::kNotByteArray},
      {"16-bit integers", CVariant::Array(CSafeArray(VT_I2, {{16, 0}})), testing::kNotByteArray},
      {"by reference", CVariant::Bytes(SmallBitmap(72)).AsByRef(), testing::kNotByteArray},
      {"a string", CVariant::String(u"bm"), testing::kNotByteArray},
      {"empty", CVariant(), testing::kNotByteArray},
      {"a bad signature", CVariant::Bytes(DeviceBitmap(16, 2, 2, 1, 72, Bytes(4, 0), 0, "ab")),
       kBitmapError},
      {"version 1", CVariant::Bytes(DeviceBitmap(16, 2, 2, 1, 72, Bytes(4, 0), 0, "bm", 1)),
       kBitmapError},
      {"the placeholder", CVariant::Bytes(testing::PlaceholderBitmap()), kBitmapError},
  };
  for (const Case& c : cases) {
    CVariant picture = CVariant::I4(7);
    EXPECT_EQ(Result(rs.get_CreateOlePicture(c.value, &picture)), c.result) << c.what;
    if (c.result == "ok") {
      EXPECT_EQ(picture.GetType(), VT_DISPATCH) << c.what;
    } else {
      EXPECT_EQ(picture, CVariant::I4(7)) << c.what;  // untouched on failure
    }
  }
}

TEST(PicturePropertiesTest, PictureRoundTripComesBackAtDensity72) {
  CRecordset rs;
  Bytes bitmap = SmallBitmap(144);
  CVariant picture;
  ASSERT_EQ(Result(rs.get_CreateOlePicture(CVariant::Bytes(bitmap), &picture)), "ok");
  CVariant back;
  ASSERT_EQ(Result(rs.get_CreateKDBitmap(picture, &back)), "ok");
  ASSERT_TRUE(back.IsByteArray());
  const Bytes& bytes = back.GetArray().GetData();
  EXPECT_EQ((bytes[2] << 8) | bytes[3], 32);  // width in units at density 72
  EXPECT_EQ((bytes[4] << 8) | bytes[5], 4);
  EXPECT_EQ((bytes[10] << 8) | bytes[11], 72);
  EXPECT_EQ(bytes[8], 1);  // the 1-bit table comes back as depth 1
  EXPECT_EQ(Bytes(bytes.begin() + 16, bytes.end()), Bytes(bitmap.begin() + 16, bitmap.end()));
}

TEST(PicturePropertiesTest, CreateKDBitmapNeedsAPicture) {
  CRecordset rs;
  auto notAPicture = std::make_shared<CAutomationObject>();
  CVariant picture;
  rs.get_CreateOlePicture(CVariant::Bytes(SmallBitmap(72)), &picture);
  struct Case {
    const char* what;
    CVariant value;
  } cases[] = {
      {"a string", CVariant::String(u"picture")},
      {"a number", CVariant::I4(1)},
      {"empty", CVariant()},
      {"a picture by reference", picture.AsByRef()},
      {"an object that is not a picture", CVariant::Object(notAPicture)},
      {"no object", CVariant::Object(nullptr)},
  };
  for (const Case& c : cases) {
    CVariant out = CVariant::I4(7);
    EXPECT_EQ(Result(rs.get_CreateKDBitmap(c.value, &out)), kNotPicture) << c.what;
    EXPECT_EQ(out, CVariant::I4(7)) << c.what;
  }
}

}  // namespace
}  // namespace kd
