// Portable coercion: the platform's VariantChangeType(dst, src, 0, target)
// rules for the user locale English (United States), reproduced step by step
// so that a value converts to the same bits and the same failures as on
// Windows. The order of the steps, the rounding of each intermediate double
// and the quirks of the platform's parsers are kept on purpose: callers store
// what the Windows build would store.
#include "foundation/coercion.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "foundation/errors.h"

namespace kd {

namespace {

[[noreturn]] void Raise(HRESULT result) {
  throw CPlatformError(result);
}

// ---- Types -----------------------------------------------------------------

constexpr std::uint16_t kTypeMask = 0x0FFF;
constexpr std::uint16_t kVectorBit = 0x1000;
constexpr std::uint16_t kReservedBit = 0x8000;
constexpr std::uint16_t kVoid = 24;
constexpr std::uint16_t kRecord = 36;
constexpr std::uint16_t kClassId = 72;

bool IsIntegerType(VarType type) {
  return IsIntegerVarType(type);
}

bool IsRealType(VarType type) {
  return type == VT_R4 || type == VT_R8 || type == VT_DATE;
}

// Element types a CSafeArray holds.
bool IsArrayElementType(VarType type) {
  return IsIntegerType(type) || IsRealType(type) || type == VT_BOOL;
}

// Targets whose results a CVariant can hold.
bool IsHeldTarget(VarType target) {
  if ((target & VT_ARRAY) != 0 && (target & VT_BYREF) == 0)
    return IsArrayElementType(static_cast<VarType>(target & ~VT_ARRAY));
  switch (target) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_BSTR:
    case VT_BOOL:
    case VT_DISPATCH:
      return true;
    default:
      return IsIntegerType(target) || IsRealType(target);
  }
}

// The platform's check of a type code: vectors, reserved bits, codes past
// VT_UINT other than VT_RECORD, code 15 and by-reference or array forms of
// VT_EMPTY and VT_NULL are refused with DISP_E_BADVARTYPE.
bool IsValidTarget(VarType target) {
  const std::uint16_t extra = static_cast<std::uint16_t>(target & ~kTypeMask);
  const std::uint16_t base = static_cast<std::uint16_t>(target & kTypeMask);
  if (target == kClassId) return false;
  if ((extra & (kVectorBit | kReservedBit)) != 0) return false;
  if (!(base < kVoid || base == kRecord || base == kClassId)) return false;
  if ((extra & (VT_BYREF | VT_ARRAY)) != 0 && base <= VT_NULL) return false;
  return base != 15;
}

// The value a by-reference variant refers to, as a plain value.
CVariant ByValue(const CVariant& value) {
  if (!value.IsByRef()) return value;
  if (value.IsArray()) return CVariant::Array(value.GetArray());
  switch (value.GetBaseType()) {
    case VT_NULL:
      return CVariant::Null();
    case VT_I1:
      return CVariant::I1(value.GetI1());
    case VT_UI1:
      return CVariant::UI1(value.GetUI1());
    case VT_I2:
      return CVariant::I2(value.GetI2());
    case VT_UI2:
      return CVariant::UI2(value.GetUI2());
    case VT_I4:
      return CVariant::I4(value.GetI4());
    case VT_UI4:
      return CVariant::UI4(value.GetUI4());
    case VT_R4:
      return CVariant::R4(value.GetR4());
    case VT_R8:
      return CVariant::R8(value.GetR8());
    case VT_BOOL:
      return CVariant::BoolBits(value.GetBool());
    case VT_DATE:
      return CVariant::Date(value.GetDate());
    case VT_BSTR:
      return CVariant::String(value.GetString());
    case VT_DISPATCH:
      return CVariant::Object(value.GetObject());
    default:
      return CVariant();
  }
}

// ---- Integers --------------------------------------------------------------

std::int64_t IntegerOf(const CVariant& value) {
  switch (value.GetType()) {
    case VT_I1:
      return value.GetI1();
    case VT_UI1:
      return value.GetUI1();
    case VT_I2:
      return value.GetI2();
    case VT_UI2:
      return value.GetUI2();
    case VT_I4:
      return value.GetI4();
    default:
      return value.GetUI4();
  }
}

struct IntegerRange {
  std::int64_t min;
  std::int64_t max;
};

IntegerRange RangeOf(VarType type) {
  switch (type) {
    case VT_I1:
      return {-128, 127};
    case VT_UI1:
      return {0, 255};
    case VT_I2:
      return {-32768, 32767};
    case VT_UI2:
      return {0, 65535};
    case VT_I4:
      return {INT32_MIN, INT32_MAX};
    default:
      return {0, UINT32_MAX};
  }
}

// `value` truncated to the width of `type`, as a C cast would.
CVariant IntegerVariant(VarType type, std::int64_t value) {
  switch (type) {
    case VT_I1:
      return CVariant::I1(static_cast<std::int8_t>(value));
    case VT_UI1:
      return CVariant::UI1(static_cast<std::uint8_t>(value));
    case VT_I2:
      return CVariant::I2(static_cast<std::int16_t>(value));
    case VT_UI2:
      return CVariant::UI2(static_cast<std::uint16_t>(value));
    case VT_I4:
      return CVariant::I4(static_cast<std::int32_t>(value));
    default:
      return CVariant::UI4(static_cast<std::uint32_t>(value));
  }
}

// Integer to integer: a signed and an unsigned type of one width reinterpret
// the bits; any other pair checks the range.
CVariant IntegerFromInteger(VarType target, VarType from, std::int64_t value) {
  if (VarTypeSize(from) == VarTypeSize(target)) return IntegerVariant(target, value);
  const IntegerRange range = RangeOf(target);
  if (value < range.min || value > range.max) Raise(hr::kDispOverflow);
  return IntegerVariant(target, value);
}

// Double to integer: out of [min - 0.5, max + 0.5) overflows (the lower
// bound of the unsigned types is -0.5 itself), the rest rounds half to even.
CVariant IntegerFromReal(VarType target, double value) {
  const IntegerRange range = RangeOf(target);
  const double low = range.min == 0 ? -0.5 : static_cast<double>(range.min) - 0.5;
  const double high = static_cast<double>(range.max) + 0.5;
  if (value < low || value >= high) Raise(hr::kDispOverflow);
  if (std::isnan(value)) {
    // The platform's rounding of NaN ends on the processor's "integer
    // indefinite" minus one.
    return IntegerVariant(target, target == VT_I4 ? INT32_MAX : -1);
  }
  const double whole = value < 0 ? std::ceil(value) : std::floor(value);
  const double fraction = value - whole;
  const auto w = static_cast<std::int64_t>(whole);
  std::int64_t result;
  if (fraction > 0.5)
    result = w + 1;
  else if (fraction == 0.5)
    result = w + (w & 1);
  else if (fraction >= 0.0)
    result = w;
  else if (fraction == -0.5)
    result = w - (w & 1);
  else if (fraction > -0.5)
    result = w;
  else
    result = w - 1;
  return IntegerVariant(target, result);
}

// ---- Reals -----------------------------------------------------------------

constexpr double kR4Max = 3.402823567797336e38;
constexpr double kR4Min = 1.40129846432481707e-45;
constexpr double kR8Max = 1.79769313486231470e+308;
constexpr double kR8Min = 4.94065645841246544e-324;
constexpr double kDateMin = -657434;  // 1 January 100
constexpr double kDateMax = 2958465;  // 31 December 9999

double RealOf(const CVariant& value) {
  switch (value.GetType()) {
    case VT_R4:
      return value.GetR4();
    case VT_R8:
      return value.GetR8();
    default:
      return value.GetDate();
  }
}

CVariant R4FromR8(double value) {
  if (std::fabs(value) > kR4Max) Raise(hr::kDispOverflow);
  return CVariant::R4(static_cast<float>(value));
}

CVariant DateFromR8(double value) {
  if (value <= kDateMin - 1.0 || value >= kDateMax + 1.0) Raise(hr::kDispOverflow);
  return CVariant::Date(value);
}

// ---- Text ------------------------------------------------------------------

// The platform's wide-character white space.
bool IsSpace(char16_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// ASCII lower case: the platform's case-insensitive comparisons fold no other
// character onto the letters of the English names.
char16_t FoldCase(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool StartsWithNoCase(const char16_t* text, const char16_t* prefix) {
  for (; *prefix != u'\0'; ++text, ++prefix) {
    if (*text == u'\0' || FoldCase(*text) != FoldCase(*prefix)) return false;
  }
  return true;
}

bool EqualsNoCase(const char16_t* text, const char16_t* other) {
  return StartsWithNoCase(text, other) && text[std::char_traits<char16_t>::length(other)] == u'\0';
}

std::u16string Widen(const char* text) {
  std::u16string result;
  for (; *text != '\0'; ++text)
    result.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
  return result;
}

// The platform reads strings up to their first NUL.
std::u16string Terminated(const std::u16string& text) {
  return text.substr(0, std::char_traits<char16_t>::length(text.c_str()));
}

// ---- Numbers from text -----------------------------------------------------

// Parse state flags, as the platform's number parser reports them.
constexpr std::uint32_t kNumLeadingWhite = 0x1;
constexpr std::uint32_t kNumTrailingWhite = 0x2;
constexpr std::uint32_t kNumLeadingPlus = 0x4;
constexpr std::uint32_t kNumTrailingPlus = 0x8;
constexpr std::uint32_t kNumLeadingMinus = 0x10;
constexpr std::uint32_t kNumTrailingMinus = 0x20;
constexpr std::uint32_t kNumHexOct = 0x40;
constexpr std::uint32_t kNumParens = 0x80;
constexpr std::uint32_t kNumDecimal = 0x100;
constexpr std::uint32_t kNumThousands = 0x200;
constexpr std::uint32_t kNumCurrency = 0x400;
constexpr std::uint32_t kNumExponent = 0x800;
constexpr std::uint32_t kNumNegative = 0x10000;
constexpr std::uint32_t kNumInexact = 0x20000;

constexpr std::uint32_t kStateExponent = 0x1;
constexpr std::uint32_t kStateNegativeExponent = 0x2;
constexpr std::uint32_t kStateExponentStart = 0x4;
constexpr std::uint32_t kStateInexactZeros = 0x8;
constexpr std::uint32_t kStateLeadingZero = 0x10;
constexpr std::uint32_t kStateHex = 0x20;
constexpr std::uint32_t kStateOctal = 0x40;

constexpr int kMaxDigits = 1024;

// A number as digits, a power of ten and flags. Hexadecimal and octal numbers
// carry their digits in base 16 or 8 (`baseShift` 4 or 3).
struct ParsedNumber {
  int digitCount = 0;
  std::uint32_t flags = 0;
  int baseShift = 0;
  std::int32_t power10 = 0;
  std::uint8_t digits[kMaxDigits] = {};
};

std::int32_t AddWrapping(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// Reads `text` as a number with every syntax the platform accepts by default:
// white space, leading or trailing signs, parentheses, "$", thousands
// separators, a decimal point, an exponent and "&H"/"&O" prefixes; the whole
// text must be used. Returns S_OK, DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW.
HRESULT ParseNumber(const char16_t* s, ParsedNumber& number) {
  std::uint32_t state = kStateExponentStart | kStateInexactZeros;
  std::uint32_t& out = number.flags;
  int& count = number.digitCount;
  std::int32_t& power10 = number.power10;

  for (;;) {
    if (*s == u'.') {
      out |= kNumDecimal;
      ++s;
      if (count == 0) {
        while (*s == u'0') {
          state |= kStateLeadingZero;
          ++s;
          --power10;
        }
      }
      break;
    } else if (IsSpace(*s)) {
      out |= kNumLeadingWhite;
      do {
        ++s;
      } while (IsSpace(*s));
    } else if (*s == u',') {
      return hr::kDispTypeMismatch;  // no separator before the first digit
    } else if (*s == u'+' && (out & kNumLeadingPlus) == 0) {
      out |= kNumLeadingPlus;
      ++s;
    } else if (*s == u'-' && (out & kNumLeadingMinus) == 0) {
      out |= kNumLeadingMinus | kNumNegative;
      ++s;
    } else if (*s == u'$' && (out & kNumCurrency) == 0) {
      out |= kNumCurrency;
      ++s;
    } else if (*s == u'(' && (out & kNumParens) == 0) {
      out |= kNumParens;
      ++s;
    } else {
      break;
    }
  }

  if ((out & (kNumCurrency | kNumDecimal)) == 0 && s[0] == u'&') {
    if (s[1] == u'H' || s[1] == u'h') {
      state |= kStateHex;
      out |= kNumHexOct;
      s += 2;
    } else if (s[1] == u'O' || s[1] == u'o') {
      state |= kStateOctal;
      out |= kNumHexOct;
      s += 2;
    }
  }

  while (*s == u'0') {
    state |= kStateLeadingZero;
    ++s;
  }

  while (*s != u'\0') {
    if (IsDigit(*s)) {
      if ((state & kStateExponent) != 0) {
        std::uint32_t exponent = 0;
        if ((state & kStateExponentStart) != 0) {
          while (*s == u'0')
            ++s;
        }
        while (IsDigit(*s)) {
          exponent = exponent * 10 + static_cast<std::uint32_t>(*s - u'0');
          ++s;
        }
        if ((state & kStateNegativeExponent) != 0) exponent = 0u - exponent;
        power10 = AddWrapping(power10, static_cast<std::int32_t>(exponent));
        state &= ~(kStateExponent | kStateExponentStart);
        --s;  // the loop steps over the last character read
      } else {
        if (count >= kMaxDigits && (state & (kStateHex | kStateOctal)) == 0) {
          out |= kNumInexact;
          if (*s != u'0') state &= ~kStateInexactZeros;
          power10 = AddWrapping(power10, (out & kNumDecimal) != 0 ? -1 : 1);
        } else {
          if ((state & kStateOctal) != 0 && (*s == u'8' || *s == u'9')) break;
          if (count >= kMaxDigits) return hr::kDispOverflow;
          if ((out & kNumDecimal) != 0) power10 = AddWrapping(power10, -1);
          number.digits[count] = static_cast<std::uint8_t>(*s - u'0');
        }
        ++count;
      }
    } else if (*s == u',' && (out & kNumHexOct) == 0) {
      out |= kNumThousands;
    } else if (*s == u'.' && (out & (kNumHexOct | kNumDecimal | kNumExponent)) == 0) {
      out |= kNumDecimal;
      if (count == 0) {
        while (s[1] == u'0') {
          state |= kStateLeadingZero;
          ++s;
          power10 = AddWrapping(power10, -1);
        }
      }
    } else if ((state & kStateHex) != 0 &&
               ((*s >= u'a' && *s <= u'f') || (*s >= u'A' && *s <= u'F'))) {
      if (count >= kMaxDigits) return hr::kDispOverflow;
      number.digits[count++] =
          static_cast<std::uint8_t>(*s >= u'a' ? *s - u'a' + 10 : *s - u'A' + 10);
    } else if ((*s == u'e' || *s == u'E') &&
               (out & (kNumHexOct | kNumCurrency | kNumExponent)) == 0) {
      state |= kStateExponent;
      out |= kNumExponent;
    } else if ((state & kStateExponent) != 0 && *s == u'+') {
      // an explicit positive exponent
    } else if ((state & kStateExponent) != 0 && *s == u'-') {
      state |= kStateNegativeExponent;
    } else {
      break;
    }
    ++s;
  }

  if (count == 0 && (state & kStateLeadingZero) != 0) {
    count = 1;
    number.digits[0] = 0;
  }
  if ((out & kNumExponent) != 0 && (state & kStateExponent) != 0) return hr::kDispTypeMismatch;

  if ((out & kNumInexact) != 0) {
    if ((state & kStateInexactZeros) != 0) out &= ~kNumInexact;
  } else if ((state & kStateHex) != 0) {
    power10 = 0;
    number.baseShift = 4;
  } else if ((state & kStateOctal) != 0) {
    power10 = 0;
    number.baseShift = 3;
  } else {
    while (count > 1 && number.digits[count - 1] == 0) {
      power10 = AddWrapping(power10, 1);
      --count;
    }
  }
  if (count <= kMaxDigits)
    out &= ~kNumInexact;
  else
    count = kMaxDigits;

  for (;;) {
    if (*s == u',') {
      if ((out & kNumHexOct) != 0) break;
      out |= kNumThousands;
      ++s;
    } else if (IsSpace(*s)) {
      out |= kNumTrailingWhite;
      do {
        ++s;
      } while (IsSpace(*s));
    } else if ((out & kNumLeadingPlus) == 0 && *s == u'+') {
      out |= kNumTrailingPlus;
      ++s;
    } else if ((out & kNumLeadingMinus) == 0 && *s == u'-') {
      out |= kNumTrailingMinus | kNumNegative;
      ++s;
    } else if (*s == u')' && (out & kNumParens) != 0) {
      out |= kNumNegative;
      ++s;
    } else if ((out & kNumHexOct) == 0 && *s == u'$') {
      out |= kNumCurrency;
      ++s;
    } else {
      break;
    }
  }

  if ((out & kNumParens) != 0 && (out & kNumNegative) == 0) return hr::kDispTypeMismatch;
  if (*s != u'\0') return hr::kDispTypeMismatch;
  if (count == 0) return hr::kDispTypeMismatch;
  return hr::kOk;
}

// A parsed number as `target` (an integer type, VT_R4 or VT_R8), the way the
// platform places a number in one requested type: integers round half to
// even from the decimal digits, reals build a double digit by digit and
// scale it by powers of ten.
CVariant NumberAs(const ParsedNumber& number, VarType target) {
  const std::uint8_t* digits = number.digits;
  const bool isInteger = IsIntegerType(target);

  if (number.baseShift != 0) {
    std::uint64_t value = 0;
    for (int i = 0; i < number.digitCount; ++i) {
      if (value > ((UINT64_MAX >> number.baseShift) - digits[i])) Raise(hr::kDispOverflow);
      value = (value << number.baseShift) + digits[i];
    }
    const auto negated = static_cast<std::int64_t>(0 - value);
    if (isInteger) {
      if ((value >> (8 * VarTypeSize(target))) != 0) Raise(hr::kDispOverflow);
      return IntegerVariant(target, static_cast<std::int64_t>(value));
    }
    double real;
    if (value <= static_cast<std::uint64_t>(INT32_MAX))
      real = static_cast<double>(value);
    else if (negated >= INT32_MIN)
      real = static_cast<double>(negated);
    else
      Raise(hr::kDispOverflow);
    return target == VT_R4 ? CVariant::R4(static_cast<float>(real)) : CVariant::R8(real);
  }

  int wholeDigits;
  int fractionDigits;
  int divisor10 = 0;
  int multiplier10 = 0;
  if (number.power10 < 0) {
    if (-static_cast<std::int64_t>(number.power10) >= number.digitCount) {
      wholeDigits = 0;
      fractionDigits = number.digitCount;
      divisor10 = static_cast<int>(-static_cast<std::int64_t>(number.power10));
    } else {
      wholeDigits = number.digitCount + number.power10;
      fractionDigits = number.digitCount - wholeDigits;
      divisor10 = fractionDigits;
    }
  } else {
    wholeDigits = number.digitCount;
    fractionDigits = 0;
    multiplier10 = number.power10;
  }

  if (isInteger) {
    bool overflow = false;
    std::uint64_t value = 0;
    for (int i = 0; i < wholeDigits; ++i) {
      if (value > UINT64_MAX / 10 || (value == UINT64_MAX / 10 && digits[i] > UINT64_MAX % 10)) {
        overflow = true;
        break;
      }
      value = value * 10 + digits[i];
    }
    for (int i = 0; !overflow && value != 0 && i < multiplier10; ++i) {
      if (value > UINT64_MAX / 10) {
        overflow = true;
        break;
      }
      value *= 10;
    }
    // Round half to even on the fraction. A fraction whose first significant
    // digit stands after leading zeros ("0.06") is below one half. (Wine's
    // parser rounds "0.06" up as if it were "0.6"; Windows does not.)
    if (!overflow && fractionDigits != 0 && divisor10 == fractionDigits) {
      const std::uint8_t* fraction = digits + wholeDigits;
      bool up = false;
      if (fraction[0] > 5) {
        up = true;
      } else if (fraction[0] == 5) {
        int i = 1;
        for (; i < fractionDigits; ++i) {
          if (fraction[i] != 0) {
            up = true;
            break;
          }
        }
        if (i == fractionDigits && (value & 1) != 0) up = true;
      }
      if (up) {
        if (value == UINT64_MAX) overflow = true;
        ++value;
      }
    }
    const bool negative = (number.flags & kNumNegative) != 0 && value != 0;
    if (!overflow) {
      const IntegerRange range = RangeOf(target);
      if (negative) {
        if (range.min < 0 && value <= static_cast<std::uint64_t>(-range.min))
          return IntegerVariant(target, -static_cast<std::int64_t>(value));
      } else if (value <= static_cast<std::uint64_t>(range.max)) {
        return IntegerVariant(target, static_cast<std::int64_t>(value));
      }
    }
    Raise(hr::kDispOverflow);
  }

  static const double kMultipliers[11] = {1.0,         10.0,         100.0,        1000.0,
                                          10000.0,     100000.0,     1000000.0,    10000000.0,
                                          100000000.0, 1000000000.0, 10000000000.0};
  static const double kMinimums[11] = {
      kR8Min,           kR8Min * 10.0,         kR8Min * 100.0,        kR8Min * 1000.0,
      kR8Min * 10000.0, kR8Min * 100000.0,     kR8Min * 1000000.0,    kR8Min * 10000000.0,
      kR8Min * 1e8,     kR8Min * 1000000000.0, kR8Min * 10000000000.0};
  static const double kMaximums[11] = {
      kR8Max,           kR8Max / 10.0,         kR8Max / 100.0,        kR8Max / 1000.0,
      kR8Max / 10000.0, kR8Max / 100000.0,     kR8Max / 1000000.0,    kR8Max / 10000000.0,
      kR8Max / 1e8,     kR8Max / 1000000000.0, kR8Max / 10000000000.0};

  double whole = 0.0;
  for (int i = 0; i < number.digitCount; ++i)
    whole = whole * 10.0 + digits[i];
  if (whole == 0.0) multiplier10 = divisor10 = 0;  // zero scales to itself
  while (multiplier10 > 10) {
    if (whole > kMaximums[10]) Raise(hr::kDispOverflow);
    whole = whole * kMultipliers[10];
    multiplier10 -= 10;
  }
  if (multiplier10 != 0) {
    if (whole > kMaximums[multiplier10]) Raise(hr::kDispOverflow);
    whole = whole * kMultipliers[multiplier10];
  }
  while (divisor10 > 10) {
    if (whole < kMinimums[10] && whole != 0) {
      whole = 0;  // underflow reads as zero
      divisor10 = 0;
      break;
    }
    whole = whole / kMultipliers[10];
    divisor10 -= 10;
  }
  if (divisor10 > 0) {
    if (whole < kMinimums[divisor10] && whole != 0)
      whole = 0;
    else
      whole = whole / kMultipliers[divisor10];
  }
  const bool negative = (number.flags & kNumNegative) != 0;
  if (target == VT_R4) {
    if ((whole <= kR4Max && whole >= kR4Min) || whole == 0.0)
      return CVariant::R4(static_cast<float>(negative ? -whole : whole));
    Raise(hr::kDispOverflow);
  }
  return CVariant::R8(negative ? -whole : whole);
}

CVariant NumberFromString(const std::u16string& text, VarType target) {
  const std::u16string terminated = Terminated(text);
  ParsedNumber number;
  const HRESULT result = ParseNumber(terminated.c_str(), number);
  if (Failed(result)) Raise(result);
  return NumberAs(number, target);
}

CVariant BoolFromString(const std::u16string& text) {
  const std::u16string terminated = Terminated(text);
  const char16_t* s = terminated.c_str();
  if (EqualsNoCase(s, u"True")) return CVariant::Bool(true);
  if (EqualsNoCase(s, u"False")) return CVariant::Bool(false);
  if (terminated == u"#FALSE#") return CVariant::Bool(false);
  if (terminated == u"#TRUE#") return CVariant::Bool(true);
  return CVariant::Bool(NumberFromString(terminated, VT_R8).GetR8() != 0);
}

// ---- Text from numbers -----------------------------------------------------

// printf's "%.<digits>G" as the platform's C runtime writes it: the exact
// binary value rounded to `digits` significant digits, halves away from zero
// (glibc would round an exact half to even), trailing zeros dropped, an
// exponent of at least two digits. A negative zero reads "0".
std::u16string FormatReal(double value, int digits) {
  if (std::isnan(value)) return std::signbit(value) ? u"-NAN" : u"NAN";
  if (std::isinf(value)) return value < 0 ? u"-INF" : u"INF";
  if (value == 0.0) return u"0";

  // Every finite double has at most 767 significant decimal digits.
  char exact[800];
  const std::to_chars_result written =
      std::to_chars(exact, exact + sizeof exact, value, std::chars_format::scientific, 780);
  const char* p = exact;
  const bool negative = *p == '-';
  if (negative) ++p;
  std::string mantissa;
  for (; p != written.ptr && *p != 'e'; ++p) {
    if (*p != '.') mantissa.push_back(*p);
  }
  int exponent = 0;
  std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), written.ptr, exponent);

  const bool roundUp = mantissa[static_cast<std::size_t>(digits)] >= '5';
  mantissa.resize(static_cast<std::size_t>(digits));
  if (roundUp) {
    int i = digits - 1;
    for (; i >= 0 && mantissa[static_cast<std::size_t>(i)] == '9'; --i)
      mantissa[static_cast<std::size_t>(i)] = '0';
    if (i >= 0) {
      ++mantissa[static_cast<std::size_t>(i)];
    } else {
      mantissa.insert(mantissa.begin(), '1');
      mantissa.pop_back();
      ++exponent;
    }
  }

  std::string text = negative ? "-" : "";
  auto trimmed = [](std::string fraction) {
    while (!fraction.empty() && fraction.back() == '0')
      fraction.pop_back();
    return fraction.empty() ? fraction : "." + fraction;
  };
  if (exponent < -4 || exponent >= digits) {
    text += mantissa[0];
    text += trimmed(mantissa.substr(1));
    char tail[16];
    std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    text += tail;
  } else if (exponent < 0) {
    text += "0" + trimmed(std::string(static_cast<std::size_t>(-exponent - 1), '0') + mantissa);
  } else {
    const auto point = static_cast<std::size_t>(exponent) + 1;
    text += mantissa.substr(0, point) + trimmed(mantissa.substr(point));
  }
  return Widen(text.c_str());
}

// ---- Dates -----------------------------------------------------------------

struct SystemTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
};

template <typename Year>
bool IsLeapYear(Year year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

constexpr std::uint8_t kDaysInMonth[] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// 32-bit arithmetic that wraps as the platform's does.
std::int32_t Wrap(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

std::int32_t JulianFromDate(std::int32_t date) {
  return Wrap(std::int64_t{date} + 657434 + 1757585);
}

std::int32_t DateFromJulian(std::int32_t julian) {
  return julian - 1757585 - 657434;
}

void DayMonthYearFromJulian(std::int32_t julian, SystemTime& time) {
  std::int32_t l = Wrap(std::int64_t{julian} + 68569);
  const std::int32_t n = Wrap(std::int64_t{l} * 4) / 146097;
  l = Wrap(l - Wrap((Wrap(std::int64_t{n} * 146097) + std::int64_t{3})) / 4);
  const std::int32_t i = Wrap(std::int64_t{4000} * Wrap(std::int64_t{l} + 1)) / 1461001;
  l = Wrap(std::int64_t{l} + 31 - Wrap(std::int64_t{i} * 1461) / 4);
  const std::int32_t j = Wrap(std::int64_t{l} * 80) / 2447;
  time.day = static_cast<std::uint16_t>(l - Wrap(std::int64_t{j} * 2447) / 80);
  l = j / 11;
  time.month = static_cast<std::uint16_t>((j + 2) - (12 * l));
  time.year = static_cast<std::uint16_t>(100 * (n - 49) + i + l);
}

double JulianFromDayMonthYear(int year, int month, int day) {
  const int m12 = (month - 14) / 12;
  return (1461 * (year + 4800 + m12)) / 4 + (367 * (month - 2 - 12 * m12)) / 12 -
         (3 * ((year + 4900 + m12) / 100)) / 4 + day - 32075;
}

// Normalises a date and time whose fields may have run over (a day past the
// end of its month, ...). Fails for years past 9999.
bool RollDate(SystemTime& time) {
  auto year = static_cast<std::int16_t>(time.year);
  auto month = static_cast<std::int16_t>(time.month);
  auto day = static_cast<std::int16_t>(time.day);
  auto hour = static_cast<std::int16_t>(time.hour);
  auto minute = static_cast<std::int16_t>(time.minute);
  auto second = static_cast<std::int16_t>(time.second);
  if (year > 9999 || year < -9999) return false;
  if (year >= 0 && year <= 49)
    year = static_cast<std::int16_t>(year + 2000);
  else if (year >= 50 && year <= 99)
    year = static_cast<std::int16_t>(year + 1900);
  minute = static_cast<std::int16_t>(minute + second / 60);
  second = static_cast<std::int16_t>(second % 60);
  hour = static_cast<std::int16_t>(hour + minute / 60);
  minute = static_cast<std::int16_t>(minute % 60);
  day = static_cast<std::int16_t>(day + hour / 24);
  hour = static_cast<std::int16_t>(hour % 24);
  year = static_cast<std::int16_t>(year + month / 12);
  month = static_cast<std::int16_t>(month % 12);
  if (month <= 0) {
    month = static_cast<std::int16_t>(month + 12);
    --year;
  }
  while (day > kDaysInMonth[month]) {
    if (month == 2 && IsLeapYear(year))
      day = static_cast<std::int16_t>(day - 29);
    else
      day = static_cast<std::int16_t>(day - kDaysInMonth[month]);
    ++month;
    year = static_cast<std::int16_t>(year + month / 12);
    month = static_cast<std::int16_t>(month % 12);
  }
  while (day <= 0) {
    --month;
    if (month <= 0) {
      month = static_cast<std::int16_t>(month + 12);
      --year;
    }
    if (month == 2 && IsLeapYear(year))
      day = static_cast<std::int16_t>(day + 29);
    else
      day = static_cast<std::int16_t>(day + kDaysInMonth[month]);
  }
  if (second < 0) {
    second = static_cast<std::int16_t>(second + 60);
    --minute;
  }
  if (minute < 0) {
    minute = static_cast<std::int16_t>(minute + 60);
    --hour;
  }
  if (hour < 0) {
    hour = static_cast<std::int16_t>(hour + 24);
    --day;
  }
  if (year <= 0) year = static_cast<std::int16_t>(year + 2000);
  time.year = static_cast<std::uint16_t>(year);
  time.month = static_cast<std::uint16_t>(month);
  time.day = static_cast<std::uint16_t>(day);
  time.hour = static_cast<std::uint16_t>(hour);
  time.minute = static_cast<std::uint16_t>(minute);
  time.second = static_cast<std::uint16_t>(second);
  return true;
}

// A date and time as a DATE; the time part counts away from 30 December 1899
// on both sides of it.
bool DateFromSystemTime(SystemTime time, double& date) {
  if (time.month > 12 || time.day > 31 || static_cast<std::int16_t>(time.year) < 0) return false;
  if (!RollDate(time)) return false;
  double value = DateFromJulian(
      static_cast<std::int32_t>(JulianFromDayMonthYear(time.year, time.month, time.day)));
  const double sign = value < 0.0 ? -1.0 : 1.0;
  value += time.hour / 24.0 * sign;
  value += time.minute / 1440.0 * sign;
  value += time.second / 86400.0 * sign;
  date = value;
  return true;
}

// A DATE as a date and time, rounded to the second. Fails outside the years
// 100 to 9999.
bool SystemTimeFromDate(double date, SystemTime& time) {
  if (date <= kDateMin - 1.0 || date >= kDateMax + 1.0) return false;
  const double datePart = date < 0.0 ? std::ceil(date) : std::floor(date);
  double timePart = std::fabs(date - datePart) + 0.00000000001;
  if (timePart >= 1.0) timePart -= 0.00000000001;
  const std::int32_t day = std::isnan(date) ? INT32_MIN : static_cast<std::int32_t>(date);
  DayMonthYearFromJulian(JulianFromDate(day), time);

  auto field = [](double value) -> std::uint16_t {
    return std::isnan(value) ? 0 : static_cast<std::uint16_t>(value);
  };
  timePart *= 24.0;
  time.hour = field(timePart);
  timePart -= time.hour;
  timePart *= 60.0;
  time.minute = field(timePart);
  timePart -= time.minute;
  timePart *= 60.0;
  time.second = field(timePart);
  timePart -= time.second;
  if (timePart > 0.5) {
    if (time.second < 59) {
      ++time.second;
    } else {
      time.second = 0;
      if (time.minute < 59) {
        ++time.minute;
      } else {
        time.minute = 0;
        if (time.hour < 23) {
          ++time.hour;
        } else {
          time.hour = 0;
          if (++time.day > 28) RollDate(time);
        }
      }
    }
  }
  return true;
}

std::string Number(unsigned value) {
  return std::to_string(value);
}

// "M/d/yyyy", "h:mm:ss tt" or both, as the English (United States) short
// date and time formats write them: a whole number is a date alone, a
// number between -1 and 1 a time alone.
std::u16string FormatDate(double date) {
  SystemTime time;
  if (!SystemTimeFromDate(date, time)) Raise(hr::kInvalidArg);
  const double whole = date < 0 ? std::ceil(date) : std::floor(date);
  const double partial = date - whole;
  const bool timeOnly = whole == 0.0;
  const bool dateOnly = !timeOnly && partial > -1e-12 && partial < 1e-12;

  std::string text;
  if (!timeOnly) text = Number(time.month) + "/" + Number(time.day) + "/" + Number(time.year);
  if (!dateOnly) {
    if (!text.empty()) text += ' ';
    const unsigned hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
    char clock[32];
    std::snprintf(clock, sizeof clock, "%u:%02u:%02u %s", hour12, unsigned{time.minute},
                  unsigned{time.second}, time.hour < 12 ? "AM" : "PM");
    text += clock;
  }
  return Widen(text.c_str());
}

// Date text: up to six numbers and English month and day names, with "/" or
// "-" between the parts of a date and ":" or "." between those of a time.
constexpr std::uint32_t kDateTimeSep = 0x01;
constexpr std::uint32_t kDateDateSep = 0x02;
constexpr std::uint32_t kDateMonth = 0x04;
constexpr std::uint32_t kDateAm = 0x08;
constexpr std::uint32_t kDatePm = 0x10;
constexpr std::uint32_t kDateAmPm = kDateAm | kDatePm;

struct DateParse {
  std::uint32_t count = 0;
  std::uint32_t parseFlags = 0;
  std::uint32_t flags[6] = {};
  std::uint32_t values[6] = {};
};

// Month names, abbreviated month names, day names, abbreviated day names,
// the morning and afternoon marks and the date separator, in the order the
// parser tries them. The thirteenth months are empty.
const char16_t* const kDateTokens[] = {
    u"January",   u"February",  u"March",   u"April",    u"May",      u"June",   u"July",
    u"August",    u"September", u"October", u"November", u"December", u"",       u"Jan",
    u"Feb",       u"Mar",       u"Apr",     u"May",      u"Jun",      u"Jul",    u"Aug",
    u"Sep",       u"Oct",       u"Nov",     u"Dec",      u"",         u"Monday", u"Tuesday",
    u"Wednesday", u"Thursday",  u"Friday",  u"Saturday", u"Sunday",   u"Mon",    u"Tue",
    u"Wed",       u"Thu",       u"Fri",     u"Sat",      u"Sun",      u"AM",     u"PM",
    u"/"};
constexpr unsigned kLastMonthToken = 25;
constexpr unsigned kAmToken = 40;
constexpr unsigned kPmToken = 41;

bool IsValidMonthDay(std::uint32_t day, std::uint32_t month, std::uint32_t year) {
  if (day != 0 && month != 0 && month < 13) {
    if (day <= kDaysInMonth[month] || (month == 2 && day == 29 && IsLeapYear(year))) return true;
  }
  return false;
}

std::uint32_t CurrentYear() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  return static_cast<std::uint32_t>(utc.tm_year + 1900);
}

constexpr std::uint32_t kOrderMdy = 0x01;
constexpr std::uint32_t kOrderYmd = 0x02;
constexpr std::uint32_t kOrderYdm = 0x04;
constexpr std::uint32_t kOrderDmy = 0x08;
constexpr std::uint32_t kOrderMyd = 0x10;

// Decides which of the (up to three) date numbers are the day, the month and
// the year: month/day/year first, then any order that makes a valid date.
// Two numbers take the current year, or failing that read as month and year.
bool MakeDate(DateParse& dp, std::uint32_t offset, SystemTime& time) {
  std::uint32_t v1 = 30;
  std::uint32_t v2 = 12;
  std::uint32_t v3 = 1899;
  if (dp.count != 0) {
    v1 = dp.values[offset];
    v2 = dp.values[offset + 1];
    v3 = dp.count == 2 ? CurrentYear() : dp.values[offset + 2];

    std::uint32_t orders;
    if ((dp.flags[offset] & kDateMonth) != 0) {
      orders = kOrderMdy;
    } else if ((dp.flags[offset + 1] & kDateMonth) != 0) {
      orders = kOrderDmy;
      if (dp.count > 2) orders |= kOrderYmd;
    } else if (dp.count > 2 && (dp.flags[offset + 2] & kDateMonth) != 0) {
      orders = kOrderYdm;
    } else {
      orders = kOrderMdy | kOrderDmy;
      if (dp.count > 2) orders |= kOrderYmd | kOrderYdm;
    }

    bool found = false;
    std::uint32_t attempt = 0;
    for (;;) {
      while (orders != 0 && !found) {
        std::uint32_t tried;
        if (attempt == 0)
          tried = orders & kOrderMdy;
        else if (attempt == 1)
          tried = orders & ~(kOrderDmy | kOrderYdm);
        else
          tried = orders;
        ++attempt;
        if (tried == 0) continue;
        if ((tried & kOrderMdy) != 0) {
          if (IsValidMonthDay(v2, v1, v3)) {
            std::swap(v1, v2);
            found = true;
            break;
          }
          orders &= ~kOrderMdy;
        }
        if ((tried & kOrderYmd) != 0) {
          if (IsValidMonthDay(v3, v2, v1)) {
            std::swap(v1, v3);
            found = true;
            break;
          }
          orders &= ~kOrderYmd;
        }
        if ((tried & kOrderYdm) != 0) {
          if (IsValidMonthDay(v2, v3, v1)) {
            std::swap(v1, v2);
            std::swap(v2, v3);
            found = true;
            break;
          }
          orders &= ~kOrderYdm;
        }
        if ((tried & kOrderDmy) != 0) {
          if (IsValidMonthDay(v1, v2, v3)) {
            found = true;
            break;
          }
          orders &= ~kOrderDmy;
        }
        if ((tried & kOrderMyd) != 0) {
          if (IsValidMonthDay(v3, v1, v2)) {
            std::swap(v1, v3);
            std::swap(v2, v3);
            found = true;
            break;
          }
          orders &= ~kOrderMyd;
        }
      }
      if (found) break;
      if (dp.count != 2) return false;
      v3 = 1;  // the first of the month
      orders = kOrderYmd | kOrderMyd;
      dp.count = 0;
      attempt = 0;
    }
  }

  if (time.hour > 23 || time.minute > 59 || time.second > 59) return false;
  if (time.hour < 12 && (dp.parseFlags & kDatePm) != 0)
    time.hour = static_cast<std::uint16_t>(time.hour + 12);
  else if (time.hour == 12 && (dp.parseFlags & kDateAm) != 0)
    time.hour = 0;
  time.day = static_cast<std::uint16_t>(v1);
  time.month = static_cast<std::uint16_t>(v2);
  time.year = static_cast<std::uint16_t>(v3 <= 49 ? 2000 + v3 : v3 <= 99 ? 1900 + v3 : v3);
  return true;
}

// The value of a decimal digit of any of the scripts the platform's C runtime
// reads in numbers (ASCII, Arabic-Indic, Devanagari, ..., full width), or -1.
int DigitValue(char16_t c) {
  static const char16_t kZeros[] = {0x0030, 0x0660, 0x06F0, 0x0966, 0x09E6, 0x0A66,
                                    0x0AE6, 0x0B66, 0x0C66, 0x0CE6, 0x0D66, 0x0E50,
                                    0x0ED0, 0x0F20, 0x1040, 0x17E0, 0x1810, 0xFF10};
  for (char16_t zero : kZeros) {
    if (c >= zero && c <= zero + 9) return c - zero;
  }
  return -1;
}

// A run of digits, as the C runtime's wcstoul reads it: saturating at the
// largest 32-bit value.
std::uint32_t ReadDecimal(const char16_t*& s) {
  std::uint64_t value = 0;
  for (int digit; (digit = DigitValue(*s)) >= 0; ++s)
    value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(digit),
                                    std::uint64_t{UINT32_MAX} + 1);
  return value > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(value);
}

double DateFromString(const std::u16string& text) {
  const std::u16string terminated = Terminated(text);
  const char16_t* s = terminated.c_str();
  DateParse dp;
  std::uint32_t dateSeparators = 0;
  bool ok = true;

  while (*s != u'\0') {
    if (IsDigit(*s)) {
      if (dp.count >= 6) {
        ok = false;
        break;
      }
      dp.values[dp.count++] = ReadDecimal(s);
      --s;
    } else if ((*s >= u'A' && *s <= u'Z') || (*s >= u'a' && *s <= u'z')) {
      bool found = false;
      for (unsigned i = 0; i < sizeof kDateTokens / sizeof kDateTokens[0]; ++i) {
        const std::size_t length = std::char_traits<char16_t>::length(kDateTokens[i]);
        if (length == 0 || !StartsWithNoCase(s, kDateTokens[i])) continue;
        if (i <= kLastMonthToken) {
          if (dp.count >= 6) {
            ok = false;
          } else {
            dp.values[dp.count] = i % 13 + 1;
            dp.flags[dp.count] |= kDateMonth | kDateDateSep;
            ++dp.count;
          }
        } else if (i == kAmToken || i == kPmToken) {
          if (dp.count == 0 || (dp.parseFlags & kDateAmPm) != 0) {
            ok = false;
          } else {
            const std::uint32_t mark = i == kAmToken ? kDateAm : kDatePm;
            dp.flags[dp.count - 1] |= mark;
            dp.parseFlags |= mark;
          }
        }
        s += length - 1;
        found = true;
        break;
      }
      if (!found) {
        const char16_t c = *s;
        if ((c == u'a' || c == u'A' || c == u'p' || c == u'P') && dp.count != 0 &&
            (dp.parseFlags & kDateAmPm) == 0) {
          // A lone "a" or "p" marks the morning or the afternoon; the
          // character after it is skipped unread, as the platform does.
          const std::uint32_t mark = (c == u'a' || c == u'A') ? kDateAm : kDatePm;
          dp.flags[dp.count - 1] |= mark;
          dp.parseFlags |= mark;
          if (s[1] == u'\0') break;
          ++s;
        } else {
          ok = false;
          break;
        }
      }
    } else if (*s == u':' || *s == u'.') {
      // Time separators (the English date separator is "/").
      if (dp.count == 0 || s[1] == u'\0')
        ok = false;
      else
        dp.flags[dp.count - 1] |= kDateTimeSep;
    } else if (*s == u'-' || *s == u'/') {
      if (++dateSeparators > 2 || dp.count == 0 || s[1] == u'\0')
        ok = false;
      else
        dp.flags[dp.count - 1] |= kDateDateSep;
    } else if (*s == u',' || IsSpace(*s)) {
      if (*s == u',' && s[1] == u'\0') ok = false;
    } else {
      ok = false;
    }
    ++s;
  }

  if (dp.count == 0 || dp.count > 6 || (dp.count == 1 && (dp.parseFlags & kDateAmPm) == 0))
    ok = false;
  if (!ok) Raise(hr::kDispTypeMismatch);

  SystemTime time;
  std::uint32_t offset = 0;
  auto timeFlag = [&dp](unsigned i) { return (dp.flags[i] & kDateTimeSep) << i; };
  auto marked = [&dp](unsigned i) { return (dp.flags[i] & kDateAmPm) != 0; };
  auto word = [](std::uint32_t value) { return static_cast<std::uint16_t>(value); };
  const bool anyMark = (dp.parseFlags & kDateAmPm) != 0;

  // Numbers joined by a time separator are the time; the others the date.
  switch (timeFlag(0) | timeFlag(1) | timeFlag(2) | timeFlag(3) | timeFlag(4)) {
    case 0x1:  // hh:mm, then an optional date
      if (dp.count > 3 && (marked(2) || marked(3) || marked(4)))
        ok = false;
      else if (dp.count != 2 && dp.count != 4 && dp.count != 5)
        ok = false;
      time.hour = word(dp.values[0]);
      time.minute = word(dp.values[1]);
      dp.count -= 2;
      offset = 2;
      break;
    case 0x3:  // hh:mm:ss, then an optional date
      if (dp.count > 4 && (marked(3) || marked(4) || marked(5)))
        ok = false;
      else if (dp.count != 3 && dp.count != 5 && dp.count != 6)
        ok = false;
      time.hour = word(dp.values[0]);
      time.minute = word(dp.values[1]);
      time.second = word(dp.values[2]);
      offset = 3;
      dp.count -= 3;
      break;
    case 0x4:  // a day and month, then hh:mm
      if (dp.count != 4 || marked(0) || marked(1)) ok = false;
      time.hour = word(dp.values[2]);
      time.minute = word(dp.values[3]);
      dp.count -= 2;
      break;
    case 0x0:  // an hour with a mark, a date, or both
      if (dp.count == 1 && anyMark) {
        time.hour = word(dp.values[0]);
        dp.count = 0;
        break;
      } else if (dp.count > 4 || (dp.count < 3 && anyMark)) {
        ok = false;
      } else if (dp.count == 3) {
        if (marked(0)) {
          dp.count = 2;
          time.hour = word(dp.values[0]);
          offset = 1;
          break;
        }
        if (marked(2)) {
          dp.count = 2;
          time.hour = word(dp.values[2]);
          break;
        } else if (anyMark) {
          ok = false;
        }
      } else if (dp.count == 4) {
        dp.count = 3;
        if (marked(0)) {
          time.hour = word(dp.values[0]);
          offset = 1;
        } else if (marked(3)) {
          time.hour = word(dp.values[3]);
        } else {
          ok = false;
        }
        break;
      }
      [[fallthrough]];
    case 0x8:  // a date, then hh:mm
      if ((dp.count == 2 && anyMark) || (dp.count == 5 && (marked(0) || marked(1) || marked(2))) ||
          dp.count == 4 || dp.count == 6)
        ok = false;
      time.hour = word(dp.values[3]);
      time.minute = word(dp.values[4]);
      if (dp.count == 5) dp.count -= 2;
      break;
    case 0xC:  // a day and month, then hh:mm:ss
      if (dp.count != 5 || marked(0) || marked(1)) ok = false;
      time.hour = word(dp.values[2]);
      time.minute = word(dp.values[3]);
      time.second = word(dp.values[4]);
      dp.count -= 3;
      break;
    case 0x18:  // a date, then hh:mm:ss
      if (marked(0) || marked(1) || marked(2)) ok = false;
      time.hour = word(dp.values[3]);
      time.minute = word(dp.values[4]);
      time.second = word(dp.values[5]);
      dp.count -= 3;
      break;
    default:
      ok = false;
      break;
  }
  if (!ok || !MakeDate(dp, offset, time)) Raise(hr::kDispTypeMismatch);
  double date;
  if (!DateFromSystemTime(time, date)) Raise(hr::kDispTypeMismatch);
  return date;
}

// ---- Arrays ----------------------------------------------------------------

// Arrays convert only between a byte array and a string of the same bytes;
// an array of another type converts to nothing but itself.
CVariant CoerceArray(const CVariant& source, VarType target) {
  if (target == VT_BSTR && source.GetType() == (VT_ARRAY | VT_UI1)) {
    const CSafeArray& array = source.GetArray();
    if (array.GetDimensions() != 1) Raise(hr::kInvalidArg);
    const std::vector<std::uint8_t>& bytes = array.GetData();
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
      text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return CVariant::String(std::move(text));
  }
  if (source.GetType() == VT_BSTR && target == (VT_ARRAY | VT_UI1)) {
    const std::u16string& text = source.GetString();
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
      bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return CVariant::Bytes(bytes);
  }
  Raise(hr::kDispTypeMismatch);
}

// ---- Scalars ---------------------------------------------------------------

CVariant ToInteger(const CVariant& source, VarType target) {
  const VarType from = source.GetType();
  if (from == VT_EMPTY) return IntegerVariant(target, 0);
  if (IsIntegerType(from)) return IntegerFromInteger(target, from, IntegerOf(source));
  if (from == VT_BOOL) return IntegerVariant(target, source.GetBool());
  if (IsRealType(from)) return IntegerFromReal(target, RealOf(source));
  return NumberFromString(source.GetString(), target);
}

CVariant ToR4(const CVariant& source) {
  const VarType from = source.GetType();
  if (from == VT_EMPTY) return CVariant::R4(0.0f);
  if (IsIntegerType(from)) return CVariant::R4(static_cast<float>(IntegerOf(source)));
  if (from == VT_BOOL) return CVariant::R4(static_cast<float>(source.GetBool()));
  if (from == VT_R8 || from == VT_DATE) return R4FromR8(RealOf(source));
  return NumberFromString(source.GetString(), VT_R4);
}

CVariant ToR8(const CVariant& source) {
  const VarType from = source.GetType();
  if (from == VT_EMPTY) return CVariant::R8(0.0);
  if (IsIntegerType(from)) return CVariant::R8(static_cast<double>(IntegerOf(source)));
  if (from == VT_BOOL) return CVariant::R8(source.GetBool());
  if (IsRealType(from)) return CVariant::R8(RealOf(source));
  return NumberFromString(source.GetString(), VT_R8);
}

CVariant ToDate(const CVariant& source) {
  switch (source.GetType()) {
    case VT_EMPTY:
      return CVariant::Date(0.0);
    case VT_I4:
    case VT_UI4:
      return DateFromR8(static_cast<double>(IntegerOf(source)));
    case VT_R8:
      return DateFromR8(source.GetR8());
    case VT_R4:
      return CVariant::Date(source.GetR4());
    case VT_BOOL:
      return CVariant::Date(source.GetBool());
    case VT_BSTR:
      return CVariant::Date(DateFromString(source.GetString()));
    default:
      return CVariant::Date(static_cast<double>(IntegerOf(source)));
  }
}

CVariant ToBool(const CVariant& source) {
  const VarType from = source.GetType();
  if (from == VT_EMPTY) return CVariant::Bool(false);
  if (IsIntegerType(from)) return CVariant::Bool(IntegerOf(source) != 0);
  if (from == VT_BOOL) return CVariant::Bool(source.GetBool() != 0);
  if (IsRealType(from)) return CVariant::Bool(RealOf(source) != 0.0);
  return BoolFromString(source.GetString());
}

CVariant ToString(const CVariant& source) {
  switch (source.GetType()) {
    case VT_EMPTY:
      return CVariant::String(std::u16string());
    case VT_BOOL:
      return CVariant::String(Widen(std::to_string(source.GetBool()).c_str()));
    case VT_R4:
      return CVariant::String(FormatReal(source.GetR4(), 7));
    case VT_R8:
      return CVariant::String(FormatReal(source.GetR8(), 15));
    case VT_DATE:
      return CVariant::String(FormatDate(source.GetDate()));
    default:
      return CVariant::String(Widen(std::to_string(IntegerOf(source)).c_str()));
  }
}

CVariant Coerce(const CVariant& source, VarType target) {
  const VarType from = source.GetType();
  switch (target) {
    case VT_EMPTY:
      if (from == VT_NULL) Raise(hr::kDispTypeMismatch);
      return CVariant();
    case VT_NULL:
      return CVariant::Null();
    case VT_DISPATCH:
      Raise(hr::kDispTypeMismatch);
    default:
      break;
  }
  if (from == VT_NULL) Raise(hr::kDispTypeMismatch);
  // The value of an absent object cannot be read.
  if (from == VT_DISPATCH) Raise(hr::kDispBadVarType);
  if (IsIntegerType(target)) return ToInteger(source, target);
  switch (target) {
    case VT_R4:
      return ToR4(source);
    case VT_R8:
      return ToR8(source);
    case VT_DATE:
      return ToDate(source);
    case VT_BOOL:
      return ToBool(source);
    default:
      return ToString(source);
  }
}

}  // namespace

// Steps, in the order the Windows build takes them: a value of the target
// type comes back as it is; a target a CVariant cannot hold is refused
// (DISP_E_BADVARTYPE for type codes the platform rejects, DISP_E_TYPEMISMATCH
// for the others); an object other than null cannot be read; arrays convert
// only to and from strings of their bytes; the rest follows the scalar rules.
CVariant ChangeType(const CVariant& value, VarType target) {
  const CVariant source = ByValue(value);
  if (source.GetType() == target) return source;
  if (!IsHeldTarget(target))
    Raise(IsValidTarget(target) ? hr::kDispTypeMismatch : hr::kDispBadVarType);
  if (source.GetType() == VT_DISPATCH && source.GetObject() != nullptr)
    Raise(hr::kDispTypeMismatch);
  if (source.IsArray() || (target & VT_ARRAY) != 0) return CoerceArray(source, target);
  return Coerce(source, target);
}

}  // namespace kd
