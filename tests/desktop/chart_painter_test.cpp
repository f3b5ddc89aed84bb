// Drawing a chart: bars in proportion to their figures, nothing drawn for a
// zero, tiny and empty charts without a division by zero, and colours that
// stay readable on light and dark palettes.
#include <gmock/gmock.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>

#include "desktop/chart_painter.h"
#include "desktop/contrast.h"

namespace qm::desktop {
namespace {

ChartView rowsOf(std::initializer_list<double> values) {
  ChartView chart;
  chart.title = QStringLiteral("Chart");
  chart.emptyText = QStringLiteral("Nothing yet.");
  int n = 0;
  for (const double v : values) {
    ChartBarView bar;
    bar.label = QStringLiteral("Bar %1").arg(++n);
    bar.value = v;
    bar.valueText = QString::number(v);
    chart.bars.push_back(bar);
  }
  return chart;
}

ChartColors plain() {
  ChartColors c;
  c.background = Qt::white;
  c.text = Qt::black;
  c.muted = Qt::darkGray;
  c.bar = QColor(0, 0, 255);
  c.track = QColor(180, 180, 255);
  c.focus = Qt::red;
  return c;
}

/// How many pixels of row `hit` are the bar's colour.
int barPixels(const QImage& image, const QRectF& hit, const QColor& color) {
  int count = 0;
  const int y = static_cast<int>(hit.center().y());
  for (int x = static_cast<int>(hit.left()); x < static_cast<int>(hit.right()); ++x)
    if (image.pixelColor(x, y) == color) ++count;
  return count;
}

TEST(ChartPainter, BarsAreInProportionAndAZeroDrawsNothing) {
  const ChartView chart = rowsOf({4, 2, 0});
  const QFont font = QApplication::font();
  QImage image(600, 200, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  const qreal height = chartHeight(chart, font, 600, &image);
  const auto hits = paintChart(painter, QRectF(0, 0, 600, height), chart, plain(), font);
  painter.end();
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_LT(hits[0].bottom(), hits[1].top() + 1);  // one row under the other
  const int full = barPixels(image, hits[0], QColor(0, 0, 255));
  const int half = barPixels(image, hits[1], QColor(0, 0, 255));
  EXPECT_GT(full, 50);
  EXPECT_NEAR(half, full / 2, 2);
  EXPECT_EQ(barPixels(image, hits[2], QColor(0, 0, 255)), 0);
}

TEST(ChartPainter, EmptyAndAllZeroChartsDrawWithoutBarsToDivideBy) {
  const QFont font = QApplication::font();
  QImage image(300, 300, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  const ChartView empty = rowsOf({});
  EXPECT_GT(chartHeight(empty, font, 300, &image), 0);
  EXPECT_TRUE(paintChart(painter, QRectF(0, 0, 300, 100), empty, plain(), font).empty());
  EXPECT_EQ(empty.textEquivalent(), "Chart: Nothing yet.");
  ChartView zeros = rowsOf({0, 0});
  zeros.shape = ChartShape::columns;
  const auto hits = paintChart(painter, QRectF(0, 100, 300, 200), zeros, plain(), font);
  painter.end();
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_DOUBLE_EQ(hits[0].width(), 150);
  EXPECT_EQ(zeros.textEquivalent(), "Chart: Bar 1 0; Bar 2 0");
}

TEST(ChartPainter, BarsStayVisibleOnLightAndDarkPalettes) {
  for (const bool dark : {false, true}) {
    QPalette palette;
    palette.setColor(QPalette::Window, dark ? QColor(0x2b, 0x2b, 0x2b) : Qt::white);
    palette.setColor(QPalette::WindowText, dark ? Qt::white : Qt::black);
    // A highlight too close to the background on purpose.
    palette.setColor(QPalette::Highlight,
                     dark ? QColor(0x33, 0x33, 0x33) : QColor(0xee, 0xee, 0xee));
    const ChartColors colors = ChartColors::from(palette);
    EXPECT_GE(contrastRatio(colors.bar, colors.background), 3.0) << dark;
    EXPECT_GE(contrastRatio(colors.muted, colors.background), kReadableContrast) << dark;

    // A pale stage colour is drawn darker (or lighter) until it shows.
    ChartView chart = rowsOf({1});
    chart.bars[0].color = dark ? QColor(0x30, 0x30, 0x30) : QColor(0xf2, 0xf2, 0xf2);
    QImage image(400, 60, QImage::Format_RGB32);
    image.fill(colors.background);
    QPainter painter(&image);
    const auto hits =
        paintChart(painter, QRectF(0, 0, 400, 60), chart, colors, QApplication::font());
    painter.end();
    const QRectF& row = hits.at(0);
    const QColor drawn = image.pixelColor(static_cast<int>(row.left() + row.width() * 0.5),
                                          static_cast<int>(row.center().y()));
    EXPECT_GE(contrastRatio(drawn, colors.background), 3.0) << dark;
  }
}

}  // namespace
}  // namespace qm::desktop
