#include "desktop/contacts_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "common/log.h"
#include "desktop/bulk_mark_undo.h"
#include "desktop/companion_link.h"
#include "desktop/confirmation.h"
#include "desktop/contact_list_header.h"
#include "desktop/contact_list_model.h"
#include "desktop/flow_layout.h"
#include "desktop/language.h"
#include "desktop/qt_text.h"
#include "desktop/window_state.h"
#include "ui/bulk_actions.h"
#include "ui/dashboard.h"

namespace qm::desktop {

namespace {

// Where the window remembers the contacts list's ordering.
const QString kSortKey = QStringLiteral("contacts/sortField");
const QString kAscendingKey = QStringLiteral("contacts/sortAscending");

}  // namespace

ContactsView::ContactsView(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context), model_(new ContactListModel(this)) {
  auto* layout = new QVBoxLayout(this);

  // The chips wrap onto a second row when the list is narrow.
  auto* chipRow = new QHBoxLayout;
  auto* chipBar = new FlowLayout;
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
  chipRow->addLayout(chipBar, 1);
  auto* exportButton = new QPushButton(tr("Export…"), this);
  exportButton->setObjectName(QStringLiteral("export-contacts"));
  exportButton->setToolTip(tr("Export the contacts to a file (Ctrl+E)"));
  connect(exportButton, &QPushButton::clicked, this, [this] { Q_EMIT exportRequested(); });
  chipRow->addWidget(exportButton, 0, Qt::AlignTop);
  layout->addLayout(chipRow);

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
  shownCount_ = new QLabel(this);
  shownCount_->setObjectName(QStringLiteral("shown-count"));
  searchBar->addWidget(shownCount_);
  auto* sortLabel = new QLabel(tr("Sort:"), this);
  sort_ = new QComboBox(this);
  sort_->setAccessibleName(tr("Sort contacts by"));
  sortLabel->setBuddy(sort_);
  for (const auto& field : EnumInfo<ContactSortField>::cases) sort_->addItem(coreText(field.label));
  connect(sort_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0) return;
    orderBy(EnumInfo<ContactSortField>::cases[static_cast<std::size_t>(index)].value,
            state_.sortAscending);
  });
  direction_ = new QToolButton(this);
  direction_->setAccessibleName(tr("Sort direction"));
  connect(direction_, &QToolButton::clicked, this,
          [this] { orderBy(state_.sortField, !state_.sortAscending); });
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
    subsetIDs_.reset();
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
  // Tab leaves the list (for the detail pane) instead of moving between cells.
  table_->setTabKeyNavigation(false);
  table_->verticalHeader()->hide();
  // Fixed row heights: a list of tens of thousands of rows never measures them.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  header_ = new ContactListHeader(*table_, context_.paths);
  {
    const auto remembered = rememberedState(context_.paths);
    if (auto field = parseEnum<ContactSortField>(utf8(remembered->value(kSortKey).toString())))
      state_.sortField = *field;
    state_.sortAscending = remembered->value(kAscendingKey, state_.sortAscending).toBool();
  }
  connect(header_, &ContactListHeader::orderingChosen, this,
          [this](ContactSortField field, bool ascending) { orderBy(field, ascending); });
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &ContactsView::selectionChanged);
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (restoringSelection_) return;
            const ListContact* c = model_->contactAt(current.row());
            currentID_ = c ? std::optional<Uuid>(c->id) : std::nullopt;
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

  // The count and the bulk actions wrap onto a second row rather than make
  // the list wider than a small window (long in French).
  selectionBar_ = new QWidget(this);
  auto* selectionLayout = new FlowLayout(selectionBar_);
  selectionLayout->setContentsMargins(0, 0, 0, 0);
  selectionText_ = new QLabel(selectionBar_);
  selectionText_->setWordWrap(true);  // on two lines rather than widen a narrow list
  auto* target = new QPushButton(tr("Mark as Target"), selectionBar_);
  auto* met = new QPushButton(tr("Mark as Met"), selectionBar_);
  generate_ = new QPushButton(selectionBar_);
  connect(target, &QPushButton::clicked, this, [this] { markSelected(BulkMark::target); });
  connect(met, &QPushButton::clicked, this, [this] { markSelected(BulkMark::met); });
  connect(generate_, &QPushButton::clicked, this, &ContactsView::generateDrafts);
  selectionLayout->addWidget(selectionText_);
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

void ContactsView::orderBy(ContactSortField field, bool ascending) {
  state_.sortField = field;
  state_.sortAscending = ascending;
  const auto remembered = rememberedState(context_.paths);
  remembered->setValue(kSortKey, qs(rawValue(field)));
  remembered->setValue(kAscendingKey, ascending);
  syncControls();
  refresh();
}

void ContactsView::startFresh() {
  // Filters and search start afresh; the ordering is the user's habit, kept
  // from event to event and from one start to the next.
  const ContactSortField field = state_.sortField;
  const bool ascending = state_.sortAscending;
  state_ = ContactListState{};
  state_.sortField = field;
  state_.sortAscending = ascending;
}

void ContactsView::setEvent(const std::optional<Uuid>& eventID) {
  eventID_ = eventID;
  currentID_.reset();
  startFresh();
  actionKind_.clear();
  subsetIDs_.reset();
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
                        [&](const ListContact& c) { return c.id == id; });
  });
  refresh();
}

void ContactsView::showActionSubset(const std::string& kind, const QString& text) {
  startFresh();
  actionKind_ = kind;
  subsetIDs_.reset();
  actionText_->setText(tr("Showing: %1").arg(text));
  actionBar_->show();
  syncControls();
  refresh();
}

void ContactsView::showContactSubset(const std::vector<Uuid>& contactIDs, const QString& text) {
  startFresh();
  actionKind_.clear();
  subsetIDs_.emplace(contactIDs.begin(), contactIDs.end());
  actionText_->setText(tr("Showing: %1").arg(text));
  actionBar_->show();
  syncControls();
  refresh();
}

void ContactsView::showAll() {
  state_.clearFilters();
  state_.searchText.clear();
  actionKind_.clear();
  subsetIDs_.reset();
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
  std::vector<const ListContact*> rows =
      searchTexts_
          ? visibleContacts(records_.contacts, *searchTexts_, records_.contactsWithNotes, state_)
          : visibleContacts(records_.contacts, records_.contactsWithNotes, state_);
  if (!actionKind_.empty())
    std::erase_if(rows, [&](const ListContact* c) { return !countsTowardAction(actionKind_, *c); });
  if (subsetIDs_)
    std::erase_if(rows, [&](const ListContact* c) { return !subsetIDs_->contains(c->id); });

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

  shownCount_->setText(tr("%1 of %2")
                           .arg(QLocale().toString(model_->rowCount()),
                                QLocale().toString(records_.contacts.size())));
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
  header_->showOrdering(state_.sortField, state_.sortAscending);
  direction_->setText(state_.sortAscending ? QStringLiteral("↑") : QStringLiteral("↓"));
  direction_->setToolTip(state_.sortAscending ? tr("Ascending") : tr("Descending"));
  clear_->setEnabled(state_.anyFilter());
}

void ContactsView::selectionChanged() {
  if (!restoringSelection_) {
    state_.selection.clear();
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
      if (const ListContact* c = model_->contactAt(index.row())) state_.selection.insert(c->id);
  }
  clear_->setEnabled(state_.anyFilter());
  const std::size_t count = state_.selection.size();
  selectionBar_->setVisible(count > 0);
  const int n = static_cast<int>(count);
  selectionText_->setText(tr("%Ln contacts selected", nullptr, n));
  // On one line where the row has room: left to itself, a wrapping label takes
  // a narrow width and breaks even "1 contact sélectionné" in two.
  selectionText_->setMinimumWidth(
      selectionText_->fontMetrics().horizontalAdvance(selectionText_->text()));
  // A batch from the selection writes at most kMaxDraftsPerSelection drafts.
  const int batch = static_cast<int>(std::min(count, kMaxDraftsPerSelection));
  generate_->setText(count > kMaxDraftsPerSelection ? tr("Generate %Ln Drafts", nullptr, batch)
                                                    : tr("Generate Drafts for %Ln", nullptr, n));
  generate_->setToolTip(
      count > kMaxDraftsPerSelection
          ? tr("Drafts for the first %1 of the %2 selected contacts, in a neutral tone")
                .arg(QLocale().toString(batch), QLocale().toString(n))
          : tr("Drafts in a neutral tone"));
}

void ContactsView::markSelected(BulkMark mark) {
  const int count = static_cast<int>(state_.selection.size());
  if (count == 0) return;
  const bool target = mark == BulkMark::target;
  if (count > kAskAbove) {
    const bool go = confirm(this, {target ? tr("Mark as Target") : tr("Mark as Met"),
                                   target ? tr("Mark %Ln contacts as targets?", nullptr, count)
                                          : tr("Mark %Ln contacts as met?", nullptr, count),
                                   tr("Edit ▸ Undo (Ctrl+Z) takes the change back."),
                                   target ? tr("Mark as Target") : tr("Mark as Met"),
                                   QMessageBox::AcceptRole, QMessageBox::Question});
    if (!go) return;
  }
  const QJsonObject undo = bulkMarkUndo(records_.contacts, state_.selection, mark);
  QJsonArray ids;
  for (const Uuid& id : state_.selection) ids.append(uuidText(id));
  state_.selection.clear();
  table_->clearSelection();
  context_.link.request(
      {{"command", "contacts.mark"},
       {"action", target ? QStringLiteral("target") : QStringLiteral("met")},
       {"ids", ids}},
      [self = QPointer(this), undo, target](const QJsonObject&, const QString& error) {
        if (self) self->marked(error, target, undo);
      });
}

void ContactsView::marked(const QString& error, bool target, const QJsonObject& undo) {
  feedback_->setVisible(!error.isEmpty());
  feedback_->setText(error);
  if (!error.isEmpty()) return;
  Q_EMIT undoableEdit(target ? tr("Mark as Target") : tr("Mark as Met"), undo);
  // The change feed reloads the list; reading now shows it at once.
  reload();
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
        const QString failed = QLocale().toString(result.value("failed").toInt());
        feedback_->setText(
            result.value("fromTemplates").toBool()
                ? tr("%Ln drafts written from templates (no AI endpoint is set "
                     "up and the phone is not connected), %1 failed.",
                     nullptr, written)
                      .arg(failed)
                : tr("%Ln drafts written, %1 failed.", nullptr, written).arg(failed));
      });
}

}  // namespace qm::desktop
