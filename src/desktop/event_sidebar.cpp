#include "desktop/event_sidebar.h"

#include <QSignalBlocker>
#include <algorithm>

#include "common/log.h"
#include "desktop/qt_text.h"
#include "store/contact_queries.h"
#include "store/event.h"
#include "store/store.h"

namespace qm::desktop {

EventSidebar::EventSidebar(DesktopContext& context, QWidget* parent)
    : QListWidget(parent), context_(context) {
  setAccessibleName(tr("Events"));
  setMinimumWidth(180);
  connect(this, &QListWidget::currentRowChanged, this,
          [this] { Q_EMIT eventChosen(currentEvent()); });
}

void EventSidebar::reload() {
  const std::optional<Uuid> chosen = currentEvent();
  const bool hadChoice = currentRow() >= 0;
  auto events = context_.store.fetch<Event>();
  if (!events) {
    log::data().error("Cannot read the events: {}", events.error().message);
    return;
  }
  std::stable_sort(events->begin(), events->end(), [](const Event& a, const Event& b) {
    if (a.isArchived != b.isArchived) return !a.isArchived;
    if (a.startDate && b.startDate) return *a.startDate > *b.startDate;
    return a.startDate.has_value() && !b.startDate.has_value();
  });

  const QSignalBlocker quiet(this);
  clear();
  auto* all = new QListWidgetItem(tr("All Events"), this);
  all->setToolTip(tr("Every event that is not archived, with what needs attention"));
  for (const Event& event : *events) {
    auto counts = countContactsOfEvent(context_.store, event.id);
    QString line = qs(event.name);
    QStringList details;
    if (const auto& when = event.startDate ? event.startDate : event.eventDate)
      details << shortDate(when);
    if (counts) details << tr("%n contact(s)", nullptr, static_cast<int>(counts->contacts));
    if (event.isArchived) details << tr("archived");
    auto* item = new QListWidgetItem(
        line + QStringLiteral("\n") + details.join(QStringLiteral(" · ")), this);
    item->setData(Qt::UserRole, uuidText(event.id));
    item->setToolTip(qs(event.name));
    if (chosen && *chosen == event.id) setCurrentItem(item);
  }
  if (!hadChoice || !chosen || currentRow() < 0) setCurrentItem(all);
  if (currentEvent() != chosen || !hadChoice) Q_EMIT eventChosen(currentEvent());
}

std::optional<Uuid> EventSidebar::currentEvent() const {
  const QListWidgetItem* item = currentItem();
  if (!item) return std::nullopt;
  return uuidFromText(item->data(Qt::UserRole).toString());
}

void EventSidebar::choose(const std::optional<Uuid>& eventID) {
  for (int i = 0; i < count(); ++i) {
    if (uuidFromText(item(i)->data(Qt::UserRole).toString()) == eventID) {
      setCurrentRow(i);
      return;
    }
  }
}

}  // namespace qm::desktop
