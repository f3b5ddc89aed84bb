#pragma once

#include <string>

#include "store/field.h"

namespace qm {

// clang-format off
/// `contactID` is a plain value, not a relationship.
#define QM_CONTACT_REVIEW_STATE_FIELDS(F)                             \
  F(Uuid, id, {}, kUnique)                                            \
  F(Uuid, contactID, {}, {})                                          \
  F(std::string, state, "unreviewed", {})                             \
  F(std::optional<Date>, reviewedAt, {}, {})                          \
  F(std::optional<std::string>, flaggedReason, {}, {})                \
  F(std::optional<std::string>, notes, {}, {})
// clang-format on

/// The review state of a contact.
struct ContactReviewState {
  QM_CONTACT_REVIEW_STATE_FIELDS(QM_RECORD_MEMBER)

  static ContactReviewState create(const Uuid& contactID);
  friend bool operator==(const ContactReviewState&, const ContactReviewState&) = default;
};

template <>
struct RecordInfo<ContactReviewState> {
  static constexpr std::string_view table = "ContactReviewState";
  static const std::vector<Field<ContactReviewState>>& fields();
};

}  // namespace qm
