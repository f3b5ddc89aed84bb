#pragma once

#include <QJsonObject>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "common/result.h"
#include "common/uuid.h"
#include "desktop/desktop_context.h"
#include "store/capture_media.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"

class QFormLayout;
class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

namespace qm::desktop {

/// The detail pane: one contact's fields in groups, its meeting indicator,
/// notes, opportunities, capture images (opening a preview) and drafts. It
/// reloads when the records change. Edits (the contact's fields, desktop
/// notes, opportunities, a follow-up draft) are sent to the companion; the
/// outcome of pushing an edited contact to the phone is shown in the header.
class ContactDetailView : public QWidget {
  Q_OBJECT
 public:
  explicit ContactDetailView(DesktopContext& context, QWidget* parent = nullptr);

  /// Shows the contact, or the empty state for nothing.
  void showContact(const std::optional<Uuid>& contactID);
  std::optional<Uuid> contactID() const { return contactID_; }
  /// Reads the shown contact again (it may have changed or gone).
  void reload();

  /// The contact's name in the header; empty in the empty state.
  QString shownName() const;
  /// Whether the empty state is shown.
  bool isEmptyState() const;

 public slots:
  /// Opens the editor of the shown contact's fields.
  void editContact();
  void addNote();
  void newOpportunity();
  void draftFollowUp();

 public:
  /// The line under the header that tells how the last edit went (saved,
  /// sent to the phone, waiting for it, or why it failed).
  QLabel* editStatusLabel() const { return editStatus_; }

 signals:
  void draftChosen(const qm::Uuid& draftID);
  /// An edit the companion saved that the same request with `undo` reverses.
  void undoableEdit(const QString& description, const QJsonObject& undo);

 private:
  /// Everything the pane shows of one contact, read in one go; equal
  /// snapshots show the same pane, so a reload that changed nothing keeps it.
  struct Snapshot {
    Contact contact;
    std::vector<ContactNote> notes;
    std::vector<CaptureMedia> captures;
    std::vector<bool> captureFilesPresent;
    std::vector<FollowUpDraft> drafts;
    std::vector<Opportunity> opportunities;
    std::vector<std::optional<std::string>> roles;  ///< the contact's role in each
    bool operator==(const Snapshot&) const = default;
  };
  /// The contact and what belongs to it; nothing when the contact is gone.
  Result<std::optional<Snapshot>> read(const Uuid& contactID);
  void build(const Snapshot& shown);
  QWidget* buildHeader(const Contact& c, QWidget* parent);
  void addNotes(const Snapshot& shown, QVBoxLayout* layout, QWidget* parent);
  void addOpportunities(const Snapshot& shown, QVBoxLayout* layout, QWidget* parent);
  void addCaptures(const Snapshot& shown, QVBoxLayout* layout, QWidget* parent);
  void addDrafts(const Snapshot& shown, QVBoxLayout* layout, QWidget* parent);
  QString imageFile(const Contact& contact, const CaptureMedia& capture) const;
  void openPreview(const CaptureMedia& capture);
  /// Sends a "contact.update" of the shown contact and offers its undo.
  void updateContact(const QJsonObject& fields, const QString& description);
  void editNote(const ContactNote& note);
  void deleteNote(const ContactNote& note);
  void editOpportunity(const Opportunity& opportunity);
  void deleteOpportunity(const Opportunity& opportunity);
  /// Sends `request`; on success runs `saved` with the answer, on failure
  /// shows the companion's text.
  void send(const QJsonObject& request, std::function<void(const QJsonObject&)> saved);
  /// Shows how pushing the contact to the phone went, from an edit's answer.
  void showPush(const QJsonObject& answer);
  void showEditError(const QString& error);
  void showDone(const QString& text);
  bool isDesktopNote(const ContactNote& note) const;

  DesktopContext& context_;
  std::optional<Uuid> contactID_;
  std::optional<Snapshot> shown_;
  QStackedWidget* pages_ = nullptr;
  QLabel* empty_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QLabel* name_ = nullptr;
  QLabel* editStatus_ = nullptr;
  /// This computer's device identifier (asked of the companion once): notes
  /// written here carry it and can be edited.
  QString deviceID_;
};

}  // namespace qm::desktop
