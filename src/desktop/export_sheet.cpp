#include "desktop/export_sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "common/atomic_file.h"
#include "common/log.h"
#include "desktop/export_done.h"
#include "desktop/language.h"
#include "desktop/qt_text.h"
#include "desktop/window_state.h"
#include "export/calendar_history.h"
#include "export/contact_export.h"
#include "export/contact_export_loader.h"
#include "export/follow_up_calendar.h"
#include "export/follow_up_tasks.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/event.h"
#include "store/relationships.h"
#include "store/store.h"

namespace qm::desktop {

namespace {

// The scope box holds an ExportScope for the four scopes of every export, or
// one of these for the contacts handed over by the list.
constexpr int kShownScope = 100;
constexpr int kSelectedScope = 101;

// The format box holds an ExportFormat for the contact files, or this for the
// follow-up calendar, which holds to-dos rather than contacts.
constexpr int kCalendarFormat = 200;

const QString kLastFormatKey = QStringLiteral("export/lastFormat");
const QString kLastFolderKey = QStringLiteral("export/lastFolder");

/// The format a file name asks for by its extension: XLSX for .xlsx, vCard
/// for .vcf, the calendar for .ics, and for .csv the chosen CSV layout
/// (Generic CSV when the chosen format is not one). Any other name keeps the
/// chosen format.
int formatForFileName(const QString& path, int chosen) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("xlsx")) return static_cast<int>(ExportFormat::xlsx);
  if (suffix == QLatin1String("vcf")) return static_cast<int>(ExportFormat::vcard);
  if (suffix == QLatin1String("ics")) return kCalendarFormat;
  if (suffix == QLatin1String("csv") &&
      (chosen == static_cast<int>(ExportFormat::xlsx) ||
       chosen == static_cast<int>(ExportFormat::vcard) || chosen == kCalendarFormat))
    return static_cast<int>(ExportFormat::csv);
  return chosen;
}

struct FormatFiles {
  const char* filter;  // translated in ExportSheet's context
  const char* suffix;
};

FormatFiles filesOf(int choice) {
  if (choice == kCalendarFormat)
    return {QT_TRANSLATE_NOOP("qm::desktop::ExportSheet", "iCalendar files (*.ics)"), "ics"};
  switch (static_cast<ExportFormat>(choice)) {
    case ExportFormat::xlsx:
      return {QT_TRANSLATE_NOOP("qm::desktop::ExportSheet", "Excel workbooks (*.xlsx)"), "xlsx"};
    case ExportFormat::vcard:
      return {QT_TRANSLATE_NOOP("qm::desktop::ExportSheet", "vCard files (*.vcf)"), "vcf"};
    case ExportFormat::csv:
    case ExportFormat::hubspot:
    case ExportFormat::salesforce:
    case ExportFormat::pipedrive:
      break;
  }
  return {QT_TRANSLATE_NOOP("qm::desktop::ExportSheet", "CSV files (*.csv)"), "csv"};
}

/// The format as the sheet names it: the CSV layouts by their program ("Generic
/// CSV", "HubSpot CSV"), the other formats as the settings name them.
QString formatLabel(const EnumCase<ExportFormat>& format) {
  const char* label = nullptr;
  switch (format.value) {
    case ExportFormat::csv:
      label = QT_TRANSLATE_NOOP("qm::desktop::ExportSheet", "Generic CSV");
      break;
    case ExportFormat::hubspot:
      label = QT_TRANSLATE_NOOP("qm::desktop::ExportSheet", "HubSpot CSV");
      break;
    case ExportFormat::salesforce:
      label = QT_TRANSLATE_NOOP("qm::desktop::ExportSheet", "Salesforce CSV");
      break;
    case ExportFormat::pipedrive:
      label = QT_TRANSLATE_NOOP("qm::desktop::ExportSheet", "Pipedrive CSV");
      break;
    case ExportFormat::xlsx:
    case ExportFormat::vcard:
      return coreText(format.label);
  }
  return ExportSheet::tr(label);
}

QString askWhereToSave(QWidget* parent, const ExportSheet::SaveRequest& request) {
  QFileDialog dialog(parent, request.title, request.proposedPath, request.filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(request.suffix);
  dialog.selectFile(request.proposedPath);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles().value(0);
}

}  // namespace

ExportSheet::ExportSheet(DesktopContext& context, QWidget* parent)
    : QDialog(parent), context_(context), saveDialog_(askWhereToSave) {
  setWindowTitle(tr("Export Contacts"));
  setObjectName(QStringLiteral("export-sheet"));
  setModal(true);
  setMinimumWidth(420);

  auto* layout = new QVBoxLayout(this);
  event_ = new QLabel(this);
  event_->setObjectName(QStringLiteral("export-event"));
  QFont bold = event_->font();
  bold.setBold(true);
  event_->setFont(bold);
  layout->addWidget(event_);
  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  format_ = new QComboBox(this);
  format_->setObjectName(QStringLiteral("export-format"));
  format_->setAccessibleName(tr("Format"));
  for (const auto& format : EnumInfo<ExportFormat>::cases)
    format_->addItem(formatLabel(format), static_cast<int>(format.value));
  format_->addItem(tr("Follow-up calendar (.ics)"), kCalendarFormat);
  form->addRow(tr("Format"), format_);
  scope_ = new QComboBox(this);
  scope_->setObjectName(QStringLiteral("export-scope"));
  scope_->setAccessibleName(tr("Scope"));
  form->addRow(tr("Scope"), scope_);
  form_ = form;
  layout->addLayout(form);

  vcard3_ = new QCheckBox(tr("vCard 3.0 for older address books"), this);
  vcard3_->setObjectName(QStringLiteral("export-vcard3"));
  layout->addWidget(vcard3_);

  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("export-count"));
  layout->addWidget(count_);
  error_ = new QLabel(this);
  error_->setObjectName(QStringLiteral("export-error"));
  error_->setWordWrap(true);
  error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  error_->setStyleSheet(QStringLiteral("color: #c62828;"));
  error_->hide();
  layout->addWidget(error_);
  layout->addStretch(1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  cancel_ = new QPushButton(tr("Cancel"), this);
  export_ = new QPushButton(tr("Export"), this);
  export_->setDefault(true);
  buttons->addWidget(cancel_);
  buttons->addWidget(export_);
  layout->addLayout(buttons);

  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(export_, &QPushButton::clicked, this, &ExportSheet::exportNow);
  connect(scope_, &QComboBox::currentIndexChanged, this, &ExportSheet::scopeChanged);
  connect(format_, &QComboBox::currentIndexChanged, this, &ExportSheet::formatChanged);
  formatChanged();
}

ExportSheet::~ExportSheet() = default;

void ExportSheet::setSaveDialog(SaveDialog dialog) {
  saveDialog_ = std::move(dialog);
}

void ExportSheet::start(const Uuid& eventID, const std::vector<Uuid>& shown,
                        const std::vector<Uuid>& selected) {
  eventID_ = eventID;
  shown_ = shown;
  selected_ = selected;
  eventName_.clear();
  event_->clear();
  contacts_.clear();
  error_->hide();
  if (auto event = context_.store.find<Event>(eventID); event && *event) {
    eventName_ = (*event)->name;
    event_->setText(qs(eventName_));
  } else if (!event) {
    log::data().error("Cannot read the event to export: {}", event.error().message);
  }
  if (auto contacts = contactsOf(context_.store, eventID)) {
    contacts_ = std::move(*contacts);
  } else {
    error_->setText(tr("Cannot read the contacts: %1").arg(qs(contacts.error().message)));
    error_->show();
  }

  {
    // The format of the last export, else the one the settings propose.
    UserDefaults defaults(context_.paths.defaultsFile());
    const QVariant last = rememberedState(context_.paths)->value(kLastFormatKey);
    const int preferred = last.isValid()
                              ? last.toInt()
                              : static_cast<int>(AppSettings(defaults).defaultExportFormat());
    const QSignalBlocker quiet(format_);
    format_->setCurrentIndex(std::max(0, format_->findData(preferred)));
  }
  formatChanged();
  {
    const QSignalBlocker quiet(scope_);
    scope_->clear();
    for (const auto& scope : EnumInfo<ExportScope>::cases)
      scope_->addItem(coreText(scope.label), static_cast<int>(scope.value));
    // The list's rows are a scope of their own when they are not all the contacts.
    if (!shown_.empty() && shown_.size() != contacts_.size())
      scope_->addItem(tr("Shown in the List"), kShownScope);
    if (!selected_.empty()) scope_->addItem(tr("Selected Contacts"), kSelectedScope);
    scope_->setCurrentIndex(0);
  }
  scopeChanged();
  show();
  raise();
  activateWindow();
}

std::vector<Contact> ExportSheet::chosenContacts() const {
  const int scope = scope_->currentData().toInt();
  if (scope == kShownScope || scope == kSelectedScope) {
    const std::vector<Uuid>& ids = scope == kShownScope ? shown_ : selected_;
    const std::set<Uuid> wanted(ids.begin(), ids.end());
    std::vector<Contact> chosen;
    for (const Contact& c : contacts_)
      if (wanted.contains(c.id)) chosen.push_back(c);
    return chosen;
  }
  return contactsInScope(contacts_, static_cast<ExportScope>(scope));
}

int ExportSheet::contactCount() const {
  return static_cast<int>(chosenContacts().size());
}

bool ExportSheet::calendarChosen() const {
  return format_->currentData().toInt() == kCalendarFormat;
}

void ExportSheet::scopeChanged() {
  if (calendarChosen()) {
    count_->setText(calendarTasks_ == 0
                        ? tr("No follow-ups to put in the calendar")
                        : tr("%Ln to-dos will be put in the calendar", nullptr, calendarTasks_));
    return;
  }
  count_->setText(tr("%Ln contacts will be exported", nullptr, contactCount()));
}

void ExportSheet::formatChanged() {
  const int choice = format_->currentData().toInt();
  vcard3_->setVisible(choice == static_cast<int>(ExportFormat::vcard));
  // The calendar takes the met contacts and the next steps, whatever the scope.
  form_->setRowVisible(scope_, choice != kCalendarFormat);
  calendarTasks_ = 0;
  if (choice == kCalendarFormat && !eventID_.isNil()) {
    UserDefaults defaults(context_.paths.defaultsFile());
    if (auto sources = loadFollowUpSources(context_.store, eventID_))
      calendarTasks_ = static_cast<int>(
          followUpTasks(*sources, AppSettings(defaults).followUpDueDays(), now()).size());
  }
  scopeChanged();
}

QString ExportSheet::proposedPath() const {
  const int choice = format_->currentData().toInt();
  const QString name =
      qs(choice == kCalendarFormat
             ? proposedCalendarFileName(eventName_)
             : proposedExportFileName(eventName_, static_cast<ExportFormat>(choice)));
  UserDefaults defaults(context_.paths.defaultsFile());
  // The folder of the last export, else the one the settings propose.
  QString folder = rememberedState(context_.paths)->value(kLastFolderKey).toString();
  if (folder.isEmpty() || !QDir(folder).exists())
    folder = qs(AppSettings(defaults).defaultExportFolderPath().string());
  if (folder.isEmpty())
    folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
  return QDir(folder).filePath(name);
}

void ExportSheet::exportNow() {
  error_->hide();
  const int chosenFormat = format_->currentData().toInt();
  const FormatFiles files = filesOf(chosenFormat);
  // The sheet is busy while the dialog is open: no second export starts.
  export_->setEnabled(false);
  const QString path = saveDialog_(this, {tr("Export Contacts"), proposedPath(), tr(files.filter),
                                          QString::fromLatin1(files.suffix)});
  export_->setEnabled(true);
  if (path.isEmpty()) return;  // cancelled: nothing written, the sheet stays
  // A name ending in one of the formats' extensions gets that format.
  const int choice = formatForFileName(path, chosenFormat);
  if (choice != chosenFormat) {
    const QSignalBlocker quiet(format_);
    format_->setCurrentIndex(format_->findData(choice));
    formatChanged();
  }
  if (choice == kCalendarFormat) {
    exportCalendar(path);
    return;
  }
  const auto format = static_cast<ExportFormat>(choice);
  const std::vector<Contact> chosen = chosenContacts();
  // The notes are read when the file is made, so notes written since the
  // sheet opened are in it.
  auto meeting = loadContactExportMeeting(context_.store, eventID_);
  if (!meeting) {
    error_->setText(tr("Cannot read the contacts: %1").arg(qs(meeting.error().message)));
    error_->show();
    return;
  }
  auto document = exportContacts(format, chosen, *meeting, {.vcard3 = vcard3_->isChecked()});
  if (!document) {
    error_->setText(tr("Failed to save: %1").arg(qs(document.error().message)));
    error_->show();
    return;
  }
  // An export holds other people's personal data: readable by the user only.
  if (auto written = writeFileAtomically(utf8(path), *document, 0600); !written) {
    error_->setText(tr("Failed to save: %1").arg(qs(written.error().message)));
    error_->show();
    return;
  }
  remember(static_cast<int>(format), path);
  Q_EMIT exported(path, static_cast<int>(chosen.size()));
  accept();
  showExportDone(parentWidget(), path, static_cast<int>(chosen.size()));
}

void ExportSheet::remember(int format, const QString& path) {
  const auto state = rememberedState(context_.paths);
  state->setValue(kLastFormatKey, format);
  state->setValue(kLastFolderKey, QFileInfo(path).absolutePath());
}

void ExportSheet::exportCalendar(const QString& path) {
  UserDefaults defaults(context_.paths.defaultsFile());
  const CalendarExportOptions options{
      .dueDays = AppSettings(defaults).followUpDueDays(),
      .historyFile = CalendarHistory::fileIn(context_.paths.applicationSupport)};
  auto summary = exportFollowUpCalendar(context_.store, eventID_, options, utf8(path));
  if (!summary) {
    error_->setText(tr("Failed to save: %1").arg(qs(summary.error().message)));
    error_->show();
    return;
  }
  for (const auto& warning : summary->warnings) log::data().warn("{}", warning);
  remember(kCalendarFormat, path);
  const int tasks = static_cast<int>(summary->total());
  Q_EMIT exported(path, 0);
  accept();
  const QString shown = QDir::toNativeSeparators(path);
  showExportDone(parentWidget(), path,
                 tasks == 0 ? tr("No follow-ups to put in the calendar: an empty calendar was "
                                 "saved to %1")
                                  .arg(shown)
                            : tr("Put %Ln to-dos in the calendar %1", nullptr, tasks).arg(shown));
}

}  // namespace qm::desktop
