#pragma once

#include <string>

#include "store/field.h"
#include "store/record_enums.h"

namespace qm {

// clang-format off
/// The stored fields of a follow-up draft; `contactID` is the addressee.
#define QM_FOLLOW_UP_DRAFT_FIELDS(F)                                  \
  F(Uuid, id, {}, kUnique)                                            \
  F(std::string, subject, {}, {})                                     \
  F(std::string, body, {}, {})                                        \
  F(std::string, tone, "neutral", {})                                 \
  F(std::string, language, "en", {})                                  \
  F(std::string, status, "draft", {})                                 \
  F(std::optional<std::string>, aiProvider, {}, {})                   \
  F(Date, generatedAt, {}, {})                                        \
  F(std::optional<Date>, editedAt, {}, {})                            \
  F(std::optional<Uuid>, batchID, {}, {})                             \
  F(std::optional<Uuid>, contactID, {}, ownedBy("Contact"))         \
  F(std::optional<std::string>, recipientEmail, {}, {})
// clang-format on

/// A follow-up e-mail to a contact. `tone` and `status` hold the raw texts of
/// `Tone` and `DraftStatus`. `recipientEmail` is the address the user chose
/// for this message; without one it goes to the contact's e-mail.
struct FollowUpDraft {
  QM_FOLLOW_UP_DRAFT_FIELDS(QM_RECORD_MEMBER)

  /// A new draft with a fresh id, tone "neutral", language "en", status "draft"
  /// and `generatedAt` now.
  static FollowUpDraft create(std::string subject, std::string body,
                              std::optional<Uuid> contactID = std::nullopt);
  friend bool operator==(const FollowUpDraft&, const FollowUpDraft&) = default;
};

template <>
struct RecordInfo<FollowUpDraft> {
  static constexpr std::string_view table = "FollowUpDraft";
  static const std::vector<Field<FollowUpDraft>>& fields();
};

}  // namespace qm
