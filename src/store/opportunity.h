#pragma once

#include <string>

#include "store/field.h"
#include "store/record_enums.h"

namespace qm {

// clang-format off
/// The stored fields of an opportunity; `eventID` is the event it came from
/// (the event's side cascades). `timeline` and `confidence` hold the raw texts
/// of `OpportunityTimeline` and `OpportunityConfidence`.
#define QM_OPPORTUNITY_FIELDS(F)                                      \
  F(Uuid, id, {}, kUnique)                                            \
  F(Date, createdAt, {}, {})                                          \
  F(Date, updatedAt, {}, {})                                          \
  F(std::string, title, {}, {})                                       \
  F(std::optional<double>, value, {}, {})                             \
  F(std::string, currency, "EUR", {})                                 \
  F(std::string, stage, "Exploring", {})                              \
  F(std::optional<std::string>, timeline, {}, {})                     \
  F(std::string, nextStep, {}, {})                                    \
  F(std::optional<std::string>, confidence, {}, {})                   \
  F(std::optional<std::string>, notes, {}, {})                        \
  F(bool, notesFromScan, false, {})                                   \
  F(std::optional<std::string>, cleanedNotes, {}, {})                 \
  F(std::optional<Date>, cleanedNotesAt, {}, {})                      \
  F(std::optional<std::string>, originalScannedNotes, {}, {})         \
  F(std::string, companyName, {}, {})                                 \
  F(std::optional<Uuid>, eventID, {}, ownedBy("Event"))               \
  F(std::optional<std::string>, hubspotDealId, {}, {})                \
  F(std::optional<Date>, exportedAt, {}, {})                          \
  F(bool, suggestedByAI, false, {})                                   \
  F(std::optional<Uuid>, sourceNoteID, {}, {})                        \
  F(std::optional<Uuid>, originContactID, {}, {})
// clang-format on

/// Something that could be sold to a company met at an event.
struct Opportunity {
  QM_OPPORTUNITY_FIELDS(QM_RECORD_MEMBER)

  /// A new opportunity: fresh id, created and updated now, every other field at its default.
  static Opportunity create(std::string title, std::string companyName,
                            std::optional<Uuid> eventID = std::nullopt);
  friend bool operator==(const Opportunity&, const Opportunity&) = default;
};

template <>
struct RecordInfo<Opportunity> {
  static constexpr std::string_view table = "Opportunity";
  static const std::vector<Field<Opportunity>>& fields();
};

// clang-format off
/// The link between a contact and an opportunity; deleted with either.
#define QM_OPPORTUNITY_STAKEHOLDER_FIELDS(F)                          \
  F(Uuid, id, {}, kUnique)                                            \
  F(std::optional<std::string>, role, {}, {})                         \
  F(std::optional<std::string>, notes, {}, {})                        \
  F(Date, addedAt, {}, {})                                            \
  F(std::optional<Uuid>, contactID, {}, ownedBy("Contact"))           \
  F(std::optional<Uuid>, opportunityID, {}, ownedBy("Opportunity"))
// clang-format on

struct OpportunityStakeholder {
  QM_OPPORTUNITY_STAKEHOLDER_FIELDS(QM_RECORD_MEMBER)

  /// A new link with a fresh id, added now.
  static OpportunityStakeholder create(std::optional<Uuid> contactID,
                                       std::optional<Uuid> opportunityID,
                                       std::optional<std::string> role = std::nullopt);
  friend bool operator==(const OpportunityStakeholder&, const OpportunityStakeholder&) = default;
};

template <>
struct RecordInfo<OpportunityStakeholder> {
  static constexpr std::string_view table = "OpportunityStakeholder";
  static const std::vector<Field<OpportunityStakeholder>>& fields();
};

}  // namespace qm
