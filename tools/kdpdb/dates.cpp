#include "tools/kdpdb/dates.h"

#include <cstdio>

#include "engine/palm_time.h"
#include "foundation/calendar.h"
#include "tools/kdpdb/text_bytes.h"

namespace kdpdb {

namespace {

// Reads exactly `width` decimal digits at `pos`.
bool Digits(std::string_view text, std::size_t pos, std::size_t width, int* value) {
  if (pos + width > text.size()) return false;
  int result = 0;
  for (std::size_t i = pos; i < pos + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    result = result * 10 + (text[i] - '0');
  }
  *value = result;
  return true;
}

}  // namespace

std::string FormatPalmTime(std::uint32_t palmTime) {
  const kd::CivilDate day = kd::CivilDateOf(kd::kPalmEpochDay + palmTime / kd::kSecondsPerDay);
  const std::uint32_t seconds = palmTime % kd::kSecondsPerDay;
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02u:%02u:%02u", day.year, day.month, day.day,
                seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

std::string FormatDate(double date) {
  return FormatPalmTime(kd::PalmTimeFromDate(date));
}

double ParseIsoDate(std::string_view text) {
  const std::string quoted = "'" + std::string(text) + "'";
  kd::CivilDate date{0, 0, 0};
  kd::TimeOfDay time{0, 0, 0};
  bool ok = Digits(text, 0, 4, &date.year) && text.size() >= 10 && text[4] == '-' &&
            Digits(text, 5, 2, &date.month) && text[7] == '-' && Digits(text, 8, 2, &date.day);
  if (ok && text.size() > 10) {
    ok = (text[10] == 'T' || text[10] == ' ') && Digits(text, 11, 2, &time.hour) &&
         text.size() >= 16 && text[13] == ':' && Digits(text, 14, 2, &time.minute);
    if (ok && text.size() > 16) {
      ok = text.size() == 19 && text[16] == ':' && Digits(text, 17, 2, &time.second);
    } else if (ok) {
      ok = text.size() == 16;
    }
  } else if (ok) {
    ok = text.size() == 10;
  }
  if (!ok) {
    throw ToolError(quoted +
                    " is not an ISO-8601 date (YYYY-MM-DD) or date-time (YYYY-MM-DDTHH:MM[:SS]); "
                    "dates are local time, without a time zone");
  }
  if (!kd::IsValidDate(date) || time.hour > 23 || time.minute > 59 || time.second > 59)
    throw ToolError(quoted + " is not a valid date or time");
  const std::int64_t day = kd::DayNumberOf(date);
  const std::int64_t palmSeconds = (day - kd::kPalmEpochDay) * kd::kSecondsPerDay +
                                   (time.hour * 60 + time.minute) * 60 + time.second;
  if (palmSeconds < 0 || palmSeconds > 0xFFFFFFFFll) {
    throw ToolError(quoted + " is outside the Palm date range (" + kFirstPalmTime + " to " +
                    kLastPalmTime + ")");
  }
  return kd::AutomationDate(day, time);
}

}  // namespace kdpdb
