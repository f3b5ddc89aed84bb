#include "desktop/chart_widget.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace qm::desktop {

ChartWidget::ChartWidget(ChartView chart, QWidget* parent)
    : QWidget(parent), chart_(std::move(chart)) {
  setAccessibleName(chart_.title);
  setAccessibleDescription(chart_.textEquivalent());
  setMouseTracking(true);
  setFocusPolicy(chart_.bars.empty() ? Qt::NoFocus : Qt::StrongFocus);
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
}

QRectF ChartWidget::barRect(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= hits_.size()) return {};
  return hits_[static_cast<std::size_t>(index)];
}

int ChartWidget::heightForWidth(int width) const {
  return static_cast<int>(std::ceil(chartHeight(chart_, font(), width, this)));
}

QSize ChartWidget::sizeHint() const {
  const int width = 480;
  return {width, heightForWidth(width)};
}

QSize ChartWidget::minimumSizeHint() const {
  return {160, heightForWidth(160)};
}

void ChartWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  hits_ = paintChart(painter, QRectF(rect()), chart_, ChartColors::from(palette()), font(),
                     hasFocus() ? focused_ : -1);
}

int ChartWidget::barAt(const QPointF& point) const {
  for (std::size_t i = 0; i < hits_.size(); ++i)
    if (hits_[i].contains(point)) return static_cast<int>(i);
  return -1;
}

bool ChartWidget::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int bar = barAt(help->pos());
    if (bar >= 0) {
      QToolTip::showText(help->globalPos(), chart_.bars[static_cast<std::size_t>(bar)].toolTip,
                         this, barRect(bar).toRect());
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QWidget::event(event);
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event) {
  setCursor(barAt(event->position()) >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
  QWidget::mouseMoveEvent(event);
}

void ChartWidget::mousePressEvent(QMouseEvent* event) {
  const int bar = event->button() == Qt::LeftButton ? barAt(event->position()) : -1;
  if (bar < 0) {
    QWidget::mousePressEvent(event);
    return;
  }
  focused_ = bar;
  update();
  Q_EMIT barChosen(bar);
}

void ChartWidget::keyPressEvent(QKeyEvent* event) {
  const int count = static_cast<int>(chart_.bars.size());
  if (count == 0) {
    QWidget::keyPressEvent(event);
    return;
  }
  const bool columns = chart_.shape == ChartShape::columns;
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      if ((event->key() == Qt::Key_Left) != columns) break;
      focused_ = std::max(focused_ - 1, 0);
      update();
      return;
    case Qt::Key_Right:
    case Qt::Key_Down:
      if ((event->key() == Qt::Key_Right) != columns) break;
      focused_ = std::min(focused_ + 1, count - 1);
      update();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      Q_EMIT barChosen(focused_);
      return;
    default:
      break;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace qm::desktop
