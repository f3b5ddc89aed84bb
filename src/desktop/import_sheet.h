#pragma once

#include <QDialog>
#include <QJsonArray>
#include <QString>
#include <vector>

#include "common/uuid.h"
#include "desktop/desktop_context.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace qm::desktop {

/// The import sheet: asks the phone for its events, marks those already on
/// this computer, imports the selected ones with progress, and ends with
/// "Import Complete" (or, when some did not arrive, which and why). Closing it
/// resets the companion's import state; closing it with Done after an import
/// asks for the first imported event to be opened (`openEvent`).
class ImportSheet : public QDialog {
  Q_OBJECT
 public:
  /// What the sheet shows.
  enum class Stage { asking, choosing, nothingToImport, importing, complete, failed };

  ImportSheet(DesktopContext& context, QWidget* parent);

  /// Shows the sheet and asks the phone for its events.
  void start();

  Stage stage() const { return stage_; }
  /// The phone's events, one checkable item each (the event id in Qt::UserRole).
  QListWidget* eventList() const { return list_; }
  QLabel* headingLabel() const { return heading_; }
  QLabel* detailLabel() const { return detail_; }
  QProgressBar* progressBar() const { return progress_; }
  QPushButton* importButton() const { return import_; }
  QPushButton* doneButton() const { return doneButton_; }
  QPushButton* cancelButton() const { return cancel_; }

  /// The events the last import stored, in the order they arrived.
  const std::vector<Uuid>& importedEvents() const { return imported_; }

  void done(int result) override;

 signals:
  /// Done was chosen after an import that stored `eventID` first.
  void openEvent(const qm::Uuid& eventID);

 private:
  void showEvents(const QJsonArray& events);
  void importSelected();
  void importProgress(const QJsonObject& progress);
  void importFinished(const QJsonObject& result);
  void fail(const QString& error);
  void setStage(Stage stage, const QString& heading, const QString& detail);
  void updateImportButton();
  /// "Event 1 of 2 · 340 of 1,200 contacts" on the bar: `received` events and
  /// `contacts` of them stored so far.
  void showProgress(int received, int total, qint64 contacts);

  DesktopContext& context_;
  Stage stage_ = Stage::asking;
  QLabel* heading_ = nullptr;
  QLabel* detail_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QWidget* busyPage_ = nullptr;
  QWidget* blankPage_ = nullptr;
  QListWidget* list_ = nullptr;
  QWidget* progressPage_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* received_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* retry_ = nullptr;
  QPushButton* import_ = nullptr;
  QPushButton* doneButton_ = nullptr;
  /// The phone's contact count of the events being imported; -1 when it did
  /// not give one for each.
  qint64 expectedContacts_ = -1;
  std::vector<Uuid> imported_;
  /// Tells the answers to this showing of the sheet from late ones to an
  /// earlier showing.
  int generation_ = 0;
};

}  // namespace qm::desktop
