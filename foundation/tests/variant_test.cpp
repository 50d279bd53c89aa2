// Automation values: type codes, accessors, by-reference marks and arrays.
#include <gtest/gtest.h>

#include "foundation/errors.h"
#include "foundation/variant.h"

namespace kd {
namespace {

TEST(VariantTest, TypeCodesAreThePlatformsOwn) {
  struct Case {
    CVariant value;
    std::uint16_t type;
  } cases[] = {
      {CVariant(), 0},
      {CVariant::Null(), 1},
      {CVariant::I2(1), 2},
      {CVariant::I4(1), 3},
      {CVariant::R4(1), 4},
      {CVariant::R8(1), 5},
      {CVariant::Date(1), 7},
      {CVariant::String(u"x"), 8},
      {CVariant::Object(nullptr), 9},
      {CVariant::Bool(true), 11},
      {CVariant::I1(1), 16},
      {CVariant::UI1(1), 17},
      {CVariant::UI2(1), 18},
      {CVariant::UI4(1), 19},
      {CVariant::Bytes({1, 2}), 0x2011},
      {CVariant::Bytes({1, 2}).AsByRef(), 0x6011},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.value.GetType(), c.type) << VarTypeName(c.value.GetType());
}

TEST(VariantTest, AccessorsKeepTheFullRangeOfEachType) {
  EXPECT_EQ(CVariant::I1(-128).GetI1(), -128);
  EXPECT_EQ(CVariant::UI1(255).GetUI1(), 255);
  EXPECT_EQ(CVariant::I2(-32768).GetI2(), -32768);
  EXPECT_EQ(CVariant::UI2(65535).GetUI2(), 65535);
  EXPECT_EQ(CVariant::I4(INT32_MIN).GetI4(), INT32_MIN);
  EXPECT_EQ(CVariant::UI4(0xFFFFFFFFu).GetUI4(), 0xFFFFFFFFu);
  EXPECT_EQ(CVariant::R4(0.1f).GetR4(), 0.1f);
  EXPECT_EQ(CVariant::R8(0.1).GetR8(), 0.1);
  EXPECT_EQ(CVariant::Bool(true).GetBool(), -1);
  EXPECT_EQ(CVariant::Bool(false).GetBool(), 0);
  EXPECT_EQ(CVariant::BoolBits(1).GetBool(), 1);
  EXPECT_EQ(CVariant::Date(1462.5).GetDate(), 1462.5);
  EXPECT_EQ(CVariant::String(u"\u00e9").GetString(), u"\u00e9");
}

TEST(VariantTest, AccessorOfAnotherTypeRaisesTypeMismatch) {
  try {
    CVariant::I2(1).GetI4();
    FAIL();
  } catch (const CPlatformError& error) {
    EXPECT_EQ(static_cast<std::uint32_t>(error.GetResult()), 0x80020005u);
    EXPECT_EQ(error.GetDescription(), nullptr);
  }
  EXPECT_THROW(CVariant::R8(1).GetDate(), CPlatformError);
  EXPECT_THROW(CVariant().GetArray(), CPlatformError);
}

TEST(VariantTest, ByReferenceValuesKeepTheirValueAndMark) {
  CVariant byRef = CVariant::Date(2.0).AsByRef();
  EXPECT_TRUE(byRef.IsByRef());
  EXPECT_EQ(byRef.GetBaseType(), VT_DATE);
  EXPECT_EQ(byRef.GetDate(), 2.0);
  EXPECT_NE(byRef, CVariant::Date(2.0));
  EXPECT_FALSE(CVariant::Bytes({1}).AsByRef().IsByteArray());
  EXPECT_TRUE(CVariant::Bytes({1}).IsByteArray());
}

TEST(VariantTest, ArraysCarryDimensionsAndLowerBounds) {
  CSafeArray matrix(VT_UI1, {{2, 0}, {3, 1}});
  EXPECT_EQ(matrix.GetDimensions(), 2u);
  EXPECT_EQ(matrix.GetElementCount(), 6u);
  EXPECT_EQ(matrix.GetData().size(), 6u);
  CSafeArray shorts(VT_I2, {{4, 0}});
  EXPECT_EQ(shorts.GetData().size(), 8u);
  CVariant bytes = CVariant::Bytes({7, 8, 9}, 1);
  EXPECT_EQ(bytes.GetArray().GetBounds()[0].lowerBound, 1);
  EXPECT_EQ(bytes.GetArray().GetData(), (std::vector<std::uint8_t>{7, 8, 9}));
  EXPECT_EQ(CVariant::Bytes({}).GetArray().GetElementCount(), 0u);
  EXPECT_EQ(CVariant::Bytes({}).GetArray().GetDimensions(), 1u);
}

TEST(VariantTest, CopiesAreIndependentButObjectsAreShared) {
  CVariant original = CVariant::Bytes({1, 2, 3});
  CVariant copy = original;
  copy.GetArray().GetData()[0] = 9;
  EXPECT_EQ(original.GetArray().GetData()[0], 1);

  auto object = std::make_shared<CAutomationObject>();
  CVariant first = CVariant::Object(object);
  CVariant second = first;
  EXPECT_EQ(second.GetObject(), object);
  EXPECT_EQ(object.use_count(), 3);
  EXPECT_EQ(first, second);
}

TEST(VariantTest, EqualityComparesBits) {
  EXPECT_EQ(CVariant::R8(0.0), CVariant::R8(0.0));
  EXPECT_NE(CVariant::R8(0.0), CVariant::R8(-0.0));
  EXPECT_NE(CVariant::R8(1.0), CVariant::Date(1.0));
  EXPECT_NE(CVariant::I2(1), CVariant::I4(1));
  EXPECT_EQ(VarTypeName(VT_ARRAY | VT_UI1), "VT_ARRAY|VT_UI1");
}

}  // namespace
}  // namespace kd
