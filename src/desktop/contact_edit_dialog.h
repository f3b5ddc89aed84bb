#pragma once

#include <QDialog>
#include <QJsonObject>
#include <map>

#include "store/contact.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace qm::desktop {

/// Edits one contact's own fields: name, company and role, how to reach
/// them, where they are, the meeting (status and rating), target and
/// favourite, owner and tier, and the action plan. It only collects the
/// changes; the caller sends them to the companion.
class ContactEditDialog : public QDialog {
  Q_OBJECT
 public:
  ContactEditDialog(const Contact& contact, QWidget* parent = nullptr);

  /// The fields the user changed, named as the companion's "contact.update"
  /// names them; empty when nothing changed.
  QJsonObject changes() const;

  QLineEdit* textField(const QString& name) const;
  QComboBox* statusBox() const { return status_; }
  QSpinBox* ratingBox() const { return rating_; }
  QCheckBox* targetBox() const { return target_; }
  QCheckBox* favoriteBox() const { return favorite_; }

 private:
  Contact contact_;
  std::map<QString, QLineEdit*> texts_;
  QComboBox* status_ = nullptr;
  QSpinBox* rating_ = nullptr;
  QCheckBox* target_ = nullptr;
  QCheckBox* favorite_ = nullptr;
  QPlainTextEdit* actionPlan_ = nullptr;
};

}  // namespace qm::desktop
