#include "desktop/medium_date.h"

#include <QDateTime>
#include <QRegularExpression>

#include "desktop/qt_text.h"

namespace qm::desktop {

namespace {

/// The locale's long date format without the weekday and with the month's
/// short name: "dddd, MMMM d, yyyy" becomes "MMM d, yyyy".
QString mediumDateFormat(const QLocale& locale) {
  QString format = locale.dateFormat(QLocale::LongFormat);
  static const QRegularExpression kWeekday(QStringLiteral("d{3,4}"));
  static const QRegularExpression kEdges(QStringLiteral("^[\\s,.،]+|[\\s,،]+$"));
  format.remove(kWeekday).remove(kEdges);
  format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
  return format;
}

}  // namespace

QString mediumDate(const std::optional<Date>& date, const QLocale& locale) {
  if (!date) return {};
  return locale.toString(toQDateTime(*date).date(), mediumDateFormat(locale));
}

QString mediumDateTime(const std::optional<Date>& date, const QLocale& locale) {
  if (!date) return {};
  // The hour and minute: some locales' short time also has the seconds.
  static const QRegularExpression kSeconds(QStringLiteral("[:.]ss"));
  const QString time = locale.timeFormat(QLocale::ShortFormat).remove(kSeconds);
  return mediumDate(date, locale) + QLatin1Char(' ') +
         locale.toString(toQDateTime(*date).time(), time);
}

}  // namespace qm::desktop
