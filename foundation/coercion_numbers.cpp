// Numbers and their rounding: conversions between the integer types, reals,
// dates and booleans.
#include <cmath>
#include <limits>

#include "foundation/coercion_rules.h"

namespace kd {
namespace coercion {

namespace {

// An integer type: its range, and how a whole number is made of it and read.
struct IntegerType {
  VarType type;
  std::int64_t low;
  std::int64_t high;
  CVariant (*make)(std::int64_t);
  std::int64_t (*read)(const CVariant&);
};

template <typename T, CVariant (*kMake)(T), T (CVariant::*kRead)() const>
constexpr IntegerType Integer(VarType type) {
  return {type, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(),
          [](std::int64_t value) { return kMake(static_cast<T>(value)); },
          [](const CVariant& value) -> std::int64_t { return (value.*kRead)(); }};
}

const IntegerType kIntegerTypes[] = {
    Integer<std::int8_t, CVariant::I1, &CVariant::GetI1>(VT_I1),
    Integer<std::uint8_t, CVariant::UI1, &CVariant::GetUI1>(VT_UI1),
    Integer<std::int16_t, CVariant::I2, &CVariant::GetI2>(VT_I2),
    Integer<std::uint16_t, CVariant::UI2, &CVariant::GetUI2>(VT_UI2),
    Integer<std::int32_t, CVariant::I4, &CVariant::GetI4>(VT_I4),
    Integer<std::uint32_t, CVariant::UI4, &CVariant::GetUI4>(VT_UI4),
};

const IntegerType* FindInteger(VarType type) {
  for (const IntegerType& integer : kIntegerTypes) {
    if (integer.type == type) return &integer;
  }
  return nullptr;
}

// Automation dates run from 1 January 100 to the end of 31 December 9999.
constexpr double kFirstDate = -657434.0;
constexpr double kLastDate = 2958465.0;

}  // namespace

int IntegerBits(VarType type) {
  return static_cast<int>(VarTypeSize(type)) * 8;
}

CVariant IntegerInRange(VarType type, std::int64_t value) {
  const IntegerType& integer = *FindInteger(type);
  if (value < integer.low || value > integer.high) Raise(hr::kDispOverflow);
  return integer.make(value);
}

CVariant IntegerWrapped(VarType type, std::int64_t value) {
  const IntegerType& integer = *FindInteger(type);
  const auto span = static_cast<std::uint64_t>(integer.high - integer.low) + 1;
  return integer.make(integer.low + static_cast<std::int64_t>(
                                        static_cast<std::uint64_t>(value - integer.low) % span));
}

CVariant SingleOf(double value) {
  if (std::fabs(value) > kLargestSingle) Raise(hr::kDispOverflow);
  return CVariant::R4(static_cast<float>(value));
}

Number NumberOf(const CVariant& value) {
  Number number{value.GetBaseType(), true, 0, 0.0};
  if (const IntegerType* integer = FindInteger(number.type)) {
    number.real = false;
    number.whole = integer->read(value);
  } else if (number.type == VT_BOOL || number.type == VT_EMPTY) {
    number.real = false;
    number.whole = number.type == VT_BOOL ? value.GetBool() : 0;
  } else {
    number.value = number.type == VT_R4   ? value.GetR4()
                   : number.type == VT_R8 ? value.GetR8()
                                          : value.GetDate();
  }
  return number;
}

CVariant NumberValue(const Number& number) {
  if (const IntegerType* integer = FindInteger(number.type)) return integer->make(number.whole);
  switch (number.type) {
    case VT_BOOL:
      return CVariant::BoolBits(static_cast<std::int16_t>(number.whole));
    case VT_R4:
      return CVariant::R4(static_cast<float>(number.value));
    case VT_R8:
      return CVariant::R8(number.value);
    case VT_DATE:
      return CVariant::Date(number.value);
    default:
      return CVariant();
  }
}

// Integers from booleans, and between the two types of one width, keep their
// low bits; other integers must fit. Reals round half to even, then must fit.
// Singles become dates unchecked; other numbers only within the date range.
CVariant ConvertNumber(const Number& number, VarType target) {
  const double real = number.real ? number.value : static_cast<double>(number.whole);
  switch (target) {
    case VT_R4:
      return SingleOf(real);
    case VT_R8:
      return CVariant::R8(real);
    case VT_BOOL:
      return CVariant::Bool(real != 0);
    case VT_DATE:
      if (number.type != VT_R4 && !(real > kFirstDate - 1 && real < kLastDate + 1))
        Raise(hr::kDispOverflow);
      return CVariant::Date(real);
    default:
      break;
  }
  if (!number.real) {
    if (number.type == VT_BOOL || IntegerBits(number.type) == IntegerBits(target))
      return IntegerWrapped(target, number.whole);
    return IntegerInRange(target, number.whole);
  }
  const double rounded = std::nearbyint(number.value);  // the default mode: half to even
  const IntegerType& integer = *FindInteger(target);
  if (!(rounded >= static_cast<double>(integer.low) &&
        rounded <= static_cast<double>(integer.high)))
    Raise(hr::kDispOverflow);
  return integer.make(static_cast<std::int64_t>(rounded));
}

}  // namespace coercion
}  // namespace kd
