#include "store/note_authoring.h"

namespace qm {

ContactNote createDesktopNote(const Uuid& contactID, DesktopNoteInput input,
                              const NoteAuthor& desktopAuthor) {
  ContactNote note;
  note.id = Uuid::random();
  note.syncID = Uuid::random();
  note.contactID = contactID;
  note.createdAt = note.updatedAt = input.createdAt.value_or(now());
  note.noteType = input.noteType;
  note.textContent = std::move(input.textContent);
  note.createdByName = input.authorName ? std::move(input.authorName) : desktopAuthor.name;
  note.createdByDeviceID = input.deviceID ? std::move(*input.deviceID) : desktopAuthor.deviceID;
  return note;
}

}  // namespace qm
