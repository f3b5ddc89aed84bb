#include "desktop/contact_edit_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "common/enum_info.h"
#include "desktop/language.h"
#include "desktop/qt_text.h"
#include "desktop/text_tone.h"
#include "store/record_checks.h"

namespace qm::desktop {

namespace {

/// The contact's text fields in the dialog's order, by group.
struct TextField {
  const char* name;  ///< the companion's field name
  const char* label;
  std::string Contact::*required = nullptr;
  std::optional<std::string> Contact::*optional = nullptr;
};

QString valueOf(const Contact& c, const TextField& field) {
  return field.required ? qs(c.*field.required) : qs(c.*field.optional);
}

const std::vector<std::vector<TextField>>& textGroups() {
  static const std::vector<std::vector<TextField>> groups{
      {{"firstName", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "First name"),
        &Contact::firstName},
       {"lastName", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "Last name"),
        &Contact::lastName},
       {"title", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "Job title"), nullptr,
        &Contact::title},
       {"company", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "Company"),
        &Contact::company}},
      {{"email", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "E-mail"), nullptr,
        &Contact::email},
       {"phone", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "Phone"), nullptr,
        &Contact::phone},
       {"linkedinURL", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "LinkedIn"), nullptr,
        &Contact::linkedinURL},
       {"city", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "City"), nullptr,
        &Contact::city},
       {"stateRegion", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "Region"), nullptr,
        &Contact::stateRegion},
       {"postalCode", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "Postal code"), nullptr,
        &Contact::postalCode},
       {"country", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "Country"), nullptr,
        &Contact::country}},
      {{"ownedBy", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "Owner"), nullptr,
        &Contact::ownedBy},
       {"tier", QT_TRANSLATE_NOOP("qm::desktop::ContactEditDialog", "Tier"), nullptr,
        &Contact::tier}},
  };
  return groups;
}

QFormLayout* form() {
  auto* layout = new QFormLayout;
  layout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  layout->setRowWrapPolicy(QFormLayout::WrapLongRows);
  return layout;
}

}  // namespace

ContactEditDialog::ContactEditDialog(const Contact& contact, QWidget* parent)
    : QDialog(parent), contact_(contact) {
  const QString name = qs(contact.fullName());
  setWindowTitle(tr("Edit %1").arg(name.isEmpty() ? tr("Contact") : name));
  setAccessibleName(tr("Edit contact"));
  auto* layout = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout;
  layout->addLayout(columns);

  const QStringList titles{tr("Person"), tr("Reach and place"), tr("Follow-up")};
  std::vector<QFormLayout*> forms;
  for (std::size_t group = 0; group < textGroups().size(); ++group) {
    auto* box = new QGroupBox(titles[static_cast<int>(group)], this);
    QFormLayout* fields = form();
    box->setLayout(fields);
    forms.push_back(fields);
    for (const TextField& field : textGroups()[group]) {
      const QString key = QString::fromLatin1(field.name);
      // The field with, under it, what is wrong with it when something is.
      auto* cell = new QWidget(box);
      auto* cellLayout = new QVBoxLayout(cell);
      cellLayout->setContentsMargins(0, 0, 0, 0);
      cellLayout->setSpacing(2);
      auto* edit = new QLineEdit(valueOf(contact, field), cell);
      const QString label = tr(field.label);
      edit->setAccessibleName(label);
      edit->setObjectName(key);
      edit->setMinimumWidth(180);
      cellLayout->addWidget(edit);
      auto* problem = new QLabel(cell);
      problem->setObjectName(key + QStringLiteral("Problem"));
      problem->setWordWrap(true);
      setTextTone(problem, TextTone::error);
      problem->hide();
      cellLayout->addWidget(problem);
      fields->addRow(label, cell);
      if (auto* text = qobject_cast<QLabel*>(fields->labelForField(cell))) text->setBuddy(edit);
      texts_[key] = edit;
      problems_[key] = problem;
      connect(edit, &QLineEdit::textEdited, this, [this, key] { clearProblem(key); });
    }
    columns->addWidget(box, 1);
  }

  QFormLayout* follow = forms.back();
  status_ = new QComboBox(this);
  for (MeetingStatus status : allCases<MeetingStatus>())
    status_->addItem(coreText(displayLabel(status)), qs(rawValue(status)));
  status_->setCurrentIndex(status_->findData(qs(rawValue(contact.status))));
  status_->setAccessibleName(tr("Status"));
  follow->insertRow(0, tr("Status"), status_);

  rating_ = new QSpinBox(this);
  rating_->setRange(0, 5);
  rating_->setSpecialValueText(tr("None"));
  rating_->setSuffix(tr(" of 5"));
  rating_->setValue(static_cast<int>(contact.interactionRating.value_or(0)));
  rating_->setAccessibleName(tr("Rating"));
  follow->insertRow(1, tr("Rating"), rating_);

  target_ = new QCheckBox(tr("Target"), this);
  target_->setChecked(contact.isTarget);
  favorite_ = new QCheckBox(tr("Favourite"), this);
  favorite_->setChecked(contact.isFavorite);
  auto* marks = new QHBoxLayout;
  marks->addWidget(target_);
  marks->addWidget(favorite_);
  marks->addStretch(1);
  follow->insertRow(2, QString(), marks);

  actionPlan_ = new QPlainTextEdit(qs(contact.aiActionPlan), this);
  actionPlan_->setAccessibleName(tr("Action plan"));
  actionPlan_->setTabChangesFocus(true);
  actionPlan_->setMinimumHeight(90);
  follow->addRow(tr("Action plan"), actionPlan_);

  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("saveProblem"));
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  setTextTone(message_, TextTone::error);
  message_->hide();
  layout->addWidget(message_);
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
  connect(buttons_, &QDialogButtonBox::accepted, this, &ContactEditDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons_);
  texts_[QStringLiteral("firstName")]->setFocus();
}

Contact ContactEditDialog::edited() const {
  Contact c = contact_;
  for (const auto& group : textGroups()) {
    for (const TextField& field : group) {
      const QString now = texts_.at(QString::fromLatin1(field.name))->text().trimmed();
      if (field.required)
        c.*field.required = utf8(now);
      else
        c.*field.optional = now.isEmpty() ? std::nullopt : std::optional(utf8(now));
    }
  }
  return c;
}

void ContactEditDialog::accept() {
  if (saving_) return;  // the companion has not answered the last Save yet
  message_->hide();
  for (const auto& [name, label] : problems_) clearProblem(name);
  if (const auto problem = contactProblem(edited())) {
    const QString name = qs(problem->field);
    markProblem(name, coreText(problem->rule));
    if (QLineEdit* field = textField(name)) field->setFocus();
    return;
  }
  const QJsonObject changed = changes();
  if (changed.isEmpty() || !saver_) return QDialog::accept();
  setSaving(true);
  QPointer<ContactEditDialog> self(this);
  saver_(changed, [self](const QString& error) {
    if (!self) return;
    self->setSaving(false);
    if (error.isEmpty()) return self->QDialog::accept();
    self->message_->setText(tr("Not saved: %1").arg(error));
    self->message_->show();
  });
}

void ContactEditDialog::setSaving(bool saving) {
  saving_ = saving;
  saveButton()->setEnabled(!saving);
}

void ContactEditDialog::markProblem(const QString& name, const QString& problem) {
  QLineEdit* field = textField(name);
  QLabel* label = problems_.count(name) ? problems_.at(name) : nullptr;
  if (!field || !label) {
    message_->setText(problem);
    message_->show();
    return;
  }
  label->setText(problem);
  label->show();
  field->setAccessibleDescription(problem);
  // A frame in the colour the reason is written in.
  field->setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid %1; border-radius: 3px; }")
                           .arg(label->palette().color(QPalette::WindowText).name()));
}

void ContactEditDialog::clearProblem(const QString& name) {
  QLabel* label = problems_.at(name);
  if (label->isHidden()) return;
  label->hide();
  label->clear();
  textField(name)->setAccessibleDescription({});
  textField(name)->setStyleSheet({});
}

QPushButton* ContactEditDialog::saveButton() const {
  return buttons_->button(QDialogButtonBox::Save);
}

QString ContactEditDialog::problemOf(const QString& name) const {
  const auto it = problems_.find(name);
  return it == problems_.end() || it->second->isHidden() ? QString() : it->second->text();
}

QLineEdit* ContactEditDialog::textField(const QString& name) const {
  const auto it = texts_.find(name);
  return it == texts_.end() ? nullptr : it->second;
}

QJsonObject ContactEditDialog::changes() const {
  QJsonObject changed;
  for (const auto& group : textGroups()) {
    for (const TextField& field : group) {
      const QString name = QString::fromLatin1(field.name);
      const QString now = texts_.at(name)->text().trimmed();
      if (now == valueOf(contact_, field).trimmed()) continue;
      // An emptied optional field is cleared; a required one becomes empty text.
      changed[name] = now.isEmpty() && field.optional ? QJsonValue() : QJsonValue(now);
    }
  }
  const QString status = status_->currentData().toString();
  if (status != qs(rawValue(contact_.status))) changed[QStringLiteral("status")] = status;
  const int rating = rating_->value();
  if (rating != contact_.interactionRating.value_or(0))
    changed[QStringLiteral("interactionRating")] = rating == 0 ? QJsonValue() : QJsonValue(rating);
  if (target_->isChecked() != contact_.isTarget)
    changed[QStringLiteral("isTarget")] = target_->isChecked();
  if (favorite_->isChecked() != contact_.isFavorite)
    changed[QStringLiteral("isFavorite")] = favorite_->isChecked();
  const QString plan = actionPlan_->toPlainText().trimmed();
  if (plan != qs(contact_.aiActionPlan).trimmed())
    changed[QStringLiteral("aiActionPlan")] = plan.isEmpty() ? QJsonValue() : QJsonValue(plan);
  return changed;
}

}  // namespace qm::desktop
