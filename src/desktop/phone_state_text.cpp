#include "desktop/phone_state_text.h"

#include <QDateTime>
#include <QLocale>

#include "desktop/language.h"
#include "desktop/locale_text.h"
#include "desktop/qt_text.h"
#include "ui/phone_state.h"

namespace qm::desktop {

QString phoneStateText(const QJsonObject& pairing) {
  const PhoneState state =
      phoneState(utf8(pairing.value("state").toString()), pairing.value("bonded").toBool());
  QString text = coreText(qm::phoneStateText(state));
  if (!text.contains(QLatin1String("%1"))) return text;
  const QString phone = pairing.value("phone").toString();
  return text.arg(phone.isEmpty() ? coreText(kUnnamedPhoneText) : phone);
}

QString lastSyncText(const QString& isoTime) {
  const QDateTime when = QDateTime::fromString(isoTime, Qt::ISODate);
  if (!when.isValid()) return coreText(kNeverSyncedText);
  return coreText(kLastSyncText).arg(mediumDateTime(when));
}

QJsonObject pairingFromStatus(const QJsonObject& status) {
  return {{"state", status.value("pairingState")},
          {"stateText", status.value("pairingStateText")},
          {"bonded", status.value("bonded")},
          {"phone", status.value("phone")}};
}

}  // namespace qm::desktop
