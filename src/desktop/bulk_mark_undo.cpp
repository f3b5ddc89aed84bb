#include "desktop/bulk_mark_undo.h"

#include <QJsonArray>

#include "common/date.h"
#include "common/enum_info.h"
#include "desktop/qt_text.h"

namespace qm::desktop {

QJsonObject bulkMarkUndo(std::span<const ListContact> eventContacts, const std::set<Uuid>& selected,
                         BulkMark mark) {
  QJsonArray contacts;
  for (const ListContact& c : eventContacts) {
    if (!selected.contains(c.id)) continue;
    QJsonObject fields;
    if (mark == BulkMark::target) {
      fields[QStringLiteral("isTarget")] = c.isTarget;
    } else {
      fields[QStringLiteral("status")] = qs(std::string(rawValue(c.status)));
      fields[QStringLiteral("metAt")] =
          c.metAt ? QJsonValue(qs(formatISO8601(*c.metAt))) : QJsonValue(QJsonValue::Null);
    }
    contacts.append(QJsonObject{{QStringLiteral("id"), uuidText(c.id)}, {"fields", fields}});
  }
  return {{QStringLiteral("command"), QStringLiteral("contacts.update")},
          {QStringLiteral("contacts"), contacts}};
}

}  // namespace qm::desktop
