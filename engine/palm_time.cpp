#include "engine/palm_time.h"

#include <cmath>

namespace kd {

std::uint32_t PalmTimeFromSystemTime(const CalendarTime& time) {
  // Julian day number, with each floor taken before adding.
  double y = time.year;
  double m = time.month;
  if (time.month <= 2) {
    y -= 1;
    m += 12;
  }
  double a = std::floor(y * 0.01);
  double b = 2 - a + std::floor(a * 0.25);
  auto dayNumber = static_cast<std::int64_t>(std::floor((y + 4716) * 365.25) +
                                             std::floor((m + 1) * 30.6001) + time.day + b - 1525);
  std::int64_t seconds = dayNumber * 86400 + (time.hour * 60 + time.minute) * 60 + time.second;
  // 0x6382F000 is -(2416480 x 86400) modulo 2^32, 2416480 being the day number
  // of 1904-01-01.
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds)) + 0x6382F000u;
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
