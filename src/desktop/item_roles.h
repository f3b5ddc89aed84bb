#pragma once

#include <Qt>

namespace qm::desktop {

/// Where the list views keep, on each row's first column, the id of the
/// record it shows and of the contact it belongs to (UUID text).
inline constexpr int kRecordRole = Qt::UserRole;
inline constexpr int kContactRole = Qt::UserRole + 1;

}  // namespace qm::desktop
