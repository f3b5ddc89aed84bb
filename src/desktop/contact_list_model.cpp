#include "desktop/contact_list_model.h"

#include <QLocale>

#include "desktop/qt_text.h"

namespace qm::desktop {

QString meetingText(MeetingIndicator indicator) {
  switch (indicator) {
    case MeetingIndicator::met:
      return QObject::tr("Met");
    case MeetingIndicator::metByTeammate:
      return QObject::tr("Met by team");
    case MeetingIndicator::notMet:
      return QObject::tr("Not met");
    case MeetingIndicator::archived:
      return QObject::tr("Archived");
    case MeetingIndicator::declined:
      return QObject::tr("Declined");
    case MeetingIndicator::noShow:
      return QObject::tr("No-show");
  }
  return {};
}

void ContactListModel::setContacts(std::vector<const ListContact*> contacts) {
  beginResetModel();
  contacts_ = std::move(contacts);
  endResetModel();
}

const ListContact* ContactListModel::contactAt(int row) const {
  if (row < 0 || row >= static_cast<int>(contacts_.size())) return nullptr;
  return contacts_[static_cast<std::size_t>(row)];
}

int ContactListModel::rowOf(const Uuid& id) const {
  for (std::size_t i = 0; i < contacts_.size(); ++i)
    if (contacts_[i]->id == id) return static_cast<int>(i);
  return -1;
}

int ContactListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(contacts_.size());
}

int ContactListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant ContactListModel::data(const QModelIndex& index, int role) const {
  const ListContact* c = contactAt(index.row());
  if (!c) return {};
  if (role == kIDRole) return uuidText(c->id);
  if (role == Qt::TextAlignmentRole && (index.column() == score || index.column() == rating))
    return int(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
    return {};
  switch (index.column()) {
    case name: {
      QString text = qs(c->fullName());
      if (c->isFavorite) text += QStringLiteral(" ★");
      if (c->isTarget && role == Qt::DisplayRole) text += QStringLiteral(" ◎");
      return text;
    }
    case company:
      return qs(c->company);
    case title:
      return qs(c->title);
    case meeting:
      return meetingText(c->meetingIndicator());
    case tier:
      return qs(c->tier);
    case score:
      return c->overallScore ? QLocale().toString(*c->overallScore, 'f', 1) : QString();
    case rating:
      return c->interactionRating ? QString(static_cast<int>(*c->interactionRating), QChar(0x2605))
                                  : QString();
  }
  return {};
}

QVariant ContactListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case name:
      return tr("Name");
    case company:
      return tr("Company");
    case title:
      return tr("Title");
    case meeting:
      return tr("Meeting");
    case tier:
      return tr("Tier");
    case score:
      return tr("Score");
    case rating:
      return tr("Rating");
  }
  return {};
}

}  // namespace qm::desktop
