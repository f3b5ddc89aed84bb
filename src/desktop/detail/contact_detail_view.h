#pragma once

#include <QJsonObject>
#include <QKeySequence>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

#include "common/uuid.h"
#include "desktop/desktop_context.h"
#include "desktop/detail/contact_record.h"

class QAction;
class QItemSelectionModel;
class QLabel;
class QScrollArea;
class QStackedWidget;

namespace qm::desktop {

class CurrentContact;
class DeskIdentity;
class DetailCaptures;
class DetailDrafts;
class DetailEdits;
class DetailFields;
class DetailHeader;
class DetailNotes;
class DetailOpportunities;

/// The detail pane: the current contact of the list the window shows, or
/// "No contact selected". Its sections (header and actions, fields, notes,
/// opportunities, captures, drafts) all show the one record read for that
/// contact, and read it again when the list reads its rows again. Its
/// actions (Edit… F2, Mark as Target, Draft Follow-Up Email Ctrl+Shift+D,
/// Write from Template, Add Note… Ctrl+Shift+N, New Opportunity…) act on
/// that contact only; edits go to the companion and the line under the pane
/// says how they went.
class ContactDetailView : public QWidget {
  Q_OBJECT
 public:
  /// Opens an address in the program that handles it (mail, dialer, browser).
  using UrlOpener = std::function<void(const QUrl& url)>;
  /// The narrowest the pane is laid out for: every section wraps to it.
  static constexpr int kMinimumWidth = 280;

  explicit ContactDetailView(DesktopContext& context, QWidget* parent = nullptr);
  ~ContactDetailView() override;

  /// Shows the current contact of `selection`'s list from now on, its id
  /// read from the first column under `idRole`; nullptr for a view without
  /// contacts (the pane then shows none).
  void follow(QItemSelectionModel* selection, int idRole);
  /// The current contact: the one shown, or about to be.
  std::optional<Uuid> contactID() const;
  /// Reads the current contact again (it may have changed or gone).
  void reload();

  /// The contact's name in the header; empty while none is shown.
  QString shownName() const;
  /// Whether "No contact selected" is shown.
  bool isEmptyState() const;
  /// Replaces what opens the links (QDesktopServices::openUrl).
  void setUrlOpener(UrlOpener opener) { openUrl_ = std::move(opener); }

  /// The line under the pane that tells how the last edit went (saved, sent
  /// to the phone, waiting for it, or why it failed).
  QLabel* editStatusLabel() const;

 public slots:
  /// Opens the editor of the shown contact's fields.
  void editContact();
  void addNote();
  void newOpportunity();
  void draftFollowUp();

 signals:
  void draftChosen(const qm::Uuid& draftID);
  /// An edit the companion saved that the same request with `undo` reverses.
  void undoableEdit(const QString& description, const QJsonObject& undo);

 private:
  QAction* makeAction(const QString& text, const QString& name, const QString& toolTip,
                      const QKeySequence& keys = {});
  void showCurrent();
  void showEmpty();
  /// The shown record while it is the current contact's; null otherwise.
  const ContactRecord* shownCurrent() const;

  DesktopContext& context_;
  CurrentContact* current_ = nullptr;
  DeskIdentity* desk_ = nullptr;
  DetailEdits* edits_ = nullptr;
  std::optional<ContactRecord> shown_;
  UrlOpener openUrl_;

  QAction* edit_ = nullptr;
  QAction* target_ = nullptr;
  QAction* draft_ = nullptr;
  QAction* fromTemplate_ = nullptr;
  QAction* note_ = nullptr;
  QAction* opportunity_ = nullptr;

  QStackedWidget* pages_ = nullptr;
  QWidget* empty_ = nullptr;
  QWidget* content_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  DetailHeader* header_ = nullptr;
  DetailFields* fields_ = nullptr;
  DetailNotes* notes_ = nullptr;
  DetailOpportunities* opportunities_ = nullptr;
  DetailCaptures* captures_ = nullptr;
  DetailDrafts* drafts_ = nullptr;
};

}  // namespace qm::desktop
