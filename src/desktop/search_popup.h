#pragma once

#include <QDialog>
#include <optional>

#include "common/uuid.h"
#include "desktop/desktop_context.h"
#include "search/search_result.h"

namespace qm::desktop {

/// The global search (Ctrl+K): a field and the hits grouped by kind; arrow
/// keys move through the hits, Enter goes to the chosen one, Escape closes.
class SearchPopup : public QDialog {
  Q_OBJECT
 public:
  SearchPopup(DesktopContext& context, QWidget* parent);
  ~SearchPopup() override;

  /// Shows the popup with the field focused and its text selected.
  void popUp();

 signals:
  void navigate(const qm::NavigationIntent& intent);

 private:
  DesktopContext& context_;
};

}  // namespace qm::desktop
