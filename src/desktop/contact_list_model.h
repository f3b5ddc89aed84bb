#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "ui/list_contact.h"

namespace qm::desktop {

/// The rows of a contacts list: pointers into records its owner keeps alive,
/// in the order the list rules gave them.
class ContactListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { name, company, title, meeting, tier, score, rating };
  static constexpr int kColumns = 7;
  /// The contact's id as text, on every column.
  static constexpr int kIDRole = Qt::UserRole;

  using QAbstractTableModel::QAbstractTableModel;

  void setContacts(std::vector<const ListContact*> contacts);
  const ListContact* contactAt(int row) const;
  /// The row of `id`, or -1.
  int rowOf(const Uuid& id) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<const ListContact*> contacts_;
};

/// What the list shows for a contact's meeting indicator.
QString meetingText(MeetingIndicator indicator);

}  // namespace qm::desktop
