#include "desktop/detail/current_contact.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QTimer>

#include "desktop/qt_text.h"

namespace qm::desktop {

void CurrentContact::follow(QItemSelectionModel* selection, int idRole) {
  if (selection == selection_ && idRole == role_) return;
  for (const QMetaObject::Connection& connection : connections_) disconnect(connection);
  connections_.clear();
  selection_ = selection;
  role_ = idRole;
  lossPending_ = false;
  if (selection) {
    connections_ << connect(selection, &QItemSelectionModel::currentChanged, this,
                            &CurrentContact::currentMoved);
    // Another model: its rows, followed afresh.
    connections_ << connect(selection, &QItemSelectionModel::modelChanged, this, [this] {
      QItemSelectionModel* same = selection_;
      selection_ = nullptr;
      follow(same, role_);
    });
    if (const QAbstractItemModel* model = selection->model()) {
      connections_ << connect(model, &QAbstractItemModel::modelReset, this,
                              &CurrentContact::rowsReset);
      connections_ << connect(model, &QAbstractItemModel::dataChanged, this,
                              &CurrentContact::rowsChanged);
    }
  }
  read();
  Q_EMIT changed(id_);
}

void CurrentContact::read() {
  id_.reset();
  if (!selection_) return;
  const QModelIndex current = selection_->currentIndex();
  if (current.isValid()) id_ = uuidFromText(current.siblingAtColumn(0).data(role_).toString());
}

void CurrentContact::currentMoved() {
  lossPending_ = false;
  read();
  Q_EMIT changed(id_);
}

void CurrentContact::rowsReset() {
  const bool had = id_.has_value();
  read();
  if (id_) {
    Q_EMIT changed(id_);
    return;
  }
  if (!had || lossPending_) return;
  lossPending_ = true;
  QTimer::singleShot(0, this, [this] {
    if (!lossPending_) return;
    lossPending_ = false;
    Q_EMIT changed(id_);
  });
}

void CurrentContact::rowsChanged(const QModelIndex& first, const QModelIndex& last) {
  if (!selection_) return;
  const QModelIndex current = selection_->currentIndex();
  if (!current.isValid() || current.parent() != first.parent() || current.row() < first.row() ||
      current.row() > last.row())
    return;
  read();
  Q_EMIT changed(id_);
}

}  // namespace qm::desktop
