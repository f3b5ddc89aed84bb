#include "desktop/settings_page.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QProcess>

#include "desktop/companion_link.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"

namespace qm::desktop {

void relaunchWindow() {
  QStringList arguments = QCoreApplication::arguments();
  arguments.removeFirst();
  QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
  QCoreApplication::quit();
}

SettingsPage::SettingsPage(DesktopContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {}

SettingsPage::StoredSettings SettingsPage::readSettings() const {
  StoredSettings stored;
  stored.defaults = std::make_unique<UserDefaults>(context_.paths.defaultsFile());
  stored.settings = std::make_unique<AppSettings>(*stored.defaults);
  return stored;
}

void SettingsPage::setSetting(const QString& key, const QString& value,
                              std::function<void(const QString&)> done) {
  QPointer<SettingsPage> self(this);
  context_.link.request({{"command", "settings.set"}, {"key", key}, {"value", value}},
                        [self, done = std::move(done)](const QJsonObject&, const QString& error) {
                          if (self && done) done(error);
                        });
}

QLabel* SettingsPage::makeErrorLabel() {
  auto* label = new QLabel(this);
  label->setObjectName(QStringLiteral("settings-error"));
  label->setWordWrap(true);
  label->setStyleSheet(QStringLiteral("color: #c62828;"));
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setAccessibleName(tr("Error"));
  label->hide();
  return label;
}

void SettingsPage::showText(QLabel* label, const QString& text) {
  label->setText(text);
  label->setVisible(!text.isEmpty());
}

QLabel* SettingsPage::makeHeading(const QString& text) {
  auto* label = new QLabel(text, this);
  QFont bold = label->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.1);
  label->setFont(bold);
  return label;
}

}  // namespace qm::desktop
