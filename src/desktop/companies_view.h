#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "common/uuid.h"
#include "desktop/desktop_context.h"
#include "ui/company_list.h"
#include "ui/list_contact.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QTreeWidget;

namespace qm::desktop {

/// The companies of one event, made from its contacts: search, the four
/// orderings, and per company its contact count, met count and average
/// rating; a company opens to its contacts, whose rows keep the contact's id
/// under `kContactRole`. A reload keeps the current row and the open companies.
class CompaniesView : public QWidget {
  Q_OBJECT
 public:
  CompaniesView(DesktopContext& context, QWidget* parent = nullptr);

  void setEvent(const std::optional<Uuid>& eventID);
  void reload();
  /// Selects the company whose name is `name` (as the roll-up writes it).
  void reveal(const QString& name);

  QTreeWidget* tree() const { return tree_; }
  QLineEdit* searchField() const { return search_; }
  QComboBox* sortMenu() const { return sort_; }

 private:
  void refresh();

  DesktopContext& context_;
  std::optional<Uuid> eventID_;
  std::vector<ListContact> contacts_;
  CompanyListState state_;
  QLineEdit* search_ = nullptr;
  QComboBox* sort_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QTreeWidget* tree_ = nullptr;
  QLabel* empty_ = nullptr;
};

}  // namespace qm::desktop
