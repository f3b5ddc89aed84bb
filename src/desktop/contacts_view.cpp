#include "desktop/contacts_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "common/log.h"
#include "desktop/companion_link.h"
#include "desktop/contact_list_model.h"
#include "desktop/language.h"
#include "desktop/qt_text.h"
#include "ui/bulk_actions.h"
#include "ui/dashboard.h"

namespace qm::desktop {

ContactsView::ContactsView(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context), model_(new ContactListModel(this)) {
  auto* layout = new QVBoxLayout(this);

  auto* chipBar = new QHBoxLayout;
  for (std::size_t i = 0; i < kFilterChips.size(); ++i) {
    auto* chip = new QToolButton(this);
    chip->setText(coreText(kFilterChips[i].label));
    chip->setCheckable(true);
    chip->setAccessibleName(tr("Filter: %1").arg(coreText(kFilterChips[i].label)));
    chip->setToolButtonStyle(Qt::ToolButtonTextOnly);
    connect(chip, &QToolButton::toggled, this, [this, i](bool on) {
      state_.*(kFilterChips[i].state) = on;
      refresh();
    });
    chips_[i] = chip;
    chipBar->addWidget(chip);
  }
  clear_ = new QPushButton(tr("Clear"), this);
  clear_->setAccessibleName(tr("Clear filters"));
  connect(clear_, &QPushButton::clicked, this, [this] {
    state_.clearFilters();
    syncControls();
    refresh();
  });
  chipBar->addWidget(clear_);
  chipBar->addStretch();
  auto* exportButton = new QPushButton(tr("Export…"), this);
  exportButton->setObjectName(QStringLiteral("export-contacts"));
  exportButton->setToolTip(tr("Export the contacts to a file (Ctrl+E)"));
  connect(exportButton, &QPushButton::clicked, this, [this] { Q_EMIT exportRequested(); });
  chipBar->addWidget(exportButton);
  layout->addLayout(chipBar);

  auto* searchBar = new QHBoxLayout;
  search_ = new QLineEdit(this);
  search_->setPlaceholderText(tr("Search name, company, title or e-mail"));
  search_->setAccessibleName(tr("Search contacts"));
  search_->setClearButtonEnabled(true);
  connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
    state_.searchText = utf8(text);
    refresh();
  });
  searchBar->addWidget(search_, 1);
  auto* sortLabel = new QLabel(tr("Sort:"), this);
  sort_ = new QComboBox(this);
  sort_->setAccessibleName(tr("Sort contacts by"));
  sortLabel->setBuddy(sort_);
  for (const auto& field : EnumInfo<ContactSortField>::cases) sort_->addItem(coreText(field.label));
  connect(sort_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0) return;
    state_.sortField = EnumInfo<ContactSortField>::cases[static_cast<std::size_t>(index)].value;
    refresh();
  });
  direction_ = new QToolButton(this);
  direction_->setAccessibleName(tr("Sort direction"));
  connect(direction_, &QToolButton::clicked, this, [this] {
    state_.sortAscending = !state_.sortAscending;
    syncControls();
    refresh();
  });
  searchBar->addWidget(sortLabel);
  searchBar->addWidget(sort_);
  searchBar->addWidget(direction_);
  layout->addLayout(searchBar);

  actionBar_ = new QWidget(this);
  auto* actionLayout = new QHBoxLayout(actionBar_);
  actionLayout->setContentsMargins(0, 0, 0, 0);
  actionText_ = new QLabel(actionBar_);
  auto* showAll = new QPushButton(tr("Show All"), actionBar_);
  connect(showAll, &QPushButton::clicked, this, [this] {
    actionKind_.clear();
    actionBar_->hide();
    refresh();
  });
  actionLayout->addWidget(actionText_, 1);
  actionLayout->addWidget(showAll);
  actionBar_->hide();
  layout->addWidget(actionBar_);

  pages_ = new QStackedWidget(this);
  table_ = new QTableView(pages_);
  table_->setModel(model_);
  table_->setAccessibleName(tr("Contacts"));
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setShowGrid(false);
  table_->setWordWrap(false);
  table_->setAlternatingRowColors(true);
  table_->verticalHeader()->hide();
  // Fixed row heights: a list of tens of thousands of rows never measures them.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  // The name takes what the other columns leave; none is measured row by row.
  QHeaderView* header = table_->horizontalHeader();
  header->setStretchLastSection(false);
  header->setSectionsClickable(false);
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setSectionResizeMode(ContactListModel::name, QHeaderView::Stretch);
  header->setMinimumSectionSize(36);
  const std::pair<int, int> widths[] = {
      {ContactListModel::company, 150}, {ContactListModel::title, 120},
      {ContactListModel::meeting, 95},  {ContactListModel::tier, 40},
      {ContactListModel::score, 55},    {ContactListModel::rating, 70}};
  for (const auto& [column, width] : widths) table_->setColumnWidth(column, width);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &ContactsView::selectionChanged);
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (restoringSelection_) return;
            const Contact* c = model_->contactAt(current.row());
            currentID_ = c ? std::optional<Uuid>(c->id) : std::nullopt;
            Q_EMIT contactChosen(c ? std::optional<Uuid>(c->id) : std::nullopt);
          });
  pages_->addWidget(table_);

  auto* empty = new QWidget(pages_);
  auto* emptyLayout = new QVBoxLayout(empty);
  emptyText_ = new QLabel(empty);
  emptyText_->setAlignment(Qt::AlignCenter);
  emptyText_->setWordWrap(true);
  emptyClear_ = new QPushButton(tr("Clear Filters"), empty);
  connect(emptyClear_, &QPushButton::clicked, this, &ContactsView::showAll);
  emptyLayout->addStretch();
  emptyLayout->addWidget(emptyText_);
  emptyLayout->addWidget(emptyClear_, 0, Qt::AlignHCenter);
  emptyLayout->addStretch();
  pages_->addWidget(empty);
  layout->addWidget(pages_, 1);

  selectionBar_ = new QWidget(this);
  auto* selectionLayout = new QHBoxLayout(selectionBar_);
  selectionLayout->setContentsMargins(0, 0, 0, 0);
  selectionText_ = new QLabel(selectionBar_);
  auto* target = new QPushButton(tr("Mark as Target"), selectionBar_);
  auto* met = new QPushButton(tr("Mark as Met"), selectionBar_);
  generate_ = new QPushButton(selectionBar_);
  connect(target, &QPushButton::clicked, this, [this] { markSelected("target"); });
  connect(met, &QPushButton::clicked, this, [this] { markSelected("met"); });
  connect(generate_, &QPushButton::clicked, this, &ContactsView::generateDrafts);
  selectionLayout->addWidget(selectionText_, 1);
  selectionLayout->addWidget(target);
  selectionLayout->addWidget(met);
  selectionLayout->addWidget(generate_);
  selectionBar_->hide();
  layout->addWidget(selectionBar_);

  feedback_ = new QLabel(this);
  feedback_->setWordWrap(true);
  feedback_->hide();
  layout->addWidget(feedback_);
  syncControls();
}

ContactsView::~ContactsView() = default;

void ContactsView::setEvent(const std::optional<Uuid>& eventID) {
  eventID_ = eventID;
  currentID_.reset();
  state_ = ContactListState{};
  actionKind_.clear();
  actionBar_->hide();
  feedback_->hide();
  syncControls();
  reload();
}

void ContactsView::reload() {
  // The rows point into the records: let go of them before the records go.
  restoringSelection_ = true;
  model_->setContacts({});
  restoringSelection_ = false;
  records_ = EventRecords{};
  searchTexts_.reset();
  if (eventID_) {
    auto loaded = loadEventRecords(context_.store, *eventID_);
    if (loaded) {
      records_ = std::move(*loaded);
    } else {
      log::data().error("Cannot read the contacts: {}", loaded.error().message);
    }
  }
  // Selected contacts that are gone leave the selection.
  std::erase_if(state_.selection, [this](const Uuid& id) {
    return std::none_of(records_.contacts.begin(), records_.contacts.end(),
                        [&](const Contact& c) { return c.id == id; });
  });
  refresh();
}

void ContactsView::showActionSubset(const std::string& kind, const QString& text) {
  state_ = ContactListState{};
  actionKind_ = kind;
  actionText_->setText(tr("Showing: %1").arg(text));
  actionBar_->show();
  syncControls();
  refresh();
}

void ContactsView::showAll() {
  state_.clearFilters();
  state_.searchText.clear();
  actionKind_.clear();
  actionBar_->hide();
  syncControls();
  refresh();
}

void ContactsView::reveal(const Uuid& contactID) {
  int row = model_->rowOf(contactID);
  if (row < 0) {
    showAll();  // filtered out: the whole list shows it
    row = model_->rowOf(contactID);
  }
  if (row < 0) return;
  const QModelIndex index = model_->index(row, 0);
  table_->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  table_->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void ContactsView::refresh() {
  const std::optional<Uuid> currentID = currentID_;

  if (!state_.searchText.empty() && !searchTexts_) searchTexts_.emplace(records_.contacts);
  std::vector<const Contact*> rows =
      searchTexts_
          ? visibleContacts(records_.contacts, *searchTexts_, records_.contactsWithNotes, state_)
          : visibleContacts(records_.contacts, records_.contactsWithNotes, state_);
  if (!actionKind_.empty())
    std::erase_if(rows, [&](const Contact* c) { return !countsTowardAction(actionKind_, *c); });

  restoringSelection_ = true;
  model_->setContacts(std::move(rows));
  if (!state_.selection.empty()) {
    QItemSelection selection;
    for (int row = 0; row < model_->rowCount(); ++row) {
      if (state_.selection.contains(model_->contactAt(row)->id))
        selection.select(model_->index(row, 0), model_->index(row, ContactListModel::kColumns - 1));
    }
    table_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  }
  currentID_ = currentID;
  if (currentID) {
    const int row = model_->rowOf(*currentID);
    if (row >= 0)
      table_->selectionModel()->setCurrentIndex(model_->index(row, 0),
                                                QItemSelectionModel::NoUpdate);
  }
  restoringSelection_ = false;

  if (model_->rowCount() > 0) {
    pages_->setCurrentIndex(0);
  } else {
    const bool noContacts = records_.contacts.empty();
    emptyText_->setText(noContacts ? tr("This event has no contacts yet. Pair with your iPhone "
                                        "to sync.")
                                   : tr("No contacts match the current filters."));
    emptyClear_->setVisible(!noContacts);
    pages_->setCurrentIndex(1);
  }
  selectionChanged();
}

void ContactsView::syncControls() {
  for (std::size_t i = 0; i < chips_.size(); ++i) {
    const QSignalBlocker quiet(chips_[i]);
    chips_[i]->setChecked(state_.*(kFilterChips[i].state));
  }
  {
    const QSignalBlocker quiet(search_);
    if (utf8(search_->text()) != state_.searchText) search_->setText(qs(state_.searchText));
  }
  {
    const QSignalBlocker quiet(sort_);
    sort_->setCurrentIndex(static_cast<int>(state_.sortField));
  }
  direction_->setText(state_.sortAscending ? QStringLiteral("↑") : QStringLiteral("↓"));
  direction_->setToolTip(state_.sortAscending ? tr("Ascending") : tr("Descending"));
  clear_->setEnabled(state_.anyFilter());
}

void ContactsView::selectionChanged() {
  if (!restoringSelection_) {
    state_.selection.clear();
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
      if (const Contact* c = model_->contactAt(index.row())) state_.selection.insert(c->id);
  }
  clear_->setEnabled(state_.anyFilter());
  const std::size_t count = state_.selection.size();
  selectionBar_->setVisible(count > 0);
  selectionText_->setText(coreText(selectionSummary(count)));
  generate_->setText(coreText(generateDraftsLabel(count)));
}

void ContactsView::markSelected(const char* action) {
  QJsonArray ids;
  for (const Uuid& id : state_.selection) ids.append(uuidText(id));
  state_.selection.clear();
  table_->clearSelection();
  context_.link.request(
      {{"command", "contacts.mark"}, {"action", QString::fromLatin1(action)}, {"ids", ids}},
      [this](const QJsonObject&, const QString& error) {
        feedback_->setVisible(!error.isEmpty());
        feedback_->setText(error);
        // The change feed reloads the list; reading now shows it at once.
        if (error.isEmpty()) reload();
      });
}

void ContactsView::generateDrafts() {
  if (!eventID_) return;
  QJsonArray ids;
  for (const Uuid& id : state_.selection) ids.append(uuidText(id));
  state_.selection.clear();
  table_->clearSelection();
  feedback_->setText(tr("Generating drafts…"));
  feedback_->show();
  context_.link.request(
      {{"command", "drafts.batch"},
       {"eventID", uuidText(*eventID_)},
       {"tone", QStringLiteral("neutral")},
       {"contactIDs", ids}},
      [this](const QJsonObject& result, const QString& error) {
        if (!error.isEmpty()) {
          feedback_->setText(error);
          return;
        }
        const int written = result.value("completed").toInt();
        const int failed = result.value("failed").toInt();
        feedback_->setText(result.value("fromTemplates").toBool()
                               ? tr("%1 drafts written from templates (no AI endpoint is set "
                                    "up and the phone is not connected), %2 failed.")
                                     .arg(written)
                                     .arg(failed)
                               : tr("%1 drafts written, %2 failed.").arg(written).arg(failed));
      });
}

}  // namespace qm::desktop
