#pragma once

#include <QLocale>
#include <QString>
#include <optional>

#include "common/date.h"

namespace qm::desktop {

/// The locale's date with the month by name and no weekday: "Dec 7, 2026",
/// "7 déc. 2026", never the all-digit "12/7/26" whose order differs by country.
QString mediumDate(const std::optional<Date>& date, const QLocale& locale = QLocale());

/// `mediumDate` and the locale's short time: "Dec 7, 2026 9:30 AM", "7 déc. 2026 09:30".
QString mediumDateTime(const std::optional<Date>& date, const QLocale& locale = QLocale());

}  // namespace qm::desktop
