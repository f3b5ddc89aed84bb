#pragma once

#include <QMessageBox>
#include <QString>

namespace qm::desktop {

/// What a confirmation asks: its title and question, the explanation under
/// it, and the button that goes ahead (beside "Cancel", which is the default).
struct Confirmation {
  QString title;
  QString question;
  QString explanation;
  QString action;
  /// Destructive for what cannot be undone (deleting, forgetting, resetting).
  QMessageBox::ButtonRole role = QMessageBox::DestructiveRole;
  QMessageBox::Icon icon = QMessageBox::Warning;
};

/// Asks, modally over `parent`; true only when the user chose the action.
bool confirm(QWidget* parent, const Confirmation& asked);

}  // namespace qm::desktop
