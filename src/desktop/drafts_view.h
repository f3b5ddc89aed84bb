#pragma once

#include <QJsonObject>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "common/uuid.h"
#include "desktop/desktop_context.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace qm::desktop {

class DraftEditor;
class SendApprovedPanel;

/// The follow-up drafts of one event's contacts with their status, filtered
/// by status, beside the editor of the chosen one. Several chosen drafts (or
/// all of the event's that are not dismissed) are saved as .eml files into a
/// folder; the bulk action writes drafts for the met contacts that have none,
/// with the running batch's progress and Cancel, also for a batch the
/// companion resumed after a restart; the approved ones are sent through the
/// user's mail server.
class DraftsView : public QWidget {
  Q_OBJECT
 public:
  /// The folder "Export N as .eml" writes into, or empty when cancelled.
  using FolderChooser = std::function<QString(QWidget* parent, const QString& proposed)>;

  DraftsView(DesktopContext& context, QWidget* parent = nullptr);
  void setEvent(const std::optional<Uuid>& eventID);
  void reload();
  /// "approved", … or empty for every status.
  void showStatus(const QString& status);
  void reveal(const Uuid& draftID);
  QTreeWidget* tree() const { return tree_; }
  DraftEditor* editor() const { return editor_; }

  void setFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }
  QPushButton* exportButton() const { return export_; }
  QPushButton* generateButton() const { return generate_; }
  QComboBox* batchToneBox() const { return batchTone_; }
  QPushButton* cancelButton() const { return cancel_; }
  /// "Send N approved", with the sending's progress.
  SendApprovedPanel* sendPanel() const { return sendPanel_; }
  /// The batch's progress: contact, written and failed of the total.
  QLabel* batchLabel() const { return batchText_; }
  /// Says when the running batch is one the companion resumed.
  QLabel* resumeLabel() const { return resumeText_; }
  /// Says that the batch is written from the templates, and why (hidden
  /// otherwise).
  QLabel* templatesLabel() const { return templatesText_; }
  QProgressBar* batchProgress() const { return progress_; }
  /// What the last export or batch request said.
  QLabel* feedback() const { return feedback_; }

 public slots:
  void exportSelected();
  void generateBatch();
  void cancelBatch();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  /// Keeps every shown column inside the list: the tone, then the date give
  /// way to the contact and the subject when the list is narrow (the editor
  /// shows both).
  void fitColumns();
  void updateActions();
  void showBatch(const QJsonObject& state);
  void say(const QString& text, bool error = false);

  DesktopContext& context_;
  std::optional<Uuid> eventID_;
  FolderChooser chooseFolder_;
  QComboBox* status_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QTreeWidget* tree_ = nullptr;
  DraftEditor* editor_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* generate_ = nullptr;
  QComboBox* batchTone_ = nullptr;
  QWidget* batchPanel_ = nullptr;
  QLabel* batchText_ = nullptr;
  QLabel* resumeText_ = nullptr;
  QLabel* templatesText_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QLabel* feedback_ = nullptr;
  SendApprovedPanel* sendPanel_ = nullptr;
  std::size_t qualifying_ = 0;
  bool batchRunning_ = false;
  bool cancelling_ = false;
  // The batch the panel shows, and the one whose resumption was asked about.
  QString shownBatch_;
  QString askedBatch_;
};

}  // namespace qm::desktop
