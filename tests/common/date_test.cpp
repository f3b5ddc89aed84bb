#include "common/date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace qm {
namespace {

// 2026-03-01T09:30:00Z, worked out independently of the code under test.
constexpr std::int64_t kMarchFirst = 1772357400;

TEST(DateFormat, WritesUtcWholeSecondsTruncatingTowardTheEarlierSecond) {
  const std::pair<Date, std::string> cases[] = {
      {dateFromUnixSeconds(0), "1970-01-01T00:00:00Z"},
      {dateFromUnixSeconds(kMarchFirst, 999'999), "2026-03-01T09:30:00Z"},
      {dateFromUnixSeconds(951782400), "2000-02-29T00:00:00Z"},
      {dateFromUnixSeconds(-1), "1969-12-31T23:59:59Z"},
      {dateFromUnixSeconds(0, -500'000), "1969-12-31T23:59:59Z"},  // half a second before 1970
      {dateFromUnixSeconds(-2208988800), "1900-01-01T00:00:00Z"},
  };
  for (const auto& [date, text] : cases) EXPECT_EQ(formatISO8601(date), text);
  EXPECT_EQ(unixMicros(dateFromUnixSeconds(-1, 500'000)), -500'000);
  EXPECT_EQ(fileTimestamp(dateFromUnixSeconds(1796562960, 123)), "20261206T131600Z");
  EXPECT_EQ(fileTimestamp(dateFromUnixSeconds(0, -1)), "19691231T235959Z");
}

TEST(DateParse, ReadsUtcAndNumericOffsets) {
  const std::pair<std::string, std::int64_t> cases[] = {
      {"2026-03-01T09:30:00Z", kMarchFirst},      {"1969-12-31T23:59:59Z", -1},
      {"2026-03-01T11:30:00+02:00", kMarchFirst},  // two hours east of Greenwich
      {"2026-03-01T04:00:00-05:30", kMarchFirst}, {"2026-03-01T09:30:00-00:00", kMarchFirst},
      {"2027-01-01T01:00:00+02:00", 1798758000},  // back across a year boundary
      {"2024-02-29T12:00:00Z", 1709208000},       // divisible by 4
      {"2000-02-29T12:00:00Z", 951825600},        // divisible by 400
  };
  for (const auto& [text, seconds] : cases)
    EXPECT_EQ(parseISO8601(text), dateFromUnixSeconds(seconds)) << text;
  for (std::int64_t s : {std::int64_t{-2208988800}, std::int64_t{0}, std::int64_t{4102444799}})
    EXPECT_EQ(parseISO8601(formatISO8601(dateFromUnixSeconds(s))), dateFromUnixSeconds(s)) << s;
}

// Every accepted text must have a text form to write back (found by fuzzing).
TEST(DateParse, RefusesOffsetsThatLeaveTheFourDigitYears) {
  EXPECT_FALSE(parseISO8601("0000-01-01T00:00:00+00:01"));
  EXPECT_FALSE(parseISO8601("9999-12-31T23:59:59-00:01"));
  auto first = parseISO8601("0000-01-01T00:01:00+00:01");
  ASSERT_TRUE(first);
  EXPECT_EQ(formatISO8601(*first), "0000-01-01T00:00:00Z");
  auto last = parseISO8601("9999-12-31T23:59:59Z");
  ASSERT_TRUE(last);
  EXPECT_EQ(parseISO8601(formatISO8601(*last)), last);
}

TEST(DateParse, RefusesOutOfRangeFieldsAndLooseSyntax) {
  const char* const bad[] = {
      // out of range: no leap day (also in 1900), months, days, hours, leap seconds, offsets
      "2023-02-29T12:00:00Z", "1900-02-29T12:00:00Z", "2026-00-10T10:00:00Z",
      "2026-13-10T10:00:00Z", "2026-04-31T10:00:00Z", "2026-04-00T10:00:00Z",
      "2026-04-10T24:00:00Z", "2026-04-10T10:60:00Z", "2026-04-10T10:00:60Z",
      "2026-04-10T10:00:00+24:00", "2026-04-10T10:00:00+02:60",
      // wrong length: empty, no zone, fractions, short offset, one-digit month
      "", "2026-03-01T09:30:00", "2026-03-01T09:30:00.5Z", "2026-03-01T09:30:00+02",
      "2026-3-01T09:30:00Z",
      // right length, wrong characters
      "2026-03-01t09:30:00Z", "2026/03/01T09:30:00Z", "2026-03-01T09:30:00z",
      "2026-03-01T09:30:00Zjunk!", "2026-03-01T09:30:00+02000", "+026-03-01T09:30:00Z",
      "2026-03-01T09:30:0aZ"};
  for (const char* text : bad) EXPECT_FALSE(parseISO8601(text).has_value()) << text;
}

TEST(CalendarDays, CountInLocalTimeAcrossADaylightSavingChange) {
  const char* before = std::getenv("TZ");
  const std::string saved = before ? before : "";
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  // 15 April, 12:00 summer time; 30 days earlier is 16 March, 12:00 winter
  // time: one hour less than 720 hours.
  const Date april = *parseISO8601("2026-04-15T12:00:00+02:00");
  EXPECT_EQ(calendarDaysBefore(april, 30), *parseISO8601("2026-03-16T12:00:00+01:00"));
  EXPECT_EQ(calendarDaysBefore(april + std::chrono::microseconds(7), 1),
            *parseISO8601("2026-04-14T12:00:00+02:00") + std::chrono::microseconds(7));
  if (before) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace
}  // namespace qm
