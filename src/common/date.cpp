#include "common/date.h"

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace qm {

namespace {

using std::chrono::days;
using std::chrono::floor;
using std::chrono::hours;
using std::chrono::microseconds;
using std::chrono::minutes;
using std::chrono::seconds;

// The calendar fields of a date, in UTC, with sub-seconds dropped toward the
// earlier second (floor, so 1969-12-31T23:59:59.5 stays in 23:59:59).
struct Fields {
  int year;
  unsigned month;
  unsigned day;
  long hour;
  long minute;
  long second;
};

Fields fieldsOf(Date date) {
  const auto wholeSeconds = floor<seconds>(date);
  const auto day = floor<days>(wholeSeconds);
  const std::chrono::year_month_day ymd{day};
  const std::chrono::hh_mm_ss time{wholeSeconds - day};
  return Fields{static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()),
                static_cast<long>(time.hours().count()),
                static_cast<long>(time.minutes().count()),
                static_cast<long>(time.seconds().count())};
}

// Reads exactly `count` decimal digits at `pos`; signs and spaces are refused.
std::optional<int> digits(std::string_view text, std::size_t pos, std::size_t count) {
  if (pos + count > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

Date now() {
  return floor<microseconds>(std::chrono::system_clock::now());
}

Date dateFromUnixSeconds(std::int64_t secs, std::int64_t micros) {
  return Date{seconds{secs} + microseconds{micros}};
}

std::int64_t unixMicros(Date date) {
  return date.time_since_epoch().count();
}

std::string formatISO8601(Date date) {
  const Fields f = fieldsOf(date);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02ld:%02ld:%02ldZ", f.year, f.month, f.day,
                f.hour, f.minute, f.second);
  return buffer;
}

std::optional<Date> parseISO8601(std::string_view text) {
  // "YYYY-MM-DDTHH:MM:SS" is 19 characters; the zone is "Z" or "+HH:MM".
  constexpr std::size_t kDateTimeLength = 19;
  if (text.size() != kDateTimeLength + 1 && text.size() != kDateTimeLength + 6) {
    return std::nullopt;
  }
  if (text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':') {
    return std::nullopt;
  }
  const auto year = digits(text, 0, 4);
  const auto month = digits(text, 5, 2);
  const auto day = digits(text, 8, 2);
  const auto hour = digits(text, 11, 2);
  const auto minute = digits(text, 14, 2);
  const auto second = digits(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  // Leap seconds (":60") are refused: the clock we store cannot represent them.
  if (*hour > 23 || *minute > 59 || *second > 59) return std::nullopt;

  const std::chrono::year_month_day ymd{std::chrono::year{*year},
                                        std::chrono::month{static_cast<unsigned>(*month)},
                                        std::chrono::day{static_cast<unsigned>(*day)}};
  if (!ymd.ok()) return std::nullopt;  // month 13, April 31, Feb 29 outside leap years...

  minutes offset{0};
  const char zone = text[kDateTimeLength];
  if (zone == 'Z') {
    if (text.size() != kDateTimeLength + 1) return std::nullopt;
  } else if (zone == '+' || zone == '-') {
    if (text.size() != kDateTimeLength + 6 || text[kDateTimeLength + 3] != ':') {
      return std::nullopt;
    }
    const auto offsetHours = digits(text, kDateTimeLength + 1, 2);
    const auto offsetMinutes = digits(text, kDateTimeLength + 4, 2);
    if (!offsetHours || !offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59) {
      return std::nullopt;
    }
    offset = hours{*offsetHours} + minutes{*offsetMinutes};
    if (zone == '-') offset = -offset;
  } else {
    return std::nullopt;
  }

  // Local time minus its offset from UTC gives UTC.
  const auto local =
      std::chrono::sys_days{ymd} + hours{*hour} + minutes{*minute} + seconds{*second};
  const Date utc{local - offset};
  // An offset can carry the first or last minutes of the four-digit years
  // outside them; such an instant has no text form to write back.
  const auto utcYear =
      std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(utc)}.year();
  if (utcYear < std::chrono::year{0} || utcYear > std::chrono::year{9999}) return std::nullopt;
  return utc;
}

Date calendarDaysBefore(Date date, int days) {
  const auto wholeSeconds = floor<seconds>(date);
  const std::time_t time = std::chrono::system_clock::to_time_t(wholeSeconds);
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return date - days * std::chrono::hours(24);
  local.tm_mday -= days;
  local.tm_isdst = -1;  // whatever is in force on that day
  const std::time_t earlier = std::mktime(&local);
  if (earlier == static_cast<std::time_t>(-1)) return date - days * std::chrono::hours(24);
  return Date{seconds{earlier}} + (date - wholeSeconds);
}

std::string fileTimestamp(Date date) {
  const Fields f = fieldsOf(date);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d%02u%02uT%02ld%02ld%02ldZ", f.year, f.month, f.day,
                f.hour, f.minute, f.second);
  return buffer;
}

}  // namespace qm
