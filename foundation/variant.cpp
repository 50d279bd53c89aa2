#include "foundation/variant.h"

#include <cstdio>
#include <cstring>
#include <ostream>

#include "foundation/errors.h"

namespace kd {

// ---- CSafeArray ------------------------------------------------------------

bool IsIntegerVarType(VarType type) {
  return type == VT_I1 || type == VT_UI1 || type == VT_I2 || type == VT_UI2 || type == VT_I4 ||
         type == VT_UI4;
}

bool IsNumberVarType(VarType type) {
  return IsIntegerVarType(type) || type == VT_R4 || type == VT_R8;
}

std::size_t VarTypeSize(VarType type) {
  switch (type) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
      return 4;
    case VT_R8:
    case VT_DATE:
      return 8;
    default:
      return 0;
  }
}

CSafeArray::CSafeArray(VarType elementType, std::vector<SafeArrayBound> bounds)
    : elementType_(elementType), bounds_(std::move(bounds)) {
  data_.resize(GetElementCount() * GetElementSize());
}

CSafeArray CSafeArray::Bytes(const std::uint8_t* data, std::size_t count, std::int32_t lowerBound) {
  CSafeArray array(VT_UI1, {SafeArrayBound{static_cast<std::uint32_t>(count), lowerBound}});
  if (count != 0) std::memcpy(array.data_.data(), data, count);
  return array;
}

CSafeArray CSafeArray::Bytes(const std::vector<std::uint8_t>& data, std::int32_t lowerBound) {
  return Bytes(data.data(), data.size(), lowerBound);
}

std::size_t CSafeArray::GetElementSize() const {
  return VarTypeSize(elementType_);
}

std::size_t CSafeArray::GetElementCount() const {
  if (bounds_.empty()) return 0;
  std::size_t count = 1;
  for (const SafeArrayBound& bound : bounds_)
    count *= bound.elements;
  return count;
}

bool CSafeArray::operator==(const CSafeArray& other) const {
  if (elementType_ != other.elementType_ || bounds_.size() != other.bounds_.size()) return false;
  for (std::size_t i = 0; i < bounds_.size(); ++i) {
    if (bounds_[i].elements != other.bounds_[i].elements ||
        bounds_[i].lowerBound != other.bounds_[i].lowerBound) {
      return false;
    }
  }
  return data_ == other.data_;
}

// ---- CVariant --------------------------------------------------------------

CVariant CVariant::Null() {
  return CVariant(VT_NULL, std::monostate{});
}
CVariant CVariant::I1(std::int8_t value) {
  return CVariant(VT_I1, std::int64_t{value});
}
CVariant CVariant::UI1(std::uint8_t value) {
  return CVariant(VT_UI1, std::int64_t{value});
}
CVariant CVariant::I2(std::int16_t value) {
  return CVariant(VT_I2, std::int64_t{value});
}
CVariant CVariant::UI2(std::uint16_t value) {
  return CVariant(VT_UI2, std::int64_t{value});
}
CVariant CVariant::I4(std::int32_t value) {
  return CVariant(VT_I4, std::int64_t{value});
}
CVariant CVariant::UI4(std::uint32_t value) {
  return CVariant(VT_UI4, std::int64_t{value});
}
CVariant CVariant::R4(float value) {
  return CVariant(VT_R4, static_cast<double>(value));
}
CVariant CVariant::R8(double value) {
  return CVariant(VT_R8, value);
}
CVariant CVariant::Bool(bool value) {
  return CVariant(VT_BOOL, std::int64_t{value ? kVariantTrue : kVariantFalse});
}
CVariant CVariant::BoolBits(std::int16_t value) {
  return CVariant(VT_BOOL, std::int64_t{value});
}
CVariant CVariant::Date(double value) {
  return CVariant(VT_DATE, value);
}
CVariant CVariant::String(std::u16string value) {
  return CVariant(VT_BSTR, std::move(value));
}
CVariant CVariant::Array(CSafeArray array) {
  VarType type = VT_ARRAY | array.GetElementType();
  return CVariant(type, std::move(array));
}
CVariant CVariant::Bytes(const std::vector<std::uint8_t>& data, std::int32_t lowerBound) {
  return Array(CSafeArray::Bytes(data, lowerBound));
}
CVariant CVariant::Object(ObjectRef object) {
  return CVariant(VT_DISPATCH, std::move(object));
}

CVariant CVariant::AsByRef() const {
  CVariant copy = *this;
  copy.type_ = static_cast<VarType>(type_ | VT_BYREF);
  return copy;
}

void CVariant::Require(VarType base) const {
  if (GetBaseType() != base) throw CPlatformError(hr::kDispTypeMismatch);
}

std::int8_t CVariant::GetI1() const {
  Require(VT_I1);
  return static_cast<std::int8_t>(std::get<std::int64_t>(value_));
}
std::uint8_t CVariant::GetUI1() const {
  Require(VT_UI1);
  return static_cast<std::uint8_t>(std::get<std::int64_t>(value_));
}
std::int16_t CVariant::GetI2() const {
  Require(VT_I2);
  return static_cast<std::int16_t>(std::get<std::int64_t>(value_));
}
std::uint16_t CVariant::GetUI2() const {
  Require(VT_UI2);
  return static_cast<std::uint16_t>(std::get<std::int64_t>(value_));
}
std::int32_t CVariant::GetI4() const {
  Require(VT_I4);
  return static_cast<std::int32_t>(std::get<std::int64_t>(value_));
}
std::uint32_t CVariant::GetUI4() const {
  Require(VT_UI4);
  return static_cast<std::uint32_t>(std::get<std::int64_t>(value_));
}
float CVariant::GetR4() const {
  Require(VT_R4);
  return static_cast<float>(std::get<double>(value_));
}
double CVariant::GetR8() const {
  Require(VT_R8);
  return std::get<double>(value_);
}
std::int16_t CVariant::GetBool() const {
  Require(VT_BOOL);
  return static_cast<std::int16_t>(std::get<std::int64_t>(value_));
}
double CVariant::GetDate() const {
  Require(VT_DATE);
  return std::get<double>(value_);
}
const std::u16string& CVariant::GetString() const {
  Require(VT_BSTR);
  return std::get<std::u16string>(value_);
}
const CSafeArray& CVariant::GetArray() const {
  if (!IsArray()) throw CPlatformError(hr::kDispTypeMismatch);
  return std::get<CSafeArray>(value_);
}
CSafeArray& CVariant::GetArray() {
  if (!IsArray()) throw CPlatformError(hr::kDispTypeMismatch);
  return std::get<CSafeArray>(value_);
}
const ObjectRef& CVariant::GetObject() const {
  Require(VT_DISPATCH);
  return std::get<ObjectRef>(value_);
}

bool CVariant::operator==(const CVariant& other) const {
  if (type_ != other.type_ || value_.index() != other.value_.index()) return false;
  if (const double* mine = std::get_if<double>(&value_)) {
    const double theirs = std::get<double>(other.value_);
    return std::memcmp(mine, &theirs, sizeof theirs) == 0;
  }
  return value_ == other.value_;
}

std::string VarTypeName(VarType type) {
  static const struct {
    VarType type;
    const char* name;
  } kNames[] = {{VT_EMPTY, "VT_EMPTY"}, {VT_NULL, "VT_NULL"},       {VT_I2, "VT_I2"},
                {VT_I4, "VT_I4"},       {VT_R4, "VT_R4"},           {VT_R8, "VT_R8"},
                {VT_DATE, "VT_DATE"},   {VT_BSTR, "VT_BSTR"},       {VT_DISPATCH, "VT_DISPATCH"},
                {VT_BOOL, "VT_BOOL"},   {VT_VARIANT, "VT_VARIANT"}, {VT_I1, "VT_I1"},
                {VT_UI1, "VT_UI1"},     {VT_UI2, "VT_UI2"},         {VT_UI4, "VT_UI4"}};
  std::string name;
  if (type & VT_BYREF) name += "VT_BYREF|";
  if (type & VT_ARRAY) name += "VT_ARRAY|";
  auto base = static_cast<VarType>(type & 0x0FFF);
  for (const auto& entry : kNames) {
    if (entry.type == base) return name + entry.name;
  }
  return name + "VT_" + std::to_string(static_cast<int>(base));
}

std::string DescribeVariant(const CVariant& value) {
  std::string text = VarTypeName(value.GetType());
  VarType base = value.GetBaseType();
  if (value.IsArray()) {
    const CSafeArray& array = value.GetArray();
    text += " [" + std::to_string(array.GetElementCount()) + " elements:";
    const std::vector<std::uint8_t>& data = array.GetData();
    for (std::size_t i = 0; i < data.size() && i < 24; ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, " %02X", data[i]);
      text += hex;
    }
    return text + (data.size() > 24 ? " ...]" : "]");
  }
  char number[64] = "";
  switch (base) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_BOOL:
      std::snprintf(number, sizeof number, " %lld",
                    static_cast<long long>(std::get<std::int64_t>(value.value_)));
      break;
    case VT_R4:
    case VT_R8:
    case VT_DATE:
      std::snprintf(number, sizeof number, " %.17g", std::get<double>(value.value_));
      break;
    case VT_BSTR: {
      text += " \"";
      for (char16_t unit : value.GetString()) {
        if (unit < 0x80) {
          text.push_back(static_cast<char>(unit));
        } else {
          char escape[12];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
          text += escape;
        }
      }
      return text + "\"";
    }
    default:
      break;
  }
  return text + number;
}

void PrintTo(const CVariant& value, std::ostream* out) {
  *out << DescribeVariant(value);
}

}  // namespace kd
