#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/enum_info.h"
#include "desktop/qt_text.h"
#include "desktop/settings_page.h"
#include "settings/app_settings.h"

namespace qm::desktop {

GeneralSettingsTab::GeneralSettingsTab(DesktopContext& context, QWidget* parent)
    : SettingsPage(context, parent), relaunch(relaunchWindow) {
  displayName_ = new QLineEdit(this);
  displayName_->setObjectName(QStringLiteral("displayName"));
  displayName_->setAccessibleName(tr("Display name"));
  displayName_->setPlaceholderText(tr("Shown to your phone and on the notes you write"));
  organization_ = new QLineEdit(this);
  organization_->setObjectName(QStringLiteral("organizationName"));
  organization_->setAccessibleName(tr("Organisation"));
  senderName_ = new QLineEdit(this);
  senderName_->setObjectName(QStringLiteral("senderName"));
  senderName_->setAccessibleName(tr("Sender name"));
  senderName_->setPlaceholderText(tr("Your name as your follow-ups show it"));
  senderEmail_ = new QLineEdit(this);
  senderEmail_->setObjectName(QStringLiteral("senderEmail"));
  senderEmail_->setAccessibleName(tr("Sender address"));
  senderEmail_->setPlaceholderText(tr("The address replies reach, such as dana@example.com"));
  signature_ = new QPlainTextEdit(this);
  signature_->setObjectName(QStringLiteral("emailSignature"));
  signature_->setAccessibleName(tr("E-mail signature"));
  signature_->setTabChangesFocus(true);
  signature_->setFixedHeight(signature_->fontMetrics().lineSpacing() * 5 + 12);
  language_ = new QComboBox(this);
  language_->setObjectName(QStringLiteral("appLanguage"));
  language_->setAccessibleName(tr("Language"));
  for (const auto& c : EnumInfo<AppLanguage>::cases)
    language_->addItem(c.value == AppLanguage::system ? tr("System") : qs(c.label), qs(c.raw));
  checkForUpdates_ = new QCheckBox(tr("Check for updates once a day when the window opens"), this);
  checkForUpdates_->setObjectName(QStringLiteral("checkForUpdatesAtStart"));
  error_ = makeErrorLabel();

  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->addRow(tr("Display name:"), displayName_);
  form->addRow(tr("Organisation:"), organization_);
  form->addRow(tr("Sender name:"), senderName_);
  form->addRow(tr("Sender address:"), senderEmail_);
  form->addRow(tr("E-mail signature:"), signature_);
  form->addRow(tr("Language:"), language_);
  form->addRow(tr("Updates:"), checkForUpdates_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(error_);
  layout->addStretch(1);

  connect(displayName_, &QLineEdit::editingFinished, this,
          [this] { commit(QStringLiteral("displayName"), displayName_->text().trimmed()); });
  connect(organization_, &QLineEdit::editingFinished, this,
          [this] { commit(QStringLiteral("organizationName"), organization_->text().trimmed()); });
  connect(senderName_, &QLineEdit::editingFinished, this,
          [this] { commit(QStringLiteral("senderName"), senderName_->text().trimmed()); });
  connect(senderEmail_, &QLineEdit::editingFinished, this,
          [this] { commit(QStringLiteral("senderEmail"), senderEmail_->text().trimmed()); });
  // The signature is kept a moment after the typing stops.
  signatureTimer_.setSingleShot(true);
  signatureTimer_.setInterval(700);
  connect(signature_, &QPlainTextEdit::textChanged, &signatureTimer_, qOverload<>(&QTimer::start));
  connect(&signatureTimer_, &QTimer::timeout, this,
          [this] { commit(QStringLiteral("emailSignature"), signature_->toPlainText()); });
  connect(language_, &QComboBox::activated, this, &GeneralSettingsTab::languageChosen);
  connect(checkForUpdates_, &QCheckBox::clicked, this, [this](bool on) {
    showText(error_, {});
    setSetting(QStringLiteral("checkForUpdatesAtStart"),
               on ? QStringLiteral("true") : QStringLiteral("false"), [this](const QString& error) {
                 if (!error.isEmpty()) reload();
                 showText(error_, error);
               });
  });
}

void GeneralSettingsTab::reload() {
  const StoredSettings stored = readSettings();
  for (QLineEdit* field : {displayName_, organization_, senderName_, senderEmail_}) {
    QString& value = stored_[field->objectName()];
    auto held = stored.settings->get(utf8(field->objectName()));
    value = held ? qs(*held) : QString();
    if (!field->hasFocus()) field->setText(value);
  }
  QString& signature = stored_[QStringLiteral("emailSignature")];
  signature = qs(stored.settings->emailSignature());
  storedLanguage_ = qs(rawValue(stored.settings->appLanguage()));
  if (!signature_->hasFocus() && signature_->toPlainText() != signature) {
    const QSignalBlocker quiet(signature_);
    signature_->setPlainText(signature);
  }
  language_->setCurrentIndex(std::max(0, language_->findData(storedLanguage_)));
  checkForUpdates_->setChecked(stored.settings->checkForUpdatesAtStart());
}

void GeneralSettingsTab::commit(const QString& key, const QString& value) {
  QString& stored = stored_[key];
  if (value == stored) return;
  // Counted as kept at once so that a second editing-finished does not send
  // it twice; a refused value is left in its field, to be corrected, and
  // sent again when it changes.
  const QString before = std::exchange(stored, value);
  showText(error_, {});
  setSetting(key, value, [this, key, before](const QString& error) {
    if (!error.isEmpty()) stored_[key] = before;
    showText(error_, error);
  });
}

void GeneralSettingsTab::languageChosen(int index) {
  const QString raw = language_->itemData(index).toString();
  if (raw == storedLanguage_) return;
  QMessageBox box(QMessageBox::Question, tr("Change Language?"), tr("Change Language?"),
                  QMessageBox::NoButton, this);
  box.setInformativeText(tr("Quillmere will restart to switch to ") + language_->itemText(index));
  QPushButton* change = box.addButton(tr("Change && Restart"), QMessageBox::AcceptRole);
  QPushButton* cancel = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
  box.setDefaultButton(cancel);
  box.exec();
  if (box.clickedButton() != change) {
    language_->setCurrentIndex(std::max(0, language_->findData(storedLanguage_)));
    return;
  }
  showText(error_, {});
  setSetting(QStringLiteral("appLanguage"), raw, [this](const QString& error) {
    if (!error.isEmpty()) {
      showText(error_, error);
      language_->setCurrentIndex(std::max(0, language_->findData(storedLanguage_)));
      return;
    }
    if (relaunch) relaunch();
  });
}

}  // namespace qm::desktop
