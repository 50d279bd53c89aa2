#include "tools/kdpdb/value_output.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "tools/kdpdb/dates.h"
#include "tools/kdpdb/text_bytes.h"

namespace kdpdb {

namespace {

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
      out += "\\x" + ToHex(&byte, 1);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

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

}  // namespace kdpdb
