// The calendar: civil dates of the proleptic Gregorian calendar, day numbers
// and automation dates. An automation date counts days since 1899-12-30 (day
// number 0); its fraction is the time of day. For a date before day 0 the
// whole part counts back and the fraction still counts forward from the start
// of that day: -1.25 is 1899-12-29 06:00.
#ifndef KDDAO_FOUNDATION_CALENDAR_H_
#define KDDAO_FOUNDATION_CALENDAR_H_

#include <cstdint>

namespace kd {

constexpr std::int32_t kSecondsPerDay = 86400;

struct CivilDate {
  std::int32_t year;
  std::int32_t month;  // 1 to 12
  std::int32_t day;    // 1 to 31
};

struct TimeOfDay {
  std::int32_t hour;    // 0 to 23
  std::int32_t minute;  // 0 to 59
  std::int32_t second;  // 0 to 59
};

bool IsLeapYear(std::int32_t year);
// REQUIRES: month in 1..12.
std::int32_t DaysInMonth(std::int32_t year, std::int32_t month);
// The month exists and has that day.
bool IsValidDate(const CivilDate& date);

// Days from 1899-12-30 to `date`. REQUIRES: a valid date.
std::int64_t DayNumberOf(const CivilDate& date);
// The civil date of a day number; every day number has one.
CivilDate CivilDateOf(std::int64_t dayNumber);

// The automation date of a day and a time: the hours, minutes and seconds are
// added to the day one after the other (as fractions of a day), away from day
// 0 for days before it.
double AutomationDate(std::int64_t dayNumber, const TimeOfDay& time);

// An automation date taken apart to the nearest second.
struct DateAndTime {
  std::int64_t wholeDays;  // the date's whole part, toward zero
  std::int64_t dayNumber;  // the day the rounded time falls on
  TimeOfDay time;
};
// The day and the time of day of `date`, the time rounded to the nearest
// second with halves up (within 1e-11 of a day); a time that rounds to
// midnight belongs to the next day. REQUIRES: |date| < 1e15.
DateAndTime SplitAutomationDate(double date);

}  // namespace kd

#endif  // KDDAO_FOUNDATION_CALENDAR_H_
