#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "desktop/appearance.h"
#include "desktop/qt_text.h"
#include "desktop/settings_page.h"
#include "settings/app_settings.h"

namespace qm::desktop {

AppearanceSettingsTab::AppearanceSettingsTab(DesktopContext& context, QWidget* parent)
    : SettingsPage(context, parent) {
  appearance_ = new QComboBox(this);
  appearance_->setObjectName(QStringLiteral("appearance"));
  appearance_->setAccessibleName(tr("Appearance"));
  appearance_->addItem(tr("System"), QStringLiteral("system"));
  appearance_->addItem(tr("Light"), QStringLiteral("light"));
  appearance_->addItem(tr("Dark"), QStringLiteral("dark"));
  density_ = new QComboBox(this);
  density_->setObjectName(QStringLiteral("density"));
  density_->setAccessibleName(tr("List density"));
  density_->addItem(tr("Comfortable"), QStringLiteral("comfortable"));
  density_->addItem(tr("Compact"), QStringLiteral("compact"));
  error_ = makeErrorLabel();

  auto* form = new QFormLayout;
  form->addRow(tr("Appearance:"), appearance_);
  form->addRow(tr("Density:"), density_);
  auto* hint = new QLabel(tr("Compact fits more rows in the lists."), this);
  hint->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(makeHeading(tr("Appearance")));
  layout->addLayout(form);
  layout->addWidget(hint);
  layout->addWidget(error_);
  layout->addStretch(1);

  connect(appearance_, &QComboBox::activated, this, &AppearanceSettingsTab::chosen);
  connect(density_, &QComboBox::activated, this, &AppearanceSettingsTab::chosen);
}

void AppearanceSettingsTab::reload() {
  const StoredSettings stored = readSettings();
  appearance_->setCurrentIndex(
      std::max(0, appearance_->findData(qs(stored.settings->appearance()))));
  density_->setCurrentIndex(std::max(0, density_->findData(qs(stored.settings->density()))));
}

void AppearanceSettingsTab::chosen() {
  const QString appearance = appearance_->currentData().toString();
  const QString density = density_->currentData().toString();
  const StoredSettings stored = readSettings();
  showText(error_, {});
  const auto failed = [this](const QString& error) {
    if (error.isEmpty()) return;
    showText(error_, error);
    reload();
  };
  if (appearance != qs(stored.settings->appearance()))
    setSetting(QStringLiteral("appearance"), appearance, failed);
  if (density != qs(stored.settings->density()))
    setSetting(QStringLiteral("density"), density, failed);
  // The open windows take the choice at once.
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
    applyAppearance(*app, utf8(appearance), utf8(density));
}

}  // namespace qm::desktop
