#include "desktop/flow_layout.h"

#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace qm::desktop {

FlowLayout::FlowLayout(QWidget* parent, int spacing) : QLayout(parent), spacing_(spacing) {
  setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
  while (QLayoutItem* item = takeAt(0)) delete item;
}

void FlowLayout::addItem(QLayoutItem* item) {
  items_.append(item);
}

int FlowLayout::count() const {
  return static_cast<int>(items_.size());
}

QLayoutItem* FlowLayout::itemAt(int index) const {
  return items_.value(index);
}

QLayoutItem* FlowLayout::takeAt(int index) {
  return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

Qt::Orientations FlowLayout::expandingDirections() const {
  return {};
}

bool FlowLayout::hasHeightForWidth() const {
  return true;
}

int FlowLayout::heightForWidth(int width) const {
  return arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const {
  QSize size;
  for (const QLayoutItem* item : items_)
    if (!item->isEmpty()) size = size.expandedTo(item->minimumSize());
  const QMargins margins = contentsMargins();
  return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize FlowLayout::sizeHint() const {
  // Everything on one row.
  int width = 0;
  int height = 0;
  int shown = 0;
  for (const QLayoutItem* item : items_) {
    if (item->isEmpty()) continue;
    const QSize hint = item->sizeHint();
    width += hint.width() + (shown++ > 0 ? gap(Qt::Horizontal) : 0);
    height = std::max(height, hint.height());
  }
  const QMargins margins = contentsMargins();
  return {width + margins.left() + margins.right(), height + margins.top() + margins.bottom()};
}

void FlowLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  arrange(rect, true);
}

int FlowLayout::gap(Qt::Orientation orientation) const {
  if (spacing_ >= 0) return spacing_;
  const QWidget* parent = parentWidget();
  if (!parent) return 6;
  const int spacing = parent->style()->pixelMetric(orientation == Qt::Horizontal
                                                       ? QStyle::PM_LayoutHorizontalSpacing
                                                       : QStyle::PM_LayoutVerticalSpacing,
                                                   nullptr, parent);
  return spacing >= 0 ? spacing : 6;
}

int FlowLayout::arrange(const QRect& rect, bool place) const {
  const QRect area = rect.marginsRemoved(contentsMargins());
  // Each row's items and their sizes, then each placed in the middle of its row.
  struct Placed {
    QLayoutItem* item;
    QSize size;
  };
  std::vector<std::vector<Placed>> rows(1);
  int x = area.x();
  for (QLayoutItem* item : items_) {
    if (item->isEmpty()) continue;
    const QSize hint = item->sizeHint().boundedTo(QSize(area.width(), QWIDGETSIZE_MAX));
    const QSize size = hint.expandedTo(item->minimumSize().boundedTo(QSize(area.width(), 0)));
    if (x > area.x() && x + size.width() > area.right() + 1) {
      rows.emplace_back();
      x = area.x();
    }
    rows.back().push_back({item, size});
    x += size.width() + gap(Qt::Horizontal);
  }
  int y = area.y();
  bool first = true;
  for (const auto& row : rows) {
    if (row.empty()) continue;
    if (!first) y += gap(Qt::Vertical);
    first = false;
    int height = 0;
    for (const Placed& placed : row) height = std::max(height, placed.size.height());
    if (place) {
      int left = area.x();
      for (const Placed& placed : row) {
        placed.item->setGeometry(
            QRect(QPoint(left, y + (height - placed.size.height()) / 2), placed.size));
        left += placed.size.width() + gap(Qt::Horizontal);
      }
    }
    y += height;
  }
  return y - rect.y() + contentsMargins().bottom();
}

}  // namespace qm::desktop
