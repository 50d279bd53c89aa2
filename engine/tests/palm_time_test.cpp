// Palm time conversions: from the calendar, and to and from automation dates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "engine/palm_time.h"
#include "foundation/calendar.h"

namespace kd {
namespace {

// The automation date of a calendar time, as a caller would build it: the day
// number (foundation/calendar, tested there) plus the seconds of the day.
double DateOf(int y, int mo, int d, int h, int mi, int s) {
  return static_cast<double>(DayNumberOf({y, mo, d})) + (h * 3600 + mi * 60 + s) / 86400.0;
}

CalendarTime Calendar(int y, int mo, int d, int h, int mi, int s) {
  return CalendarTime{y, mo, 0, d, h, mi, s, 0};
}

TEST(PalmTimeTest, FromTheCalendar) {
  struct Case {
    CalendarTime time;
    std::uint32_t palm;
  } cases[] = {
      {Calendar(1904, 1, 1, 0, 0, 0), 0},
      {Calendar(1904, 1, 2, 12, 0, 0), 129600},
      {Calendar(1970, 1, 1, 0, 0, 0), 2082844800u},
      {Calendar(2000, 1, 1, 0, 0, 0), 3029529600u},
      {Calendar(2000, 2, 29, 23, 59, 59), 3029529600u + 59 * 86400 + 86399},
      {Calendar(2040, 2, 6, 6, 28, 15), 0xFFFFFFFFu},
      {Calendar(2040, 2, 6, 6, 28, 16), 0},  // wraps
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PalmTimeFromSystemTime(c.time), c.palm) << c.time.year << "-" << c.time.month;
  }
}

TEST(PalmTimeTest, ToAndFromDates) {
  EXPECT_EQ(DateFromPalmTime(0), 1462.0);
  EXPECT_EQ(PalmTimeFromDate(1462.0), 0u);
  EXPECT_EQ(PalmTimeFromDate(1463.5), 129600u);
  EXPECT_EQ(DateFromPalmTime(129600), 1463.5);
  // Before 1904: the two's complement of the negative count, read back as a
  // date after 2040.
  EXPECT_EQ(PalmTimeFromDate(1461.0), static_cast<std::uint32_t>(-86400));
  EXPECT_GT(DateFromPalmTime(PalmTimeFromDate(1461.0)), DateOf(2040, 2, 5, 0, 0, 0));
  // Fractions of a second are dropped, toward zero.
  EXPECT_EQ(PalmTimeFromDate(1462.0 + 1.75 / 86400), 1u);
  EXPECT_EQ(PalmTimeFromDate(1462.0 - 1.75 / 86400), static_cast<std::uint32_t>(-1));
  EXPECT_EQ(PalmTimeFromDate(NAN), 0u);
  EXPECT_EQ(PalmTimeFromDate(INFINITY), 0u);
  EXPECT_EQ(PalmTimeFromDate(1e300), PalmTimeFromDate(1e300));  // defined, no overflow
}

TEST(PalmTimeTest, PalmTimeSurvivesTheRoundTripThroughADate) {
  for (std::uint64_t palm = 0; palm <= 0xFFFFFFFFu; palm += 104729) {
    auto value = static_cast<std::uint32_t>(palm);
    ASSERT_EQ(PalmTimeFromDate(DateFromPalmTime(value)), value);
  }
  EXPECT_EQ(PalmTimeFromDate(DateFromPalmTime(0xFFFFFFFFu)), 0xFFFFFFFFu);
}

// Dates built from calendar times are not exact in binary; each must still
// store exactly its second. Plain truncation of (date - 1462) x 86400 loses a
// second on many of them, which this sweep would catch.
TEST(PalmTimeTest, CalendarDatesStoreExactlyTheirSecond) {
  int truncationWouldFail = 0;
  for (int year = 1904; year <= 2039; ++year) {
    for (int step = 0; step < 40; ++step) {
      int month = 1 + step % 12;
      int day = 1 + (step * 7) % 28;
      int hour = (step * 5) % 24;
      int minute = (step * 13) % 60;
      int second = (step * 29) % 60;
      double date = DateOf(year, month, day, hour, minute, second);
      std::uint32_t expected =
          PalmTimeFromSystemTime(Calendar(year, month, day, hour, minute, second));
      ASSERT_EQ(PalmTimeFromDate(date), expected) << year << "-" << month << "-" << day;
      auto truncated =
          static_cast<std::uint32_t>(static_cast<std::int64_t>((date - 1462.0) * 86400.0));
      if (truncated != expected) ++truncationWouldFail;
    }
  }
  EXPECT_GT(truncationWouldFail, 0);
  EXPECT_EQ(PalmTimeFromDate(DateOf(2024, 2, 29, 13, 14, 15)),
            PalmTimeFromSystemTime(Calendar(2024, 2, 29, 13, 14, 15)));
}

}  // namespace
}  // namespace kd
