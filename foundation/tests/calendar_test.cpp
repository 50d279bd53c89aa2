// The calendar: day numbers, civil dates and automation dates.
#include <gtest/gtest.h>

#include "foundation/calendar.h"

namespace kd {
namespace {

TEST(CalendarTest, DayNumbersOfKnownDates) {
  const struct {
    CivilDate date;
    std::int64_t day;
  } kCases[] = {
      {{1899, 12, 30}, 0},    {{1899, 12, 31}, 1},     {{1900, 1, 1}, 2},
      {{1900, 3, 1}, 61},     {{1904, 1, 1}, 1462},    {{1970, 1, 1}, 25569},
      {{2000, 2, 29}, 36585}, {{2024, 2, 29}, 45351},  {{1899, 12, 29}, -1},
      {{1800, 1, 1}, -36522}, {{100, 1, 1}, -657434},  {{9999, 12, 31}, 2958465},
      {{1, 1, 1}, -693593},   {{-1, 12, 31}, -693960}, {{2040, 2, 6}, 51172},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.date.year) + "-" + std::to_string(c.date.month));
    EXPECT_EQ(DayNumberOf(c.date), c.day);
    const CivilDate back = CivilDateOf(c.day);
    EXPECT_EQ(back.year, c.date.year);
    EXPECT_EQ(back.month, c.date.month);
    EXPECT_EQ(back.day, c.date.day);
  }
}

TEST(CalendarTest, ConsecutiveDaysWalkTheCalendar) {
  CivilDate expected{-401, 1, 1};
  for (std::int64_t day = DayNumberOf(expected); day < DayNumberOf({2401, 1, 1}); ++day) {
    const CivilDate date = CivilDateOf(day);
    ASSERT_TRUE(date.year == expected.year && date.month == expected.month &&
                date.day == expected.day)
        << day;
    ASSERT_EQ(DayNumberOf(date), day);
    if (++expected.day > DaysInMonth(expected.year, expected.month)) {
      expected.day = 1;
      if (++expected.month > 12) {
        expected.month = 1;
        ++expected.year;
      }
    }
  }
}

TEST(CalendarTest, LeapYearsAndMonthLengths) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_TRUE(IsValidDate({2024, 2, 29}));
  EXPECT_FALSE(IsValidDate({2023, 2, 29}));
  EXPECT_FALSE(IsValidDate({2024, 4, 31}));
  EXPECT_FALSE(IsValidDate({2024, 13, 1}));
  EXPECT_FALSE(IsValidDate({2024, 0, 1}));
  EXPECT_FALSE(IsValidDate({2024, 1, 0}));
}

TEST(CalendarTest, AutomationDatesCountTheTimeAwayFromDayZero) {
  EXPECT_EQ(AutomationDate(45351, {13, 14, 15}), 45351.0 + 13 / 24.0 + 14 / 1440.0 + 15 / 86400.0);
  EXPECT_EQ(AutomationDate(-36522, {6, 0, 0}), -36522.25);
  EXPECT_EQ(AutomationDate(0, {12, 0, 0}), 0.5);
  EXPECT_EQ(AutomationDate(-1, {18, 0, 0}), -1.75);
}

TEST(CalendarTest, SplitRoundsToTheSecondAndCarriesIntoTheNextDay) {
  const struct {
    double date;
    std::int64_t wholeDays;
    std::int64_t dayNumber;
    TimeOfDay time;
  } kCases[] = {
      {45351.55, 45351, 45351, {13, 12, 0}},
      {-1.25, -1, -1, {6, 0, 0}},
      {-0.5, 0, 0, {12, 0, 0}},
      {0.5 / 86400, 0, 0, {0, 0, 1}},  // halves up
      {0.5 / 86400 - 2e-11, 0, 0, {0, 0, 0}},
      {1.99999999, 1, 2, {0, 0, 0}},    // midnight: the next day
      {-1.99999999, -1, 0, {0, 0, 0}},  // later, also before day 0
      {2958465.9999999, 2958465, 2958466, {0, 0, 0}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.date);
    const DateAndTime parts = SplitAutomationDate(c.date);
    EXPECT_EQ(parts.wholeDays, c.wholeDays);
    EXPECT_EQ(parts.dayNumber, c.dayNumber);
    EXPECT_EQ(parts.time.hour, c.time.hour);
    EXPECT_EQ(parts.time.minute, c.time.minute);
    EXPECT_EQ(parts.time.second, c.time.second);
  }
}

}  // namespace
}  // namespace kd
