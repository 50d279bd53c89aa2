// kdpdb's values written as text for people and as JSON.
#ifndef KDDAO_TOOLS_KDPDB_VALUE_OUTPUT_H_
#define KDDAO_TOOLS_KDPDB_VALUE_OUTPUT_H_

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

#include "foundation/variant.h"
#include "recordset/db_schema.h"

namespace kdpdb {

using Json = nlohmann::ordered_json;

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

}  // namespace kdpdb

#endif  // KDDAO_TOOLS_KDPDB_VALUE_OUTPUT_H_
