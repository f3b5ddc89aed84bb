#include "desktop/chart_grid.h"

#include <QGridLayout>
#include <QResizeEvent>
#include <QVBoxLayout>

namespace qm::desktop {

namespace {
constexpr int kCellCharacters = 38;
}  // namespace

ChartGrid::ChartGrid(QWidget* parent) : QWidget(parent), grid_(new QGridLayout(this)) {
  grid_->setContentsMargins(0, 0, 0, 0);
  grid_->setHorizontalSpacing(fontMetrics().averageCharWidth() * 3);
}

int ChartGrid::cellWidth() const {
  return fontMetrics().averageCharWidth() * kCellCharacters;
}

QVBoxLayout* ChartGrid::addCell() {
  auto* cell = new QWidget(this);
  auto* layout = new QVBoxLayout(cell);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->setAlignment(Qt::AlignTop);
  cells_.push_back(cell);
  const int i = static_cast<int>(cells_.size()) - 1;
  grid_->addWidget(cell, i / columns_, i % columns_, Qt::AlignTop);
  return layout;
}

void ChartGrid::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int spacing = grid_->horizontalSpacing();
  arrange(event->size().width() >= 2 * cellWidth() + spacing ? 2 : 1);
}

void ChartGrid::arrange(int columns) {
  if (columns == columns_) return;
  columns_ = columns;
  for (QWidget* cell : cells_) grid_->removeWidget(cell);
  for (int c = 0; c < 2; ++c) grid_->setColumnStretch(c, c < columns ? 1 : 0);
  for (std::size_t i = 0; i < cells_.size(); ++i) {
    const int n = static_cast<int>(i);
    grid_->addWidget(cells_[i], n / columns, n % columns, Qt::AlignTop);
  }
}

}  // namespace qm::desktop
