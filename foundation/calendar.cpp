#include "foundation/calendar.h"

#include <cmath>

namespace kd {

namespace {

// Day numbers are counted internally from 0000-03-01, so that the leap day
// ends each counted year, in cycles of 400 years of 146097 days.
constexpr std::int64_t kDaysPer400Years = 146097;
constexpr std::int64_t kDay0 = 693899;  // 1899-12-30 counted from 0000-03-01

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return (a >= 0 ? a : a - (b - 1)) / b;
}

}  // namespace

bool IsLeapYear(std::int32_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::int32_t DaysInMonth(std::int32_t year, std::int32_t month) {
  static const std::int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(const CivilDate& date) {
  return date.month >= 1 && date.month <= 12 && date.day >= 1 &&
         date.day <= DaysInMonth(date.year, date.month);
}

std::int64_t DayNumberOf(const CivilDate& date) {
  const std::int64_t year = date.year - (date.month <= 2 ? 1 : 0);
  const std::int64_t cycle = FloorDiv(year, 400);
  const std::int64_t yearOfCycle = year - cycle * 400;
  const std::int64_t monthFromMarch = (date.month + 9) % 12;
  // 153 days for every five months from March: 31 30 31 30 31.
  const std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + date.day - 1;
  const std::int64_t dayOfCycle =
      yearOfCycle * 365 + yearOfCycle / 4 - yearOfCycle / 100 + dayOfYear;
  return cycle * kDaysPer400Years + dayOfCycle - kDay0;
}

CivilDate CivilDateOf(std::int64_t dayNumber) {
  const std::int64_t days = dayNumber + kDay0;
  const std::int64_t cycle = FloorDiv(days, kDaysPer400Years);
  const std::int64_t dayOfCycle = days - cycle * kDaysPer400Years;
  // The cycle's years of 365 days, less the leap days before the day.
  const std::int64_t yearOfCycle =
      (dayOfCycle - dayOfCycle / 1460 + dayOfCycle / 36524 - dayOfCycle / 146096) / 365;
  const std::int64_t dayOfYear =
      dayOfCycle - (yearOfCycle * 365 + yearOfCycle / 4 - yearOfCycle / 100);
  const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  CivilDate date;
  date.day = static_cast<std::int32_t>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  date.month =
      static_cast<std::int32_t>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  date.year = static_cast<std::int32_t>(cycle * 400 + yearOfCycle + (date.month <= 2 ? 1 : 0));
  return date;
}

double AutomationDate(std::int64_t dayNumber, const TimeOfDay& time) {
  const double away = dayNumber < 0 ? -1.0 : 1.0;
  double date = static_cast<double>(dayNumber);
  date += away * (time.hour / 24.0);
  date += away * (time.minute / 1440.0);
  date += away * (time.second / 86400.0);
  return date;
}

DateAndTime SplitAutomationDate(double date) {
  const double whole = std::trunc(date);
  const double fraction = std::fabs(date - whole);
  auto seconds = static_cast<std::int64_t>(std::floor((fraction + 1e-11) * kSecondsPerDay + 0.5));
  DateAndTime parts;
  parts.wholeDays = static_cast<std::int64_t>(whole);
  parts.dayNumber = parts.wholeDays;
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    parts.dayNumber += 1;
  }
  parts.time.hour = static_cast<std::int32_t>(seconds / 3600);
  parts.time.minute = static_cast<std::int32_t>(seconds / 60 % 60);
  parts.time.second = static_cast<std::int32_t>(seconds % 60);
  return parts;
}

}  // namespace kd
