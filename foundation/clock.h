// The local clock.
#ifndef KDDAO_FOUNDATION_CLOCK_H_
#define KDDAO_FOUNDATION_CLOCK_H_

namespace kd {

// Local calendar time, as the platform's clock gives it.
struct CalendarTime {
  int year;         // e.g. 2026
  int month;        // 1 to 12
  int dayOfWeek;    // 0 (Sunday) to 6
  int day;          // 1 to 31
  int hour;         // 0 to 23
  int minute;       // 0 to 59
  int second;       // 0 to 59 (60 in a leap second where the platform reports one)
  int millisecond;  // 0 to 999
};

// The current local time (GetLocalTime on Windows, localtime_r elsewhere).
CalendarTime GetLocalClock();

// Test hook: while set, GetLocalClock returns `fixed` instead of the clock.
void SetFixedLocalClock(const CalendarTime& fixed);
void ClearFixedLocalClock();

}  // namespace kd

#endif  // KDDAO_FOUNDATION_CLOCK_H_
