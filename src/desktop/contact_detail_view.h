#pragma once

#include <QWidget>
#include <optional>

#include "common/uuid.h"
#include "desktop/desktop_context.h"

namespace qm::desktop {

/// The detail pane: one contact's fields in groups, its meeting indicator,
/// notes, opportunities, capture images (opening a preview) and drafts.
/// Read-only; it reloads when the records change.
class ContactDetailView : public QWidget {
  Q_OBJECT
 public:
  explicit ContactDetailView(DesktopContext& context, QWidget* parent = nullptr);

  /// Shows the contact, or the empty state for nothing.
  void showContact(const std::optional<Uuid>& contactID);
  std::optional<Uuid> contactID() const { return contactID_; }
  /// Reads the shown contact again (it may have changed or gone).
  void reload();

 signals:
  void draftChosen(const qm::Uuid& draftID);

 private:
  DesktopContext& context_;
  std::optional<Uuid> contactID_;
};

}  // namespace qm::desktop
