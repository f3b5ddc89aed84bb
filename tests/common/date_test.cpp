#include "common/date.h"

#include <gtest/gtest.h>

#include <string>

namespace qm {
namespace {

using std::chrono::hours;
using std::chrono::microseconds;
using std::chrono::minutes;
using std::chrono::seconds;

// 2026-03-01T09:30:00Z, worked out independently of the code under test.
constexpr std::int64_t kMarchFirst = 1772357400;

TEST(Date, UnixSecondsAndMicrosRoundTrip) {
  const Date d = dateFromUnixSeconds(kMarchFirst, 250'000);
  EXPECT_EQ(unixMicros(d), kMarchFirst * 1'000'000 + 250'000);
  EXPECT_EQ(unixMicros(dateFromUnixSeconds(-1, 500'000)), -500'000);
}

TEST(DateFormat, WritesUtcWithWholeSeconds) {
  EXPECT_EQ(formatISO8601(dateFromUnixSeconds(0)), "1970-01-01T00:00:00Z");
  EXPECT_EQ(formatISO8601(dateFromUnixSeconds(kMarchFirst)), "2026-03-01T09:30:00Z");
  EXPECT_EQ(formatISO8601(dateFromUnixSeconds(kMarchFirst, 999'999)), "2026-03-01T09:30:00Z");
  EXPECT_EQ(formatISO8601(dateFromUnixSeconds(951782400)), "2000-02-29T00:00:00Z");
}

TEST(DateFormat, TruncatesBefore1970TowardTheEarlierSecond) {
  EXPECT_EQ(formatISO8601(dateFromUnixSeconds(-1)), "1969-12-31T23:59:59Z");
  // Half a second before the epoch belongs to the last second of 1969.
  EXPECT_EQ(formatISO8601(dateFromUnixSeconds(0, -500'000)), "1969-12-31T23:59:59Z");
  EXPECT_EQ(formatISO8601(dateFromUnixSeconds(-86400 * 365)), "1969-01-01T00:00:00Z");
  EXPECT_EQ(formatISO8601(dateFromUnixSeconds(-2208988800)), "1900-01-01T00:00:00Z");
}

TEST(DateFormat, FileTimestampIsCompact) {
  // 2026-12-06T13:16:00Z
  EXPECT_EQ(fileTimestamp(dateFromUnixSeconds(1796562960, 123)), "20261206T131600Z");
  EXPECT_EQ(fileTimestamp(dateFromUnixSeconds(0, -1)), "19691231T235959Z");
}

TEST(DateParse, ReadsUtc) {
  EXPECT_EQ(parseISO8601("2026-03-01T09:30:00Z"), dateFromUnixSeconds(kMarchFirst));
  EXPECT_EQ(parseISO8601("1970-01-01T00:00:00Z"), dateFromUnixSeconds(0));
  EXPECT_EQ(parseISO8601("1969-12-31T23:59:59Z"), dateFromUnixSeconds(-1));
}

TEST(DateParse, AppliesNumericOffsets) {
  // 11:30 two hours east of Greenwich is 09:30 UTC; 04:00 five and a half hours west is 09:30.
  EXPECT_EQ(parseISO8601("2026-03-01T11:30:00+02:00"), dateFromUnixSeconds(kMarchFirst));
  EXPECT_EQ(parseISO8601("2026-03-01T04:00:00-05:30"), dateFromUnixSeconds(kMarchFirst));
  EXPECT_EQ(parseISO8601("2026-03-01T09:30:00+00:00"), dateFromUnixSeconds(kMarchFirst));
  EXPECT_EQ(parseISO8601("2026-03-01T09:30:00-00:00"), dateFromUnixSeconds(kMarchFirst));
  // Offsets can move the date across a day (and year) boundary.
  EXPECT_EQ(parseISO8601("2027-01-01T01:00:00+02:00"), parseISO8601("2026-12-31T23:00:00Z"));
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

TEST(DateParse, RoundTripsWithFormat) {
  for (std::int64_t s : {std::int64_t{-2208988800}, std::int64_t{-1}, std::int64_t{0}, kMarchFirst,
                         std::int64_t{4102444799}}) {
    const Date d = dateFromUnixSeconds(s);
    EXPECT_EQ(parseISO8601(formatISO8601(d)), d) << s;
  }
}

TEST(DateParse, FollowsLeapYearRules) {
  EXPECT_TRUE(parseISO8601("2024-02-29T12:00:00Z").has_value());  // divisible by 4
  EXPECT_TRUE(parseISO8601("2000-02-29T12:00:00Z").has_value());  // divisible by 400
  EXPECT_FALSE(parseISO8601("2023-02-29T12:00:00Z").has_value());
  EXPECT_FALSE(parseISO8601("1900-02-29T12:00:00Z").has_value());  // century, not by 400
  EXPECT_FALSE(parseISO8601("2024-02-30T12:00:00Z").has_value());
}

TEST(DateParse, RefusesOutOfRangeFields) {
  const char* const bad[] = {
      "2026-00-10T10:00:00Z",      "2026-13-10T10:00:00Z",      "2026-04-31T10:00:00Z",
      "2026-04-00T10:00:00Z",      "2026-04-10T24:00:00Z",      "2026-04-10T10:60:00Z",
      "2026-04-10T10:00:60Z",  // leap second
      "2026-04-10T10:00:00+24:00", "2026-04-10T10:00:00+02:60",
  };
  for (const char* text : bad) EXPECT_FALSE(parseISO8601(text).has_value()) << text;
}

TEST(DateParse, RefusesLooseSyntax) {
  const char* const bad[] = {
      "",
      "2026-03-01T09:30:00",     // no zone
      "2026-03-01T09:30:00.5Z",  // fractional seconds
      "2026-03-01T09:30:00.000+02:00",
      "2026-03-01t09:30:00Z",   // lower-case separator
      "2026-03-01T09:30:00z",   // lower-case zone
      "2026-03-01 09:30:00Z",   // space separator
      "2026-03-01T09:30:00Z ",  // trailing text
      "2026-03-01T09:30:00Zjunk",
      "2026-03-01T09:30:00+0200",  // offset without colon
      "2026-03-01T09:30:00+02",
      "2026-3-01T09:30:00Z",  // short month
      "26-03-01T09:30:00Z",
      "2026-03-01T9:30:00Z",
      "+026-03-01T09:30:00Z",  // sign in a digit field
      "2026-03-01T09:30:0aZ",
      "2026/03/01T09:30:00Z",
  };
  for (const char* text : bad) EXPECT_FALSE(parseISO8601(text).has_value()) << text;
}

}  // namespace
}  // namespace qm
