#pragma once

#include <QWidget>
#include <vector>

#include "desktop/chart_painter.h"

namespace qm::desktop {

/// One chart of a dashboard: a tool tip per bar, the chart's text equivalent
/// as its accessible description, and a bar chosen with the mouse or with the
/// arrow keys and Enter.
class ChartWidget : public QWidget {
  Q_OBJECT
 public:
  explicit ChartWidget(ChartView chart, QWidget* parent = nullptr);

  const ChartView& chart() const { return chart_; }
  /// Where bar `index` was last drawn, in the widget's coordinates (empty
  /// before the first paint).
  QRectF barRect(int index) const;

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void barChosen(int index);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int barAt(const QPointF& point) const;

  ChartView chart_;
  std::vector<QRectF> hits_;
  int focused_ = 0;
};

}  // namespace qm::desktop
