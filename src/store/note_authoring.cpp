#include "store/note_authoring.h"

#include "store/app_settings.h"
#include "store/device_identity.h"

namespace qm {

ContactNote createDesktopNote(const Uuid& contactID, DesktopNoteInput input,
                              const AppSettings& settings, DeviceIdentity& identity) {
  ContactNote note;
  note.id = Uuid::random();
  note.syncID = Uuid::random();
  note.contactID = contactID;
  note.createdAt = note.updatedAt = input.createdAt.value_or(now());
  note.noteType = input.noteType;
  note.textContent = std::move(input.textContent);
  if (input.authorName) {
    note.createdByName = std::move(input.authorName);
  } else if (auto name = settings.displayName(); !name.empty()) {
    note.createdByName = std::move(name);
  }
  note.createdByDeviceID = input.deviceID ? std::move(*input.deviceID) : identity.current();
  return note;
}

}  // namespace qm
