#include "tools/kdpdb/value_input.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "bitmap/device_bitmap.h"
#include "foundation/coercion.h"
#include "foundation/errors.h"
#include "tools/kdpdb/dates.h"
#include "tools/kdpdb/value_output.h"

namespace kdpdb {

namespace {

constexpr std::size_t kMaxEmbeddedBytes = 64000;  // the recordset stores fewer

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

bool FitsASingle(double value) {
  try {
    kd::ChangeType(kd::CVariant::R8(value), kd::VT_R4);
    return true;
  } catch (const kd::CPlatformError&) {
    return false;
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
  // A Single holds what the library's coercion to a single takes: up to
  // half a unit in the last place beyond the largest single, so that the
  // shortest text of that single (3.4028235e38) reads.
  // (A system field of type Single keeps its attribute's range.)
  const bool single = type == kd::DbFieldType::kSingle && role == SystemRole::kNone;
  const bool inRange = status != NumberStatus::kOutOfRange &&
                       (single ? FitsASingle(value) : value >= range.low && value <= range.high);
  if (!inRange) {
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

}  // namespace

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
  if (bytes.size() < kd::kDeviceBitmapHeaderSize) {
    return std::to_string(bytes.size()) + " bytes, shorter than its 16-byte header";
  }
  const kd::DeviceBitmapHeader header = kd::ReadDeviceBitmapHeader(bytes.data());
  if (header.signature != kd::kDeviceBitmapSignature) return "no \"bm\" signature";
  if (header.version != kd::kDeviceBitmapVersion) {
    return "version " + std::to_string(header.version) + ", not 2";
  }
  const int depth = header.depth;
  const std::int64_t length = kd::DeviceBitmapLength(header);
  // A header of depth 0 and no pixels is no picture: what a blank Bitmap
  // field holds and the placeholder stored for a missing value, as get and
  // list print them.
  const auto headerSize = static_cast<std::int64_t>(kd::kDeviceBitmapHeaderSize);
  if (depth == 0 && length == headerSize && bytes.size() == kd::kDeviceBitmapHeaderSize) return "";
  if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) {
    return "depth " + std::to_string(depth) + " (1, 2, 4, 8 or 16; 0 only without pixels)";
  }
  if (length < headerSize || static_cast<std::uint64_t>(length) != bytes.size()) {
    return "its header gives " + std::to_string(length) + " bytes, not " +
           std::to_string(bytes.size());
  }
  return "";
}

std::uint32_t ParseUniqueID(const std::string& text) {
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

}  // namespace kdpdb
