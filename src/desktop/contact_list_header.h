#pragma once

#include <QObject>
#include <memory>
#include <optional>

#include "common/app_paths.h"
#include "ui/contact_list.h"

class QHeaderView;
class QMenu;
class QSettings;
class QTableView;
class QWidget;

namespace qm::desktop {

/// The list ordering a column of the contacts list stands for, if any.
std::optional<ContactSortField> orderingOfColumn(int column);

/// The column headers of the contacts list: a click orders the list by the
/// column (a second click turns the direction round), the context menu shows
/// and hides columns, and their widths, order and visibility are kept in the
/// window's state for the next start. The name takes the width the other
/// columns leave, but never less than `kNameWidth`: a narrow window scrolls
/// the list sideways rather than squeeze the names away.
class ContactListHeader : public QObject {
  Q_OBJECT
 public:
  static constexpr int kNameWidth = 180;

  ContactListHeader(QTableView& table, const AppPaths& paths);
  ~ContactListHeader() override;

  /// Shows the ordering's arrow on its column, or none when no column has it.
  void showOrdering(ContactSortField field, bool ascending);
  /// The "Columns" menu: one checkable entry per column but the name.
  std::unique_ptr<QMenu> columnsMenu();

 signals:
  void orderingChosen(qm::ContactSortField field, bool ascending);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void clicked(int column);
  void save();
  /// Gives the name column what the others leave of the list's width.
  void fitName();

  QWidget* viewport_;  ///< the table's, whose width the columns share
  QHeaderView* header_;
  std::unique_ptr<QSettings> state_;
  ContactSortField field_ = ContactSortField::name;
  bool ascending_ = true;
};

}  // namespace qm::desktop
