#pragma once

#include <optional>
#include <string>

#include "store/contact_note.h"

namespace qm {

/// Who writes notes on this desktop unless a note names its own author: the
/// `displayName` setting (none when empty) and this desktop's device identifier.
struct NoteAuthor {
  std::optional<std::string> name;
  std::string deviceID;
};

/// What the user (or an AI client) gives when writing a note on this desktop.
struct DesktopNoteInput {
  NoteType noteType = NoteType::text;
  std::optional<std::string> textContent{};
  std::optional<Date> createdAt{};  ///< now when absent
  /// Author's name; when absent, the desktop's author name.
  std::optional<std::string> authorName{};
  /// Author's device; when absent, the desktop's device identifier.
  std::optional<std::string> deviceID{};
};

/// A new note for `contactID` written on this desktop, with fresh `id` and
/// `syncID` and `updatedAt` equal to `createdAt`. Not yet stored.
ContactNote createDesktopNote(const Uuid& contactID, DesktopNoteInput input,
                              const NoteAuthor& desktopAuthor);

}  // namespace qm
