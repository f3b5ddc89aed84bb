#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "common/signal.h"
#include "common/uuid.h"
#include "desktop/desktop_context.h"
#include "search/search_result.h"

class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;

namespace qm {
class GlobalSearchEngine;
}

namespace qm::desktop {

class SearchHitModel;

/// The global search (Ctrl+K): a field and the hits grouped by kind; arrow
/// keys move through the hits, Enter goes to the chosen one, Escape closes.
class SearchPopup : public QDialog {
  Q_OBJECT
 public:
  SearchPopup(DesktopContext& context, QWidget* parent);
  ~SearchPopup() override;

  /// Shows the popup with the field focused and its text selected.
  void popUp();

  QLineEdit* field() const { return field_; }
  QListView* hitList() const { return list_; }
  /// The hint or "No results" shown instead of the hits, when it is shown.
  QString statusText() const;
  /// The hit the arrow keys are on, if any.
  const SearchResult* currentHit() const;

 signals:
  void navigate(const qm::NavigationIntent& intent);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void queryChanged();
  void showResults();
  void moveCurrent(int steps);
  void choose(int row);
  void placeOverParent();

  DesktopContext& context_;
  std::unique_ptr<GlobalSearchEngine> engine_;
  Subscription engineChanged_;
  QLineEdit* field_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QListView* list_ = nullptr;
  QLabel* status_ = nullptr;
  SearchHitModel* model_ = nullptr;
};

}  // namespace qm::desktop
