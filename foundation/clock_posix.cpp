// Local clock from gettimeofday and localtime_r.
#include <sys/time.h>
#include <time.h>

#include "foundation/clock.h"

namespace kd {

CalendarTime ReadPlatformClock() {
  struct timeval now;
  gettimeofday(&now, nullptr);
  time_t seconds = now.tv_sec;
  struct tm local = {};
  localtime_r(&seconds, &local);
  return CalendarTime{
      local.tm_year + 1900, local.tm_mon + 1, local.tm_wday, local.tm_mday,
      local.tm_hour,        local.tm_min,     local.tm_sec,  static_cast<int>(now.tv_usec / 1000)};
}

}  // namespace kd
