// kdpdb's values: reading field values from command-line text by the field's
// type, and writing values, dates and bytes as text for people and for JSON.
#ifndef KDDAO_TOOLS_KDPDB_VALUES_H_
#define KDDAO_TOOLS_KDPDB_VALUES_H_

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "foundation/variant.h"
#include "recordset/db_schema.h"

namespace kdpdb {

// A failure of the tool itself (bad arguments, unreadable input files, a
// value that does not fit its field). Its text goes to standard error.
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using Bytes = std::vector<std::uint8_t>;
using Json = nlohmann::ordered_json;

// ---- text ----
// UTF-8 (the command line, the terminal) to UTF-16 (the library's strings);
// raises ToolError for bytes that are not UTF-8.
std::u16string Utf8ToUtf16(std::string_view text);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// Lower-case hexadecimal digits, two a byte.
std::string ToHex(const std::uint8_t* data, std::size_t count);
inline std::string ToHex(const Bytes& bytes) {
  return ToHex(bytes.data(), bytes.size());
}
// Hexadecimal digits (either case, an even count) to bytes; false otherwise.
bool FromHex(std::string_view text, Bytes* bytes);

// ---- dates ----
// The Palm time range as text.
constexpr const char* kFirstPalmTime = "1904-01-01T00:00:00";
constexpr const char* kLastPalmTime = "2040-02-06T06:28:15";
// Palm time (seconds since 1904-01-01 local time) as local ISO-8601 text,
// "YYYY-MM-DDTHH:MM:SS".
std::string FormatPalmTime(std::uint32_t palmTime);
// An automation date (days since 1899-12-30) as the ISO-8601 text of the Palm
// time it is stored as.
std::string FormatDate(double date);
// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" ("T" or a space
// between date and time) as an automation date. Raises ToolError for other
// text, impossible dates and dates outside the Palm time range.
double ParseIsoDate(std::string_view text);

// ---- field values ----
// Which system field a declared field is, for the range checks of its value.
enum class SystemRole { kNone, kUniqueID, kCategory, kDirty, kSecret };

// The value of `text` for a field of `type`, in a type the recordset takes:
//   Byte, Integer, Long   a whole number within the type's range -> VT_R8
//                         (Category 0 to 15, UniqueID 0 to 16777215)
//   Single, Double        a finite number within the type's range -> VT_R8
//   Boolean               true/false, yes/no, on/off, 1/0 -> VT_BOOL
//   Date                  ParseIsoDate -> VT_DATE
//   String                UTF-8 text -> VT_BSTR
//   Bitmap, StreamMemory  "@PATH" (the file's bytes) or hexadecimal digits ->
//                         a byte array of fewer than 64,000 bytes; a Bitmap
//                         must be a device bitmap as the recordset reads it
// Raises ToolError, naming `fieldName`, for text that does not fit.
kd::CVariant ParseFieldValue(const std::string& fieldName, kd::DbFieldType type, SystemRole role,
                             const std::string& text);

// Why `bytes` are not a device bitmap that a record can hold, or "" when
// they are one.
std::string CheckDeviceBitmap(const Bytes& bytes);

// The keyword of a field type ("Long").
const char* TypeName(kd::DbFieldType type);

// A decoded value as JSON: numbers, booleans, text; dates as ISO-8601 text;
// byte arrays as hexadecimal text; Single values by their shortest decimal
// form.
Json ValueToJson(const kd::CVariant& value);
// A decoded value as one line of text. Byte arrays longer than `maxBytes` are
// cut, with their length (0: never cut). Control characters in text are
// escaped.
std::string ValueToText(const kd::CVariant& value, std::size_t maxBytes);
// Shortest decimal text of a float and of a double.
std::string FloatText(float value);
std::string DoubleText(double value);

// Unique IDs on the command line: decimal, or hexadecimal after "0x".
std::uint32_t ParseUniqueId(const std::string& text);

// Whole files.
Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);

}  // namespace kdpdb

#endif  // KDDAO_TOOLS_KDPDB_VALUES_H_
