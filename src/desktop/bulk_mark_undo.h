#pragma once

#include <QJsonObject>
#include <set>
#include <span>

#include "common/uuid.h"
#include "ui/list_contact.h"

namespace qm::desktop {

/// The two marks the contacts list gives many contacts at once.
enum class BulkMark { target, met };

/// The companion request that gives the `selected` contacts of
/// `eventContacts` back the fields `mark` changes ("isTarget", or "status" and
/// "metAt") as they are now: sent after the mark, it takes the mark back in one
/// step, and the companion pushes the restored contacts to the phone.
QJsonObject bulkMarkUndo(std::span<const ListContact> eventContacts, const std::set<Uuid>& selected,
                         BulkMark mark);

}  // namespace qm::desktop
