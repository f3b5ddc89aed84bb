#include "desktop/contact_list_header.h"

#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QSettings>
#include <QTableView>
#include <algorithm>

#include "desktop/contact_list_model.h"
#include "desktop/window_state.h"

namespace qm::desktop {

namespace {

const QString kStateKey = QStringLiteral("contactsList/header");

}  // namespace

std::optional<ContactSortField> orderingOfColumn(int column) {
  switch (column) {
    case ContactListModel::name:
      return ContactSortField::name;
    case ContactListModel::company:
      return ContactSortField::company;
    case ContactListModel::title:
      return ContactSortField::title;
    case ContactListModel::meeting:
      return ContactSortField::status;
    case ContactListModel::tier:
      return ContactSortField::tier;
    case ContactListModel::score:
      return ContactSortField::score;
    case ContactListModel::rating:
      return ContactSortField::highestRated;
    default:
      return std::nullopt;
  }
}

ContactListHeader::ContactListHeader(QTableView& table, const AppPaths& paths)
    : QObject(&table),
      viewport_(table.viewport()),
      header_(table.horizontalHeader()),
      state_(rememberedState(paths)) {
  // The name takes what the other columns leave (`fitName`); none is measured
  // row by row.
  header_->setStretchLastSection(false);
  header_->setSectionResizeMode(QHeaderView::Interactive);
  header_->setMinimumSectionSize(36);
  const std::pair<int, int> widths[] = {
      {ContactListModel::company, 150}, {ContactListModel::title, 120},
      {ContactListModel::meeting, 95},  {ContactListModel::tier, 40},
      {ContactListModel::score, 55},    {ContactListModel::rating, 70}};
  for (const auto& [column, width] : widths) table.setColumnWidth(column, width);
  header_->restoreState(state_->value(kStateKey).toByteArray());
  // A state kept by an earlier version may have the name stretching.
  header_->setSectionResizeMode(QHeaderView::Interactive);

  header_->setSectionsClickable(true);
  header_->setSectionsMovable(true);
  header_->setSortIndicatorShown(true);
  header_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(header_, &QHeaderView::sectionClicked, this, &ContactListHeader::clicked);
  connect(header_, &QHeaderView::sectionResized, this, [this](int column) {
    if (column != ContactListModel::name) fitName();
    save();
  });
  connect(header_, &QHeaderView::sectionMoved, this, &ContactListHeader::save);
  table.viewport()->installEventFilter(this);
  fitName();
  connect(header_, &QHeaderView::customContextMenuRequested, this,
          [this](const QPoint& at) { columnsMenu()->exec(header_->viewport()->mapToGlobal(at)); });
}

ContactListHeader::~ContactListHeader() = default;

void ContactListHeader::showOrdering(ContactSortField field, bool ascending) {
  field_ = field;
  ascending_ = ascending;
  int column = -1;
  for (int c = 0; c < ContactListModel::kColumns; ++c)
    if (orderingOfColumn(c) == field) column = c;
  const QSignalBlocker quiet(header_);
  header_->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

std::unique_ptr<QMenu> ContactListHeader::columnsMenu() {
  auto menu = std::make_unique<QMenu>(tr("Columns"), header_);
  for (int c = 0; c < ContactListModel::kColumns; ++c) {
    if (c == ContactListModel::name) continue;  // the list always names its rows
    QAction* shown = menu->addAction(header_->model()->headerData(c, Qt::Horizontal).toString(),
                                     this, [this, c](bool on) {
                                       header_->setSectionHidden(c, !on);
                                       fitName();
                                       save();
                                     });
    shown->setCheckable(true);
    shown->setChecked(!header_->isSectionHidden(c));
  }
  return menu;
}

void ContactListHeader::clicked(int column) {
  const std::optional<ContactSortField> field = orderingOfColumn(column);
  if (!field) {
    showOrdering(field_, ascending_);  // Qt moved the arrow: put it back
    return;
  }
  Q_EMIT orderingChosen(*field, *field == field_ ? !ascending_ : true);
}

bool ContactListHeader::eventFilter(QObject* watched, QEvent* event) {
  // Only the pointer is compared: the table may be half destroyed when its
  // viewport's last events come through here.
  if (event->type() == QEvent::Resize && watched == viewport_) fitName();
  return QObject::eventFilter(watched, event);
}

void ContactListHeader::fitName() {
  int others = 0;
  for (int c = 0; c < ContactListModel::kColumns; ++c)
    if (c != ContactListModel::name && !header_->isSectionHidden(c))
      others += header_->sectionSize(c);
  const int width = std::max(kNameWidth, viewport_->width() - others);
  if (header_->sectionSize(ContactListModel::name) != width)
    header_->resizeSection(ContactListModel::name, width);
}

void ContactListHeader::save() {
  state_->setValue(kStateKey, header_->saveState());
}

}  // namespace qm::desktop
