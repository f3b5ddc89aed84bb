#pragma once

#include <QScrollArea>
#include <optional>
#include <string>

#include "common/uuid.h"
#include "desktop/desktop_context.h"

class QVBoxLayout;

namespace qm::desktop {

/// The dashboard of one event (next actions, pipeline total, priority
/// contacts, recent activity) or, for "All Events", the portfolio (attention
/// items and the table of events).
class DashboardView : public QScrollArea {
  Q_OBJECT
 public:
  DashboardView(DesktopContext& context, QWidget* parent = nullptr);

  /// Nothing shows the portfolio.
  void setEvent(const std::optional<Uuid>& eventID);
  void reload();

 signals:
  /// A next action was chosen: list the contacts it counts (`kind`), or the
  /// drafts for "reviewDrafts".
  void actionChosen(const std::string& kind, const QString& text);
  void contactChosen(const std::optional<qm::Uuid>& contactID);
  void eventChosen(const std::optional<qm::Uuid>& eventID);

 private:
  void showEventDashboard(const Uuid& eventID);
  void showPortfolio();
  QVBoxLayout* startPage();
  void addHeading(QVBoxLayout* layout, const QString& text);

  DesktopContext& context_;
  std::optional<Uuid> eventID_;
};

}  // namespace qm::desktop
