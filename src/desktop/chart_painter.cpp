#include "desktop/chart_painter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cmath>

#include "desktop/contrast.h"

namespace qm::desktop {

namespace {

/// Bars and other marks that are not text need 3:1 against their background.
constexpr double kGraphicContrast = 3.0;
/// Labels and figures never take more than this share of a row's width.
constexpr qreal kLabelShare = 0.38;
constexpr qreal kValueShare = 0.55;
/// Columns: the plot is this many lines high.
constexpr qreal kPlotLines = 6;

QColor mixed(const QColor& a, const QColor& b, qreal share) {
  return QColor::fromRgbF(static_cast<float>(a.redF() * share + b.redF() * (1 - share)),
                          static_cast<float>(a.greenF() * share + b.greenF() * (1 - share)),
                          static_cast<float>(a.blueF() * share + b.blueF() * (1 - share)));
}

double largest(const ChartView& chart) {
  double most = 0;
  for (const ChartBarView& bar : chart.bars) most = std::max(most, bar.value);
  return most;
}

qreal emptyHeight(const ChartView& chart, const QFontMetricsF& fm, qreal width) {
  const QRectF needed = fm.boundingRect(QRectF(0, 0, std::max<qreal>(width, 1), 1e6),
                                        Qt::TextWordWrap, chart.emptyText);
  return needed.height() + fm.height() * 0.5;
}

qreal rowHeight(const QFontMetricsF& fm) {
  return std::ceil(fm.height() * 1.6);
}

qreal columnsHeight(const QFontMetricsF& fm) {
  return fm.height() * (kPlotLines + 1 + 1.4);
}

QColor barColor(const ChartBarView& bar, const ChartColors& colors) {
  if (!bar.color.isValid()) return colors.bar;
  return readableOn(bar.color, colors.background, colors.text, kGraphicContrast);
}

std::vector<QRectF> paintRows(QPainter& p, const QRectF& area, const ChartView& chart,
                              const ChartColors& colors, const QFontMetricsF& fm, int focused) {
  const qreal lh = fm.height();
  const qreal rowH = rowHeight(fm);
  qreal labelW = 0;
  qreal valueW = 0;
  for (const ChartBarView& bar : chart.bars) {
    labelW = std::max(labelW, fm.horizontalAdvance(bar.label));
    valueW = std::max(valueW, fm.horizontalAdvance(bar.valueText));
  }
  labelW = std::min(labelW, area.width() * kLabelShare);
  valueW = std::min(valueW, area.width() * kValueShare);
  const qreal pad = lh * 0.5;
  const qreal barX = area.left() + labelW + pad;
  const qreal barW = std::max<qreal>(area.right() - barX - valueW - pad, lh);
  const double most = largest(chart);

  std::vector<QRectF> hits;
  qreal y = area.top();
  for (std::size_t i = 0; i < chart.bars.size(); ++i, y += rowH) {
    const ChartBarView& bar = chart.bars[i];
    const QRectF row(area.left(), y, area.width(), rowH);
    hits.push_back(row);
    p.setPen(colors.text);
    p.drawText(QRectF(area.left(), y, labelW, rowH), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(bar.label, Qt::ElideRight, labelW));
    const qreal share = most > 0 ? bar.value / most : 0;
    qreal length = barW * share;
    if (bar.value > 0) length = std::max(length, lh * 0.15);
    const qreal barH = lh * 0.9;
    const QRectF shape(barX, y + (rowH - barH) / 2, length, barH);
    const QColor color = barColor(bar, colors);
    p.setPen(Qt::NoPen);
    // No bar for nothing: a rectangle of no width still leaves a hairline on paper.
    if (bar.value > 0 && bar.part >= 0) {
      p.setBrush(mixed(color, colors.background, 0.35));
      p.drawRect(shape);
      QRectF solid = shape;
      solid.setWidth(length * std::clamp(bar.part / bar.value, 0.0, 1.0));
      p.setBrush(color);
      p.drawRect(solid);
    } else if (bar.value > 0) {
      p.setBrush(color);
      p.drawRect(shape);
    }
    p.setPen(colors.text);
    const qreal textX = barX + length + pad * 0.6;
    p.drawText(QRectF(textX, y, area.right() - textX, rowH), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(bar.valueText, Qt::ElideRight, area.right() - textX));
    if (static_cast<int>(i) == focused) {
      p.setPen(QPen(colors.focus, std::max<qreal>(1, lh / 12), Qt::DotLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(row.adjusted(1, 1, -1, -1));
    }
  }
  return hits;
}

std::vector<QRectF> paintColumns(QPainter& p, const QRectF& area, const ChartView& chart,
                                 const ChartColors& colors, const QFontMetricsF& fm, int focused) {
  const qreal lh = fm.height();
  const auto n = static_cast<qreal>(chart.bars.size());
  const qreal columnW = area.width() / n;
  const qreal barW = std::min(columnW * 0.7, lh * 3);
  const qreal plotTop = area.top() + lh;
  const qreal plotH = lh * kPlotLines;
  const qreal baseline = plotTop + plotH;
  const double most = largest(chart);
  qreal labelW = 0;
  for (const ChartBarView& bar : chart.bars)
    labelW = std::max(labelW, fm.horizontalAdvance(bar.label));
  // Labels that would run into each other: every k-th one only.
  const auto every =
      static_cast<std::size_t>(std::max<qreal>(1, std::ceil(labelW * 1.2 / columnW)));

  p.setPen(QPen(colors.muted, std::max<qreal>(1, lh / 16)));
  p.drawLine(QPointF(area.left(), baseline), QPointF(area.right(), baseline));
  std::vector<QRectF> hits;
  for (std::size_t i = 0; i < chart.bars.size(); ++i) {
    const ChartBarView& bar = chart.bars[i];
    const qreal x = area.left() + columnW * static_cast<qreal>(i);
    const QRectF column(x, area.top(), columnW, columnsHeight(fm));
    hits.push_back(column);
    qreal height = most > 0 ? plotH * bar.value / most : 0;
    if (bar.value > 0) height = std::max(height, lh * 0.15);
    const QRectF shape(x + (columnW - barW) / 2, baseline - height, barW, height);
    p.setPen(Qt::NoPen);
    p.setBrush(barColor(bar, colors));
    if (bar.value > 0) p.drawRect(shape);
    p.setPen(colors.text);
    if (bar.value > 0 && fm.horizontalAdvance(bar.valueText) <= columnW)
      p.drawText(QRectF(x, shape.top() - lh, columnW, lh), Qt::AlignHCenter | Qt::AlignBottom,
                 bar.valueText);
    if (i % every == 0) {
      const qreal w = std::max(columnW, std::min(labelW, columnW * static_cast<qreal>(every)));
      p.drawText(QRectF(x + columnW / 2 - w / 2, baseline + lh * 0.2, w, lh),
                 Qt::AlignHCenter | Qt::AlignTop, fm.elidedText(bar.label, Qt::ElideRight, w));
    }
    if (static_cast<int>(i) == focused) {
      p.setPen(QPen(colors.focus, std::max<qreal>(1, lh / 12), Qt::DotLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(column.adjusted(1, 1, -1, -1));
    }
  }
  return hits;
}

}  // namespace

QString ChartView::textEquivalent() const {
  if (bars.empty()) return title + QStringLiteral(": ") + emptyText;
  QStringList parts;
  for (const ChartBarView& bar : bars) parts << bar.label + QStringLiteral(" ") + bar.valueText;
  return title + QStringLiteral(": ") + parts.join(QStringLiteral("; "));
}

ChartColors ChartColors::from(const QPalette& palette) {
  ChartColors c;
  c.background = palette.color(QPalette::Window);
  c.text = palette.color(QPalette::WindowText);
  c.muted = readableOn(palette.color(QPalette::PlaceholderText), c.background, c.text);
  c.bar = readableOn(palette.color(QPalette::Highlight), c.background, c.text, kGraphicContrast);
  c.track = mixed(c.bar, c.background, 0.35);
  c.focus = palette.color(QPalette::Highlight);
  return c;
}

qreal chartHeight(const ChartView& chart, const QFont& font, qreal width,
                  const QPaintDevice* device) {
  const QFontMetricsF fm(font, device);
  if (chart.bars.empty()) return emptyHeight(chart, fm, width);
  if (chart.shape == ChartShape::columns) return columnsHeight(fm);
  return rowHeight(fm) * static_cast<qreal>(chart.bars.size());
}

std::vector<QRectF> paintChart(QPainter& painter, const QRectF& area, const ChartView& chart,
                               const ChartColors& colors, const QFont& font, int focused) {
  painter.save();
  painter.setFont(font);
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QFontMetricsF fm(font, painter.device());
  std::vector<QRectF> hits;
  if (chart.bars.empty()) {
    painter.setPen(colors.muted);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, chart.emptyText);
  } else if (chart.shape == ChartShape::columns) {
    hits = paintColumns(painter, area, chart, colors, fm, focused);
  } else {
    hits = paintRows(painter, area, chart, colors, fm, focused);
  }
  painter.restore();
  return hits;
}

}  // namespace qm::desktop
