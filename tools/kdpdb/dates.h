// kdpdb's dates: Palm times and automation dates as local ISO-8601 text, and
// such text read back.
#ifndef KDDAO_TOOLS_KDPDB_DATES_H_
#define KDDAO_TOOLS_KDPDB_DATES_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace kdpdb {

// The Palm time range as text.
constexpr const char* kFirstPalmTime = "1904-01-01T00:00:00";
constexpr const char* kLastPalmTime = "2040-02-06T06:28:15";

// Palm time (seconds since 1904-01-01 local time) as local ISO-8601 text,
// "YYYY-MM-DDTHH:MM:SS".
std::string FormatPalmTime(std::uint32_t palmTime);
// An automation date (days since 1899-12-30) as the ISO-8601 text of the Palm
// time it is stored as.
std::string FormatDate(double date);
// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" ("T" or a space
// between date and time) as an automation date. Raises ToolError for other
// text, impossible dates and dates outside the Palm time range.
double ParseIsoDate(std::string_view text);

}  // namespace kdpdb

#endif  // KDDAO_TOOLS_KDPDB_DATES_H_
