#pragma once

#include <QWidget>
#include <optional>

#include "desktop/detail/contact_record.h"

class QAction;

namespace qm::desktop {

class DeskIdentity;
class DetailEdits;

/// The contact's notes, newest first, each with its date, author and kind,
/// under "Add Note…". The notes written on this computer can be edited and
/// deleted here; the phone's are read-only.
class DetailNotes : public QWidget {
  Q_OBJECT
 public:
  /// The title row's button does what `addNote` does.
  DetailNotes(DetailEdits& edits, const DeskIdentity& desk, QAction* addNote,
              QWidget* parent = nullptr);

  void showRecord(const ContactRecord& record);
  /// Asks for a new note about the shown contact and sends it.
  void addNote();

 private:
  void editNote(const ContactNote& note);
  void deleteNote(const ContactNote& note);

  DetailEdits& edits_;
  const DeskIdentity& desk_;
  std::optional<Contact> contact_;
  QWidget* body_ = nullptr;
};

}  // namespace qm::desktop
