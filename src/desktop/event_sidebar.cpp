#include "desktop/event_sidebar.h"

#include <QApplication>
#include <QLocale>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <algorithm>

#include "common/log.h"
#include "desktop/locale_text.h"
#include "desktop/qt_text.h"
#include "store/contact_queries.h"
#include "store/event.h"
#include "store/store.h"

namespace qm::desktop {

namespace {

constexpr int kDetailsRole = Qt::UserRole + 1;

/// Paints an event as its name (bold, cut short with an ellipsis when it
/// does not fit) over a quieter line of details.
class EventItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorRole textRole = selected ? QPalette::HighlightedText : QPalette::Text;
    const QRect area = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    QFont nameFont = option.font;
    nameFont.setBold(true);
    const QFontMetrics nameMetrics(nameFont);
    const QFontMetrics detailMetrics(option.font);
    painter->save();
    painter->setFont(nameFont);
    painter->setPen(option.palette.color(QPalette::Active, textRole));
    const QString name = index.data(Qt::DisplayRole).toString();
    painter->drawText(area.topLeft() + QPoint(0, nameMetrics.ascent()),
                      nameMetrics.elidedText(name, Qt::ElideRight, area.width()));
    const QString details = index.data(kDetailsRole).toString();
    if (!details.isEmpty()) {
      painter->setFont(option.font);
      QColor quiet = option.palette.color(QPalette::Active, textRole);
      if (!selected) quiet.setAlphaF(0.65f);
      painter->setPen(quiet);
      painter->drawText(area.topLeft() + QPoint(0, nameMetrics.height() + detailMetrics.ascent()),
                        detailMetrics.elidedText(details, Qt::ElideRight, area.width()));
    }
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QFont nameFont = option.font;
    nameFont.setBold(true);
    int height = QFontMetrics(nameFont).height() + 2 * kMargin;
    if (!index.data(kDetailsRole).toString().isEmpty())
      height += QFontMetrics(option.font).height();
    return {120, height};
  }

 private:
  static constexpr int kMargin = 6;
};

}  // namespace

EventSidebar::EventSidebar(DesktopContext& context, QWidget* parent)
    : QListWidget(parent), context_(context) {
  setAccessibleName(tr("Events"));
  setMinimumWidth(180);
  setItemDelegate(new EventItemDelegate(this));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTextElideMode(Qt::ElideRight);
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
  all->setData(kDetailsRole, tr("Portfolio and attention items"));
  all->setToolTip(tr("Every event that is not archived, with what needs attention"));
  for (const Event& event : *events) {
    auto counts = countContactsOfEvent(context_.store, event.id);
    QStringList details;
    if (const auto& when = event.startDate ? event.startDate : event.eventDate)
      details << mediumDate(when);
    if (counts) details << tr("%Ln contacts", nullptr, static_cast<int>(counts->contacts));
    if (event.isArchived) details << tr("archived");
    auto* item = new QListWidgetItem(qs(event.name), this);
    item->setData(kDetailsRole, details.join(QStringLiteral(" · ")));
    item->setData(Qt::AccessibleTextRole,
                  qs(event.name) + QStringLiteral(", ") + details.join(QStringLiteral(", ")));
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
