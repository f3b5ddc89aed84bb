#include "desktop/search_popup.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QPainter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <vector>

#include "desktop/companion_link.h"
#include "desktop/qt_text.h"
#include "search/global_search_engine.h"
#include "search/search_scoring.h"

namespace qm::desktop {

namespace {

/// A query can match most of 50,000 contacts; the popup is for jumping to
/// one, so each group shows its best hits and says how many there were.
constexpr std::size_t kShownPerCategory = 50;

constexpr int kHeaderRole = Qt::UserRole;
constexpr int kSecondaryRole = Qt::UserRole + 1;
constexpr int kEventRole = Qt::UserRole + 2;
constexpr int kTotalRole = Qt::UserRole + 3;

constexpr int kPadding = 10;

}  // namespace

/// The rows of the hit list: for each category with hits, its title (not
/// selectable) followed by its best hits.
class SearchHitModel : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  /// Shows `results`; keeps the rows (and the current hit) when they are the
  /// same hits as before, as the engine reports them again after each search.
  void setResults(const SearchResults& results) {
    if (sameResults(results, results_)) return;
    beginResetModel();
    results_ = results;
    rows_.clear();
    for (const auto& [category, hits] : results_) {
      if (hits.empty()) continue;
      rows_.push_back({category, nullptr, hits.size()});
      const std::size_t shown = std::min(hits.size(), kShownPerCategory);
      for (std::size_t i = 0; i < shown; ++i) rows_.push_back({category, &hits[i], 0});
    }
    endResetModel();
  }
  void clear() { setResults({}); }

  bool isHeader(int row) const { return row >= 0 && row < rowCount() && !rows_[idx(row)].hit; }
  const SearchResult* hitAt(int row) const {
    return row >= 0 && row < rowCount() ? rows_[idx(row)].hit : nullptr;
  }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid()) return Qt::NoItemFlags;
    return isHeader(index.row()) ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Row& row = rows_[idx(index.row())];
    if (!row.hit) {
      switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
          return qs(searchCategoryTitle(row.category));
        case kHeaderRole:
          return true;
        case kTotalRole:
          return static_cast<qulonglong>(row.total);
        default:
          return {};
      }
    }
    const SearchResult& hit = *row.hit;
    switch (role) {
      case Qt::DisplayRole:
        return qs(hit.primaryText);
      case kSecondaryRole:
        return qs(hit.secondaryText);
      case kEventRole:
        return qs(hit.eventName);
      case Qt::ToolTipRole:
      case Qt::AccessibleTextRole: {
        QStringList parts{qs(hit.primaryText)};
        if (hit.secondaryText && !hit.secondaryText->empty()) parts << qs(hit.secondaryText);
        if (hit.eventName && !hit.eventName->empty()) parts << qs(hit.eventName);
        return parts.join(QStringLiteral(" · "));
      }
      case kHeaderRole:
        return false;
      default:
        return {};
    }
  }

 private:
  struct Row {
    SearchResultCategory category;
    const SearchResult* hit;  ///< into results_; none for a category title
    std::size_t total;        ///< a title's number of hits
  };
  static std::size_t idx(int row) { return static_cast<std::size_t>(row); }

  SearchResults results_;
  std::vector<Row> rows_;
};

namespace {

/// Paints a title as a small muted heading (with the number of hits when not
/// all are shown) and a hit as its primary text over its secondary text and
/// event, each elided to the row.
class SearchHitDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const bool header = index.data(kHeaderRole).toBool();
    opt.text.clear();
    opt.state &= ~QStyle::State_HasFocus;
    if (header) opt.state &= ~(QStyle::State_Selected | QStyle::State_MouseOver);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    painter->save();
    const QRect area = opt.rect.adjusted(kPadding, 0, -kPadding, 0);
    const bool selected = opt.state & QStyle::State_Selected;
    const QColor text = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    QColor muted = text;
    muted.setAlphaF(0.65f);
    if (header) {
      QFont font = opt.font;
      font.setBold(true);
      font.setPointSizeF(font.pointSizeF() * 0.85);
      painter->setFont(font);
      painter->setPen(muted);
      const QString title = index.data(Qt::DisplayRole).toString();
      const auto total = index.data(kTotalRole).toULongLong();
      QString count;
      if (total > kShownPerCategory)
        count = QObject::tr("%1 of %2")
                    .arg(QLocale().toString(static_cast<qulonglong>(kShownPerCategory)),
                         QLocale().toString(total));
      const QFontMetrics metrics(font);
      const int countWidth = count.isEmpty() ? 0 : metrics.horizontalAdvance(count) + kPadding;
      painter->drawText(area.adjusted(0, 0, -countWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                        metrics.elidedText(title, Qt::ElideRight, area.width() - countWidth));
      if (!count.isEmpty()) painter->drawText(area, Qt::AlignRight | Qt::AlignVCenter, count);
      painter->restore();
      return;
    }

    QFont primaryFont = opt.font;
    primaryFont.setBold(true);
    const QFontMetrics primaryMetrics(primaryFont);
    const QFontMetrics secondaryMetrics(opt.font);
    const int top = area.top() + kPadding / 2;
    QRect first(area.left(), top, area.width(), primaryMetrics.height());
    QRect second(area.left(), first.bottom() + 1, area.width(), secondaryMetrics.height());

    painter->setFont(primaryFont);
    painter->setPen(text);
    painter->drawText(first, Qt::AlignLeft | Qt::AlignVCenter,
                      primaryMetrics.elidedText(index.data(Qt::DisplayRole).toString(),
                                                Qt::ElideRight, first.width()));

    // The event goes on the right of the second line, the secondary text
    // takes what is left of it.
    painter->setFont(opt.font);
    painter->setPen(muted);
    const QString event = index.data(kEventRole).toString();
    int eventWidth = 0;
    if (!event.isEmpty()) {
      const QString shown =
          secondaryMetrics.elidedText(event, Qt::ElideRight, second.width() * 2 / 5);
      eventWidth = secondaryMetrics.horizontalAdvance(shown) + kPadding;
      painter->drawText(second, Qt::AlignRight | Qt::AlignVCenter, shown);
    }
    const QRect secondaryArea = second.adjusted(0, 0, -eventWidth, 0);
    painter->drawText(secondaryArea, Qt::AlignLeft | Qt::AlignVCenter,
                      secondaryMetrics.elidedText(index.data(kSecondaryRole).toString(),
                                                  Qt::ElideRight, secondaryArea.width()));
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QFontMetrics metrics(option.font);
    if (index.data(kHeaderRole).toBool()) return {0, metrics.height() + kPadding};
    QFont bold = option.font;
    bold.setBold(true);
    return {0, QFontMetrics(bold).height() + metrics.height() + kPadding + 2};
  }
};

}  // namespace

SearchPopup::SearchPopup(DesktopContext& context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), context_(context) {
  setObjectName(QStringLiteral("search-popup"));
  setWindowTitle(tr("Search"));
  setModal(false);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setFrameShadow(QFrame::Raised);
  outer->addWidget(frame);
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(8, 8, 8, 8);

  field_ = new QLineEdit(frame);
  field_->setAccessibleName(tr("Search everything"));
  field_->setPlaceholderText(tr("Search contacts, companies, opportunities, drafts and events"));
  field_->setClearButtonEnabled(true);
  QFont larger = field_->font();
  larger.setPointSizeF(larger.pointSizeF() * 1.2);
  field_->setFont(larger);
  field_->installEventFilter(this);
  layout->addWidget(field_);

  pages_ = new QStackedWidget(frame);
  model_ = new SearchHitModel(this);
  list_ = new QListView(pages_);
  list_->setAccessibleName(tr("Search results"));
  list_->setModel(model_);
  list_->setItemDelegate(new SearchHitDelegate(list_));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  list_->setFrameShape(QFrame::NoFrame);
  // The field keeps the keyboard; the arrow keys move through the hits from there.
  list_->setFocusPolicy(Qt::NoFocus);
  pages_->addWidget(list_);
  status_ = new QLabel(pages_);
  status_->setAlignment(Qt::AlignCenter);
  status_->setWordWrap(true);
  status_->setEnabled(false);
  pages_->addWidget(status_);
  layout->addWidget(pages_, 1);

  engine_ = std::make_unique<GlobalSearchEngine>(
      context_.store, [this](std::chrono::milliseconds delay, std::function<void()> task) {
        QTimer::singleShot(delay, this, std::move(task));
      });
  engineChanged_ = engine_->changed().subscribe([this] { showResults(); });

  connect(field_, &QLineEdit::textChanged, this, &SearchPopup::queryChanged);
  connect(list_, &QListView::doubleClicked, this,
          [this](const QModelIndex& index) { choose(index.row()); });
  // New records from the phone show up in an open search.
  connect(&context_.link, &CompanionLink::recordsChanged, this, [this] {
    if (isVisible()) queryChanged();
  });
  showResults();
}

SearchPopup::~SearchPopup() = default;

void SearchPopup::popUp() {
  placeOverParent();
  show();
  raise();
  activateWindow();
  field_->setFocus(Qt::PopupFocusReason);
  field_->selectAll();
  // The store may have changed while the popup was closed.
  queryChanged();
}

QString SearchPopup::statusText() const {
  return pages_->currentWidget() == status_ ? status_->text() : QString();
}

const SearchResult* SearchPopup::currentHit() const {
  return model_->hitAt(list_->currentIndex().row());
}

void SearchPopup::queryChanged() {
  engine_->search(utf8(field_->text()));
}

void SearchPopup::showResults() {
  if (!isSearchableQuery(utf8(field_->text()))) {
    model_->clear();
    status_->setText(tr("Type at least two characters to search."));
    pages_->setCurrentWidget(status_);
    return;
  }
  const SearchResults& results = engine_->results();
  const bool any = std::any_of(results.begin(), results.end(),
                               [](const auto& entry) { return !entry.second.empty(); });
  // While a newer query waits, the hits of the last one stay in place.
  if (any || !engine_->isSearching()) model_->setResults(results);
  if (model_->rowCount() > 0) {
    pages_->setCurrentWidget(list_);
  } else {
    status_->setText(engine_->isSearching() ? tr("Searching…") : tr("No results"));
    pages_->setCurrentWidget(status_);
  }
}

void SearchPopup::moveCurrent(int steps) {
  const int rows = model_->rowCount();
  if (rows == 0) return;
  const int step = steps > 0 ? 1 : -1;
  int row = list_->currentIndex().isValid() ? list_->currentIndex().row() : (step > 0 ? -1 : rows);
  for (int moved = 0; moved < std::abs(steps);) {
    int next = row + step;
    while (next >= 0 && next < rows && model_->isHeader(next)) next += step;
    if (next < 0 || next >= rows) break;
    row = next;
    ++moved;
  }
  if (row < 0 || row >= rows || model_->isHeader(row)) return;
  const QModelIndex index = model_->index(row);
  list_->setCurrentIndex(index);
  // Keep the group title in view above the first hit of a group.
  if (row > 0 && model_->isHeader(row - 1)) list_->scrollTo(model_->index(row - 1));
  list_->scrollTo(index);
}

void SearchPopup::choose(int row) {
  const SearchResult* hit = model_->hitAt(row);
  if (!hit) return;
  const NavigationIntent intent = hit->navigationIntent;
  hide();
  Q_EMIT navigate(intent);
}

bool SearchPopup::eventFilter(QObject* watched, QEvent* event) {
  if (watched == field_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) return false;
    const int page = std::max(1, list_->viewport()->height() / 48);
    switch (key->key()) {
      case Qt::Key_Down:
        moveCurrent(1);
        return true;
      case Qt::Key_Up:
        moveCurrent(-1);
        return true;
      case Qt::Key_PageDown:
        moveCurrent(page);
        return true;
      case Qt::Key_PageUp:
        moveCurrent(-page);
        return true;
      case Qt::Key_Return:
      case Qt::Key_Enter: {
        // Enter without moving first goes to the best hit.
        if (!currentHit()) moveCurrent(1);
        choose(list_->currentIndex().row());
        return true;
      }
      case Qt::Key_Escape:
        hide();
        return true;
      default:
        break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void SearchPopup::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // Like a menu: clicking elsewhere closes it.
  if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow()) hide();
}

void SearchPopup::placeOverParent() {
  const QWidget* host = parentWidget() ? parentWidget()->window() : nullptr;
  if (!host) {
    resize(640, 480);
    return;
  }
  const QRect over = host->frameGeometry();
  QRect placed(0, 0, std::clamp(over.width() / 2, std::min(360, over.width()), 680),
               std::clamp(over.height() * 3 / 5, std::min(240, over.height()), 520));
  placed.moveCenter(over.center());
  setGeometry(placed);
}

}  // namespace qm::desktop
