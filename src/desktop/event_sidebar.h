#pragma once

#include <QListWidget>
#include <optional>

#include "common/uuid.h"
#include "desktop/desktop_context.h"

namespace qm::desktop {

/// The event list on the left: "All Events" (the portfolio) first, then the
/// events, latest start first, each with its date and contact count.
class EventSidebar : public QListWidget {
  Q_OBJECT
 public:
  EventSidebar(DesktopContext& context, QWidget* parent = nullptr);

  /// Reads the events again, keeping the chosen one when it still exists.
  void reload();
  /// Nothing for "All Events".
  std::optional<Uuid> currentEvent() const;
  void choose(const std::optional<Uuid>& eventID);

 signals:
  void eventChosen(const std::optional<qm::Uuid>& eventID);

 private:
  DesktopContext& context_;
};

}  // namespace qm::desktop
