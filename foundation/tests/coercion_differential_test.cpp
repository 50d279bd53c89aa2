// The portable coercion against the platform's VariantChangeType (Windows,
// and Wine in CI), over generated cases: numbers at and around every type's
// limits and rounding midpoints, random numbers and dates, number and date
// text in every shape the portable rules read, and near misses of them.
//
// Agreement: conversions from numbers, booleans, dates and other non-text
// values agree fully (value bits or HRESULT). Text may be refused by the
// portable rules (DISP_E_TYPEMISMATCH) where the platform reads it, never the
// other way round; what both read agrees fully, overflow included. Text
// generated in the portable rules' own shapes must agree fully.
//
// The platform's text rules follow the user locale: under Wine without a
// locale set (LANG=C.UTF-8) the test programs run in English (United States),
// LCID 0x0409, which the test checks first.
//
// Known differences, not compared:
//   - text below 0.1 to an integer type: the platform under Wine rounds "0.06"
//     as if it read "0.6"; the portable rules round the value (to 0).
//   - NaN is not generated: its conversions follow the processor.
#include <gtest/gtest.h>

#include <windows.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/calendar.h"
#include "foundation/coercion.h"
#include "foundation/errors.h"

namespace kd {
namespace {

using V = CVariant;

enum class Agreement { kFull, kMayRefuse, kKnownDifference };

struct Outcome {
  HRESULT error = hr::kOk;
  CVariant value;
  bool operator==(const Outcome& other) const {
    return error == other.error && (error != hr::kOk || value == other.value);
  }
};

Outcome Run(CVariant (*convert)(const CVariant&, VarType), const CVariant& source, VarType target) {
  Outcome outcome;
  try {
    outcome.value = convert(source, target);
  } catch (const CPlatformError& error) {
    outcome.error = error.GetResult();
  }
  return outcome;
}

std::string Show(const Outcome& outcome) {
  if (outcome.error != hr::kOk) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(outcome.error));
    return text;
  }
  return DescribeVariant(outcome.value);
}

class CDifferential {
 public:
  void Check(const CVariant& source, VarType target, Agreement agreement) {
    ++cases_;
    if (agreement == Agreement::kKnownDifference) {
      ++known_;
      return;
    }
    const Outcome platform = Run(ChangeType, source, target);
    const Outcome portable = Run(PortableChangeType, source, target);
    if (platform == portable) {
      if (portable.error == hr::kOk && source.GetBaseType() == VT_BSTR) ++textRead_;
      return;
    }
    if (agreement == Agreement::kMayRefuse && portable.error == hr::kDispTypeMismatch) {
      ++refused_;
      return;
    }
    if (++failures_ <= 40) {
      ADD_FAILURE() << DescribeVariant(source) << " -> " << VarTypeName(target) << ": platform "
                    << Show(platform) << ", portable " << Show(portable);
    }
  }
  void Text(const std::u16string& text, VarType target, Agreement agreement) {
    Check(V::String(text), target, agreement);
  }
  void Report() const {
    std::printf(
        "coercion differential: %d cases (%d texts read alike), %d texts refused by the portable "
        "rules where the platform reads them, %d known differences not compared, %d "
        "disagreements\n",
        cases_, textRead_, refused_, known_, failures_);
  }
  int Cases() const { return cases_; }

 private:
  int cases_ = 0;
  int textRead_ = 0;
  int refused_ = 0;
  int known_ = 0;
  int failures_ = 0;
};

std::mt19937_64 generator(20240229);

int Uniform(int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(generator);
}
template <typename T>
T Pick(const std::vector<T>& items) {
  return items[static_cast<std::size_t>(Uniform(0, static_cast<int>(items.size()) - 1))];
}

// Bytes as the characters of the same code (Latin-1).
std::u16string Wide(const std::string& text) {
  std::u16string wide;
  for (char c : text)
    wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return wide;
}

const VarType kNumberTargets[] = {VT_EMPTY, VT_NULL, VT_I1, VT_UI1,  VT_I2,   VT_UI2, VT_I4,
                                  VT_UI4,   VT_R4,   VT_R8, VT_DATE, VT_BOOL, VT_BSTR};
const VarType kTextTargets[] = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_R4, VT_R8, VT_BOOL};
const std::int64_t kLimits[] = {-2147483648LL, -32768, -128,  0,          127,
                                255,           32767,  65535, 2147483647, 4294967295LL};

// ---- numbers ----

void NumberCases(CDifferential& run) {
  std::vector<double> reals = {
      0.0,       -0.0,          FLT_MAX,       -FLT_MAX, FLT_MIN,  1e-45,     DBL_MAX,
      1e300,     -1e300,        1e-300,        5e-324,   HUGE_VAL, -HUGE_VAL, 3.4028235677973366e38,
      -657435.0, -657434.99999, 2958465.99999, 2958466.0};
  for (double edge : {3.4028235677973366e38, -657435.0, 2958466.0}) {
    reals.push_back(std::nextafter(edge, 0.0));
    reals.push_back(std::nextafter(edge, HUGE_VAL));
  }
  for (std::int64_t limit : kLimits) {
    for (double offset : {0.0, 0.5, 0.49999, 0.5000001, 1.0, 1.5, 2.0}) {
      for (double value : {limit + offset, limit - offset}) {
        reals.push_back(value);
        reals.push_back(std::nextafter(value, HUGE_VAL));
        reals.push_back(std::nextafter(value, -HUGE_VAL));
      }
    }
  }
  for (int k = -20; k <= 20; ++k)
    reals.push_back(k + 0.5);
  for (int i = 0; i < 700; ++i) {
    double value;
    const std::uint64_t bits = generator();
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isnan(value)) reals.push_back(value);
    reals.push_back(std::ldexp(Uniform(-(1 << 30), 1 << 30), Uniform(-40, 10)));
    reals.push_back(std::uniform_real_distribution<double>(-700000, 3000000)(generator));
    // Half seconds, and just either side of where the platform rounds them.
    const double halfSecond = Uniform(-657434, 2958465) + (Uniform(0, 86399) + 0.5) / 86400;
    for (double value : {halfSecond, halfSecond - 2e-11, halfSecond + 2e-11})
      reals.push_back(value);
  }
  for (double real : reals) {
    for (VarType target : kNumberTargets) {
      run.Check(V::R8(real), target, Agreement::kFull);
      run.Check(V::R4(static_cast<float>(real)), target, Agreement::kFull);
      run.Check(V::Date(real), target, Agreement::kFull);
    }
  }
  std::vector<std::int64_t> wholes = {0, 1, -1, 2, -2};
  for (std::int64_t limit : kLimits) {
    for (int offset = -2; offset <= 2; ++offset)
      wholes.push_back(limit + offset);
  }
  for (int i = 0; i < 300; ++i)
    wholes.push_back(static_cast<std::int32_t>(generator()) >> Uniform(0, 31));
  for (std::int64_t whole : wholes) {
    for (VarType target : kNumberTargets) {
      run.Check(V::I1(static_cast<std::int8_t>(whole)), target, Agreement::kFull);
      run.Check(V::UI1(static_cast<std::uint8_t>(whole)), target, Agreement::kFull);
      run.Check(V::I2(static_cast<std::int16_t>(whole)), target, Agreement::kFull);
      run.Check(V::UI2(static_cast<std::uint16_t>(whole)), target, Agreement::kFull);
      run.Check(V::I4(static_cast<std::int32_t>(whole)), target, Agreement::kFull);
      run.Check(V::UI4(static_cast<std::uint32_t>(whole)), target, Agreement::kFull);
      run.Check(V::BoolBits(static_cast<std::int16_t>(whole)), target, Agreement::kFull);
    }
  }
}

// ---- number text ----

const std::vector<std::string> kSpaces = {"", "", " ", "  ", "\t", "\n", "\r", "\v", "\f", "\xa0"};

// Whole `digits` with the decimal point moved `scale` places (left when
// negative), with thousands separators sometimes.
std::string DecimalText(std::string digits, int scale, bool separators) {
  if (scale >= 0) {
    digits.append(static_cast<std::size_t>(scale), '0');
    scale = 0;
  }
  const int point = static_cast<int>(digits.size()) + scale;
  std::string whole = point > 0 ? digits.substr(0, static_cast<std::size_t>(point)) : "0";
  std::string fraction = point > 0 ? digits.substr(static_cast<std::size_t>(point))
                                   : std::string(static_cast<std::size_t>(-point), '0') + digits;
  if (separators) {
    for (int at = static_cast<int>(whole.size()) - 3; at > 0; at -= 3)
      whole.insert(static_cast<std::size_t>(at), ",");
  }
  if (whole == "0" && !fraction.empty() && Uniform(0, 2) == 0) whole.clear();
  if (Uniform(0, 4) == 0) fraction += "00";
  return fraction.empty() ? whole : whole + "." + fraction;
}

// Signs, parentheses, "$" and white space around a number.
std::string Decorate(const std::string& number) {
  static const char* const kForms[] = {"%s",   "+%s",    "-%s",  "%s-",    "%s+",  "(%s)",
                                       "- %s", "%s -",   "$%s",  "-$%s",   "$-%s", "($%s)",
                                       "$ %s", "( %s )", "$%s-", "+ $ %s", "%s - "};
  char text[400];
  std::snprintf(text, sizeof text, kForms[Uniform(0, 16)], number.c_str());
  return Pick(kSpaces) + text + Pick(kSpaces);
}

// One random change: a character added, removed or doubled.
std::string Mutate(std::string text) {
  static const char kAlphabet[] = "0123456789+-.,$()eE&HhOo xa:/";
  const auto at = static_cast<std::size_t>(Uniform(0, static_cast<int>(text.size())));
  switch (Uniform(0, 2)) {
    case 0:
      text.insert(at, 1, kAlphabet[Uniform(0, sizeof kAlphabet - 2)]);
      break;
    case 1:
      if (at < text.size()) text.erase(at, 1);
      break;
    default:
      if (at < text.size()) text.insert(at, 1, text[at]);
      break;
  }
  return text;
}

void NumberTextCases(CDifferential& run) {
  auto all = [&run](const std::string& text, Agreement agreement, bool belowATenth) {
    for (VarType target : kTextTargets) {
      const bool known = belowATenth && target != VT_R4 && target != VT_R8 && target != VT_BOOL;
      run.Text(Wide(text), target, known ? Agreement::kKnownDifference : agreement);
    }
    run.Text(Wide(text), VT_DATE, Agreement::kMayRefuse);
  };
  // Up to 15 digits, with the last digit's place from 1e-10 to 1e10.
  for (int i = 0; i < 9000; ++i) {
    std::string digits = std::to_string(generator() % 1000000000000000ull + 1);
    digits.resize(static_cast<std::size_t>(Uniform(1, static_cast<int>(digits.size()))));
    if (digits.back() == '0') digits.back() = static_cast<char>('1' + Uniform(0, 8));
    const int scale = Uniform(-10, 10);
    const bool belowATenth = static_cast<int>(digits.size()) + scale < 0;
    std::string text;
    if (Uniform(0, 2) == 0) {
      const int power = Uniform(-6, 6);
      text = DecimalText(digits, scale - power, false) + (Uniform(0, 1) ? "e" : "E") +
             (power >= 0 && Uniform(0, 1) ? "+" : "") + std::to_string(power);
    } else {
      text = DecimalText(digits, scale, Uniform(0, 3) == 0);
    }
    const std::string decorated = Decorate(text);
    all(decorated, Agreement::kFull, belowATenth);
    all(Mutate(decorated), Agreement::kMayRefuse, true);
  }
  // Every integer type's limits, and halves and near halves around them.
  for (std::int64_t limit : kLimits) {
    for (std::int64_t offset : {0LL, 1LL, -1LL, 50000LL, -50000LL, 49999LL, -49999LL, 50001LL,
                                -50001LL, 100000LL, -100000LL}) {
      const std::int64_t scaled = limit * 100000 + offset;
      std::string digits = std::to_string(scaled < 0 ? -scaled : scaled);
      const std::string text = (scaled < 0 ? "-" : "") + DecimalText(digits, -5, false);
      all(text, Agreement::kFull, scaled > -10000 && scaled < 10000);
    }
  }
  // "&H" and "&O" numbers around every width.
  std::vector<std::uint64_t> wholes = {0,          1,          0x7F,        0x80,
                                       0xFF,       0x100,      0x7FFF,      0x8000,
                                       0xFFFF,     0x10000,    0x7FFFFFFF,  0x80000000,
                                       0x80000001, 0xFFFFFFFF, 0x100000000, 0xFFFFFFFFFFFFFFFF};
  for (int i = 0; i < 300; ++i)
    wholes.push_back(generator() >> Uniform(28, 63));
  for (std::uint64_t whole : wholes) {
    char text[64];
    std::snprintf(text, sizeof text, Pick<std::string>({"&H%llX", "&h%llx", "&H00%llx"}).c_str(),
                  static_cast<unsigned long long>(whole));
    all(Pick(kSpaces) + text, Agreement::kFull, false);
    all(Mutate(text), Agreement::kMayRefuse, true);
    std::snprintf(text, sizeof text, "&O%llo", static_cast<unsigned long long>(whole));
    all(text + Pick(kSpaces), Agreement::kFull, false);
  }
  // Beyond: more digits, far exponents, words.
  for (int i = 0; i < 2500; ++i) {
    std::string digits = std::to_string(generator()) + std::to_string(generator());
    digits.resize(static_cast<std::size_t>(Uniform(1, 30)));
    all(Decorate(DecimalText(digits, 0, false) + "e" + std::to_string(Uniform(-420, 420))),
        Agreement::kMayRefuse, true);
  }
  for (const char* text :
       {"True", "tRuE", "FALSE", "#TRUE#", "#FALSE#", "#True#", " True", "False ", "Yes", "", " ",
        "-", "$", "()", "1e309", "1e-400", "-1e-400"}) {
    all(text, Agreement::kFull, false);
  }
  for (const char* text :
       {"3.4e38", "3.5e38", "1.7976931348623157e308", "1e-46", "9.5e-46", "1e-330", "(-5)"})
    all(text, Agreement::kMayRefuse, true);
}

// ---- date text ----

const char* const kMonthNames[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
const char* const kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

std::string InCase(std::string word, bool abbreviated) {
  if (abbreviated) word.resize(3);
  for (char& c : word) {
    const int pick = Uniform(0, 5);
    if (pick == 0) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (pick == 1) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return word;
}

std::string Format(const char* format, int a, int b, int c) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// A date in one of the shapes the portable rules read.
std::string DateShape(const CivilDate& date) {
  const std::string month = InCase(kMonthNames[date.month - 1], Uniform(0, 1) == 0);
  const std::string day = std::to_string(date.day);
  const std::string year = std::to_string(date.year);
  switch (Uniform(0, 8)) {
    case 0:
      return Format("%d/%d/%d", date.month, date.day, date.year);
    case 1:
      return Format("%02d-%02d-%d", date.month, date.day, date.year);
    case 2:
      return Format("%d/%d-%02d", date.month, date.day, date.year % 100);  // 1950 to 2049
    case 3:
      return Format("%d-%02d-%02d", date.year, date.month, date.day);
    case 4:
      return date.day > 12 ? Format("%d/%d/%d", date.day, date.month, date.year)
                           : Format("%d/%d/%d", date.year, date.month, date.day);
    case 5:
      return month + " " + day + Pick<std::string>({", ", " ", ",", "-"}) + year;
    case 6:
      return day + Pick<std::string>({" ", "-", "/", " , "}) + month +
             Pick<std::string>({" ", "-", "/"}) + year;
    case 7:
      return InCase(kDayNames[Uniform(0, 6)], Uniform(0, 1) == 0) + Pick<std::string>({", ", " "}) +
             month + " " + day + ", " + year;
    default:
      return Format("%d/%02d/%d", date.month, date.day, date.year);
  }
}

std::string TimeShape(const TimeOfDay& time) {
  const int hour12 = (time.hour + 11) % 12 + 1;
  const std::string half = InCase(time.hour < 12 ? "AM" : "PM", false);
  switch (Uniform(0, 5)) {
    case 0:
      return Format("%d:%02d", time.hour, time.minute, 0);
    case 1:
      return Format("%02d:%d:%02d", time.hour, time.minute, time.second);
    case 2:
      return Format("%d:%02d:%02d ", hour12, time.minute, time.second) + half;
    case 3:
      return Format("%d:%02d", hour12, time.minute, 0) + half;
    case 4:
      return std::to_string(hour12) + Pick<std::string>({" ", ""}) + half;
    default:
      return Format("%d:%02d:%02d", time.hour, time.minute, time.second);
  }
}

void DateTextCases(CDifferential& run) {
  const std::int64_t first = DayNumberOf({100, 1, 1});
  const std::int64_t last = DayNumberOf({9999, 12, 31});
  for (int i = 0; i < 9000; ++i) {
    CivilDate date =
        CivilDateOf(std::uniform_int_distribution<std::int64_t>(first, last)(generator));
    if (Uniform(0, 2) == 0) date.year = Uniform(1950, 2049);
    if (!IsValidDate(date)) date.day = 28;
    const TimeOfDay time = {Uniform(0, 23), Uniform(0, 59), Uniform(0, 59)};
    std::string text;
    switch (Uniform(0, 3)) {
      case 0:
        text = DateShape(date);
        break;
      case 1:
        text = TimeShape(time);
        break;
      default:
        text = DateShape(date) + Pick<std::string>({" ", "  ", ", ", ","}) + TimeShape(time);
        break;
    }
    text = Pick(kSpaces) + text + Pick(kSpaces);
    run.Text(Wide(text), VT_DATE, Agreement::kFull);
    run.Text(Wide(Mutate(text)), VT_DATE, Agreement::kMayRefuse);
    run.Text(Wide(Mutate(Mutate(text))), VT_DATE, Agreement::kMayRefuse);
  }
  // Impossible dates and times, numbers out of place.
  for (int i = 0; i < 3000; ++i) {
    const int a = Uniform(0, 40);
    const int b = Uniform(0, 40);
    const int c = Pick<int>({0, 29, 49, 50, 99, 100, 999, 1000, 2023, 2024, 9999, 10000});
    run.Text(Wide(Format(Pick<std::string>({"%d/%d/%d", "%d-%d-%d", "%d %d %d"}).c_str(), a, b, c)),
             VT_DATE, Agreement::kMayRefuse);
    run.Text(Wide(Format(Pick<std::string>({"%d:%d", "%d:%d:%d", "%d:%02d PM", "%d AM"}).c_str(), a,
                         b, a + b)),
             VT_DATE, Agreement::kMayRefuse);
  }
}

// ---- the type table ----

class CPicture : public CAutomationObject {};

void TypeCases(CDifferential& run) {
  const std::vector<CVariant> sources = {V(),
                                         V::Null(),
                                         V::I4(5),
                                         V::R8(2.5),
                                         V::Date(1.5),
                                         V::Bool(true),
                                         V::String(u"12"),
                                         V::String(u"x"),
                                         V::Bytes({0x41, 0, 0x42}),
                                         V::Bytes({1, 2, 3, 4}, 1),
                                         V::Array(CSafeArray(VT_UI1, {{2, 0}, {2, 0}})),
                                         V::Array(CSafeArray(VT_I4, {{2, 0}})),
                                         V::Object(nullptr),
                                         V::Object(std::make_shared<CPicture>()),
                                         V::I2(7).AsByRef(),
                                         V::String(u"7").AsByRef(),
                                         V::Bytes({1, 2}).AsByRef()};
  for (const CVariant& source : sources) {
    for (std::uint16_t base = 0; base <= 80; ++base) {
      for (std::uint16_t flags : {0x0000, 0x1000, 0x2000, 0x4000, 0x6000, 0x3000, 0x8000}) {
        run.Check(source, static_cast<VarType>(base | flags), Agreement::kFull);
      }
    }
    run.Check(source, static_cast<VarType>(0xFFFF), Agreement::kFull);
  }
}

TEST(CoercionDifferentialTest, PortableRulesAgreeWithThePlatform) {
  // The platform's text rules follow the user locale; the portable ones are
  // those of English (United States).
  ASSERT_EQ(GetUserDefaultLCID(), 0x0409u) << "the tests expect the locale en-US";
  CDifferential run;
  NumberCases(run);
  NumberTextCases(run);
  DateTextCases(run);
  TypeCases(run);
  run.Report();
  EXPECT_GE(run.Cases(), 100000);
}

}  // namespace
}  // namespace kd
