#pragma once

#include <QWidget>
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
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

namespace qm::desktop {

/// The detail pane: one contact's fields in groups, its meeting indicator,
/// notes, opportunities, capture images (opening a preview) and drafts.
/// Read-only; it reloads when the records change.
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

 signals:
  void draftChosen(const qm::Uuid& draftID);

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

  DesktopContext& context_;
  std::optional<Uuid> contactID_;
  std::optional<Snapshot> shown_;
  QStackedWidget* pages_ = nullptr;
  QLabel* empty_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QLabel* name_ = nullptr;
};

}  // namespace qm::desktop
