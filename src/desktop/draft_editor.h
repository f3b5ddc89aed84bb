#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "common/uuid.h"
#include "desktop/desktop_context.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTextBrowser;

namespace qm {
struct DraftMessage;
}

namespace qm::desktop {

/// Where files the user saves are proposed: the `defaultExportFolder` setting,
/// else the Documents folder, else the home folder.
QString exportFolder(const DesktopContext& context);

/// One follow-up draft: its recipient, subject and body to edit, a preview of the body
/// as the e-mail shows it, its status, regeneration in a chosen tone, and
/// saving it as an .eml file, copying it, opening it in the mail program or
/// sending it through the user's mail server.
///
/// Edits go to the companion with "Save" (Ctrl+S), and by themselves when
/// another draft is shown or the editor is hidden, so they are never dropped.
class DraftEditor : public QWidget {
  Q_OBJECT
 public:
  /// Where "Save .eml" writes: the path chosen for the proposed one, or empty
  /// when the person cancelled. Tests put their own chooser here.
  using FileChooser = std::function<QString(QWidget* parent, const QString& proposed)>;

  explicit DraftEditor(DesktopContext& context, QWidget* parent = nullptr);

  /// Shows the draft (none: an empty page), saving the shown one's edits first.
  void showDraft(const std::optional<Uuid>& draftID);
  const std::optional<Uuid>& draftID() const { return draftID_; }
  /// Reads the draft again; text being edited is kept.
  void reload();
  /// Whether the subject or body differ from what was last saved.
  bool isModified() const;
  /// Sends the edited subject and body to the companion (when modified).
  void saveEdits();

  void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

  QLineEdit* recipientField() const { return recipient_; }
  QLineEdit* subjectField() const { return subject_; }
  QPlainTextEdit* bodyField() const { return body_; }
  QTextBrowser* preview() const { return preview_; }
  QComboBox* statusBox() const { return status_; }
  QComboBox* toneBox() const { return tone_; }
  /// What the last action said: saved, copied, or its error.
  QLabel* feedback() const { return feedback_; }

 public slots:
  void regenerate();
  void saveEml();
  void copyToClipboard();
  void openInMail();
  /// Saves the edits, then sends the draft through the user's mail server
  /// and says whether it went, or the server's reason.
  void send();

 signals:
  /// A request to the companion started (true) or ended.
  void busyChanged(bool busy);

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  void load();
  /// Saves the edits as `saveEdits` does; `then` learns whether they were
  /// kept (at once when there was nothing to save).
  void saveEditsThen(std::function<void(bool saved)> then);
  void setStatus(const QString& status);
  void updatePreview();
  void setBusy(bool busy, const QString& what = {});
  void say(const QString& text, bool error = false);
  /// The draft as the editor shows it, with its contact, for the .eml.
  bool message(DraftMessage* out);

  DesktopContext& context_;
  std::optional<Uuid> draftID_;
  QString savedSubject_;
  QString savedBody_;
  QString savedStatus_;
  QString savedRecipient_;
  // The contact's own address (a recipient equal to it is not stored) and
  // the signature the preview shows under the body.
  QString contactEmail_;
  QString signature_;
  bool toneFromDraft_ = true;
  FileChooser chooseFile_;
  QStackedWidget* pages_ = nullptr;
  QLabel* empty_ = nullptr;
  QLabel* heading_ = nullptr;
  QLineEdit* recipient_ = nullptr;
  QLineEdit* subject_ = nullptr;
  QPlainTextEdit* body_ = nullptr;
  QTextBrowser* preview_ = nullptr;
  QComboBox* status_ = nullptr;
  QComboBox* tone_ = nullptr;
  QProgressBar* busy_ = nullptr;
  QLabel* feedback_ = nullptr;
  QList<QWidget*> actions_;
};

}  // namespace qm::desktop
