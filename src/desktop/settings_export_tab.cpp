#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "common/enum_info.h"
#include "desktop/language.h"
#include "desktop/qt_text.h"
#include "desktop/settings_page.h"
#include "settings/app_settings.h"

namespace qm::desktop {

ExportSettingsTab::ExportSettingsTab(DesktopContext& context, QWidget* parent)
    : SettingsPage(context, parent) {
  format_ = new QComboBox(this);
  format_->setObjectName(QStringLiteral("defaultExportFormat"));
  format_->setAccessibleName(tr("Default export format"));
  for (const auto& c : EnumInfo<ExportFormat>::cases)
    format_->addItem(coreText(c.label), qs(c.raw));
  folder_ = new QLineEdit(this);
  folder_->setObjectName(QStringLiteral("defaultExportFolder"));
  folder_->setAccessibleName(tr("Default export folder"));
  folder_->setReadOnly(true);
  folder_->setPlaceholderText(tr("None chosen: exports ask each time"));
  auto* choose = new QPushButton(tr("Choose…"), this);
  choose->setAccessibleName(tr("Choose the default export folder"));
  clear_ = new QPushButton(tr("Clear"), this);
  clear_->setAccessibleName(tr("Clear the default export folder"));
  dueDays_ = new QSpinBox(this);
  dueDays_->setObjectName(QStringLiteral("followUpDueDays"));
  dueDays_->setAccessibleName(tr("Days from the meeting to a follow-up's due date"));
  dueDays_->setRange(0, kMaxFollowUpDueDays);
  // One change per value typed or stepped to, not one per key.
  dueDays_->setKeyboardTracking(false);
  dueDaysUnit_ = new QLabel(this);
  error_ = makeErrorLabel();

  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(folder_, 1);
  folderRow->addWidget(choose);
  folderRow->addWidget(clear_);
  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->addRow(tr("Format:"), format_);
  form->addRow(tr("Folder:"), folderRow);
  auto* dueRow = new QHBoxLayout;
  dueRow->addWidget(dueDays_);
  dueRow->addWidget(dueDaysUnit_, 1);
  form->addRow(tr("Follow-ups due:"), dueRow);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(makeHeading(tr("Export Defaults")));
  layout->addWidget(
      new QLabel(tr("What contact exports propose: the format and the folder they go to. In the "
                    "follow-up calendar (.ics), each met contact's follow-up is due some days "
                    "after the meeting."),
                 this));
  layout->addLayout(form);
  layout->addWidget(error_);
  layout->addStretch(1);

  const auto failed = [this](const QString& error) {
    showText(error_, error);
    if (!error.isEmpty()) reload();
  };
  connect(format_, &QComboBox::activated, this, [this, failed] {
    showText(error_, {});
    setSetting(QStringLiteral("defaultExportFormat"), format_->currentData().toString(), failed);
  });
  connect(dueDays_, &QSpinBox::valueChanged, this, [this, failed](int days) {
    showDueDaysUnit();
    showText(error_, {});
    setSetting(QStringLiteral("followUpDueDays"), QString::number(days), failed);
  });
  connect(choose, &QPushButton::clicked, this, &ExportSettingsTab::chooseFolder);
  connect(clear_, &QPushButton::clicked, this, [this, failed] {
    folder_->clear();
    clear_->setEnabled(false);
    setSetting(QStringLiteral("defaultExportFolder"), {}, failed);
  });
}

void ExportSettingsTab::reload() {
  const StoredSettings stored = readSettings();
  format_->setCurrentIndex(
      std::max(0, format_->findData(qs(rawValue(stored.settings->defaultExportFormat())))));
  folder_->setText(qs(stored.settings->defaultExportFolder()));
  {
    const QSignalBlocker quiet(dueDays_);
    dueDays_->setValue(stored.settings->followUpDueDays());
  }
  showDueDaysUnit();
  clear_->setEnabled(!folder_->text().isEmpty());
}

void ExportSettingsTab::showDueDaysUnit() {
  dueDaysUnit_->setText(tr("day(s) after the meeting", nullptr, dueDays_->value()));
}

void ExportSettingsTab::chooseFolder() {
  const QString folder = QFileDialog::getExistingDirectory(
      this, tr("Choose the folder exports go to"),
      folder_->text().isEmpty() ? QDir::homePath() : folder_->text());
  if (folder.isEmpty()) return;
  folder_->setText(folder);
  clear_->setEnabled(true);
  showText(error_, {});
  setSetting(QStringLiteral("defaultExportFolder"), folder, [this](const QString& error) {
    showText(error_, error);
    if (!error.isEmpty()) reload();
  });
}

}  // namespace qm::desktop
