#pragma once

#include <string>

#include "store/field.h"
#include "store/record_enums.h"

namespace qm {

// clang-format off
/// The stored fields of a note; `contactID` is the owning contact.
#define QM_CONTACT_NOTE_FIELDS(F)                                     \
  F(Uuid, id, {}, kUnique)                                            \
  F(Uuid, syncID, {}, {})                                             \
  F(std::optional<Uuid>, contactID, {}, ownedBy("Contact"))           \
  F(Date, createdAt, {}, {})                                          \
  F(Date, updatedAt, {}, {})                                          \
  F(NoteType, noteType, NoteType::text, {})                           \
  F(std::optional<std::string>, textContent, {}, {})                  \
  F(std::optional<std::string>, audioFileName, {}, {})                \
  F(std::optional<double>, audioDurationSeconds, {}, {})              \
  F(std::optional<std::string>, transcriptionRaw, {}, {})             \
  F(std::optional<std::string>, transcriptionProcessed, {}, {})       \
  F(std::optional<std::string>, transcriptionLanguage, {}, {})        \
  F(bool, transcriptionFailed, false, {})                             \
  F(std::optional<std::string>, transcriptionEngine, {}, {})          \
  F(std::optional<float>, handwritingConfidence, {}, {})              \
  F(bool, isAICleaned, false, {})                                     \
  F(std::optional<std::string>, rawOCRText, {}, {})                   \
  F(std::optional<std::string>, cleanedText, {}, {})                  \
  F(std::optional<Date>, cleanedAt, {}, {})                           \
  F(std::optional<std::string>, createdByName, {}, {})                \
  F(std::optional<std::string>, createdByDeviceID, {}, {})
// clang-format on

/// A typed, dictated or handwritten note about a contact.
struct ContactNote {
  QM_CONTACT_NOTE_FIELDS(QM_RECORD_MEMBER)
  friend bool operator==(const ContactNote&, const ContactNote&) = default;
};

template <>
struct RecordInfo<ContactNote> {
  static constexpr std::string_view table = "ContactNote";
  static const std::vector<Field<ContactNote>>& fields();
};

}  // namespace qm
