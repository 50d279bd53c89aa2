// Automation values: CVariant mirrors the platform's VARIANT bit for bit in its
// type codes and value ranges, with value semantics instead of manual clearing.
#ifndef KDDAO_FOUNDATION_VARIANT_H_
#define KDDAO_FOUNDATION_VARIANT_H_

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "foundation/object.h"

namespace kd {

// Variant type codes, as the platform numbers them.
enum VarType : std::uint16_t {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
};

constexpr VarType operator|(VarType a, VarType b) {
  return static_cast<VarType>(static_cast<std::uint16_t>(a) | static_cast<std::uint16_t>(b));
}

// Automation booleans.
constexpr std::int16_t kVariantTrue = -1;
constexpr std::int16_t kVariantFalse = 0;

// One dimension of a safe array.
struct SafeArrayBound {
  std::uint32_t elements;
  std::int32_t lowerBound;
};

// A safe array: element type, dimensions (first dimension first) and the
// elements' bytes in the platform's layout. Value semantics.
class CSafeArray {
 public:
  // An array of zeroed elements. For an element type other than a scalar
  // (variants, strings, objects) it holds only its shape, element type and
  // bounds, without element data: such arrays are only ever refused.
  CSafeArray(VarType elementType, std::vector<SafeArrayBound> bounds);
  // A one-dimensional byte array holding a copy of `data`.
  static CSafeArray Bytes(const std::uint8_t* data, std::size_t count, std::int32_t lowerBound = 0);
  static CSafeArray Bytes(const std::vector<std::uint8_t>& data, std::int32_t lowerBound = 0);

  VarType GetElementType() const { return elementType_; }
  std::uint32_t GetDimensions() const { return static_cast<std::uint32_t>(bounds_.size()); }
  const std::vector<SafeArrayBound>& GetBounds() const { return bounds_; }
  // Bytes per element (1 for VT_UI1).
  std::size_t GetElementSize() const;
  // Number of elements over all dimensions.
  std::size_t GetElementCount() const;
  const std::vector<std::uint8_t>& GetData() const { return data_; }
  std::vector<std::uint8_t>& GetData() { return data_; }

  bool operator==(const CSafeArray& other) const;

 private:
  VarType elementType_;
  std::vector<SafeArrayBound> bounds_;
  std::vector<std::uint8_t> data_;
};

// An object an automation value can refer to (VT_DISPATCH): pictures, and on
// Windows the platform objects that callers hand in. Shared by reference count.
class CAutomationObject : public CObject {};
using ObjectRef = std::shared_ptr<CAutomationObject>;

// Automation value. Holds numbers, booleans (-1/0), dates (days since
// 1899-12-30), UTF-16 strings, safe arrays and object references. A
// by-reference value (VT_BYREF) holds a copy of what it referred to; it is kept
// only so that type checks can refuse it.
class CVariant {
 public:
  CVariant() = default;  // VT_EMPTY

  static CVariant Null();
  static CVariant I1(std::int8_t value);
  static CVariant UI1(std::uint8_t value);
  static CVariant I2(std::int16_t value);
  static CVariant UI2(std::uint16_t value);
  static CVariant I4(std::int32_t value);
  static CVariant UI4(std::uint32_t value);
  static CVariant R4(float value);
  static CVariant R8(double value);
  // VT_BOOL: -1 for true, 0 for false.
  static CVariant Bool(bool value);
  // VT_BOOL holding the raw 16-bit value as the platform would carry it.
  static CVariant BoolBits(std::int16_t value);
  static CVariant Date(double value);
  static CVariant String(std::u16string value);
  static CVariant Array(CSafeArray array);
  static CVariant Bytes(const std::vector<std::uint8_t>& data, std::int32_t lowerBound = 0);
  static CVariant Object(ObjectRef object);

  // The full type code, VT_ARRAY and VT_BYREF bits included.
  VarType GetType() const { return type_; }
  // The type code without VT_BYREF.
  VarType GetBaseType() const { return static_cast<VarType>(type_ & ~VT_BYREF); }
  bool IsByRef() const { return (type_ & VT_BYREF) != 0; }
  bool IsArray() const { return (type_ & VT_ARRAY) != 0; }
  // Exactly VT_ARRAY | VT_UI1, by value.
  bool IsByteArray() const { return type_ == (VT_ARRAY | VT_UI1); }
  // The same value marked as passed by reference.
  CVariant AsByRef() const;

  // Value accessors. Each requires the matching base type and otherwise raises
  // CPlatformError DISP_E_TYPEMISMATCH.
  std::int8_t GetI1() const;
  std::uint8_t GetUI1() const;
  std::int16_t GetI2() const;
  std::uint16_t GetUI2() const;
  std::int32_t GetI4() const;
  std::uint32_t GetUI4() const;
  float GetR4() const;
  double GetR8() const;
  std::int16_t GetBool() const;  // -1 or 0 as stored
  double GetDate() const;
  const std::u16string& GetString() const;
  const CSafeArray& GetArray() const;
  CSafeArray& GetArray();
  const ObjectRef& GetObject() const;

  // Same type code and same value (bit-equal numbers, equal text, arrays,
  // the same object).
  bool operator==(const CVariant& other) const;
  bool operator!=(const CVariant& other) const { return !(*this == other); }

 private:
  friend std::string DescribeVariant(const CVariant& value);
  using Value =
      std::variant<std::monostate, std::int64_t, double, std::u16string, CSafeArray, ObjectRef>;
  CVariant(VarType type, Value value) : type_(type), value_(std::move(value)) {}
  void Require(VarType base) const;

  VarType type_ = VT_EMPTY;
  Value value_;
};

// Classes of base type codes.
bool IsIntegerVarType(VarType type);  // VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4
bool IsNumberVarType(VarType type);   // the integers, VT_R4 and VT_R8
// Bytes of one value of a scalar type (numbers, booleans, dates); 0 for any
// other type.
std::size_t VarTypeSize(VarType type);

// Automation boolean of a truth value: -1 or 0.
constexpr std::int16_t VariantBool(bool value) {
  return value ? kVariantTrue : kVariantFalse;
}

// Name of a type code for messages and test output, e.g. "VT_ARRAY|VT_UI1".
std::string VarTypeName(VarType type);

// Readable form of a value for diagnostics, e.g. "VT_I4 42", "VT_BSTR \"abc\"".
std::string DescribeVariant(const CVariant& value);
// For test frameworks that print values through PrintTo.
void PrintTo(const CVariant& value, std::ostream* out);

}  // namespace kd

#endif  // KDDAO_FOUNDATION_VARIANT_H_
