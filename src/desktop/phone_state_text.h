#pragma once

#include <QJsonObject>
#include <QString>

namespace qm::desktop {

/// Where the phone stands, in the window's language, from the companion's
/// pairing state ("state", "bonded", "phone" as the change feed reports them):
/// the same wording as the tray and `quillmere status`.
QString phoneStateText(const QJsonObject& pairing);

/// "Last sync: …" with the time (ISO 8601) in the locale's medium format, or
/// "Never synced" when `isoTime` is empty.
QString lastSyncText(const QString& isoTime);

/// The pairing fields of the companion's `status` answer in the change
/// feed's form, so a window can start from it and follow the feed.
QJsonObject pairingFromStatus(const QJsonObject& status);

}  // namespace qm::desktop
