// The portable coercion: the table of type codes and the dispatch between
// numbers, number text and date text (coercion_rules.h).
#include "foundation/coercion.h"

#include "foundation/byte_order.h"
#include "foundation/coercion_rules.h"
#include "foundation/errors.h"

namespace kd {

namespace coercion {

void Raise(HRESULT result) {
  throw CPlatformError(result);
}

// Scalars, arrays of scalars by value, text, objects, VT_EMPTY and VT_NULL.
bool IsHeldTarget(VarType target) {
  const bool array = (target & VT_ARRAY) != 0 && (target & VT_BYREF) == 0;
  if (VarTypeSize(array ? static_cast<VarType>(target & ~VT_ARRAY) : target) != 0) return true;
  return target == VT_EMPTY || target == VT_NULL || target == VT_BSTR || target == VT_DISPATCH;
}

}  // namespace coercion

namespace {

using coercion::Raise;

constexpr std::uint16_t kVectorBit = 0x1000;
constexpr std::uint16_t kReservedBit = 0x8000;
constexpr std::uint16_t kBaseMask = 0x0FFF;
constexpr std::uint16_t kLastPlainType = 14;    // VT_DECIMAL
constexpr std::uint16_t kLastIntegerType = 23;  // VT_UINT
constexpr std::uint16_t kRecordType = 36;
constexpr std::uint16_t kClassIdType = 72;

// Type codes a variant may carry at all; any other target is DISP_E_BADVARTYPE.
// Arrays and references of everything but VT_EMPTY and VT_NULL, and of class
// identifiers; no vectors.
bool IsVariantType(VarType code) {
  if ((code & (kVectorBit | kReservedBit)) != 0) return false;
  const std::uint16_t base = code & kBaseMask;
  const bool modified = (code & (VT_ARRAY | VT_BYREF)) != 0;
  if (base == VT_EMPTY || base == VT_NULL) return !modified;
  if (base <= kLastPlainType || (base >= VT_I1 && base <= kLastIntegerType)) return true;
  return base == kRecordType || (base == kClassIdType && modified);
}

// The value a by-reference value refers to.
CVariant PlainValue(const CVariant& value) {
  if (value.IsArray()) return CVariant::Array(value.GetArray());
  switch (value.GetBaseType()) {
    case VT_NULL:
      return CVariant::Null();
    case VT_BSTR:
      return CVariant::String(value.GetString());
    case VT_DISPATCH:
      return CVariant::Object(value.GetObject());
    default:
      return coercion::NumberValue(coercion::NumberOf(value));
  }
}

// The value of no object but an absent one can be read, and that one is no
// value of any type.
CVariant FromObject(const CVariant& value, VarType target) {
  const bool absent = value.GetObject() == nullptr;
  if (absent && target == VT_EMPTY) return CVariant();
  if (absent && target == VT_NULL) return CVariant::Null();
  Raise(absent && (target & VT_ARRAY) == 0 ? hr::kDispBadVarType : hr::kDispTypeMismatch);
}

// A one-dimensional byte array is text of its bytes taken two by two.
CVariant FromArray(const CVariant& value, VarType target) {
  const CSafeArray& array = value.GetArray();
  if (target != VT_BSTR || array.GetElementType() != VT_UI1) Raise(hr::kDispTypeMismatch);
  if (array.GetDimensions() != 1) Raise(hr::kInvalidArg);
  const std::vector<std::uint8_t>& bytes = array.GetData();
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = LoadLittleEndian16(&bytes[2 * i]);
  return CVariant::String(std::move(text));
}

// Text: a number or a date read from it, or its UTF-16 units as bytes.
CVariant FromText(const std::u16string& text, VarType target) {
  if (target == VT_DATE) return CVariant::Date(coercion::DateFromText(text));
  if (target == (VT_ARRAY | VT_UI1)) {
    std::vector<std::uint8_t> bytes(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i)
      StoreLittleEndian16(&bytes[2 * i], text[i]);
    return CVariant::Bytes(bytes);
  }
  if ((target & VT_ARRAY) != 0) Raise(hr::kDispTypeMismatch);
  return coercion::NumberFromText(text, target);
}

// Numbers, booleans, dates and VT_EMPTY (zero, and "" as text).
CVariant FromNumber(const CVariant& value, VarType target) {
  const coercion::Number number = coercion::NumberOf(value);
  if ((target & VT_ARRAY) != 0) Raise(hr::kDispTypeMismatch);
  if (target != VT_BSTR) return coercion::ConvertNumber(number, target);
  if (number.type == VT_EMPTY) return CVariant::String(u"");
  if (number.type == VT_DATE) return CVariant::String(coercion::DateText(number.value));
  return CVariant::String(coercion::NumberText(number));
}

}  // namespace

// Every value but VT_NULL, arrays and objects is something as VT_EMPTY and
// VT_NULL; nothing but an object is an object.
CVariant PortableChangeType(const CVariant& value, VarType target) {
  const VarType source = value.GetBaseType();
  if (source == target) return value.IsByRef() ? PlainValue(value) : value;
  if (!coercion::IsHeldTarget(target))
    Raise(IsVariantType(target) ? hr::kDispTypeMismatch : hr::kDispBadVarType);
  if (value.IsArray()) return FromArray(value, target);
  if (source == VT_DISPATCH) return FromObject(value, target);
  if (source == VT_NULL || target == VT_DISPATCH) Raise(hr::kDispTypeMismatch);
  if (target == VT_EMPTY) return CVariant();
  if (target == VT_NULL) return CVariant::Null();
  if (source == VT_BSTR) return FromText(value.GetString(), target);
  return FromNumber(value, target);
}

}  // namespace kd
