#include "engine/palm_time.h"

#include <cmath>

#include "foundation/calendar.h"

namespace kd {

std::uint32_t PalmTimeFromSystemTime(const CalendarTime& time) {
  const std::int64_t days = DayNumberOf({time.year, time.month, time.day}) - kPalmEpochDay;
  const std::int64_t seconds =
      days * kSecondsPerDay + (time.hour * 60 + time.minute) * 60 + time.second;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds));
}

std::uint32_t PalmTimeNow() {
  return PalmTimeFromSystemTime(GetLocalClock());
}

double DateFromPalmTime(std::uint32_t palmTime) {
  return static_cast<double>(palmTime) * 1.1574074074074073e-05 + kPalmEpochAsDate;
}

std::uint32_t PalmTimeFromDate(double date) {
  double seconds = (date - kPalmEpochAsDate) * 86400.0;
  if (!std::isfinite(seconds)) return 0;  // such dates have no count
  if (std::fabs(seconds) < 9.0e15) {
    auto milliseconds = static_cast<std::int64_t>(std::llround(seconds * 1000.0));
    std::int64_t whole = milliseconds / 1000;  // truncates toward zero
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(whole));
  }
  // Far outside every calendar: the low 32 bits of the whole count, exactly.
  double low = std::fmod(std::trunc(seconds), 4294967296.0);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(low)));
}

}  // namespace kd
