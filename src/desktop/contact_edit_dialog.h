#pragma once

#include <QDialog>
#include <QJsonObject>
#include <functional>
#include <map>

#include "store/contact.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace qm::desktop {

/// Edits one contact's own fields: name, company and role, how to reach
/// them, where they are, the meeting (status and rating), target and
/// favourite, owner and tier, and the action plan. "Save" hands the changes
/// to the saver and closes only once the companion accepted them; a field
/// that breaks a rule (no name, an e-mail without "@") is marked with the
/// reason beside it and nothing is sent, and a refusal is shown in the
/// dialog. Either way everything typed stays.
class ContactEditDialog : public QDialog {
  Q_OBJECT
 public:
  /// Runs with the companion's reason when it refused the changes, or empty.
  using Answered = std::function<void(const QString& error)>;
  /// Sends the changes on; calls `answered` once with the outcome.
  using Saver = std::function<void(const QJsonObject& changes, Answered answered)>;

  ContactEditDialog(const Contact& contact, QWidget* parent = nullptr);

  /// Without a saver, "Save" closes the dialog with its changes.
  void setSaver(Saver saver) { saver_ = std::move(saver); }

  /// The fields the user changed, named as the companion's "contact.update"
  /// names them; empty when nothing changed.
  QJsonObject changes() const;

  QLineEdit* textField(const QString& name) const;
  /// What is wrong with the field `name` (empty while nothing is).
  QString problemOf(const QString& name) const;
  QPushButton* saveButton() const;
  /// The companion's refusal of the last save (hidden while there is none).
  QLabel* messageLabel() const { return message_; }
  QComboBox* statusBox() const { return status_; }
  QSpinBox* ratingBox() const { return rating_; }
  QCheckBox* targetBox() const { return target_; }
  QCheckBox* favoriteBox() const { return favorite_; }

 public slots:
  /// Checks the fields, then saves through the saver; closes once saved.
  void accept() override;

 private:
  /// The contact as the fields have it now.
  Contact edited() const;
  void markProblem(const QString& name, const QString& problem);
  void clearProblem(const QString& name);
  void setSaving(bool saving);

  Contact contact_;
  Saver saver_;
  std::map<QString, QLineEdit*> texts_;
  std::map<QString, QLabel*> problems_;
  QComboBox* status_ = nullptr;
  QSpinBox* rating_ = nullptr;
  QCheckBox* target_ = nullptr;
  QCheckBox* favorite_ = nullptr;
  QPlainTextEdit* actionPlan_ = nullptr;
  QLabel* message_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
  bool saving_ = false;
};

}  // namespace qm::desktop
