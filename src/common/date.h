#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

/// A point in time, UTC, with microsecond precision. The store keeps the full
/// precision; the ISO 8601 text form keeps whole seconds.
using Date = std::chrono::sys_time<std::chrono::microseconds>;

/// The current time.
Date now();

/// Builds a date from seconds (and optional microseconds) since 1970-01-01T00:00:00Z.
Date dateFromUnixSeconds(std::int64_t seconds, std::int64_t micros = 0);
std::int64_t unixMicros(Date date);

/// Internet date-time (RFC 3339) in UTC with whole seconds, e.g. "2026-03-01T09:30:00Z".
/// Sub-second parts are truncated toward the earlier second.
std::string formatISO8601(Date date);

/// Strict RFC 3339 parsing: "YYYY-MM-DDTHH:MM:SS" followed by "Z" or a numeric
/// offset "+HH:MM"/"-HH:MM". Fractional seconds, missing zones, out-of-range fields
/// and trailing text are refused.
std::optional<Date> parseISO8601(std::string_view text);

/// The same wall-clock time `days` calendar days before `date`, in the local
/// time zone: across a daylight-saving change that is an hour more or less
/// than `days` times 24 hours.
Date calendarDaysBefore(Date date, int days);

/// A compact UTC stamp for file names, e.g. "20261206T131600Z".
std::string fileTimestamp(Date date);

}  // namespace qm
