#pragma once

#include <QWidget>
#include <optional>

#include "common/uuid.h"
#include "desktop/desktop_context.h"

class QStackedWidget;
class QTreeWidget;

namespace qm::desktop {

/// The opportunities of one event: title, company, stage, value, timeline,
/// confidence and next step. Each row keeps the id of the contact it came
/// from under `kContactRole`; a reload keeps the current row.
class OpportunitiesView : public QWidget {
  Q_OBJECT
 public:
  OpportunitiesView(DesktopContext& context, QWidget* parent = nullptr);
  void setEvent(const std::optional<Uuid>& eventID);
  void reload();
  void reveal(const Uuid& opportunityID);
  QTreeWidget* tree() const { return tree_; }

 private:
  DesktopContext& context_;
  std::optional<Uuid> eventID_;
  QStackedWidget* pages_ = nullptr;
  QTreeWidget* tree_ = nullptr;
};

}  // namespace qm::desktop
