#pragma once

#include <QJsonObject>
#include <QWidget>
#include <array>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/uuid.h"
#include "desktop/bulk_mark_undo.h"
#include "desktop/desktop_context.h"
#include "ui/contact_list.h"
#include "ui/event_records.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableView;
class QToolButton;

namespace qm::desktop {

class ContactListHeader;
class ContactListModel;

/// The contacts of one event: the seven filter chips with "Clear", the search
/// field, "Sort:" with its direction, the table, and while contacts are
/// selected "N contacts selected" with the bulk actions. The rows come from
/// `visibleContacts`; bulk changes go to the companion.
class ContactsView : public QWidget {
  Q_OBJECT
 public:
  /// Bulk marks of more contacts than this ask first.
  static constexpr int kAskAbove = 5;

  ContactsView(DesktopContext& context, QWidget* parent = nullptr);
  ~ContactsView() override;

  /// Shows the event's contacts with a fresh list state.
  void setEvent(const std::optional<Uuid>& eventID);
  /// Reads the records again, keeping the list state and the selection.
  void reload();
  /// Narrows the list to the contacts counted by a dashboard action (`kind`
  /// of `countsTowardAction`), with `text` saying so above the rows.
  void showActionSubset(const std::string& kind, const QString& text);
  /// Narrows the list to `contactIDs` (the contacts behind a dashboard
  /// chart's bar), with `text` saying so above the rows.
  void showContactSubset(const std::vector<Uuid>& contactIDs, const QString& text);
  /// Selects and shows the contact.
  void reveal(const Uuid& contactID);

  const ContactListState& state() const { return state_; }
  QLineEdit* searchField() const { return search_; }
  QTableView* table() const { return table_; }
  ContactListModel* model() const { return model_; }

 signals:
  /// "Export…": the event's contacts, with the rows shown and selected now.
  void exportRequested();
  /// A bulk mark the companion saved that the request `undo` takes back.
  void undoableEdit(const QString& description, const QJsonObject& undo);

 private:
  /// Orders the list and remembers the ordering for the next start.
  void orderBy(ContactSortField field, bool ascending);
  /// A fresh list state that keeps the ordering.
  void startFresh();
  void refresh();
  /// Turns the chips, the search and a dashboard subset off.
  void showAll();
  void syncControls();
  void selectionChanged();
  void markSelected(BulkMark mark);
  /// The companion's answer to a bulk mark: its error, or the undo to offer.
  void marked(const QString& error, bool target, const QJsonObject& undo);
  void generateDrafts();

  DesktopContext& context_;
  std::optional<Uuid> eventID_;
  EventRecords records_;
  /// The records' contacts folded for the search, made at the first search
  /// after the records were read and kept for every keystroke after it.
  std::optional<ContactSearchTexts> searchTexts_;
  ContactListState state_;
  std::string actionKind_;
  /// The contacts of a chosen chart bar, while the list is narrowed to them.
  std::optional<std::unordered_set<Uuid>> subsetIDs_;
  /// The contact with the keyboard focus in the list, kept across reloads.
  std::optional<Uuid> currentID_;

  std::array<QToolButton*, 7> chips_{};
  QPushButton* clear_ = nullptr;
  QLineEdit* search_ = nullptr;
  QComboBox* sort_ = nullptr;
  QToolButton* direction_ = nullptr;
  QWidget* actionBar_ = nullptr;
  QLabel* actionText_ = nullptr;
  QWidget* selectionBar_ = nullptr;
  QLabel* selectionText_ = nullptr;
  QPushButton* generate_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QTableView* table_ = nullptr;
  QLabel* emptyText_ = nullptr;
  QPushButton* emptyClear_ = nullptr;
  QLabel* feedback_ = nullptr;
  ContactListModel* model_ = nullptr;
  ContactListHeader* header_ = nullptr;
  QLabel* shownCount_ = nullptr;
  bool restoringSelection_ = false;
};

}  // namespace qm::desktop
