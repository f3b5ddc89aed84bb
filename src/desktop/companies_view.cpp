#include "desktop/companies_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSet>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/log.h"
#include "desktop/contact_list_model.h"
#include "desktop/item_roles.h"
#include "desktop/language.h"
#include "desktop/qt_text.h"
#include "ui/event_records.h"

namespace qm::desktop {

namespace {
/// Where a company's row keeps the company's name as the roll-up writes it.
constexpr int kCompanyRole = Qt::UserRole + 2;
}  // namespace

CompaniesView::CompaniesView(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  search_ = new QLineEdit(this);
  search_->setPlaceholderText(tr("Search companies or people"));
  search_->setAccessibleName(tr("Search companies"));
  search_->setClearButtonEnabled(true);
  connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
    state_.searchText = utf8(text);
    refresh();
  });
  auto* sortLabel = new QLabel(tr("Sort:"), this);
  sort_ = new QComboBox(this);
  sort_->setAccessibleName(tr("Sort companies by"));
  sortLabel->setBuddy(sort_);
  for (const auto& field : EnumInfo<CompanySortField>::cases) sort_->addItem(coreText(field.label));
  connect(sort_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0) return;
    state_.sortField = EnumInfo<CompanySortField>::cases[static_cast<std::size_t>(index)].value;
    refresh();
  });
  bar->addWidget(search_, 1);
  bar->addWidget(sortLabel);
  bar->addWidget(sort_);
  layout->addLayout(bar);

  pages_ = new QStackedWidget(this);
  tree_ = new QTreeWidget(pages_);
  tree_->setAccessibleName(tr("Companies"));
  tree_->setHeaderLabels({tr("Company"), tr("Contacts"), tr("Met"), tr("Avg. rating")});
  tree_->setUniformRowHeights(true);
  tree_->setAlternatingRowColors(true);
  tree_->header()->setStretchLastSection(false);
  tree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int column = 1; column < 4; ++column) {
    tree_->header()->setSectionResizeMode(column, QHeaderView::Fixed);
    tree_->setColumnWidth(column, 90);
  }
  pages_->addWidget(tree_);
  empty_ = new QLabel(tr("No contacts with company data yet."), pages_);
  empty_->setAlignment(Qt::AlignCenter);
  pages_->addWidget(empty_);
  layout->addWidget(pages_, 1);
}

void CompaniesView::setEvent(const std::optional<Uuid>& eventID) {
  eventID_ = eventID;
  state_ = CompanyListState{};
  {
    const QSignalBlocker quiet(search_);
    search_->clear();
  }
  {
    const QSignalBlocker quiet(sort_);
    sort_->setCurrentIndex(0);
  }
  reload();
}

void CompaniesView::reload() {
  contacts_.clear();
  if (eventID_) {
    auto contacts = listContactsOf(context_.store, *eventID_);
    if (contacts) {
      contacts_ = std::move(*contacts);
    } else {
      log::data().error("Cannot read the contacts: {}", contacts.error().message);
    }
  }
  refresh();
}

void CompaniesView::reveal(const QString& name) {
  const QString key = name.trimmed().toLower();
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = tree_->topLevelItem(i);
    if (item->data(0, kCompanyRole).toString().trimmed().toLower() == key) {
      tree_->setCurrentItem(item);
      item->setExpanded(true);
      tree_->scrollToItem(item, QAbstractItemView::PositionAtCenter);
      return;
    }
  }
}

void CompaniesView::refresh() {
  // The list is rebuilt; the current row and the open companies stay so.
  QString currentCompany;
  QString currentContact;
  if (const QTreeWidgetItem* item = tree_->currentItem()) {
    currentContact = item->data(0, kContactRole).toString();
    currentCompany = (item->parent() ? item->parent() : item)->data(0, kCompanyRole).toString();
  }
  QSet<QString> open;
  for (int i = 0; i < tree_->topLevelItemCount(); ++i)
    if (tree_->topLevelItem(i)->isExpanded())
      open.insert(tree_->topLevelItem(i)->data(0, kCompanyRole).toString());

  const std::vector<CompanyEntry> entries = visibleCompanies(contacts_, state_);
  tree_->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(entries.size()));
  const QLocale locale;
  for (const CompanyEntry& entry : entries) {
    const double average = entry.averageRating();
    auto* item =
        new QTreeWidgetItem({qs(entry.name), locale.toString(entry.contactCount()),
                             locale.toString(entry.metCountOfCompany()),
                             average > 0 ? locale.toString(average, 'f', 1) : QStringLiteral("–")});
    item->setData(0, kCompanyRole, qs(entry.name));
    for (int column = 1; column < 4; ++column)
      item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    for (const ListContact* c : entry.contacts) {
      auto* child = new QTreeWidgetItem(
          item, {qs(c->fullName()), qs(c->title), meetingText(c->meetingIndicator())});
      child->setData(0, kContactRole, uuidText(c->id));
    }
    items << item;
  }
  tree_->addTopLevelItems(items);
  QTreeWidgetItem* current = nullptr;
  for (QTreeWidgetItem* item : items) {
    const QString company = item->data(0, kCompanyRole).toString();
    if (open.contains(company)) item->setExpanded(true);
    if (company != currentCompany || current) continue;
    current = item;
    for (int i = 0; i < item->childCount(); ++i)
      if (item->child(i)->data(0, kContactRole).toString() == currentContact)
        current = item->child(i);
  }
  if (current) tree_->setCurrentItem(current, 0, QItemSelectionModel::ClearAndSelect);
  pages_->setCurrentIndex(entries.empty() && state_.searchText.empty() ? 1 : 0);
}

}  // namespace qm::desktop
