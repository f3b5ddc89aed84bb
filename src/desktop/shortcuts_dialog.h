#pragma once

#include <QDialog>

class QTableWidget;

namespace qm::desktop {

/// Help ▸ Keyboard Shortcuts: every action of `window` that has a shortcut,
/// read from the actions each time the dialog opens, so the list always
/// says what the keys do now.
class ShortcutsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ShortcutsDialog(QWidget* window);

  QTableWidget* table() const { return table_; }

  /// Fills the table from the window's actions.
  void refresh();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* window_;
  QTableWidget* table_ = nullptr;
};

}  // namespace qm::desktop
