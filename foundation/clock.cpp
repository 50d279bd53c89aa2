#include "foundation/clock.h"

#include <mutex>

namespace kd {

CalendarTime ReadPlatformClock();

namespace {
std::mutex g_fixedLock;
bool g_hasFixed = false;
CalendarTime g_fixed;
}  // namespace

CalendarTime GetLocalClock() {
  {
    std::lock_guard<std::mutex> guard(g_fixedLock);
    if (g_hasFixed) return g_fixed;
  }
  return ReadPlatformClock();
}

void SetFixedLocalClock(const CalendarTime& fixed) {
  std::lock_guard<std::mutex> guard(g_fixedLock);
  g_fixed = fixed;
  g_hasFixed = true;
}

void ClearFixedLocalClock() {
  std::lock_guard<std::mutex> guard(g_fixedLock);
  g_hasFixed = false;
}

}  // namespace kd
