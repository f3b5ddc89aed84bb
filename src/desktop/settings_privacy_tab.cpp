#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/atomic_file.h"
#include "desktop/companion_link.h"
#include "desktop/confirmation.h"
#include "desktop/qt_text.h"
#include "desktop/settings_page.h"
#include "export/full_data_export.h"
#include "settings/app_settings.h"

namespace qm::desktop {

PrivacySettingsTab::PrivacySettingsTab(DesktopContext& context, QWidget* parent)
    : SettingsPage(context, parent) {
  chooseExportFile = [this](const QString& proposed) {
    return QFileDialog::getSaveFileName(this, tr("Choose where to save your data export"), proposed,
                                        tr("JSON files (*.json)"));
  };

  export_ = new QPushButton(tr("Export..."), this);
  export_->setAccessibleName(tr("Export all data to a JSON file"));
  success_ = new QLabel(tr("✓ Data exported successfully."), this);
  success_->setObjectName(QStringLiteral("exportSuccess"));
  success_->setStyleSheet(QStringLiteral("color: #2e7d32;"));
  success_->hide();
  error_ = makeErrorLabel();
  error_->setObjectName(QStringLiteral("exportError"));
  auto* reset = new QPushButton(tr("Reset..."), this);
  reset->setAccessibleName(tr("Reset All Local Data"));

  const auto row = [this](const QString& title, const QString& text, QPushButton* button) {
    auto* words = new QVBoxLayout;
    words->addWidget(makeHeading(title));
    auto* description = new QLabel(text, this);
    description->setWordWrap(true);
    words->addWidget(description);
    auto* line = new QHBoxLayout;
    line->addLayout(words, 1);
    line->addWidget(button, 0, Qt::AlignTop);
    return line;
  };
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row(tr("Export All Data"),
                        tr("Export a JSON file containing all local event, contact, and draft "
                           "data."),
                        export_));
  layout->addWidget(success_);
  layout->addWidget(error_);
  auto* rule = new QFrame(this);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  layout->addSpacing(8);
  layout->addWidget(rule);
  layout->addSpacing(8);
  layout->addLayout(row(tr("Reset All Local Data"),
                        tr("Permanently deletes all events, contacts, drafts, and settings from "
                           "this computer. This cannot be undone."),
                        reset));
  layout->addStretch(1);

  hideSuccess_.setSingleShot(true);
  connect(&hideSuccess_, &QTimer::timeout, success_, &QLabel::hide);
  connect(export_, &QPushButton::clicked, this, &PrivacySettingsTab::exportAllData);
  connect(reset, &QPushButton::clicked, this, &PrivacySettingsTab::resetAllData);
}

void PrivacySettingsTab::exportAllData() {
  const Date at = now();
  const StoredSettings stored = readSettings();
  const QString folder = qs(stored.settings->defaultExportFolderPath().string());
  const QString proposed =
      QDir(folder.isEmpty() ? QDir::homePath() : folder).filePath(qs(dataExportFileName(at)));
  const QString file = chooseExportFile ? chooseExportFile(proposed) : QString();
  if (file.isEmpty()) return;
  success_->hide();
  showText(error_, {});
  auto built = buildFullDataExport(context_.store, at);
  // Mode 0600: every contact, note and draft is in it.
  Status written =
      built ? writeFileAtomically(std::filesystem::path(utf8(file)), built->document, 0600)
            : Status(built.error());
  if (!written) {
    showText(error_, tr("The data could not be exported: %1").arg(qs(written.error().message)));
    return;
  }
  success_->show();
  hideSuccess_.start(successShownFor);
}

void PrivacySettingsTab::resetAllData() {
  if (!confirm(this, {tr("Reset All Data?"), tr("Reset All Data?"),
                      tr("This will permanently delete all events, contacts, drafts, and settings "
                         "from this computer. You will need to re-pair with your iPhone to restore "
                         "data."),
                      tr("Reset Everything")}))
    return;
  showText(error_, {});
  QPointer<PrivacySettingsTab> self(this);
  // The companion deletes everything and starts again.
  context_.link.request({{"command", "reset"}}, [self](const QJsonObject&, const QString& error) {
    if (!self) return;
    showText(self->error_, error);
    // The store this window reads is gone: the window starts again with the
    // companion.
    if (error.isEmpty() && self->relaunch) self->relaunch();
  });
}

}  // namespace qm::desktop
