// Number text: reading numbers and booleans from text, and writing numbers as
// text, in the English (United States) forms.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/coercion_rules.h"

namespace kd {
namespace coercion {

namespace {

// ---- reading ----

constexpr int kKeptDigits = 40;   // enough to round to any integer type
constexpr int kExactDigits = 15;  // a double holds every such whole number
constexpr int kExponentLimit = 10000;

// The value of number text. A decimal is 0.d1d2...dn x 10^exponent with
// d1 != 0 and dn != 0 (no digits: zero); digits past the kept ones only
// leave a mark.
struct ParsedNumber {
  bool negative = false;
  bool radix = false;  // "&H" or "&O": `whole` is the value
  std::uint64_t whole = 0;
  char digits[kKeptDigits];
  int count = 0;
  bool dropped = false;  // nonzero digits past the kept ones
  std::int64_t exponent = 0;
};

constexpr std::u16string_view kDigits = u"0123456789";

// "&H" or "&O" and digits: a whole number, saturated past 32 bits.
bool ReadRadix(CTextCursor& in, ParsedNumber* number) {
  const char16_t letter = in.Take(u"HhOo");
  const bool hexadecimal = letter == u'H' || letter == u'h';
  int count = 0;
  for (char16_t c;
       letter != 0 && (c = in.Take(hexadecimal ? u"0123456789ABCDEFabcdef" : u"01234567")) != 0;
       ++count) {
    const unsigned value = c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
    number->whole =
        std::min<std::uint64_t>(number->whole * (hexadecimal ? 16 : 8) + value, 0x100000000u);
  }
  number->radix = true;
  return count > 0;
}

void AddDigit(ParsedNumber* number, char16_t c, std::int64_t* leadingZeros) {
  if (c == u'0' && number->count == 0) {
    ++*leadingZeros;
  } else if (number->count < kKeptDigits) {
    number->digits[number->count++] = static_cast<char>(c);
  } else if (c != u'0') {
    number->dropped = true;
  }
}

// Digits with "," in the whole part after the first, a fraction, an exponent
// (if allowed).
bool ReadDecimal(CTextCursor& in, bool exponent, ParsedNumber* number) {
  std::int64_t wholeDigits = 0;
  std::int64_t leadingZeros = 0;
  for (char16_t c; (c = in.Take(wholeDigits > 0 ? u"0123456789," : kDigits)) != 0;) {
    if (c == u',') continue;
    AddDigit(number, c, &leadingZeros);
    ++wholeDigits;
  }
  std::int64_t digits = wholeDigits;
  if (in.Take(u".")) {
    for (char16_t c; (c = in.Take(kDigits)) != 0; ++digits)
      AddDigit(number, c, &leadingZeros);
  }
  if (digits == 0) return false;
  std::int64_t power = 0;
  if (exponent && in.Take(u"eE")) {
    const bool negative = in.Take(u"+-") == u'-';
    if (kDigits.find(in.Peek()) == kDigits.npos) return false;
    for (char16_t c; (c = in.Take(kDigits)) != 0;) {
      if ((power = power * 10 + (c - u'0')) >= kExponentLimit) return false;
    }
    if (negative) power = -power;
  }
  while (number->count > 0 && number->digits[number->count - 1] == '0')
    --number->count;
  number->exponent = wholeDigits - leadingZeros + power;
  return true;
}

// [ws] [sign | "("] [ws] ["$"] [ws] decimal [ws] [sign | ")"] [ws], without an
// exponent after "$"; or [ws] radix [ws].
bool ParseNumber(std::u16string_view text, ParsedNumber* number) {
  CTextCursor in{text};
  in.SkipSpace();
  if (in.Take(u"&")) {
    if (!ReadRadix(in, number)) return false;
  } else {
    char16_t sign = 0;
    bool currency = false;
    for (;; in.SkipSpace()) {
      if (sign == 0 && (sign = in.Take(u"+-(")) != 0) {
        number->negative = sign != u'+';
      } else if (!currency && in.Take(u"$")) {
        currency = true;
      } else {
        break;
      }
    }
    if (!ReadDecimal(in, !currency, number)) return false;
    in.SkipSpace();
    if (sign == u'(' && !in.Take(u")")) return false;
    if (sign == 0 && (sign = in.Take(u"+-")) != 0) number->negative = sign == u'-';
  }
  in.SkipSpace();
  return in.AtEnd();
}

// The exact double of a decimal of at most 15 digits within 1e-10 and 1e10
// (one rounding of exact operands), or of a product exact in binary.
bool ExactDouble(const ParsedNumber& number, double* value) {
  if (number.count > kExactDigits || number.dropped) return false;
  static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  std::int64_t whole = 0;
  for (int i = 0; i < number.count; ++i)
    whole = whole * 10 + (number.digits[i] - '0');
  const std::int64_t scale = number.exponent - number.count;
  if (scale < -10 || scale > 22) return false;
  if (scale > 10) {
    std::int64_t fives = whole;
    for (std::int64_t i = 0; i < scale; ++i) {
      fives *= 5;
      if (fives >= (1LL << 53)) return false;
    }
  }
  *value = scale >= 0 ? static_cast<double>(whole) * kPowers[scale]
                      : static_cast<double>(whole) / kPowers[-scale];
  return true;
}

// The nearest double to a decimal, correctly rounded.
double NearestDouble(const ParsedNumber& number) {
  char text[kKeptDigits + 32] = "0.";
  std::memcpy(text + 2, number.digits, static_cast<std::size_t>(number.count));
  char* end = text + 2 + number.count;
  *end++ = 'e';
  end = std::to_chars(end, text + sizeof text, number.exponent).ptr;
  double value = 0;
  std::from_chars(text, end, value);
  return value;
}

// A single that any double within 64 units in the last place of the decimal
// gives alike, or false. Such doubles beyond the single's range overflow.
bool StableSingle(const ParsedNumber& number, float* single) {
  const double nearest = NearestDouble(number);
  double low = nearest;
  double high = nearest;
  for (int i = 0; i < 64; ++i) {
    low = std::nextafter(low, 0.0);
    high = std::nextafter(high, HUGE_VAL);
  }
  if (high < kSmallestSingle || low > kLargestSingle) Raise(hr::kDispOverflow);
  if (low < kSmallestSingle || high > kLargestSingle) return false;
  *single = static_cast<float>(low);
  return *single == static_cast<float>(high);
}

double Signed(const ParsedNumber& number, double magnitude) {
  return number.negative ? -magnitude : magnitude;
}

// A decimal rounded half to even to a whole number of an integer type.
CVariant DecimalToInteger(const ParsedNumber& number, VarType target) {
  if (number.count == 0) return IntegerInRange(target, 0);
  if (number.exponent > 10) Raise(hr::kDispOverflow);
  std::int64_t whole = 0;
  for (std::int64_t i = 0; i < number.exponent; ++i)
    whole = whole * 10 + (i < number.count ? number.digits[i] - '0' : 0);
  const std::int64_t first = number.exponent < 0 ? number.count : number.exponent;
  if (first < number.count) {
    const char next = number.digits[first];
    const bool more = first + 1 < number.count || number.dropped;
    if (next > '5' || (next == '5' && (more || whole % 2 != 0))) ++whole;
  }
  return IntegerInRange(target, number.negative ? -whole : whole);
}

// "&H" and "&O" numbers: the bits of an integer type; as reals they are 32-bit
// values of which only 2^31 reads as negative.
CVariant RadixTo(const ParsedNumber& number, VarType target) {
  const std::uint64_t whole = number.whole;
  if (IsIntegerVarType(target)) {
    if (whole >> IntegerBits(target) != 0) Raise(hr::kDispOverflow);
    return IntegerWrapped(target, static_cast<std::int64_t>(whole));
  }
  if (whole > 0x80000000u) Raise(hr::kDispOverflow);
  const double value = whole == 0x80000000u ? -2147483648.0 : static_cast<double>(whole);
  if (target == VT_BOOL) return CVariant::Bool(value != 0);
  return target == VT_R4 ? SingleOf(value) : CVariant::R8(value);
}

// ---- writing ----

// As printf's "%.<precision>G", with exact halves away from zero (printf
// takes them to even) and never a negative zero.
std::u16string RealText(double value, int precision) {
  if (value == 0) return u"0";
  if (std::isinf(value)) return value < 0 ? u"-INF" : u"INF";
  char text[800];
  // Digits past the kept ones: a half only if they are 5 and zeros to the end
  // of every digit the double has (at most 767).
  for (int digits : {precision + 8, 780}) {
    std::snprintf(text, sizeof text, "%.*e", digits, std::fabs(value));
    const char* rest = text + precision + 1;
    if (rest[0] != '5' || std::strspn(rest + 1, "0") != std::strcspn(rest + 1, "e")) break;
    if (digits == 780) value = std::nextafter(value, value * 2);
  }
  const int size = std::snprintf(text, sizeof text, "%.*G", precision, value);
  return std::u16string(text, text + size);
}

}  // namespace

bool EqualsIgnoringCase(std::u16string_view text, const char* word, std::size_t length) {
  length = std::min(length, std::strlen(word));
  if (text.size() != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    const char16_t c = text[i] >= u'a' && text[i] <= u'z' ? text[i] - u'a' + u'A' : text[i];
    if (c != static_cast<unsigned char>(word[i])) return false;
  }
  return true;
}

void CTextCursor::SkipSpace() {
  while (Take(u" \t\n\v\f\r\u00a0") != 0) {
  }
}

std::u16string_view TextToNul(std::u16string_view text) {
  return text.substr(0, text.find(u'\0'));
}

// Whole numbers exactly; reals where the platform's reading is known to the
// last bit (see ExactDouble), singles and truth values also where the last
// bits do not matter. Beyond 1e309 every reading overflows, below 1e-399 every
// one is zero.
CVariant NumberFromText(std::u16string_view text, VarType target) {
  text = TextToNul(text);
  if (target == VT_BOOL && (EqualsIgnoringCase(text, "TRUE") || text == u"#TRUE#"))
    return CVariant::Bool(true);
  if (target == VT_BOOL && (EqualsIgnoringCase(text, "FALSE") || text == u"#FALSE#"))
    return CVariant::Bool(false);
  ParsedNumber number;
  if (!ParseNumber(text, &number)) Raise(hr::kDispTypeMismatch);
  if (number.radix) return RadixTo(number, target);
  if (IsIntegerVarType(target)) return DecimalToInteger(number, target);
  double exact = 0;
  if (number.count == 0 || ExactDouble(number, &exact)) {
    const double value = Signed(number, exact);
    if (target == VT_BOOL) return CVariant::Bool(value != 0);
    return target == VT_R8 ? CVariant::R8(value) : SingleOf(value);
  }
  if (number.exponent >= 310) Raise(hr::kDispOverflow);
  const bool zero = number.exponent <= -399;
  const bool normal = number.exponent > -300 && number.exponent < 309;
  if (target == VT_BOOL && (zero || normal)) return CVariant::Bool(!zero);
  if (target == VT_R8 && zero) return CVariant::R8(Signed(number, 0.0));
  float single = 0;
  if (target == VT_R4 && (zero || (normal && StableSingle(number, &single))))
    return CVariant::R4(static_cast<float>(Signed(number, single)));
  Raise(hr::kDispTypeMismatch);
}

std::u16string NumberText(const Number& number) {
  if (number.real) return RealText(number.value, number.type == VT_R4 ? 7 : 15);
  char text[24];
  const auto end = std::to_chars(text, text + sizeof text, number.whole).ptr;
  return std::u16string(text, end);
}

}  // namespace coercion
}  // namespace kd
