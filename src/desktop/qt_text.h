#pragma once

#include <QDateTime>
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
inline QString uuidText(const Uuid& id) {
  return qs(id.str());
}
inline std::optional<Uuid> uuidFromText(const QString& text) {
  return Uuid::parse(utf8(text));
}

}  // namespace qm::desktop
