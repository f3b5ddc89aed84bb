#pragma once

#include <QDialog>

#include "desktop/desktop_context.h"

namespace qm::desktop {

/// The import sheet: asks the phone for its events, marks those already on
/// this computer, imports the selected ones with progress, and ends with
/// "Import Complete".
class ImportSheet : public QDialog {
  Q_OBJECT
 public:
  ImportSheet(DesktopContext& context, QWidget* parent);

  /// Shows the sheet and asks the phone for its events.
  void start();

 private:
  DesktopContext& context_;
};

}  // namespace qm::desktop
