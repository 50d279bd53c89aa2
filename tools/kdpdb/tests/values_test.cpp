// Reading field values from command-line text, and writing values as text.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/palm_time.h"
#include "testing/bitmap_images.h"
#include "testing/temp_dir.h"
#include "tools/kdpdb/values.h"

namespace kdpdb {
namespace {

using kd::DbFieldType;
using kd::testing::TempDir;

constexpr double kSecond = 1.0 / 86400.0;

std::string ErrorOf(DbFieldType type, SystemRole role, const std::string& text) {
  try {
    ParseFieldValue("F", type, role, text);
  } catch (const ToolError& error) {
    return error.what();
  }
  return "";
}

// ---- dates ----

struct DateCase {
  const char* text;
  double date;  // automation date
};

TEST(ParseIsoDate, TakesDatesAndDateTimesOfThePalmRange) {
  const DateCase kCases[] = {
      {"1904-01-01", 1462.0},
      {"1904-01-01T00:00:01", 1462.0 + kSecond},
      {"2000-01-01", 36526.0},
      {"2000-02-29", 36585.0},
      {"2024-05-01T12:30", 45413.5 + 30 * 60 * kSecond},
      {"2024-05-01 12:30:15", 45413.5 + (30 * 60 + 15) * kSecond},
      {"2040-02-06T06:28:15", 51172.0 + (6 * 3600 + 28 * 60 + 15) * kSecond},
  };
  for (const DateCase& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_NEAR(ParseIsoDate(c.text), c.date, 1e-9);
  }
}

TEST(ParseIsoDate, RefusesOtherTextImpossibleDatesAndDatesOutsideTheRange) {
  const struct {
    const char* text;
    const char* message;
  } kCases[] = {
      {"", "is not an ISO-8601 date"},
      {"2024-5-01", "is not an ISO-8601 date"},
      {"24-05-01", "is not an ISO-8601 date"},
      {"2024/05/01", "is not an ISO-8601 date"},
      {"2024-05-01T12", "is not an ISO-8601 date"},
      {"2024-05-01T12:3", "is not an ISO-8601 date"},
      {"2024-05-01T12:30:1", "is not an ISO-8601 date"},
      {"2024-05-01Z", "is not an ISO-8601 date"},
      {"2024-05-01T12:30:00Z", "is not an ISO-8601 date"},
      {"2024-05-01T12:30:00+02:00", "is not an ISO-8601 date"},
      {"2023-02-29", "is not a valid date or time"},
      {"2024-13-01", "is not a valid date or time"},
      {"2024-00-10", "is not a valid date or time"},
      {"2024-04-31", "is not a valid date or time"},
      {"2024-05-01T24:00", "is not a valid date or time"},
      {"2024-05-01T12:60", "is not a valid date or time"},
      {"2024-05-01T12:30:60", "is not a valid date or time"},
      {"1903-12-31T23:59:59", "is outside the Palm date range"},
      {"2040-02-06T06:28:16", "is outside the Palm date range"},
      {"9999-12-31", "is outside the Palm date range"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    try {
      ParseIsoDate(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const ToolError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
}

TEST(FormatPalmTime, WritesLocalIsoText) {
  EXPECT_EQ(FormatPalmTime(0), "1904-01-01T00:00:00");
  EXPECT_EQ(FormatPalmTime(86399), "1904-01-01T23:59:59");
  EXPECT_EQ(FormatPalmTime(59 * 86400), "1904-02-29T00:00:00");  // 1904 is a leap year
  EXPECT_EQ(FormatPalmTime(0xFFFFFFFFu), "2040-02-06T06:28:15");
  EXPECT_EQ(FormatPalmTime((36526u - 1462u) * 86400u + 3661u), "2000-01-01T01:01:01");
}

TEST(FormatDate, GivesBackTheTextADateWasReadFrom) {
  for (const char* text : {"1904-01-01T00:00:00", "1999-12-31T23:59:59", "2024-02-29T08:15:42",
                           "2040-02-06T06:28:15"}) {
    SCOPED_TRACE(text);
    const double date = ParseIsoDate(text);
    EXPECT_EQ(FormatDate(date), text);
    // The same second as the recordset stores it.
    EXPECT_EQ(FormatPalmTime(kd::PalmTimeFromDate(date)), text);
  }
}

// ---- numbers ----

struct NumberCase {
  DbFieldType type;
  SystemRole role;
  const char* text;
  double value;         // when accepted
  const char* message;  // when refused: part of the error
};

TEST(ParseFieldValue, ReadsNumbersWithinTheirFieldsRange) {
  const NumberCase kCases[] = {
      {DbFieldType::kByte, SystemRole::kNone, "0", 0, nullptr},
      {DbFieldType::kByte, SystemRole::kNone, "255", 255, nullptr},
      {DbFieldType::kByte, SystemRole::kNone, "+7", 7, nullptr},
      {DbFieldType::kByte, SystemRole::kNone, "1e2", 100, nullptr},
      {DbFieldType::kByte, SystemRole::kNone, "256", 0, "is out of range (0 to 255)"},
      {DbFieldType::kByte, SystemRole::kNone, "-1", 0, "is out of range (0 to 255)"},
      {DbFieldType::kByte, SystemRole::kNone, "1.5", 0, "is not a whole number"},
      {DbFieldType::kInteger, SystemRole::kNone, "-32768", -32768, nullptr},
      {DbFieldType::kInteger, SystemRole::kNone, "32767", 32767, nullptr},
      {DbFieldType::kInteger, SystemRole::kNone, "32768", 0, "(-32768 to 32767)"},
      {DbFieldType::kInteger, SystemRole::kNone, "-32769", 0, "(-32768 to 32767)"},
      {DbFieldType::kLong, SystemRole::kNone, "-2147483648", -2147483648.0, nullptr},
      {DbFieldType::kLong, SystemRole::kNone, "2147483647", 2147483647.0, nullptr},
      {DbFieldType::kLong, SystemRole::kNone, "2147483648", 0, "is out of range"},
      {DbFieldType::kLong, SystemRole::kNone, "-0", 0, nullptr},
      {DbFieldType::kSingle, SystemRole::kNone, "0.1", 0.1, nullptr},
      {DbFieldType::kSingle, SystemRole::kNone, "-3.4e38", -3.4e38, nullptr},
      {DbFieldType::kSingle, SystemRole::kNone, "3.5e38", 0, "is out of range"},
      // The shortest text of the largest single lies above it, and reads.
      {DbFieldType::kSingle, SystemRole::kNone, "3.4028235e38", 3.4028235e38, nullptr},
      {DbFieldType::kSingle, SystemRole::kNone, "-3.4028235e38", -3.4028235e38, nullptr},
      {DbFieldType::kSingle, SystemRole::kNone, "3.4028236e38", 0, "is out of range"},
      // A system field of type Single keeps its attribute's range (fuzz input
      // 0x2E "1554").
      {DbFieldType::kSingle, SystemRole::kCategory, "1554", 0, "is out of range"},
      {DbFieldType::kSingle, SystemRole::kCategory, "15", 15, nullptr},
      {DbFieldType::kDouble, SystemRole::kNone, "-1e308", -1e308, nullptr},
      {DbFieldType::kDouble, SystemRole::kNone, "1e309", 0, "is out of range"},
      {DbFieldType::kDouble, SystemRole::kNone, "2.5", 2.5, nullptr},
      // The system fields: a category has 4 bits, a unique ID 24.
      {DbFieldType::kInteger, SystemRole::kCategory, "15", 15, nullptr},
      {DbFieldType::kInteger, SystemRole::kCategory, "16", 0, "is out of range (0 to 15)"},
      {DbFieldType::kByte, SystemRole::kCategory, "-1", 0, "is out of range (0 to 15)"},
      {DbFieldType::kLong, SystemRole::kUniqueID, "16777215", 16777215, nullptr},
      {DbFieldType::kLong, SystemRole::kUniqueID, "16777216", 0, "(0 to 16777215)"},
      // Not numbers at all.
      {DbFieldType::kLong, SystemRole::kNone, "", 0, "is not a number"},
      {DbFieldType::kLong, SystemRole::kNone, "abc", 0, "is not a number"},
      {DbFieldType::kLong, SystemRole::kNone, "12abc", 0, "is not a number"},
      {DbFieldType::kLong, SystemRole::kNone, "0x10", 0, "is not a number"},
      {DbFieldType::kLong, SystemRole::kNone, " 1", 0, "is not a number"},
      {DbFieldType::kLong, SystemRole::kNone, "++1", 0, "is not a number"},
      {DbFieldType::kDouble, SystemRole::kNone, "inf", 0, "is not a number"},
      {DbFieldType::kDouble, SystemRole::kNone, "nan", 0, "is not a number"},
  };
  for (const NumberCase& c : kCases) {
    SCOPED_TRACE(std::string(TypeName(c.type)) + " '" + c.text + "'");
    if (c.message == nullptr) {
      kd::CVariant value = ParseFieldValue("F", c.type, c.role, c.text);
      ASSERT_EQ(value.GetType(), kd::VT_R8);
      EXPECT_EQ(value.GetR8(), c.value);
    } else {
      std::string error = ErrorOf(c.type, c.role, c.text);
      EXPECT_NE(error.find(c.message), std::string::npos) << error;
      EXPECT_EQ(error.rfind(std::string("field 'F' (") + TypeName(c.type) + "): '", 0), 0u)
          << error;
    }
  }
}

TEST(ParseFieldValue, ReadsBooleansInTheirUsualSpellings) {
  for (const char* text : {"true", "TRUE", "Yes", "on", "1"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseFieldValue("F", DbFieldType::kBoolean, SystemRole::kNone, text),
              kd::CVariant::Bool(true));
  }
  for (const char* text : {"false", "No", "OFF", "0"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseFieldValue("F", DbFieldType::kBoolean, SystemRole::kNone, text),
              kd::CVariant::Bool(false));
  }
  for (const char* text : {"", "maybe", "2", "-1", "truee"}) {
    SCOPED_TRACE(text);
    EXPECT_NE(ErrorOf(DbFieldType::kBoolean, SystemRole::kNone, text).find("is not true or false"),
              std::string::npos);
  }
}

TEST(ParseFieldValue, ReadsDatesAndTextAsTheRecordsetTakesThem) {
  kd::CVariant date = ParseFieldValue("Due", DbFieldType::kDate, SystemRole::kNone, "2000-01-01");
  EXPECT_EQ(date, kd::CVariant::Date(36526.0));
  EXPECT_NE(ErrorOf(DbFieldType::kDate, SystemRole::kNone, "2000-01-32").find("field 'F' (Date)"),
            std::string::npos);

  EXPECT_EQ(ParseFieldValue("T", DbFieldType::kString, SystemRole::kNone, "Gr\xC3\xBC\xC3\x9F\x65"),
            kd::CVariant::String(u"Gr\u00FC\u00DFe"));
  EXPECT_EQ(ParseFieldValue("T", DbFieldType::kString, SystemRole::kNone, ""),
            kd::CVariant::String(u""));
  EXPECT_NE(ErrorOf(DbFieldType::kString, SystemRole::kNone, "\xFF").find("is not UTF-8"),
            std::string::npos);
}

// A 16 x 2 device bitmap at 1 bit per pixel.
const Bytes& kDeviceBitmap = kd::testing::SmallDeviceBitmap();

TEST(ParseFieldValue, ReadsBytesFromHexDigitsOrAFile) {
  TempDir dir;
  const std::string file = dir.File("blob.bin");
  kd::testing::WriteFileBytes(file, {1, 2, 0, 255});
  const std::string bitmapFile = dir.File("picture.raw");
  kd::testing::WriteFileBytes(bitmapFile, kDeviceBitmap);

  const struct {
    DbFieldType type;
    std::string text;
    Bytes bytes;
  } kAccepted[] = {
      {DbFieldType::kStreamMemory, "", {}},
      {DbFieldType::kStreamMemory, "00fFA0", {0x00, 0xFF, 0xA0}},
      {DbFieldType::kStreamMemory, "@" + file, {1, 2, 0, 255}},
      {DbFieldType::kBitmap, "@" + bitmapFile, kDeviceBitmap},
      {DbFieldType::kBitmap, ToHex(kDeviceBitmap), kDeviceBitmap},
  };
  for (const auto& c : kAccepted) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseFieldValue("B", c.type, SystemRole::kNone, c.text),
              kd::CVariant::Bytes(c.bytes));
  }

  const struct {
    DbFieldType type;
    std::string text;
    const char* message;
  } kRefused[] = {
      {DbFieldType::kStreamMemory, "abc", "neither @FILE nor an even number of hexadecimal"},
      {DbFieldType::kStreamMemory, "0g", "neither @FILE nor an even number of hexadecimal"},
      {DbFieldType::kStreamMemory, "@" + dir.File("missing.bin"), "cannot read '"},
      {DbFieldType::kStreamMemory, std::string(2 * 64000, '0'), "64000 bytes is too long"},
      {DbFieldType::kBitmap, "@" + file, "not a device bitmap"},
      {DbFieldType::kBitmap, "", "not a device bitmap"},
  };
  for (const auto& c : kRefused) {
    SCOPED_TRACE(c.text.substr(0, 40));
    std::string error = ErrorOf(c.type, SystemRole::kNone, c.text);
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
  // The longest value the recordset stores.
  EXPECT_EQ(ParseFieldValue("B", DbFieldType::kStreamMemory, SystemRole::kNone,
                            std::string(2 * 63999, 'a'))
                .GetArray()
                .GetElementCount(),
            63999u);
}

TEST(CheckDeviceBitmap, TakesWhatTheRecordDecoderReads) {
  auto with = [](std::size_t at, std::uint8_t value) {
    Bytes bytes = kDeviceBitmap;
    bytes[at] = value;
    return bytes;
  };
  Bytes longer = kDeviceBitmap;
  longer.push_back(0);
  Bytes shorter(kDeviceBitmap.begin(), kDeviceBitmap.end() - 1);
  Bytes dense = kDeviceBitmap;  // density 144: twice the rows of bytes
  dense[11] = 144;
  dense.insert(dense.end(), {1, 2, 3, 4});
  // No picture: a blank field, and the placeholder for a missing value.
  Bytes blank, placeholder;
  ASSERT_TRUE(FromHex("626d0000000000000002000000000000", &blank));
  ASSERT_TRUE(FromHex("626d0000000000020002004800000000", &placeholder));
  Bytes blankWithRow = placeholder;  // depth 0, height 1: a row without a depth
  blankWithRow[5] = 1;
  blankWithRow.insert(blankWithRow.end(), {0, 0});
  const struct {
    Bytes bytes;
    const char* message;  // "" when accepted
  } kCases[] = {
      {kDeviceBitmap, ""},
      {dense, ""},
      {Bytes(kDeviceBitmap.begin(), kDeviceBitmap.begin() + 10), "shorter than its 16-byte header"},
      {with(0, 'B'), "no \"bm\" signature"},
      {with(9, 1), "version 1, not 2"},
      {with(8, 3), "depth 3"},
      {longer, "gives 20 bytes, not 21"},
      {shorter, "gives 20 bytes, not 19"},
      {with(6, 0x80), "its header gives"},  // negative rowBytes
      {blank, ""},
      {placeholder, ""},
      {blankWithRow, "depth 0 (1, 2, 4, 8 or 16; 0 only without pixels)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.message);
    std::string problem = CheckDeviceBitmap(c.bytes);
    if (*c.message == '\0') {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find(c.message), std::string::npos) << problem;
    }
  }
}

// ---- writing values ----

TEST(ValueToJson, WritesEachDecodedTypeAsJsonReadsIt) {
  EXPECT_EQ(ValueToJson(kd::CVariant::UI1(200)).dump(), "200");
  EXPECT_EQ(ValueToJson(kd::CVariant::I2(-5)).dump(), "-5");
  EXPECT_EQ(ValueToJson(kd::CVariant::I4(-2147483647 - 1)).dump(), "-2147483648");
  EXPECT_EQ(ValueToJson(kd::CVariant::R4(0.1f)).dump(), "0.1");  // not 0.10000000149...
  EXPECT_EQ(ValueToJson(kd::CVariant::R8(0.1)).dump(), "0.1");
  EXPECT_EQ(ValueToJson(kd::CVariant::Bool(true)).dump(), "true");
  EXPECT_EQ(ValueToJson(kd::CVariant::Date(36526.5)).dump(), "\"2000-01-01T12:00:00\"");
  EXPECT_EQ(ValueToJson(kd::CVariant::String(u"\u20ac \"q\"")).dump(),
            "\"\xE2\x82\xAC \\\"q\\\"\"");
  EXPECT_EQ(ValueToJson(kd::CVariant::Bytes({0x62, 0x6D, 0x00})).dump(), "\"626d00\"");
  EXPECT_EQ(ValueToJson(kd::CVariant::R4(std::numeric_limits<float>::infinity())).dump(), "null");
}

TEST(ValueToText, CutsLongByteArraysAndEscapesControlCharacters) {
  Bytes twenty(20, 0xAB);
  EXPECT_EQ(ValueToText(kd::CVariant::Bytes(twenty), 4), "abababab... (20 bytes)");
  std::string all;
  for (int i = 0; i < 20; ++i)
    all += "ab";
  EXPECT_EQ(ValueToText(kd::CVariant::Bytes(twenty), 0), all);
  EXPECT_EQ(ValueToText(kd::CVariant::Bytes({1, 2}), 4), "0102");
  EXPECT_EQ(ValueToText(kd::CVariant::String(u"a\nb\tc\x01"), 0), "a\\nb\\tc\\x01");
  EXPECT_EQ(ValueToText(kd::CVariant::R4(1.2f), 0), "1.2");
  EXPECT_EQ(ValueToText(kd::CVariant::Bool(false), 0), "false");
  EXPECT_EQ(ValueToText(kd::CVariant::I4(42), 0), "42");
}

TEST(Utf8, RoundTripsEveryPlaneAndRefusesMalformedBytes) {
  const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // A, e acute, euro, emoji
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, u"A\u00E9\u20AC\U0001F600");
  EXPECT_EQ(Utf16ToUtf8(wide), text);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(0xD800))), "\xEF\xBF\xBD");
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE2\x82", "\x80", "\xF8\x88\x80\x80\x80",
                          "\xF4\x90\x80\x80"}) {
    SCOPED_TRACE(ToHex(reinterpret_cast<const std::uint8_t*>(bad), std::strlen(bad)));
    EXPECT_THROW(Utf8ToUtf16(bad), ToolError);
  }
}

TEST(ParseUniqueID, TakesDecimalAndHexadecimal) {
  EXPECT_EQ(ParseUniqueID("12"), 12u);
  EXPECT_EQ(ParseUniqueID("010"), 10u);  // decimal, not octal
  EXPECT_EQ(ParseUniqueID("0x1F"), 31u);
  EXPECT_EQ(ParseUniqueID("4294967295"), 4294967295u);
  for (const char* bad : {"", "-1", "abc", "0x", "1.0", "4294967296", "0x1G"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ParseUniqueID(bad), ToolError);
  }
}

}  // namespace
}  // namespace kdpdb
