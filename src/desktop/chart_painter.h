#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

#include "common/uuid.h"

class QPainter;
class QPalette;

namespace qm::desktop {

/// One bar as a person reads it: its label, its length, the figure written
/// beside it, and what choosing it opens.
struct ChartBarView {
  QString label;
  double value = 0;
  /// Drawn solid over the start of the bar (the met share of an event's
  /// contacts); the rest of the bar is drawn lighter. Negative: none.
  double part = -1;
  QString valueText;
  /// The bar's own colour (a pipeline stage's); invalid for the palette's.
  QColor color;
  QString toolTip;
  /// The contacts the bar counts, and how the contacts list names them.
  std::vector<Uuid> contactIDs;
  QString subsetText;
  /// On the portfolio: the event the bar stands for.
  std::optional<Uuid> eventID;
};

/// Horizontal bars under each other (labels on the left), or columns over
/// time (labels below).
enum class ChartShape { rows, columns };

/// A chart ready to draw: the same for the window and the printed report.
struct ChartView {
  QString title;
  ChartShape shape = ChartShape::rows;
  std::vector<ChartBarView> bars;
  /// Shown instead of the bars when there are none.
  QString emptyText;

  /// "Title: label 12, label 3, …" for screen readers and the report's text.
  QString textEquivalent() const;
};

/// The colours a chart is drawn in, taken from a palette so that light and
/// dark appearances both read.
struct ChartColors {
  QColor text;
  QColor muted;
  QColor bar;
  QColor track;
  QColor background;
  QColor focus;

  static ChartColors from(const QPalette& palette);
};

/// The height `chart` needs at `width`, in the units of the painter's device,
/// with `font` measured on that device.
qreal chartHeight(const ChartView& chart, const QFont& font, qreal width,
                  const QPaintDevice* device);

/// Draws `chart` into `area` and gives each bar's rectangle (for pointing and
/// tool tips), in the order of `chart.bars`. `focused` outlines one bar.
std::vector<QRectF> paintChart(QPainter& painter, const QRectF& area, const ChartView& chart,
                               const ChartColors& colors, const QFont& font, int focused = -1);

}  // namespace qm::desktop
