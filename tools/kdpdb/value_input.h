// kdpdb's field values read from command-line text, by the field's type.
#ifndef KDDAO_TOOLS_KDPDB_VALUE_INPUT_H_
#define KDDAO_TOOLS_KDPDB_VALUE_INPUT_H_

#include <cstdint>
#include <string>

#include "foundation/variant.h"
#include "recordset/db_schema.h"
#include "tools/kdpdb/text_bytes.h"

namespace kdpdb {

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
//                         must be a device bitmap as the recordset reads it,
//                         or a header of depth 0 without pixels (no picture)
// Raises ToolError, naming `fieldName`, for text that does not fit.
kd::CVariant ParseFieldValue(const std::string& fieldName, kd::DbFieldType type, SystemRole role,
                             const std::string& text);

// Why `bytes` are not a device bitmap that a record can hold, or "" when
// they are one; a 16-byte header of depth 0 whose length is 16 (a blank
// field, or the placeholder for a missing value) is taken as no picture.
std::string CheckDeviceBitmap(const Bytes& bytes);

// Unique IDs on the command line: decimal, or hexadecimal after "0x".
std::uint32_t ParseUniqueID(const std::string& text);

}  // namespace kdpdb

#endif  // KDDAO_TOOLS_KDPDB_VALUE_INPUT_H_
