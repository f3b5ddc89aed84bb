#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "common/date.h"
#include "common/uuid.h"

namespace qm::desktop {

inline QString qs(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline QString qs(const std::string& text) {
  return qs(std::string_view(text));
}
inline QString qs(const char* text) {
  return QString::fromUtf8(text);
}
inline QString qs(const std::optional<std::string>& text) {
  return text ? qs(*text) : QString();
}
inline std::string utf8(const QString& text) {
  return text.toStdString();
}

inline QDateTime toQDateTime(Date date) {
  return QDateTime::fromMSecsSinceEpoch(unixMicros(date) / 1000);
}
/// A date as the user's locale writes it briefly ("7 Dec 2026").
inline QString shortDate(const std::optional<Date>& date) {
  if (!date) return {};
  return QLocale().toString(toQDateTime(*date).date(), QLocale::ShortFormat);
}
/// An amount with its currency code, as the user's locale writes numbers: "12,500.00 EUR".
inline QString moneyText(double amount, std::string_view currency) {
  return QLocale().toString(amount, 'f', 2) + QLatin1Char(' ') + qs(currency);
}
inline QString uuidText(const Uuid& id) {
  return qs(id.str());
}
inline std::optional<Uuid> uuidFromText(const QString& text) {
  return Uuid::parse(utf8(text));
}

}  // namespace qm::desktop
