// Coercion of automation values. One table runs on both builds: natively
// against the portable rules; on Windows against the platform's
// VariantChangeType through the VARIANT bridge and against the portable rules,
// so the two are proven to agree. The generated comparison of the two is in
// coercion_differential_test.cpp.
//
// Left out of the table on purpose, where the platform under Wine and Windows
// itself are known or likely to differ:
//   - reals written with an exponent although fewer digits would show them in
//     full, e.g. 1E-05 (later platform releases write "0.00001");
//   - reals exactly halfway between two shortest forms (Wine rounds them away
//     from zero, e.g. 2097152.5 as R4 reads "2097153", as the portable rules
//     do);
//   - text whose first fraction digit comes after zeros, e.g. "0.06" to an
//     integer, which Wine rounds as if it read "0.6" (the portable rules round
//     the true value; see PortableRoundingOfTextFollowsTheValue);
//   - date text ending in a lone "a" or "p", which Wine reads past its end;
//   - dates from two numbers only, which take the current year;
//   - NaN, whose conversions follow the processor's, not a rule.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "foundation/coercion.h"
#include "foundation/errors.h"
#include "foundation/platform.h"

#ifdef _WIN32
#include <windows.h>

#include <oleauto.h>

#include "foundation/variant_win32.h"
#endif

namespace kd {
namespace {

using V = CVariant;

constexpr HRESULT kMismatch = hr::kDispTypeMismatch;
constexpr HRESULT kOverflow = hr::kDispOverflow;
constexpr HRESULT kBadType = hr::kDispBadVarType;

struct Case {
  CVariant source;
  VarType target;
  CVariant expected;  // when `error` is S_OK
  HRESULT error;
  bool portableRefuses = false;  // text beyond the portable rules' shapes
};

Case Ok(CVariant source, VarType target, CVariant expected) {
  return {std::move(source), target, std::move(expected), hr::kOk};
}

Case Fails(CVariant source, VarType target, HRESULT error) {
  return {std::move(source), target, CVariant(), error};
}

// Read by the platform, refused by the portable rules as DISP_E_TYPEMISMATCH.
Case Beyond(CVariant source, VarType target, CVariant expected) {
  return {std::move(source), target, std::move(expected), hr::kOk, true};
}

V S(const char16_t* text) {
  return V::String(text);
}

VarType Code(std::uint16_t code) {
  return static_cast<VarType>(code);
}

// An object that is not one of the platform's.
class CPicture : public CAutomationObject {};

std::string Describe(const CVariant& value) {
  std::string text = VarTypeName(value.GetType());
  char number[64] = "";
  switch (value.GetBaseType()) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
      std::snprintf(number, sizeof number, " %lld",
                    static_cast<long long>(value.GetBaseType() == VT_I1   ? value.GetI1()
                                           : value.GetBaseType() == VT_I2 ? value.GetI2()
                                                                          : value.GetI4()));
      break;
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
      std::snprintf(
          number, sizeof number, " %llu",
          static_cast<unsigned long long>(value.GetBaseType() == VT_UI1   ? value.GetUI1()
                                          : value.GetBaseType() == VT_UI2 ? value.GetUI2()
                                                                          : value.GetUI4()));
      break;
    case VT_BOOL:
      std::snprintf(number, sizeof number, " %d", value.GetBool());
      break;
    case VT_R4:
      std::snprintf(number, sizeof number, " %.9g", static_cast<double>(value.GetR4()));
      break;
    case VT_R8:
      std::snprintf(number, sizeof number, " %.17g", value.GetR8());
      break;
    case VT_DATE:
      std::snprintf(number, sizeof number, " %.17g", value.GetDate());
      break;
    case VT_BSTR:
      text += " \"";
      for (char16_t c : value.GetString()) {
        if (c >= 0x20 && c < 0x7F) {
          text += static_cast<char>(c);
        } else {
          std::snprintf(number, sizeof number, "\\u%04x", static_cast<unsigned>(c));
          text += number;
        }
      }
      return text + "\"";
    default:
      break;
  }
  return text + number;
}

// Every pair of the thirteen types, the rounding and range boundaries, the
// text the English locale reads and writes, by-reference sources, arrays,
// objects and targets a CVariant cannot hold.
std::vector<Case> Table() {
  const double kFltMax = FLT_MAX;
  const double kInfinity = std::numeric_limits<double>::infinity();
  const auto picture = std::make_shared<CPicture>();
  CSafeArray grid(VT_UI1, {{2, 0}, {2, 0}});
  return {
      // VT_EMPTY reads as zero, "" and false.
      Ok(V(), VT_EMPTY, V()),
      Ok(V(), VT_NULL, V::Null()),
      Ok(V(), VT_I1, V::I1(0)),
      Ok(V(), VT_UI1, V::UI1(0)),
      Ok(V(), VT_I2, V::I2(0)),
      Ok(V(), VT_UI2, V::UI2(0)),
      Ok(V(), VT_I4, V::I4(0)),
      Ok(V(), VT_UI4, V::UI4(0)),
      Ok(V(), VT_R4, V::R4(0)),
      Ok(V(), VT_R8, V::R8(0)),
      Ok(V(), VT_DATE, V::Date(0)),
      Ok(V(), VT_BSTR, S(u"")),
      Ok(V(), VT_BOOL, V::Bool(false)),

      // VT_NULL becomes nothing but itself.
      Ok(V::Null(), VT_NULL, V::Null()),
      Fails(V::Null(), VT_EMPTY, kMismatch),
      Fails(V::Null(), VT_I1, kMismatch),
      Fails(V::Null(), VT_UI1, kMismatch),
      Fails(V::Null(), VT_I2, kMismatch),
      Fails(V::Null(), VT_UI2, kMismatch),
      Fails(V::Null(), VT_I4, kMismatch),
      Fails(V::Null(), VT_UI4, kMismatch),
      Fails(V::Null(), VT_R4, kMismatch),
      Fails(V::Null(), VT_R8, kMismatch),
      Fails(V::Null(), VT_DATE, kMismatch),
      Fails(V::Null(), VT_BSTR, kMismatch),
      Fails(V::Null(), VT_BOOL, kMismatch),

      // Integers: a signed and an unsigned type of one width share the bits,
      // every other pair checks the range.
      Ok(V::I1(-1), VT_EMPTY, V()),
      Ok(V::I1(-1), VT_NULL, V::Null()),
      Ok(V::I1(-1), VT_UI1, V::UI1(255)),
      Ok(V::I1(-128), VT_I2, V::I2(-128)),
      Fails(V::I1(-1), VT_UI2, kOverflow),
      Ok(V::I1(127), VT_UI2, V::UI2(127)),
      Ok(V::I1(-128), VT_I4, V::I4(-128)),
      Fails(V::I1(-1), VT_UI4, kOverflow),
      Ok(V::I1(-5), VT_R4, V::R4(-5)),
      Ok(V::I1(-5), VT_R8, V::R8(-5)),
      Ok(V::I1(-5), VT_DATE, V::Date(-5)),
      Ok(V::I1(-128), VT_BSTR, S(u"-128")),
      Ok(V::I1(-1), VT_BOOL, V::Bool(true)),
      Ok(V::I1(0), VT_BOOL, V::Bool(false)),

      Ok(V::UI1(200), VT_I1, V::I1(-56)),
      Ok(V::UI1(127), VT_I1, V::I1(127)),
      Ok(V::UI1(255), VT_EMPTY, V()),
      Ok(V::UI1(255), VT_NULL, V::Null()),
      Ok(V::UI1(255), VT_I2, V::I2(255)),
      Ok(V::UI1(255), VT_UI2, V::UI2(255)),
      Ok(V::UI1(255), VT_I4, V::I4(255)),
      Ok(V::UI1(255), VT_UI4, V::UI4(255)),
      Ok(V::UI1(255), VT_R4, V::R4(255)),
      Ok(V::UI1(255), VT_R8, V::R8(255)),
      Ok(V::UI1(255), VT_DATE, V::Date(255)),
      Ok(V::UI1(255), VT_BSTR, S(u"255")),
      Ok(V::UI1(0), VT_BOOL, V::Bool(false)),
      Ok(V::UI1(2), VT_BOOL, V::Bool(true)),

      Ok(V::I2(-128), VT_I1, V::I1(-128)),
      Fails(V::I2(-129), VT_I1, kOverflow),
      Fails(V::I2(128), VT_I1, kOverflow),
      Ok(V::I2(255), VT_UI1, V::UI1(255)),
      Fails(V::I2(256), VT_UI1, kOverflow),
      Fails(V::I2(-1), VT_UI1, kOverflow),
      Ok(V::I2(-1), VT_UI2, V::UI2(65535)),
      Ok(V::I2(-32768), VT_I4, V::I4(-32768)),
      Fails(V::I2(-1), VT_UI4, kOverflow),
      Ok(V::I2(32767), VT_UI4, V::UI4(32767)),
      Ok(V::I2(-32768), VT_R4, V::R4(-32768)),
      Ok(V::I2(-32768), VT_R8, V::R8(-32768)),
      Ok(V::I2(-32768), VT_DATE, V::Date(-32768)),
      Ok(V::I2(-32768), VT_BSTR, S(u"-32768")),
      Ok(V::I2(-2), VT_BOOL, V::Bool(true)),
      Ok(V::I2(1), VT_EMPTY, V()),
      Ok(V::I2(1), VT_NULL, V::Null()),

      Ok(V::UI2(65535), VT_I2, V::I2(-1)),
      Ok(V::UI2(127), VT_I1, V::I1(127)),
      Fails(V::UI2(128), VT_I1, kOverflow),
      Fails(V::UI2(256), VT_UI1, kOverflow),
      Ok(V::UI2(65535), VT_I4, V::I4(65535)),
      Ok(V::UI2(65535), VT_UI4, V::UI4(65535)),
      Ok(V::UI2(65535), VT_R4, V::R4(65535)),
      Ok(V::UI2(65535), VT_R8, V::R8(65535)),
      Ok(V::UI2(65535), VT_DATE, V::Date(65535)),
      Ok(V::UI2(65535), VT_BSTR, S(u"65535")),
      Ok(V::UI2(65535), VT_BOOL, V::Bool(true)),
      Ok(V::UI2(1), VT_EMPTY, V()),
      Ok(V::UI2(1), VT_NULL, V::Null()),

      Ok(V::I4(-1), VT_UI4, V::UI4(4294967295u)),
      Ok(V::I4(INT32_MIN), VT_UI4, V::UI4(2147483648u)),
      Ok(V::I4(127), VT_I1, V::I1(127)),
      Fails(V::I4(-129), VT_I1, kOverflow),
      Fails(V::I4(256), VT_UI1, kOverflow),
      Ok(V::I4(32767), VT_I2, V::I2(32767)),
      Fails(V::I4(32768), VT_I2, kOverflow),
      Fails(V::I4(-32769), VT_I2, kOverflow),
      Ok(V::I4(65535), VT_UI2, V::UI2(65535)),
      Fails(V::I4(65536), VT_UI2, kOverflow),
      Fails(V::I4(-1), VT_UI2, kOverflow),
      Ok(V::I4(INT32_MAX), VT_R4, V::R4(2147483648.0f)),
      Ok(V::I4(16777217), VT_R4, V::R4(16777216.0f)),
      Ok(V::I4(INT32_MIN), VT_R8, V::R8(-2147483648.0)),
      Ok(V::I4(2958465), VT_DATE, V::Date(2958465)),
      Fails(V::I4(2958466), VT_DATE, kOverflow),
      Ok(V::I4(-657434), VT_DATE, V::Date(-657434)),
      Fails(V::I4(-657435), VT_DATE, kOverflow),
      Ok(V::I4(INT32_MIN), VT_BSTR, S(u"-2147483648")),
      Ok(V::I4(0), VT_BOOL, V::Bool(false)),
      Ok(V::I4(7), VT_BOOL, V::Bool(true)),
      Ok(V::I4(5), VT_EMPTY, V()),
      Ok(V::I4(5), VT_NULL, V::Null()),

      Ok(V::UI4(4294967295u), VT_I4, V::I4(-1)),
      Ok(V::UI4(2147483648u), VT_I4, V::I4(INT32_MIN)),
      Ok(V::UI4(127), VT_I1, V::I1(127)),
      Fails(V::UI4(128), VT_I1, kOverflow),
      Ok(V::UI4(255), VT_UI1, V::UI1(255)),
      Fails(V::UI4(256), VT_UI1, kOverflow),
      Fails(V::UI4(32768), VT_I2, kOverflow),
      Fails(V::UI4(65536), VT_UI2, kOverflow),
      Ok(V::UI4(4294967295u), VT_R4, V::R4(4294967296.0f)),
      Ok(V::UI4(4294967295u), VT_R8, V::R8(4294967295.0)),
      Ok(V::UI4(2958465), VT_DATE, V::Date(2958465)),
      Fails(V::UI4(2958466), VT_DATE, kOverflow),
      Ok(V::UI4(4294967295u), VT_BSTR, S(u"4294967295")),
      Ok(V::UI4(1), VT_BOOL, V::Bool(true)),
      Ok(V::UI4(1), VT_EMPTY, V()),
      Ok(V::UI4(1), VT_NULL, V::Null()),

      // Reals to integers round half to even; out of [min - 0.5, max + 0.5)
      // overflows, and -0.5 itself still rounds to an unsigned 0.
      Ok(V::R8(0.5), VT_I4, V::I4(0)),
      Ok(V::R8(1.5), VT_I4, V::I4(2)),
      Ok(V::R8(2.5), VT_I4, V::I4(2)),
      Ok(V::R8(2.5000001), VT_I4, V::I4(3)),
      Ok(V::R8(-1.5), VT_I4, V::I4(-2)),
      Ok(V::R8(-2.5), VT_I4, V::I4(-2)),
      Ok(V::R8(-2.4999), VT_I4, V::I4(-2)),
      Ok(V::R8(126.5), VT_I1, V::I1(126)),
      Ok(V::R8(127.4999), VT_I1, V::I1(127)),
      Fails(V::R8(127.5), VT_I1, kOverflow),
      Ok(V::R8(-128.5), VT_I1, V::I1(-128)),
      Fails(V::R8(-128.51), VT_I1, kOverflow),
      Ok(V::R8(255.49), VT_UI1, V::UI1(255)),
      Fails(V::R8(255.5), VT_UI1, kOverflow),
      Ok(V::R8(-0.5), VT_UI1, V::UI1(0)),
      Fails(V::R8(-0.51), VT_UI1, kOverflow),
      Ok(V::R8(32767.49), VT_I2, V::I2(32767)),
      Fails(V::R8(32767.5), VT_I2, kOverflow),
      Ok(V::R8(-32768.5), VT_I2, V::I2(-32768)),
      Fails(V::R8(-32768.51), VT_I2, kOverflow),
      Ok(V::R8(65534.5), VT_UI2, V::UI2(65534)),
      Fails(V::R8(65535.5), VT_UI2, kOverflow),
      Ok(V::R8(-0.5), VT_UI2, V::UI2(0)),
      Ok(V::R8(2147483647.49), VT_I4, V::I4(INT32_MAX)),
      Fails(V::R8(2147483647.5), VT_I4, kOverflow),
      Ok(V::R8(-2147483648.5), VT_I4, V::I4(INT32_MIN)),
      Fails(V::R8(-2147483648.51), VT_I4, kOverflow),
      Ok(V::R8(4294967294.5), VT_UI4, V::UI4(4294967294u)),
      Fails(V::R8(4294967295.5), VT_UI4, kOverflow),
      Ok(V::R8(-0.5), VT_UI4, V::UI4(0)),
      Fails(V::R8(kInfinity), VT_I4, kOverflow),
      Ok(V::R4(2.5f), VT_I1, V::I1(2)),
      Ok(V::R4(-2.5f), VT_I1, V::I1(-2)),
      Ok(V::R4(3.5f), VT_I2, V::I2(4)),
      Fails(V::R4(255.5f), VT_UI1, kOverflow),
      Ok(V::R4(-0.5f), VT_UI1, V::UI1(0)),
      Ok(V::R4(65535.4f), VT_UI2, V::UI2(65535)),
      Fails(V::R4(1e10f), VT_I4, kOverflow),
      Ok(V::R4(4294967040.0f), VT_UI4, V::UI4(4294967040u)),
      Ok(V::Date(45351.5), VT_I4, V::I4(45352)),
      Ok(V::Date(45350.5), VT_I4, V::I4(45350)),
      Ok(V::Date(2.5), VT_I1, V::I1(2)),
      Ok(V::Date(2.5), VT_UI1, V::UI1(2)),
      Fails(V::Date(1e6), VT_I2, kOverflow),
      Ok(V::Date(1e6 + 0.5), VT_UI4, V::UI4(1000000)),
      Fails(V::Date(-1.5), VT_UI2, kOverflow),

      // Reals among themselves: R8 to R4 overflows past the largest float.
      Ok(V::R8(0.1), VT_R4, V::R4(0.1f)),
      Ok(V::R8(kFltMax), VT_R4, V::R4(FLT_MAX)),
      Ok(V::R8(3.4028235e38), VT_R4, V::R4(FLT_MAX)),
      Fails(V::R8(3.4028236e38), VT_R4, kOverflow),
      Fails(V::R8(-3.4028236e38), VT_R4, kOverflow),
      Fails(V::R8(kInfinity), VT_R4, kOverflow),
      Ok(V::R8(1e-50), VT_R4, V::R4(0)),
      Ok(V::R4(0.1f), VT_R8, V::R8(static_cast<double>(0.1f))),
      Ok(V::Date(45351.25), VT_R8, V::R8(45351.25)),
      Ok(V::Date(45351.25), VT_R4, V::R4(45351.25f)),
      Fails(V::Date(1e39), VT_R4, kOverflow),
      Ok(V::R8(-7), VT_EMPTY, V()),
      Ok(V::R8(-7), VT_NULL, V::Null()),
      Ok(V::R4(-7), VT_EMPTY, V()),
      Ok(V::R4(-7), VT_NULL, V::Null()),
      Ok(V::Date(1), VT_EMPTY, V()),
      Ok(V::Date(1), VT_NULL, V::Null()),

      // Dates: 1 January 100 to 31 December 9999; from R4 and the small
      // integer types without a check.
      Ok(V::R8(2958465.99), VT_DATE, V::Date(2958465.99)),
      Fails(V::R8(2958466.0), VT_DATE, kOverflow),
      Ok(V::R8(-657434.99), VT_DATE, V::Date(-657434.99)),
      Fails(V::R8(-657435.0), VT_DATE, kOverflow),
      Ok(V::R4(1e30f), VT_DATE, V::Date(static_cast<double>(1e30f))),

      // Booleans: any nonzero is true; true is -1 in every type.
      Ok(V::R8(0.0), VT_BOOL, V::Bool(false)),
      Ok(V::R8(-0.0), VT_BOOL, V::Bool(false)),
      Ok(V::R8(1e-300), VT_BOOL, V::Bool(true)),
      Ok(V::R4(0.001f), VT_BOOL, V::Bool(true)),
      Ok(V::Date(0.0), VT_BOOL, V::Bool(false)),
      Ok(V::Date(0.25), VT_BOOL, V::Bool(true)),
      Ok(V::Bool(true), VT_I1, V::I1(-1)),
      Ok(V::Bool(true), VT_UI1, V::UI1(255)),
      Ok(V::Bool(true), VT_I2, V::I2(-1)),
      Ok(V::Bool(true), VT_UI2, V::UI2(65535)),
      Ok(V::Bool(true), VT_I4, V::I4(-1)),
      Ok(V::Bool(true), VT_UI4, V::UI4(4294967295u)),
      Ok(V::Bool(true), VT_R4, V::R4(-1)),
      Ok(V::Bool(true), VT_R8, V::R8(-1)),
      Ok(V::Bool(true), VT_DATE, V::Date(-1)),
      Ok(V::Bool(true), VT_BSTR, S(u"-1")),
      Ok(V::Bool(false), VT_BSTR, S(u"0")),
      Ok(V::Bool(false), VT_I4, V::I4(0)),
      Ok(V::Bool(true), VT_EMPTY, V()),
      Ok(V::Bool(true), VT_NULL, V::Null()),
      Ok(V::BoolBits(5), VT_I4, V::I4(5)),
      Ok(V::BoolBits(5), VT_BSTR, S(u"5")),
      Ok(V::BoolBits(256), VT_UI1, V::UI1(0)),
      Ok(V::BoolBits(5), VT_BOOL, V::BoolBits(5)),

      // Reals to text: 15 significant digits for R8, 7 for R4, an exponent
      // past them, never a negative zero.
      Ok(V::R8(0.1), VT_BSTR, S(u"0.1")),
      Ok(V::R8(-2.5), VT_BSTR, S(u"-2.5")),
      Ok(V::R8(1.0 / 3), VT_BSTR, S(u"0.333333333333333")),
      Ok(V::R8(123456789012345.6), VT_BSTR, S(u"123456789012346")),
      Ok(V::R8(100000000000000.0), VT_BSTR, S(u"100000000000000")),
      Ok(V::R8(999999999999999.9), VT_BSTR, S(u"1E+15")),
      Ok(V::R8(1234567890123456.0), VT_BSTR, S(u"1.23456789012346E+15")),
      Ok(V::R8(1e20), VT_BSTR, S(u"1E+20")),
      Ok(V::R8(1.5e300), VT_BSTR, S(u"1.5E+300")),
      Ok(V::R8(DBL_MAX), VT_BSTR, S(u"1.79769313486232E+308")),
      Ok(V::R8(5e-324), VT_BSTR, S(u"4.94065645841247E-324")),
      Ok(V::R8(0.0001), VT_BSTR, S(u"0.0001")),
      Ok(V::R8(-0.0), VT_BSTR, S(u"0")),
      Ok(V::R4(0.1f), VT_BSTR, S(u"0.1")),
      Ok(V::R4(123.25f), VT_BSTR, S(u"123.25")),
      Ok(V::R4(1.0f / 3), VT_BSTR, S(u"0.3333333")),
      Ok(V::R4(16777216.0f), VT_BSTR, S(u"1.677722E+07")),
      Ok(V::R4(1e20f), VT_BSTR, S(u"1E+20")),
      Ok(V::R4(-0.0f), VT_BSTR, S(u"0")),
      Ok(V::R4(0.0f), VT_BOOL, V::Bool(false)),

      // Dates to text: a whole number is a date, a number between -1 and 1 a
      // time, anything else both; the time part counts away from day 0.
      Ok(V::Date(0.0), VT_BSTR, S(u"12:00:00 AM")),
      Ok(V::Date(0.5), VT_BSTR, S(u"12:00:00 PM")),
      Ok(V::Date(-0.5), VT_BSTR, S(u"12:00:00 PM")),
      Ok(V::Date(0.25), VT_BSTR, S(u"6:00:00 AM")),
      Ok(V::Date(1.0), VT_BSTR, S(u"12/31/1899")),
      Ok(V::Date(-1.0), VT_BSTR, S(u"12/29/1899")),
      Ok(V::Date(-1.5), VT_BSTR, S(u"12/29/1899 12:00:00 PM")),
      Ok(V::Date(60.0), VT_BSTR, S(u"2/28/1900")),
      Ok(V::Date(61.0), VT_BSTR, S(u"3/1/1900")),
      Ok(V::Date(36526.0), VT_BSTR, S(u"1/1/2000")),
      Ok(V::Date(45351.0), VT_BSTR, S(u"2/29/2024")),
      Ok(V::Date(45351.55), VT_BSTR, S(u"2/29/2024 1:12:00 PM")),
      Ok(V::Date(45351.0 + 13 / 24.0 + 14 / 1440.0 + 15 / 86400.0), VT_BSTR,
         S(u"2/29/2024 1:14:15 PM")),
      Ok(V::Date(-36522.25), VT_BSTR, S(u"1/1/1800 6:00:00 AM")),
      Ok(V::Date(0.999994), VT_BSTR, S(u"11:59:59 PM")),
      Ok(V::Date(0.99999999), VT_BSTR, S(u"12:00:00 AM")),
      Ok(V::Date(2958465.0), VT_BSTR, S(u"12/31/9999")),
      Ok(V::Date(-657434.0), VT_BSTR, S(u"1/1/100")),
      Fails(V::Date(2958466.0), VT_BSTR, hr::kInvalidArg),
      Fails(V::Date(-657435.0), VT_BSTR, hr::kInvalidArg),

      // Text to numbers: white space, signs before or after, parentheses,
      // "$", thousands separators, a decimal point, an exponent, "&H"/"&O".
      Ok(S(u"12"), VT_I4, V::I4(12)),
      Ok(S(u" \t12 \n"), VT_I4, V::I4(12)),
      Ok(S(u"\u00a07"), VT_I4, V::I4(7)),
      Ok(S(u"+12"), VT_I2, V::I2(12)),
      Ok(S(u"-12"), VT_I1, V::I1(-12)),
      Ok(S(u"12-"), VT_I4, V::I4(-12)),
      Ok(S(u"5+"), VT_UI1, V::UI1(5)),
      Ok(S(u"  -  5"), VT_I4, V::I4(-5)),
      Ok(S(u"(5)"), VT_I4, V::I4(-5)),
      Ok(S(u"$5"), VT_I4, V::I4(5)),
      Ok(S(u"$1,234.50"), VT_R8, V::R8(1234.5)),
      Ok(S(u"$1,234.50"), VT_I4, V::I4(1234)),
      Ok(S(u"1,234"), VT_I4, V::I4(1234)),
      Fails(S(u"1,234"), VT_I1, kOverflow),
      Ok(S(u"1,,2"), VT_I4, V::I4(12)),
      Fails(S(u",1"), VT_I4, kMismatch),
      Ok(S(u"1.5"), VT_I4, V::I4(2)),
      Ok(S(u"2.5"), VT_I4, V::I4(2)),
      Ok(S(u"3.5"), VT_UI2, V::UI2(4)),
      Ok(S(u"-2.5"), VT_I4, V::I4(-2)),
      Ok(S(u"0.5"), VT_I4, V::I4(0)),
      Ok(S(u"0.6"), VT_I4, V::I4(1)),
      Ok(S(u"-0.5"), VT_UI1, V::UI1(0)),
      Fails(S(u"-0.6"), VT_UI1, kOverflow),
      Ok(S(u"-0.6"), VT_I1, V::I1(-1)),
      Ok(S(u".5"), VT_R8, V::R8(0.5)),
      Ok(S(u"5."), VT_I4, V::I4(5)),
      Ok(S(u"1e3"), VT_I4, V::I4(1000)),
      Ok(S(u"1E+3"), VT_I2, V::I2(1000)),
      Fails(S(u"1e3"), VT_I1, kOverflow),
      Ok(S(u"1.5e-1"), VT_R8, V::R8(0.15)),
      Ok(S(u"1.5e-1"), VT_I4, V::I4(0)),
      Ok(S(u"-0"), VT_R8, V::R8(-0.0)),
      Ok(S(u"-0"), VT_I4, V::I4(0)),
      Ok(S(u"&HFF"), VT_I4, V::I4(255)),
      Ok(S(u"&hff"), VT_UI1, V::UI1(255)),
      Ok(S(u"&HFF"), VT_I1, V::I1(-1)),
      Ok(S(u"&HFFFF"), VT_I2, V::I2(-1)),
      Ok(S(u"&HFFFFFFFF"), VT_I4, V::I4(-1)),
      Ok(S(u"&HFFFFFFFF"), VT_UI4, V::UI4(4294967295u)),
      Fails(S(u"&HFFFFFFFF"), VT_R8, kOverflow),
      Fails(S(u"&H100000000"), VT_UI4, kOverflow),
      Ok(S(u"&O17"), VT_I4, V::I4(15)),
      Ok(S(u"&O377"), VT_I1, V::I1(-1)),
      Fails(S(u"&O8"), VT_I4, kMismatch),
      Fails(S(u"&H"), VT_I4, kMismatch),
      Fails(S(u"12abc"), VT_I4, kMismatch),
      Fails(S(u"0x10"), VT_I4, kMismatch),
      Fails(S(u"1 2"), VT_I4, kMismatch),
      Fails(S(u"1.2.3"), VT_R8, kMismatch),
      Fails(S(u"--5"), VT_I4, kMismatch),
      Fails(S(u"1e"), VT_R8, kMismatch),
      Fails(S(u"e5"), VT_R8, kMismatch),
      Fails(S(u""), VT_I4, kMismatch),
      Fails(S(u" "), VT_R8, kMismatch),
      Fails(S(u"True"), VT_I4, kMismatch),
      Ok(V::String(std::u16string(u"1\0"
                                  u"2",
                                  3)),
         VT_I4, V::I4(1)),
      Ok(S(u"-128"), VT_I1, V::I1(-128)),
      Fails(S(u"128"), VT_I1, kOverflow),
      Fails(S(u"-129"), VT_I1, kOverflow),
      Ok(S(u"255"), VT_UI1, V::UI1(255)),
      Fails(S(u"256"), VT_UI1, kOverflow),
      Fails(S(u"-1"), VT_UI1, kOverflow),
      Ok(S(u"-32768"), VT_I2, V::I2(-32768)),
      Fails(S(u"32768"), VT_I2, kOverflow),
      Ok(S(u"65535"), VT_UI2, V::UI2(65535)),
      Fails(S(u"65536"), VT_UI2, kOverflow),
      Ok(S(u"-2147483648"), VT_I4, V::I4(INT32_MIN)),
      Fails(S(u"2147483648"), VT_I4, kOverflow),
      Ok(S(u"4294967295"), VT_UI4, V::UI4(4294967295u)),
      Fails(S(u"4294967296"), VT_UI4, kOverflow),
      Fails(S(u"-1"), VT_UI4, kOverflow),
      Ok(S(u"4294967295"), VT_R4, V::R4(4294967296.0f)),
      Ok(S(u"3.4e38"), VT_R4, V::R4(3.4e38f)),
      Fails(S(u"3.5e38"), VT_R4, kOverflow),
      // Below the smallest single the text overflows, although the smallest
      // single itself writes as such text (fuzz input 0xF6 "2e-45"): shorter
      // text of the same value reads.
      Ok(S(u"2e-45"), VT_R4, V::R4(std::numeric_limits<float>::denorm_min())),
      Ok(V::R4(std::numeric_limits<float>::denorm_min()), VT_BSTR, S(u"1.401298E-45")),
      Fails(S(u"1.401298E-45"), VT_R4, kOverflow),
      // Below the smallest normal single 7 digits may not tell neighbours
      // apart: the text moves on (fuzz input 0x06 ".0...010000002").
      Ok(S(u"1.0000002E-38"), VT_R4, V::R4(1.00000022e-38f)),
      Ok(V::R4(1.00000022e-38f), VT_BSTR, S(u"1E-38")),
      Ok(S(u"1E-38"), VT_R4, V::R4(9.99999935e-39f)),
      Beyond(S(u"3.5e38"), VT_R8, V::R8(3.5e38)),  // an inexact double
      Beyond(S(u"1.00000000000000001"), VT_R8, V::R8(1.0)),
      Beyond(S(u"(-5)"), VT_I4, V::I4(-5)),
      Beyond(S(u"5$"), VT_I4, V::I4(5)),
      Ok(S(u"-1234.5678"), VT_R8, V::R8(-1234.5678)),
      Fails(S(u"1e309"), VT_R8, kOverflow),
      Ok(S(u"1e-400"), VT_R8, V::R8(0.0)),
      Ok(S(u"-1e-400"), VT_R8, V::R8(-0.0)),

      // Text to booleans: "True"/"False" in any case, "#TRUE#"/"#FALSE#",
      // else a number.
      Ok(S(u"True"), VT_BOOL, V::Bool(true)),
      Ok(S(u"tRUE"), VT_BOOL, V::Bool(true)),
      Ok(S(u"false"), VT_BOOL, V::Bool(false)),
      Ok(S(u"#TRUE#"), VT_BOOL, V::Bool(true)),
      Ok(S(u"#FALSE#"), VT_BOOL, V::Bool(false)),
      Fails(S(u"#true#"), VT_BOOL, kMismatch),
      Fails(S(u" True"), VT_BOOL, kMismatch),
      Fails(S(u"Yes"), VT_BOOL, kMismatch),
      Ok(S(u"0"), VT_BOOL, V::Bool(false)),
      Ok(S(u"-0.0"), VT_BOOL, V::Bool(false)),
      Ok(S(u"2"), VT_BOOL, V::Bool(true)),
      Ok(S(u"&H0"), VT_BOOL, V::Bool(false)),
      Fails(S(u""), VT_BOOL, kMismatch),

      // Text to dates, in the English (United States) forms.
      Ok(S(u"2/29/2024"), VT_DATE, V::Date(45351)),
      Ok(S(u"2/29/2024 1:14:15 PM"), VT_DATE,
         V::Date(45351.0 + 13 / 24.0 + 14 / 1440.0 + 15 / 86400.0)),
      Ok(S(u"2/29/2024 12:00:00 PM"), VT_DATE, V::Date(45351.5)),
      Ok(S(u"1/2/2024 1:2:3 pm"), VT_DATE, V::Date(45293.0 + 13 / 24.0 + 2 / 1440.0 + 3 / 86400.0)),
      Ok(S(u"13:14:15"), VT_DATE, V::Date(0.0 + 13 / 24.0 + 14 / 1440.0 + 15 / 86400.0)),
      Ok(S(u"1:00 AM"), VT_DATE, V::Date(1 / 24.0)),
      Ok(S(u"12:00 AM"), VT_DATE, V::Date(0)),
      Ok(S(u"12 PM"), VT_DATE, V::Date(0.5)),
      Ok(S(u"2024-02-29"), VT_DATE, V::Date(45351)),
      Ok(S(u"2024/2/29"), VT_DATE, V::Date(45351)),
      Ok(S(u"29/2/2024"), VT_DATE, V::Date(45351)),
      Ok(S(u"13/1/2024"), VT_DATE, V::Date(45304)),
      Ok(S(u"February 29, 2024"), VT_DATE, V::Date(45351)),
      Ok(S(u"29 Feb 2024"), VT_DATE, V::Date(45351)),
      Ok(S(u"Thursday, February 29, 2024"), VT_DATE, V::Date(45351)),
      Ok(S(u"jan 5 2024"), VT_DATE, V::Date(45296)),
      Ok(S(u"Sep 5 2024"), VT_DATE, V::Date(45540)),
      Ok(S(u"1/1/49"), VT_DATE, V::Date(54424)),
      Ok(S(u"1/1/50"), VT_DATE, V::Date(18264)),
      Ok(S(u"12/31/99"), VT_DATE, V::Date(36525)),
      Ok(S(u"1/1/100"), VT_DATE, V::Date(-657434)),
      Ok(S(u"1/1/1800 6:00"), VT_DATE, V::Date(-36522.25)),
      Ok(S(u"1/1/1800 6:00 PM"), VT_DATE, V::Date(-36522.75)),
      Fails(S(u"1/1/99999"), VT_DATE, kMismatch),
      Fails(S(u"2/29/2023"), VT_DATE, kMismatch),
      Fails(S(u"2/30/2024"), VT_DATE, kMismatch),
      Fails(S(u"13/13/2024"), VT_DATE, kMismatch),
      Fails(S(u"24:00"), VT_DATE, kMismatch),
      Fails(S(u"23:60"), VT_DATE, kMismatch),
      Fails(S(u"1/2/3/4"), VT_DATE, kMismatch),
      Fails(S(u"1:00 PM PM"), VT_DATE, kMismatch),
      Fails(S(u"Sept 5 2024"), VT_DATE, kMismatch),
      Fails(S(u"2/29/2024 x"), VT_DATE, kMismatch),
      Fails(S(u""), VT_DATE, kMismatch),
      Fails(S(u"12"), VT_DATE, kMismatch),
      Beyond(S(u"2024/29/2"), VT_DATE, V::Date(45351)),
      Beyond(S(u"13:14 2/29/2024"), VT_DATE, V::Date(45351.0 + 13 / 24.0 + 14 / 1440.0)),
      Ok(S(u"x"), VT_EMPTY, V()),
      Ok(S(u"x"), VT_NULL, V::Null()),
      Ok(S(u"x"), VT_BSTR, S(u"x")),

      // A by-reference value converts from what it refers to.
      Ok(V::I4(7).AsByRef(), VT_I4, V::I4(7)),
      Ok(V::I4(7).AsByRef(), VT_BSTR, S(u"7")),
      Ok(S(u"12").AsByRef(), VT_I2, V::I2(12)),
      Ok(V::Date(1).AsByRef(), VT_BSTR, S(u"12/31/1899")),
      Ok(V::Bool(true).AsByRef(), VT_UI1, V::UI1(255)),
      Fails(V::Null().AsByRef(), VT_I4, kMismatch),
      Ok(V::Bytes({1, 2}, 1).AsByRef(), VT_ARRAY | VT_UI1, V::Bytes({1, 2}, 1)),

      // Arrays convert to themselves, and bytes to and from text.
      Ok(V::Bytes({0x41, 0x42, 0x43}), VT_BSTR, S(u"\u4241")),
      Ok(V::Bytes({0x41, 0x00, 0x42, 0x00}, 1), VT_BSTR, S(u"AB")),
      Ok(S(u"AB"), VT_ARRAY | VT_UI1, V::Bytes({0x41, 0x00, 0x42, 0x00})),
      Ok(S(u""), VT_ARRAY | VT_UI1, V::Bytes({})),
      Ok(V::Array(grid), VT_ARRAY | VT_UI1, V::Array(grid)),
      Fails(V::Array(grid), VT_BSTR, hr::kInvalidArg),
      Fails(V::Array(CSafeArray(VT_I4, {{2, 0}})), VT_BSTR, kMismatch),
      Fails(V::Array(CSafeArray(VT_I1, {{2, 0}})), VT_BSTR, kMismatch),
      Fails(V::Bytes({1}), VT_I4, kMismatch),
      Fails(V::Bytes({1}), VT_EMPTY, kMismatch),
      Fails(V::Bytes({1}), VT_NULL, kMismatch),
      Fails(V::Bytes({1}), VT_ARRAY | VT_I1, kMismatch),
      Fails(V::I4(5), VT_ARRAY | VT_I4, kMismatch),

      // Objects: the value of an absent one cannot be read, nor that of an
      // object other than the platform's.
      Ok(V::Object(nullptr), VT_DISPATCH, V::Object(nullptr)),
      Ok(V::Object(nullptr), VT_EMPTY, V()),
      Ok(V::Object(nullptr), VT_NULL, V::Null()),
      Fails(V::Object(nullptr), VT_I4, kBadType),
      Fails(V::Object(nullptr), VT_BSTR, kBadType),
      Fails(V::Object(nullptr), VT_BOOL, kBadType),
      Fails(V::Object(nullptr), VT_DATE, kBadType),
      Ok(V::Object(picture), VT_DISPATCH, V::Object(picture)),
      Ok(V::Object(picture).AsByRef(), VT_DISPATCH, V::Object(picture)),
      Fails(V::Object(picture), VT_I4, kMismatch),
      Fails(V::Object(picture), VT_EMPTY, kMismatch),
      Fails(V::I4(5), VT_DISPATCH, kMismatch),
      Fails(S(u"x"), VT_DISPATCH, kMismatch),

      // Targets a CVariant cannot hold.
      Fails(V::I4(5), Code(6), kMismatch),   // VT_CY
      Fails(V::I4(5), Code(20), kMismatch),  // VT_I8
      Fails(V::I4(5), VT_VARIANT, kMismatch),
      Fails(V::Null(), Code(14), kMismatch),  // VT_DECIMAL
      Fails(V::I4(5), VT_BYREF | VT_I4, kMismatch),
      Fails(V::I4(5), Code(0x2008), kMismatch),  // VT_ARRAY | VT_BSTR
      Fails(V::I4(5), Code(15), kBadType),
      Fails(V::I4(5), Code(24), kBadType),      // VT_VOID
      Fails(V::I4(5), Code(72), kBadType),      // VT_CLSID
      Fails(V::I4(5), Code(0x1003), kBadType),  // VT_VECTOR | VT_I4
      Fails(V::I4(5), VT_BYREF | VT_EMPTY, kBadType),
      Fails(V::I4(5), Code(0xFFFF), kBadType),
      Fails(V::Object(picture), Code(15), kBadType),
  };
}

using Converter = CVariant (*)(const CVariant&, VarType);

void ExpectTable(Converter convert, bool portable) {
  for (const Case& c : Table()) {
    const std::string what = Describe(c.source) + " -> " + VarTypeName(c.target);
    const HRESULT error = portable && c.portableRefuses ? kMismatch : c.error;
    try {
      const CVariant result = convert(c.source, c.target);
      EXPECT_EQ(error, hr::kOk) << what << " gave " << Describe(result);
      if (error == hr::kOk) {
        EXPECT_EQ(result, c.expected)
            << what << " gave " << Describe(result) << ", expected " << Describe(c.expected);
      }
    } catch (const CPlatformError& failure) {
      EXPECT_EQ(failure.GetResult(), error) << what << std::hex << " failed with 0x"
                                            << static_cast<std::uint32_t>(failure.GetResult());
      EXPECT_EQ(failure.GetDescription(), nullptr) << what;
    }
  }
}

// On Windows the platform's own; elsewhere the portable rules again.
TEST(CoercionTest, ConvertsAsThePlatformDoes) {
  ExpectTable(ChangeType, !kWindowsBuild);
}

TEST(CoercionTest, PortableRulesConvertAsThePlatformDoes) {
  ExpectTable(PortableChangeType, true);
}

TEST(CoercionTest, SameTypeComesBackUnchanged) {
  const CVariant values[] = {
      V(),          V::Null(),           V::I1(-3),      V::UI1(3),           V::I2(-3),
      V::UI2(3),    V::I4(-3),           V::UI4(3),      V::R4(0.1f),         V::R8(-0.0),
      V::Date(1.5), S(u"\u00e9t\u00e9"), V::BoolBits(7), V::Bytes({9, 8}, 5), V::Object(nullptr)};
  for (const CVariant& value : values) {
    EXPECT_EQ(ChangeType(value, value.GetType()), value) << Describe(value);
    EXPECT_EQ(PortableChangeType(value, value.GetType()), value) << Describe(value);
  }
}

// Known difference from Wine, whose rounding of "0.06" reads "0.6".
TEST(CoercionTest, PortableRoundingOfTextFollowsTheValue) {
  struct Case {
    const char16_t* text;
    std::int32_t value;
  } cases[] = {{u"0.06", 0},   {u"0.6", 1},   {u"0.5", 0},  {u"1.5", 2},  {u"2.5", 2},
               {u"0.0501", 0}, {u"-0.06", 0}, {u"0.51", 1}, {u"9.006", 9}};
  for (const Case& c : cases) {
    EXPECT_EQ(PortableChangeType(V::String(c.text), VT_I4), V::I4(c.value))
        << Describe(V::String(c.text));
  }
}

#ifdef _WIN32

// An IDispatch that counts its references and has no properties.
class CCountingDispatch : public IDispatch {
 public:
  ULONG References() const { return references_; }

  ::HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  ::HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  ::HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  ::HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  ::HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  ULONG references_ = 1;
};

TEST(CoercionBridgeTest, ByteArrayKeepsItsLowerBound) {
  const CVariant bytes = V::Bytes({7, 8, 9}, 1);
  VARIANT platform;
  ASSERT_EQ(ToPlatformVariant(bytes, &platform), hr::kOk);
  EXPECT_EQ(platform.vt, ::VT_ARRAY | ::VT_UI1);
  LONG lower = 0;
  LONG upper = 0;
  SafeArrayGetLBound(platform.parray, 1, &lower);
  SafeArrayGetUBound(platform.parray, 1, &upper);
  EXPECT_EQ(lower, 1);
  EXPECT_EQ(upper, 3);
  LONG index = 3;
  BYTE last = 0;
  SafeArrayGetElement(platform.parray, &index, &last);
  EXPECT_EQ(last, 9);
  EXPECT_EQ(FromPlatformVariant(platform), bytes);
  VariantClear(&platform);
}

TEST(CoercionBridgeTest, TwoDimensionalArrayKeepsBoundsAndLayout) {
  // Two rows (first dimension, from -1) by three columns (from 5); the first
  // dimension varies fastest in the data.
  CSafeArray grid(VT_I4, {{2, -1}, {3, 5}});
  for (std::size_t i = 0; i < 6; ++i)
    reinterpret_cast<std::int32_t*>(grid.GetData().data())[i] = static_cast<std::int32_t>(i * 10);
  VARIANT platform;
  ASSERT_EQ(ToPlatformVariant(V::Array(grid), &platform), hr::kOk);
  EXPECT_EQ(SafeArrayGetDim(platform.parray), 2u);
  LONG lower = 0;
  SafeArrayGetLBound(platform.parray, 1, &lower);
  EXPECT_EQ(lower, -1);
  SafeArrayGetLBound(platform.parray, 2, &lower);
  EXPECT_EQ(lower, 5);
  LONG indices[2] = {0, 7};  // second row, third column
  LONG element = 0;
  ASSERT_EQ(SafeArrayGetElement(platform.parray, indices, &element), S_OK);
  EXPECT_EQ(element, 50);
  EXPECT_EQ(FromPlatformVariant(platform), V::Array(grid));
  VariantClear(&platform);
}

TEST(CoercionBridgeTest, StringsKeepEveryUnit) {
  const std::u16string text(u"\u00e9t\u00e9 \u6f22\0x\U0001F600", 9);
  VARIANT platform;
  ASSERT_EQ(ToPlatformVariant(V::String(text), &platform), hr::kOk);
  EXPECT_EQ(SysStringLen(platform.bstrVal), 9u);
  EXPECT_EQ(FromPlatformVariant(platform).GetString(), text);
  VariantClear(&platform);

  VARIANT null;
  VariantInit(&null);
  null.vt = ::VT_BSTR;
  null.bstrVal = nullptr;
  EXPECT_EQ(FromPlatformVariant(null), S(u""));
}

TEST(CoercionBridgeTest, ReferencesBecomeMarkedCopies) {
  LONG number = 42;
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = ::VT_BYREF | ::VT_I4;
  reference.plVal = &number;
  const CVariant copy = FromPlatformVariant(reference);
  number = 0;
  EXPECT_EQ(copy.GetType(), VT_BYREF | VT_I4);
  EXPECT_EQ(copy.GetI4(), 42);

  BSTR text = SysAllocString(L"abc");
  reference.vt = ::VT_BYREF | ::VT_BSTR;
  reference.pbstrVal = &text;
  EXPECT_EQ(FromPlatformVariant(reference), S(u"abc").AsByRef());
  SysFreeString(text);

  VARIANT inner;
  VariantInit(&inner);
  inner.vt = ::VT_R8;
  inner.dblVal = 2.5;
  reference.vt = ::VT_BYREF | ::VT_VARIANT;
  reference.pvarVal = &inner;
  EXPECT_EQ(FromPlatformVariant(reference), V::R8(2.5).AsByRef());

  // Written back, a by-reference value is its plain value.
  VARIANT platform;
  ASSERT_EQ(ToPlatformVariant(V::I2(-3).AsByRef(), &platform), hr::kOk);
  EXPECT_EQ(platform.vt, ::VT_I2);
  EXPECT_EQ(platform.iVal, -3);
}

TEST(CoercionBridgeTest, ObjectsHoldOneReferenceEach) {
  CCountingDispatch dispatch;
  VARIANT platform;
  VariantInit(&platform);
  platform.vt = ::VT_DISPATCH;
  platform.pdispVal = &dispatch;
  {
    const CVariant object = FromPlatformVariant(platform);
    EXPECT_EQ(dispatch.References(), 2u);
    const auto* held = dynamic_cast<const CPlatformObject*>(object.GetObject().get());
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->Get(), &dispatch);

    VARIANT back;
    ASSERT_EQ(ToPlatformVariant(object, &back), hr::kOk);
    EXPECT_EQ(back.pdispVal, &dispatch);
    EXPECT_EQ(dispatch.References(), 3u);
    VariantClear(&back);

    // The platform reads no value from this object, and releases what it took.
    EXPECT_THROW(ChangeType(object, VT_I4), CPlatformError);
    EXPECT_EQ(ChangeType(object, VT_EMPTY), V());
  }
  EXPECT_EQ(dispatch.References(), 1u);

  platform.pdispVal = nullptr;
  EXPECT_EQ(FromPlatformVariant(platform), V::Object(nullptr));
  EXPECT_EQ(ToPlatformVariant(V::Object(std::make_shared<CPicture>()), &platform),
            hr::kDispTypeMismatch);
  EXPECT_EQ(platform.vt, ::VT_EMPTY);
}

TEST(CoercionBridgeTest, TypesACVariantCannotHoldAreRefused) {
  VARIANT currency;
  VariantInit(&currency);
  currency.vt = ::VT_CY;
  currency.cyVal.int64 = 10000;
  try {
    FromPlatformVariant(currency);
    FAIL() << "VT_CY was accepted";
  } catch (const CPlatformError& error) {
    EXPECT_EQ(error.GetResult(), hr::kDispBadVarType);
  }
}

#endif  // _WIN32

}  // namespace
}  // namespace kd
