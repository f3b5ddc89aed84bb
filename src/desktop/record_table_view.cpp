#include "desktop/record_table_view.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/log.h"
#include "desktop/item_roles.h"
#include "desktop/language.h"
#include "desktop/locale_text.h"
#include "desktop/qt_text.h"
#include "store/opportunity.h"
#include "store/relationships.h"
#include "store/store.h"

namespace qm::desktop {

namespace {

constexpr int kValueColumn = 3;

QTreeWidget* makeTree(QWidget* parent, const QString& name, const QStringList& headers) {
  auto* tree = new QTreeWidget(parent);
  tree->setAccessibleName(name);
  tree->setRootIsDecorated(false);
  tree->setUniformRowHeights(true);
  tree->setAlternatingRowColors(true);
  tree->setHeaderLabels(headers);
  tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  tree->header()->setStretchLastSection(false);
  return tree;
}

QLabel* makeEmpty(QWidget* parent, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  return label;
}

void selectRecord(QTreeWidget* tree, const Uuid& id) {
  for (int i = 0; i < tree->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = tree->topLevelItem(i);
    if (uuidFromText(item->data(0, kRecordRole).toString()) == id) {
      tree->setCurrentItem(item);
      tree->scrollToItem(item, QAbstractItemView::PositionAtCenter);
      return;
    }
  }
}

}  // namespace

OpportunitiesView::OpportunitiesView(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  auto* layout = new QVBoxLayout(this);
  pages_ = new QStackedWidget(this);
  tree_ = makeTree(pages_, tr("Opportunities"),
                   {tr("Opportunity"), tr("Company"), tr("Stage"), tr("Value"), tr("Timeline"),
                    tr("Confidence"), tr("Next step")});
  // An amount is never cut: its column takes the widest one shown.
  tree_->header()->setSectionResizeMode(kValueColumn, QHeaderView::ResizeToContents);
  pages_->addWidget(tree_);
  pages_->addWidget(makeEmpty(pages_, tr("No opportunities for this event yet.")));
  layout->addWidget(pages_);
}

void OpportunitiesView::setEvent(const std::optional<Uuid>& eventID) {
  eventID_ = eventID;
  reload();
}

void OpportunitiesView::reload() {
  // The list is rebuilt; the current opportunity stays current.
  const QString current =
      tree_->currentItem() ? tree_->currentItem()->data(0, kRecordRole).toString() : QString();
  tree_->clear();
  std::vector<Opportunity> opportunities;
  if (eventID_) {
    auto read = opportunitiesOf(context_.store, *eventID_);
    if (read) {
      opportunities = std::move(*read);
    } else {
      log::data().error("Cannot read the opportunities: {}", read.error().message);
    }
  }
  std::vector<std::string> currencies;
  for (const Opportunity& o : opportunities)
    if (o.value) currencies.push_back(o.currency);
  const CurrencyMark mark = currencyMarkFor(currencies);
  for (const Opportunity& o : opportunities) {
    const QString value = o.value ? moneyText(*o.value, o.currency, mark) : QString();
    auto* item = new QTreeWidgetItem(tree_, {qs(o.title), qs(o.companyName), qs(o.stage), value,
                                             coreText(o.timeline.value_or("")),
                                             coreText(o.confidence.value_or("")), qs(o.nextStep)});
    item->setData(0, kRecordRole, uuidText(o.id));
    if (o.originContactID) item->setData(0, kContactRole, uuidText(*o.originContactID));
    item->setTextAlignment(kValueColumn, Qt::AlignRight | Qt::AlignVCenter);
    item->setToolTip(kValueColumn, value);
    if (!current.isEmpty() && uuidText(o.id) == current)
      tree_->setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect);
  }
  pages_->setCurrentIndex(opportunities.empty() ? 1 : 0);
}

void OpportunitiesView::reveal(const Uuid& opportunityID) {
  selectRecord(tree_, opportunityID);
}

}  // namespace qm::desktop
