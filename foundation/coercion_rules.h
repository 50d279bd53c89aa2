// The pieces of the portable coercion, between which coercion.cpp dispatches:
// numbers and their rounding, number text and date text.
#ifndef KDDAO_FOUNDATION_COERCION_RULES_H_
#define KDDAO_FOUNDATION_COERCION_RULES_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/hresult.h"
#include "foundation/variant.h"

namespace kd {
namespace coercion {

// Raises CPlatformError `result` without a description.
[[noreturn]] void Raise(HRESULT result);

// Targets whose values a CVariant holds (on both builds); any other target is
// refused before converting.
bool IsHeldTarget(VarType target);

// ---- numbers and their rounding (coercion_numbers.cpp) ----

// A source of VT_EMPTY, an integer type or VT_BOOL (`whole`), or of VT_R4,
// VT_R8 or VT_DATE (`value`).
struct Number {
  VarType type;
  bool real;
  std::int64_t whole;
  double value;
};

Number NumberOf(const CVariant& value);
// The value `number` was read from.
CVariant NumberValue(const Number& number);
// `number` as an integer type, VT_R4, VT_R8, VT_DATE or VT_BOOL;
// DISP_E_OVERFLOW outside the target's range.
CVariant ConvertNumber(const Number& number, VarType target);
// A whole number as an integer type: checked, or its low bits.
CVariant IntegerInRange(VarType type, std::int64_t value);
CVariant IntegerWrapped(VarType type, std::int64_t value);
int IntegerBits(VarType type);
// The magnitudes of singles: beyond the largest (a little short of where
// doubles round to an infinite single) the platform overflows; from text it
// also overflows below the smallest nonzero single.
constexpr double kLargestSingle = 3.402823567797336e38;
constexpr double kSmallestSingle = 1.401298464324817e-45;
// A real as a single; DISP_E_OVERFLOW beyond kLargestSingle.
CVariant SingleOf(double value);

// ---- number text (coercion_number_text.cpp) ----

// Text read as an integer type, VT_R4, VT_R8 or VT_BOOL.
CVariant NumberFromText(std::u16string_view text, VarType target);
// Whole numbers in decimal, singles to 7 and doubles to 15 significant digits.
std::u16string NumberText(const Number& number);

// ---- date text (coercion_date_text.cpp) ----

double DateFromText(std::u16string_view text);
// "M/D/YYYY", "h:MM:SS AM" or both; E_INVALIDARG outside the years 100 to
// 9999.
std::u16string DateText(double date);

// ---- reading text ----

// The text up to its first NUL, as the platform reads a string.
std::u16string_view TextToNul(std::u16string_view text);
// `text` is `word` (upper case), or its first `length` letters, in any case.
bool EqualsIgnoringCase(std::u16string_view text, const char* word,
                        std::size_t length = std::u16string_view::npos);

struct CTextCursor {
  std::u16string_view text;
  std::size_t pos = 0;

  bool AtEnd() const { return pos == text.size(); }
  char16_t Peek() const { return AtEnd() ? u'\0' : text[pos]; }
  // The next character, taken if it is one of `set`; 0 otherwise.
  char16_t Take(std::u16string_view set) {
    const char16_t c = Peek();
    if (AtEnd() || set.find(c) == set.npos) return 0;
    ++pos;
    return c;
  }
  // Past space, tab, line feed, vertical tab, form feed, carriage return and
  // no-break space.
  void SkipSpace();
};

}  // namespace coercion
}  // namespace kd

#endif  // KDDAO_FOUNDATION_COERCION_RULES_H_
