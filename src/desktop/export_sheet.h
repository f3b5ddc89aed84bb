#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/uuid.h"
#include "desktop/desktop_context.h"
#include "store/contact.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;

namespace qm::desktop {

/// The "Export Contacts" sheet: the contacts of one event in one of the six
/// export formats, for a scope (all, met, targets, favourites, and from the
/// contacts list the rows it shows or the selected ones), or the event's
/// follow-up calendar (.ics), which takes no scope. "Export" asks where
/// to save under the proposed file name and writes the file whole and
/// atomically; a failed write keeps the sheet open with the reason. The
/// contacts are read from the store when it opens, their notes when the file
/// is made: an export changes no record.
class ExportSheet : public QDialog {
  Q_OBJECT
 public:
  /// What the save dialog is asked.
  struct SaveRequest {
    QString title;
    /// The proposed file, in the export folder when one is set.
    QString proposedPath;
    /// Limits the dialog to the format's files ("CSV files (*.csv)").
    QString filter;
    /// The format's extension without the dot, added to a name typed without it.
    QString suffix;
  };
  /// Asks where to save; the chosen file, or empty when the person cancelled.
  using SaveDialog = std::function<QString(QWidget* parent, const SaveRequest& request)>;

  ExportSheet(DesktopContext& context, QWidget* parent);
  ~ExportSheet() override;

  /// Replaces the file dialog (tests answer it themselves).
  void setSaveDialog(SaveDialog dialog);

  /// Shows the sheet for the event's contacts, on the default format setting
  /// and all contacts. `shown` and `selected` (in any order) are the contacts
  /// the list shows and the selected ones; each adds its scope when not empty.
  void start(const Uuid& eventID, const std::vector<Uuid>& shown = {},
             const std::vector<Uuid>& selected = {});

  QComboBox* formatBox() const { return format_; }
  QComboBox* scopeBox() const { return scope_; }
  QCheckBox* vcard3Box() const { return vcard3_; }
  QLabel* countLabel() const { return count_; }
  QLabel* errorLabel() const { return error_; }
  QPushButton* exportButton() const { return export_; }
  QPushButton* cancelButton() const { return cancel_; }
  /// How many contacts the chosen scope holds.
  int contactCount() const;

 Q_SIGNALS:
  /// A file was written: where, and how many contacts it holds (none for the
  /// calendar).
  void exported(const QString& path, int contacts);

 private:
  void scopeChanged();
  void formatChanged();
  void exportNow();
  void exportCalendar(const QString& path);
  bool calendarChosen() const;
  /// Keeps the format and folder of a written export for the next one.
  void remember(int format, const QString& path);
  std::vector<Contact> chosenContacts() const;
  QString proposedPath() const;

  DesktopContext& context_;
  SaveDialog saveDialog_;
  Uuid eventID_;
  std::string eventName_;
  std::vector<Contact> contacts_;
  std::vector<Uuid> shown_;
  std::vector<Uuid> selected_;

  /// The to-dos the calendar of the event holds, counted when it is chosen.
  int calendarTasks_ = 0;

  QLabel* event_ = nullptr;
  QFormLayout* form_ = nullptr;
  QComboBox* format_ = nullptr;
  QComboBox* scope_ = nullptr;
  QCheckBox* vcard3_ = nullptr;
  QLabel* count_ = nullptr;
  QLabel* error_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* export_ = nullptr;
};

}  // namespace qm::desktop
