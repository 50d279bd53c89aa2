// kdpdb's value parsers: a field value read from command-line text
// (ParseFieldValue; "@file" values aside), and unique IDs (ParseUniqueID).
// Byte 0 picks the field's type (low 4 bits) and system role (high 4 bits);
// the rest is the text. Every value the tool takes must be one the recordset
// stores; dates, text and bytes must read back from how the tool writes them.
#include <cctype>

#include "engine/pdb_record.h"
#include "fuzz/fuzz_support.h"
#include "recordset/db_schema.h"
#include "tools/kdpdb/values.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kd::fuzz;
  using kdpdb::SystemRole;
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    kdpdb::ParseUniqueID(text);
  } catch (const kdpdb::ToolError&) {
  }
  if (!text.empty() && text[0] == '@') return 0;  // a file's bytes
  static const char* const kNames[] = {"Value", "UniqueID", "Category", "Dirty", "Secret"};
  const kd::DbFieldType type = kd::kDbFieldTypes[(data[0] & 15) % 10].type;
  const int role = (data[0] >> 4) % 5;
  kd::CVariant value;
  try {
    value = kdpdb::ParseFieldValue(kNames[role], type, static_cast<SystemRole>(role), text);
  } catch (const kdpdb::ToolError&) {
    return 0;
  }
  // A system field stands for a record attribute, which the recordset
  // coerces its value to at Update; the tool checks the attribute's range for
  // numbers only (a Date or Boolean "Category" fails there, as designed).
  const bool number = type != kd::DbFieldType::kBoolean && type != kd::DbFieldType::kDate &&
                      type != kd::DbFieldType::kString && type != kd::DbFieldType::kBitmap &&
                      type != kd::DbFieldType::kStreamMemory;
  if (role != 0 && !number) return 0;
  kd::CDbSchema schema;
  schema.AddDeclaredField(std::make_unique<kd::CDbField>(kNames[role], type));
  schema.Complete();
  kd::CPdbRecord record;
  MustSucceed("storing a value the tool took", [&] {
    schema.PutFieldValue(kNames[role], value);
    schema.EncodeRecord(record);
    schema.DecodeRecord(record);
  });
  const kd::CVariant stored = schema.GetAt(0)->value;
  if (type == kd::DbFieldType::kDate) {
    std::string expected = text.size() == 10 ? text + "T00:00:00" : text;
    if (expected.size() == 16) expected += ":00";
    expected[10] = 'T';
    Check(kdpdb::FormatDate(value.GetDate()) == expected, "a date reads back as another", text);
  } else if (type == kd::DbFieldType::kString) {
    Check(kdpdb::Utf16ToUtf8(value.GetString()) == text, "text reads back as other text", text);
  } else if (type == kd::DbFieldType::kBitmap || type == kd::DbFieldType::kStreamMemory) {
    std::string lower = text;
    for (char& c : lower)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Check(kdpdb::ToHex(value.GetArray().GetData()) == lower, "bytes read back as others", text);
    Check(SameValue(stored, value), "the record stores other bytes", text);
  }
  return 0;
}
