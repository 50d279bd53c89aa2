// Local clock from GetLocalTime.
#include <windows.h>

#include "foundation/clock.h"

namespace kd {

CalendarTime ReadPlatformClock() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return CalendarTime{now.wYear, now.wMonth,  now.wDayOfWeek, now.wDay,
                      now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
}

}  // namespace kd
