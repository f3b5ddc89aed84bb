#pragma once

#include <QList>
#include <QMetaObject>
#include <QModelIndex>
#include <QObject>
#include <QPointer>
#include <optional>

#include "common/uuid.h"

class QItemSelectionModel;

namespace qm::desktop {

/// The contact of the current row of the list the window shows (the contacts
/// list, a company's people, the opportunities, the drafts): what the detail
/// pane shows and what its actions act on. It follows the list's selection
/// model and reads the contact's id from the current row's first column under
/// the list's own role. When the current row disappears (a filter hides it, a
/// reload drops it) there is no current contact until the list sets another.
class CurrentContact : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  /// Follows `selection` from now on; nullptr for a view without contacts.
  void follow(QItemSelectionModel* selection, int idRole);
  const std::optional<Uuid>& id() const { return id_; }

 signals:
  /// The current contact became `id`, or its list read its rows again (the
  /// same id then: its record may have changed). A list that rebuilds its
  /// rows loses its current row for a moment and sets it again at once; the
  /// loss is announced only when the list did not set one again by the next
  /// turn of the event loop, so a rebuilt list does not make the pane blink.
  /// `id()` is exact at all times.
  void changed(const std::optional<qm::Uuid>& id);

 private:
  void read();
  void currentMoved();
  void rowsReset();
  void rowsChanged(const QModelIndex& first, const QModelIndex& last);

  QPointer<QItemSelectionModel> selection_;
  int role_ = 0;
  std::optional<Uuid> id_;
  QList<QMetaObject::Connection> connections_;
  /// A reset left no current row; the loss is announced unless one comes back.
  bool lossPending_ = false;
};

}  // namespace qm::desktop
