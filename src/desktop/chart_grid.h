#pragma once

#include <QWidget>
#include <vector>

class QGridLayout;
class QVBoxLayout;

namespace qm::desktop {

/// The dashboard's charts, each in a cell with its heading: two cells to a
/// row where the page is wide enough for both, one under the other where it
/// is not (a small window, a long language).
class ChartGrid : public QWidget {
  Q_OBJECT
 public:
  explicit ChartGrid(QWidget* parent = nullptr);

  /// A new cell at the end, for its heading and chart.
  QVBoxLayout* addCell();
  int columns() const { return columns_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void arrange(int columns);
  /// The narrowest a cell is read well at: room for a label, a bar and a figure.
  int cellWidth() const;

  QGridLayout* grid_ = nullptr;
  std::vector<QWidget*> cells_;
  int columns_ = 1;
};

}  // namespace qm::desktop
