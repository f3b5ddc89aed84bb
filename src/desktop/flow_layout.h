#pragma once

#include <QLayout>
#include <QList>

class QLayoutItem;

namespace qm::desktop {

/// Lays its widgets out in a row that wraps onto further rows when it runs
/// out of width, like words in a paragraph, so that a row of buttons never
/// makes its panel wider in a long language or a narrow window. Each item is
/// centred in the height of its row. Its minimum width is that of its widest
/// item.
class FlowLayout : public QLayout {
 public:
  explicit FlowLayout(QWidget* parent = nullptr, int spacing = -1);
  ~FlowLayout() override;

  void addItem(QLayoutItem* item) override;
  int count() const override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  Qt::Orientations expandingDirections() const override;
  bool hasHeightForWidth() const override;
  int heightForWidth(int width) const override;
  QSize minimumSize() const override;
  QSize sizeHint() const override;
  void setGeometry(const QRect& rect) override;

 private:
  /// Places the items in `rect` (only measures when `place` is false) and
  /// returns the height they take.
  int arrange(const QRect& rect, bool place) const;
  int gap(Qt::Orientation orientation) const;

  QList<QLayoutItem*> items_;
  int spacing_;
};

}  // namespace qm::desktop
