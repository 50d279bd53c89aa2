// Palm time: unsigned 32-bit seconds since 1904-01-01 00:00:00 local time (no
// time zone is stored), and its conversions from the local clock and to and
// from the automation date (days since 1899-12-30 as a double).
#ifndef KDDAO_ENGINE_PALM_TIME_H_
#define KDDAO_ENGINE_PALM_TIME_H_

#include <cstdint>

#include "foundation/clock.h"

namespace kd {

// Days from 1899-12-30 to 1904-01-01: the day number of the Palm epoch.
constexpr std::int64_t kPalmEpochDay = 1462;
constexpr double kPalmEpochAsDate = static_cast<double>(kPalmEpochDay);

// Local calendar time to Palm time (the year, month, day, hour, minute and
// second; weekday and milliseconds are ignored). Wraps modulo 2^32: 1904-01-01
// gives 0, 2040-02-06 06:28:16 gives 0 again.
std::uint32_t PalmTimeFromSystemTime(const CalendarTime& time);

// The current local time as Palm time.
std::uint32_t PalmTimeNow();

// Palm time to an automation date: seconds / 86400 + 1462.
double DateFromPalmTime(std::uint32_t palmTime);

// Automation date to Palm time: (date - 1462) x 86400 seconds, rounded to the
// nearest millisecond and then truncated toward zero, so that a date that is
// not exact in binary never loses a second; the low 32 bits of the count.
// Dates before 1904 give the two's complement of the negative count.
std::uint32_t PalmTimeFromDate(double date);

}  // namespace kd

#endif  // KDDAO_ENGINE_PALM_TIME_H_
