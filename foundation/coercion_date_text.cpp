// Date text: reading dates and times from text, and writing dates as text, in
// the English (United States) forms.
#include <cmath>
#include <cstdio>

#include "foundation/calendar.h"
#include "foundation/coercion_rules.h"

namespace kd {
namespace coercion {

namespace {

const char* const kMonths[] = {"JANUARY",   "FEBRUARY", "MARCH",    "APRIL",
                               "MAY",       "JUNE",     "JULY",     "AUGUST",
                               "SEPTEMBER", "OCTOBER",  "NOVEMBER", "DECEMBER"};
const char* const kWeekdays[] = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                                 "THURSDAY", "FRIDAY", "SATURDAY"};

// A word, a run of digits or one of "/-,:".
struct Token {
  enum Kind { kNumber, kWord, kMark } kind;
  bool spaced;  // white space before it
  std::u16string_view text;
  std::int32_t value;  // of a number of up to five digits
};

constexpr std::size_t kMaxTokens = 16;

class CTokens {
 public:
  // False for text with other characters or too many tokens.
  bool Split(std::u16string_view text) {
    static constexpr std::u16string_view kDigits = u"0123456789";
    static constexpr std::u16string_view kLetters =
        u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    for (CTextCursor in{text};;) {
      const std::size_t start = in.pos;
      in.SkipSpace();
      if (in.AtEnd()) return true;
      if (count_ == kMaxTokens) return false;
      Token& token = tokens_[count_++];
      token = {Token::kMark, in.pos > start, {}, 0};
      const std::size_t first = in.pos;
      if (in.Take(kDigits) != 0) {
        token.kind = Token::kNumber;
        while (in.Take(kDigits) != 0) {
        }
        for (std::size_t i = first; i < in.pos && token.value < 99999; ++i)
          token.value = token.value * 10 + (text[i] - u'0');
      } else if (in.Take(kLetters) != 0) {
        token.kind = Token::kWord;
        while (in.Take(kLetters) != 0) {
        }
      } else if (in.Take(u"/-,:") == 0) {
        return false;
      }
      token.text = text.substr(first, in.pos - first);
    }
  }

  std::size_t Count() const { return count_; }
  // The token at `i` if it is of `kind`, with at most `digits` digits.
  const Token* Get(std::size_t i, Token::Kind kind, std::size_t digits = 4) const {
    if (i >= count_ || tokens_[i].kind != kind) return nullptr;
    if (kind == Token::kNumber && tokens_[i].text.size() > digits) return nullptr;
    return &tokens_[i];
  }
  // A mark at `i`, one of `marks`, with no space before it (unless `spaced`).
  bool IsMark(std::size_t i, std::u16string_view marks, bool spaced = false) const {
    const Token* token = Get(i, Token::kMark);
    return token != nullptr && (spaced || !token->spaced) &&
           marks.find(token->text[0]) != marks.npos;
  }
  bool IsSpaced(std::size_t i) const { return i < count_ && tokens_[i].spaced; }

 private:
  Token tokens_[kMaxTokens];
  std::size_t count_ = 0;
};

// 1 to 12 for a month's name or its first three letters (1 to 7 for a
// weekday's); 0 otherwise.
template <std::size_t kCount>
std::int32_t NameIndex(const Token* word, const char* const (&names)[kCount]) {
  for (std::size_t i = 0; word != nullptr && i < kCount; ++i) {
    if (EqualsIgnoringCase(word->text, names[i], 3) || EqualsIgnoringCase(word->text, names[i]))
      return static_cast<std::int32_t>(i + 1);
  }
  return 0;
}

// A year of one or two digits is 1950 to 2049.
std::int32_t FullYear(std::int32_t year) {
  if (year >= 100) return year;
  return year < 50 ? 2000 + year : 1900 + year;
}

bool IsLongYear(const Token* number) {
  return number != nullptr && number->text.size() >= 3 && number->value >= 100;
}

// Three numbers: M/D/Y; D/M/Y when the first is no month and the year is
// long; Y/M/D when the first is a long year.
bool NumericDate(const Token* a, const Token* b, const Token* c, CivilDate* date) {
  if (IsLongYear(a)) {
    if (b->text.size() > 2 || c->text.size() > 2) return false;
    *date = {a->value, b->value, c->value};
  } else if (a->text.size() > 2 || b->text.size() > 2) {
    return false;
  } else if (a->value > 12) {
    if (!IsLongYear(c)) return false;
    *date = {c->value, b->value, a->value};
  } else {
    *date = {FullYear(c->value), a->value, b->value};
  }
  return true;
}

// Between the parts of a date with a month's name: space, or one of ",-/".
bool NameSeparator(const CTokens& tokens, std::size_t* i) {
  if (tokens.IsMark(*i, u",-/", true)) {
    ++*i;
    return true;
  }
  return tokens.IsSpaced(*i);
}

// "Feb 29, 2024" or "29 Feb 2024", a weekday before either; or three numbers.
bool ReadDate(const CTokens& tokens, std::size_t* i, CivilDate* date) {
  std::size_t j = *i;
  const Token* a = tokens.Get(j, Token::kNumber);
  const Token* b = tokens.Get(j + 2, Token::kNumber);
  const Token* c = tokens.Get(j + 4, Token::kNumber);
  if (a != nullptr && b != nullptr && tokens.IsMark(j + 1, u"/-") && tokens.IsMark(j + 3, u"/-")) {
    if (c == nullptr || b->spaced || c->spaced || !NumericDate(a, b, c, date)) return false;
    *i = j + 5;
    return true;
  }
  if (NameIndex(tokens.Get(j, Token::kWord), kWeekdays) != 0) {
    ++j;
    if (tokens.IsMark(j, u",", true)) ++j;
  }
  const Token* month = tokens.Get(j, Token::kWord);
  const Token* day = nullptr;
  if (NameIndex(month, kMonths) != 0) {
    ++j;
    if (!NameSeparator(tokens, &j) || (day = tokens.Get(j, Token::kNumber, 2)) == nullptr)
      return false;
  } else if ((day = tokens.Get(j, Token::kNumber, 2)) != nullptr) {
    ++j;
    if (!NameSeparator(tokens, &j) || NameIndex(month = tokens.Get(j, Token::kWord), kMonths) == 0)
      return false;
  } else {
    return false;
  }
  ++j;
  const Token* year = nullptr;
  if (!NameSeparator(tokens, &j) || !IsLongYear(year = tokens.Get(j, Token::kNumber))) return false;
  *date = {year->value, NameIndex(month, kMonths), day->value};
  *i = j + 1;
  return true;
}

// H:MM[:SS] [AM|PM] or H AM|PM.
bool ReadTime(const CTokens& tokens, std::size_t* i, TimeOfDay* time) {
  std::size_t j = *i;
  const Token* hour = tokens.Get(j++, Token::kNumber, 2);
  if (hour == nullptr) return false;
  *time = {hour->value, 0, 0};
  bool minutes = false;
  for (std::int32_t* part : {&time->minute, &time->second}) {
    const Token* number = tokens.Get(j + 1, Token::kNumber, 2);
    if (!tokens.IsMark(j, u":") || number == nullptr || number->spaced) break;
    *part = number->value;
    minutes = true;
    j += 2;
  }
  const Token* suffix = tokens.Get(j, Token::kWord);
  const bool am = suffix != nullptr && EqualsIgnoringCase(suffix->text, "AM");
  const bool pm = suffix != nullptr && EqualsIgnoringCase(suffix->text, "PM");
  if (am || pm) {
    if (time->hour < 1 || time->hour > 12) return false;
    time->hour = time->hour % 12 + (pm ? 12 : 0);
    ++j;
  } else if (!minutes) {
    return false;
  }
  if (time->hour > 23 || time->minute > 59 || time->second > 59) return false;
  *i = j;
  return true;
}

}  // namespace

// [date] [time], with white space or "," between the two.
double DateFromText(std::u16string_view text) {
  CTokens tokens;
  if (!tokens.Split(TextToNul(text))) Raise(hr::kDispTypeMismatch);
  std::size_t i = 0;
  CivilDate date{1899, 12, 30};
  const bool hasDate = ReadDate(tokens, &i, &date);
  TimeOfDay time{0, 0, 0};
  if (i < tokens.Count()) {
    if (hasDate && tokens.IsMark(i, u",", true)) {
      ++i;
    } else if (hasDate && !tokens.IsSpaced(i)) {
      Raise(hr::kDispTypeMismatch);
    }
    if (!ReadTime(tokens, &i, &time)) Raise(hr::kDispTypeMismatch);
  } else if (!hasDate) {
    Raise(hr::kDispTypeMismatch);
  }
  if (i != tokens.Count() || date.year < 100 || date.year > 9999 || !IsValidDate(date))
    Raise(hr::kDispTypeMismatch);
  return AutomationDate(DayNumberOf(date), time);
}

// The date when the whole part is not 0, the time when there is no date or a
// fraction of at least 1e-12; seconds rounded (SplitAutomationDate).
std::u16string DateText(double date) {
  if (!(date > -657435.0 && date < 2958466.0)) Raise(hr::kInvalidArg);
  const DateAndTime parts = SplitAutomationDate(date);
  const bool showDate = parts.wholeDays != 0;
  const bool showTime = !showDate || std::fabs(date - std::trunc(date)) >= 1e-12;
  char text[40] = "";
  int size = 0;
  if (showDate) {
    const CivilDate day = CivilDateOf(parts.dayNumber);
    size = std::snprintf(text, sizeof text, "%d/%d/%d", day.month, day.day, day.year);
  }
  if (showTime) {
    const TimeOfDay& time = parts.time;
    size += std::snprintf(text + size, sizeof text - static_cast<std::size_t>(size),
                          "%s%d:%02d:%02d %s", showDate ? " " : "", (time.hour + 11) % 12 + 1,
                          time.minute, time.second, time.hour < 12 ? "AM" : "PM");
  }
  return std::u16string(text, text + size);
}

}  // namespace coercion
}  // namespace kd
