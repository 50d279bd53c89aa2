#include "tools/kdpdb/values.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

#include "engine/palm_time.h"

namespace kdpdb {

namespace {

constexpr std::size_t kMaxEmbeddedBytes = 64000;  // the recordset stores fewer
constexpr std::size_t kBitmapHeaderSize = 16;

// ---- calendar arithmetic (proleptic Gregorian) ----

std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(std::int64_t days, int* year, int* month, int* day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  *day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  *month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  *year = static_cast<int>(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

const std::int64_t kPalmEpochDays = DaysFromCivil(1904, 1, 1);
const std::int64_t kAutomationEpochDays = DaysFromCivil(1899, 12, 30);

// Reads exactly `width` decimal digits at `pos`.
bool Digits(std::string_view text, std::size_t pos, std::size_t width, int* value) {
  if (pos + width > text.size()) return false;
  int result = 0;
  for (std::size_t i = pos; i < pos + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    result = result * 10 + (text[i] - '0');
  }
  *value = result;
  return true;
}

// ---- numbers ----

enum class NumberStatus { kOk, kNotNumber, kOutOfRange };

NumberStatus ParseNumber(std::string_view text, double* value) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (text.empty() || text[0] == '+') return NumberStatus::kNotNumber;
  // Only decimal forms: from_chars would also take "inf" and "nan".
  for (char c : text) {
    if (std::strchr("0123456789+-.eE", c) == nullptr) return NumberStatus::kNotNumber;
  }
  const char* end = text.data() + text.size();
  auto [ptr, error] = std::from_chars(text.data(), end, *value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) return NumberStatus::kOutOfRange;
  if (error != std::errc() || ptr != end) return NumberStatus::kNotNumber;
  return NumberStatus::kOk;
}

std::string Describe(const std::string& fieldName, kd::DbFieldType type, const std::string& text) {
  return "field '" + fieldName + "' (" + TypeName(type) + "): '" + text + "'";
}

struct Range {
  double low;
  double high;
  bool whole;
  const char* text;
};

Range NumberRange(kd::DbFieldType type, SystemRole role) {
  if (role == SystemRole::kCategory) return {0, 15, true, "0 to 15"};
  if (role == SystemRole::kUniqueID) return {0, 16777215, true, "0 to 16777215"};
  switch (type) {
    case kd::DbFieldType::kByte:
      return {0, 255, true, "0 to 255"};
    case kd::DbFieldType::kInteger:
      return {-32768, 32767, true, "-32768 to 32767"};
    case kd::DbFieldType::kLong:
      return {-2147483648.0, 2147483647.0, true, "-2147483648 to 2147483647"};
    case kd::DbFieldType::kSingle: {
      const double max = std::numeric_limits<float>::max();
      return {-max, max, false, "-3.4028235e38 to 3.4028235e38"};
    }
    default:
      return {-std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), false,
              "finite numbers"};
  }
}

kd::CVariant ParseNumberValue(const std::string& fieldName, kd::DbFieldType type, SystemRole role,
                              const std::string& text) {
  const Range range = NumberRange(type, role);
  double value = 0;
  NumberStatus status = ParseNumber(text, &value);
  if (status == NumberStatus::kNotNumber) {
    throw ToolError(Describe(fieldName, type, text) + " is not a number");
  }
  if (status == NumberStatus::kOutOfRange || value < range.low || value > range.high) {
    throw ToolError(Describe(fieldName, type, text) + " is out of range (" + range.text + ")");
  }
  if (range.whole && value != std::trunc(value)) {
    throw ToolError(Describe(fieldName, type, text) + " is not a whole number");
  }
  if (value == 0) value = 0;  // no negative zero in whole-number fields
  return kd::CVariant::R8(value);
}

bool EqualsNoCase(std::string_view a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (c != b[i]) return false;
  }
  return true;
}

Bytes BlockValueBytes(const std::string& fieldName, kd::DbFieldType type, const std::string& text) {
  Bytes bytes;
  if (!text.empty() && text[0] == '@') {
    bytes = ReadFileBytes(text.substr(1));
  } else if (!FromHex(text, &bytes)) {
    throw ToolError(Describe(fieldName, type, text) +
                    " is neither @FILE nor an even number of hexadecimal digits");
  }
  if (bytes.size() >= kMaxEmbeddedBytes) {
    throw ToolError("field '" + fieldName + "' (" + TypeName(type) +
                    "): " + std::to_string(bytes.size()) + " bytes is too long (at most " +
                    std::to_string(kMaxEmbeddedBytes - 1) + ")");
  }
  if (type == kd::DbFieldType::kBitmap) {
    std::string problem = CheckDeviceBitmap(bytes);
    if (!problem.empty()) {
      throw ToolError("field '" + fieldName + "' (Bitmap): not a device bitmap: " + problem);
    }
  }
  return bytes;
}

std::uint16_t Big16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

std::string EscapeControls(const std::string& text) {
  std::string out;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    auto lead = static_cast<unsigned char>(text[i]);
    std::uint32_t code;
    std::size_t extra;
    std::uint32_t minimum;
    if (lead < 0x80) {
      code = lead;
      extra = 0;
      minimum = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      code = lead & 0x1F;
      extra = 1;
      minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      code = lead & 0x0F;
      extra = 2;
      minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      code = lead & 0x07;
      extra = 3;
      minimum = 0x10000;
    } else {
      throw ToolError("'" + std::string(text) + "' is not UTF-8 text");
    }
    if (i + extra >= text.size() && extra > 0) {
      throw ToolError("'" + std::string(text) + "' is not UTF-8 text");
    }
    for (std::size_t k = 1; k <= extra; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) throw ToolError("'" + std::string(text) + "' is not UTF-8 text");
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      throw ToolError("'" + std::string(text) + "' is not UTF-8 text");
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += extra + 1;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::string ToHex(const std::uint8_t* data, std::size_t count) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    out.push_back(kHex[data[i] >> 4]);
    out.push_back(kHex[data[i] & 15]);
  }
  return out;
}

bool FromHex(std::string_view text, Bytes* bytes) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (text.size() % 2 != 0) return false;
  Bytes out;
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int high = nibble(text[i]);
    int low = nibble(text[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  *bytes = std::move(out);
  return true;
}

std::string FormatPalmTime(std::uint32_t palmTime) {
  int year, month, day;
  CivilFromDays(kPalmEpochDays + palmTime / 86400, &year, &month, &day);
  std::uint32_t seconds = palmTime % 86400;
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02u:%02u:%02u", year, month, day,
                seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

std::string FormatDate(double date) {
  return FormatPalmTime(kd::PalmTimeFromDate(date));
}

double ParseIsoDate(std::string_view text) {
  const std::string quoted = "'" + std::string(text) + "'";
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool ok = Digits(text, 0, 4, &year) && text.size() >= 10 && text[4] == '-' &&
            Digits(text, 5, 2, &month) && text[7] == '-' && Digits(text, 8, 2, &day);
  if (ok && text.size() > 10) {
    ok = (text[10] == 'T' || text[10] == ' ') && Digits(text, 11, 2, &hour) && text.size() >= 16 &&
         text[13] == ':' && Digits(text, 14, 2, &minute);
    if (ok && text.size() > 16) {
      ok = text.size() == 19 && text[16] == ':' && Digits(text, 17, 2, &second);
    } else if (ok) {
      ok = text.size() == 16;
    }
  } else if (ok) {
    ok = text.size() == 10;
  }
  if (!ok) {
    throw ToolError(quoted +
                    " is not an ISO-8601 date (YYYY-MM-DD) or date-time (YYYY-MM-DDTHH:MM[:SS]); "
                    "dates are local time, without a time zone");
  }
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    throw ToolError(quoted + " is not a valid date or time");
  }
  const std::int64_t days = DaysFromCivil(year, month, day);
  const std::int64_t secondOfDay = hour * 3600 + minute * 60 + second;
  const std::int64_t palmSeconds = (days - kPalmEpochDays) * 86400 + secondOfDay;
  if (palmSeconds < 0 || palmSeconds > 0xFFFFFFFFll) {
    throw ToolError(quoted + " is outside the Palm date range (" + kFirstPalmTime + " to " +
                    kLastPalmTime + ")");
  }
  return static_cast<double>(days - kAutomationEpochDays) +
         static_cast<double>(secondOfDay) / 86400.0;
}

kd::CVariant ParseFieldValue(const std::string& fieldName, kd::DbFieldType type, SystemRole role,
                             const std::string& text) {
  switch (type) {
    case kd::DbFieldType::kByte:
    case kd::DbFieldType::kInteger:
    case kd::DbFieldType::kLong:
    case kd::DbFieldType::kSingle:
    case kd::DbFieldType::kDouble:
      return ParseNumberValue(fieldName, type, role, text);
    case kd::DbFieldType::kBoolean:
      for (const char* yes : {"true", "yes", "on", "1"}) {
        if (EqualsNoCase(text, yes)) return kd::CVariant::Bool(true);
      }
      for (const char* no : {"false", "no", "off", "0"}) {
        if (EqualsNoCase(text, no)) return kd::CVariant::Bool(false);
      }
      throw ToolError(Describe(fieldName, type, text) + " is not true or false");
    case kd::DbFieldType::kDate:
      try {
        return kd::CVariant::Date(ParseIsoDate(text));
      } catch (const ToolError& error) {
        throw ToolError("field '" + fieldName + "' (Date): " + error.what());
      }
    case kd::DbFieldType::kString:
      return kd::CVariant::String(Utf8ToUtf16(text));
    case kd::DbFieldType::kBitmap:
    case kd::DbFieldType::kStreamMemory:
      return kd::CVariant::Bytes(BlockValueBytes(fieldName, type, text));
  }
  throw ToolError(Describe(fieldName, type, text) + ": unknown field type");
}

std::string CheckDeviceBitmap(const Bytes& bytes) {
  if (bytes.size() < kBitmapHeaderSize) {
    return std::to_string(bytes.size()) + " bytes, shorter than its 16-byte header";
  }
  if (bytes[0] != 'b' || bytes[1] != 'm') return "no \"bm\" signature";
  if (bytes[9] != 2) return "version " + std::to_string(bytes[9]) + ", not 2";
  const int depth = bytes[8];
  if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) {
    return "depth " + std::to_string(depth) + " (1, 2, 4, 8 or 16)";
  }
  const auto height = static_cast<std::int16_t>(Big16(&bytes[4]));
  const auto rowBytes = static_cast<std::int16_t>(Big16(&bytes[6]));
  const std::uint16_t density = Big16(&bytes[10]);
  const std::int64_t pixels = std::int64_t{rowBytes} * height * density / 72;
  if (pixels < 0 || kBitmapHeaderSize + static_cast<std::uint64_t>(pixels) != bytes.size()) {
    return "its header gives " + std::to_string(kBitmapHeaderSize + pixels) + " bytes, not " +
           std::to_string(bytes.size());
  }
  return "";
}

const char* TypeName(kd::DbFieldType type) {
  for (const kd::DbFieldTypeInfo& info : kd::kDbFieldTypes) {
    if (info.type == type) return info.keyword;
  }
  return "?";
}

std::string FloatText(float value) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string DoubleText(double value) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

Json ValueToJson(const kd::CVariant& value) {
  switch (value.GetType()) {
    case kd::VT_EMPTY:
    case kd::VT_NULL:
      return nullptr;
    case kd::VT_UI1:
      return value.GetUI1();
    case kd::VT_I1:
      return value.GetI1();
    case kd::VT_I2:
      return value.GetI2();
    case kd::VT_UI2:
      return value.GetUI2();
    case kd::VT_I4:
      return value.GetI4();
    case kd::VT_UI4:
      return value.GetUI4();
    case kd::VT_R4: {
      // The float's shortest decimal form, read back as the nearest double, so
      // that 0.1f shows as 0.1.
      float single = value.GetR4();
      if (!std::isfinite(single)) return nullptr;
      return std::strtod(FloatText(single).c_str(), nullptr);
    }
    case kd::VT_R8:
      if (!std::isfinite(value.GetR8())) return nullptr;
      return value.GetR8();
    case kd::VT_BOOL:
      return value.GetBool() != 0;
    case kd::VT_DATE:
      return FormatDate(value.GetDate());
    case kd::VT_BSTR:
      return Utf16ToUtf8(value.GetString());
    default:
      break;
  }
  if (value.IsByteArray()) return ToHex(value.GetArray().GetData());
  return kd::VarTypeName(value.GetType());
}

std::string ValueToText(const kd::CVariant& value, std::size_t maxBytes) {
  switch (value.GetType()) {
    case kd::VT_EMPTY:
      return "";
    case kd::VT_NULL:
      return "null";
    case kd::VT_R4:
      return FloatText(value.GetR4());
    case kd::VT_R8:
      return DoubleText(value.GetR8());
    case kd::VT_BOOL:
      return value.GetBool() != 0 ? "true" : "false";
    case kd::VT_DATE:
      return FormatDate(value.GetDate());
    case kd::VT_BSTR:
      return EscapeControls(Utf16ToUtf8(value.GetString()));
    default:
      break;
  }
  if (value.IsByteArray()) {
    const Bytes& bytes = value.GetArray().GetData();
    if (maxBytes == 0 || bytes.size() <= maxBytes) return ToHex(bytes);
    return ToHex(bytes.data(), maxBytes) + "... (" + std::to_string(bytes.size()) + " bytes)";
  }
  Json json = ValueToJson(value);
  return json.is_string() ? json.get<std::string>() : json.dump();
}

std::uint32_t ParseUniqueId(const std::string& text) {
  std::uint64_t value = 0;
  std::string_view digits = text;
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
    base = 16;
  }
  const char* end = digits.data() + digits.size();
  auto [ptr, error] = std::from_chars(digits.data(), end, value, base);
  if (digits.empty() || error != std::errc() || ptr != end || value > 0xFFFFFFFFu) {
    throw ToolError("'" + text + "' is not a unique ID (a number, decimal or 0x hexadecimal)");
  }
  return static_cast<std::uint32_t>(value);
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ToolError("cannot read '" + path + "': " + std::strerror(errno));
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw ToolError("cannot read '" + path + "'");
  return bytes;
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw ToolError("cannot write '" + path + "': " + std::strerror(errno));
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw ToolError("cannot write '" + path + "'");
}

}  // namespace kdpdb
