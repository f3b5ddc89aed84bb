#include "desktop/detail/desk_identity.h"

#include <QJsonObject>
#include <QPointer>
#include <algorithm>

#include "desktop/companion_link.h"
#include "desktop/qt_text.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"

namespace qm::desktop {

DeskIdentity::DeskIdentity(DesktopContext& context, QObject* parent)
    : QObject(parent), context_(context) {
  connect(&context_.link, &CompanionLink::pairingChanged, this, &DeskIdentity::ask);
  ask();
}

void DeskIdentity::ask() {
  QPointer<DeskIdentity> self(this);
  context_.link.request(
      {{QStringLiteral("command"), QStringLiteral("status")}},
      [self](const QJsonObject& status, const QString&) {
        if (!self || status.isEmpty()) return;
        self->deviceID_ = status.value(QStringLiteral("deviceID")).toString();
        QStringList own;
        if (const QString phone = status.value(QStringLiteral("syncSenderName")).toString();
            !phone.trimmed().isEmpty())
          own << phone.trimmed();
        UserDefaults defaults(self->context_.paths.defaultsFile());
        if (const QString name = qs(AppSettings(defaults).displayName()).trimmed(); !name.isEmpty())
          own << name;
        self->ownNames_ = own;
        Q_EMIT self->changed();
      });
}

bool DeskIdentity::wroteHere(const ContactNote& note) const {
  return !deviceID_.isEmpty() && note.createdByDeviceID &&
         qs(*note.createdByDeviceID).compare(deviceID_, Qt::CaseInsensitive) == 0;
}

QStringList DeskIdentity::teammates(const std::vector<std::string>& names) const {
  QStringList kept;
  for (const std::string& name : names) {
    const QString shown = qs(name).trimmed();
    if (shown.isEmpty()) continue;
    const bool own = std::any_of(ownNames_.begin(), ownNames_.end(), [&](const QString& mine) {
      return mine.compare(shown, Qt::CaseInsensitive) == 0;
    });
    if (!own) kept << shown;
  }
  return kept;
}

}  // namespace qm::desktop
