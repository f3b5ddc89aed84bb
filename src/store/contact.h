#pragma once

#include <string>
#include <vector>

#include "store/field.h"
#include "store/record_enums.h"

namespace qm {

// clang-format off
/// The stored fields of a contact, in declaration order. `eventID` is the
/// owning event (the event's side cascades). Notes, captures, drafts and
/// stakeholder links point at the contact and are deleted with it.
#define QM_CONTACT_FIELDS(F)                                                  \
  F(Uuid, id, {}, kUnique)                                                    \
  F(std::optional<Uuid>, eventID, {}, ownedBy("Event"))                       \
  F(Uuid, syncID, {}, {})                                                     \
  F(std::string, firstName, {}, {})                                           \
  F(std::string, lastName, {}, {})                                            \
  F(std::string, company, {}, {})                                             \
  F(std::optional<std::string>, title, {}, {})                                \
  F(std::optional<std::string>, email, {}, {})                                \
  F(std::optional<std::string>, phone, {}, {})                                \
  F(std::optional<std::string>, linkedinURL, {}, {})                          \
  F(std::optional<std::string>, country, {}, {})                              \
  F(std::optional<std::string>, countryCode, {}, {})                          \
  F(std::optional<std::string>, city, {}, {})                                 \
  F(std::optional<std::string>, stateRegion, {}, {})                          \
  F(std::optional<std::string>, postalCode, {}, {})                           \
  F(std::optional<std::string>, locationSource, {}, {})                       \
  F(std::optional<std::string>, companyIndustry, {}, {})                      \
  F(std::optional<std::string>, companySize, {}, {})                          \
  F(std::optional<std::string>, companyEmployeeCount, {}, {})                 \
  F(std::optional<std::string>, companySummary, {}, {})                       \
  F(std::optional<std::string>, companyWebsite, {}, {})                       \
  F(std::optional<std::string>, personTalkingPoints, {}, {})                  \
  F(std::optional<std::string>, companyTalkingPoints, {}, {})                 \
  F(std::optional<std::string>, priorityTier, {}, {})                         \
  F(std::optional<double>, priorityScore, {}, {})                             \
  F(std::optional<std::string>, boothNumber, {}, {})                          \
  F(std::optional<std::string>, delegation, {}, {})                           \
  F(std::optional<std::int64_t>, rank, {}, {})                                \
  F(std::optional<double>, overallScore, {}, {})                              \
  F(std::optional<double>, fitScore, {}, {})                                  \
  F(std::optional<double>, valueScore, {}, {})                                \
  F(std::optional<double>, confidenceScore, {}, {})                           \
  F(std::optional<double>, effortScore, {}, {})                               \
  F(std::optional<std::string>, tier, {}, {})                                 \
  F(std::optional<std::string>, whyMeet, {}, {})                              \
  F(std::optional<std::string>, approachAngle, {}, {})                        \
  F(std::optional<std::string>, watchOuts, {}, {})                            \
  F(std::optional<std::string>, whoTheyAre, {}, {})                           \
  F(std::optional<std::string>, companySnapshot, {}, {})                      \
  F(std::optional<std::string>, whyMatchReasons, {}, {})                      \
  F(std::optional<std::string>, dataConfidence, {}, {})                       \
  F(std::optional<std::string>, missingFields, {}, {})                        \
  F(std::optional<std::string>, candidateSources, {}, {})                     \
  F(std::optional<std::string>, industry, {}, {})                             \
  F(std::optional<std::string>, enrichmentStatus, {}, {})                     \
  F(std::optional<Date>, enrichedAt, {}, {})                                  \
  F(std::optional<std::string>, enrichmentSource, {}, {})                     \
  F(std::optional<std::string>, verifiedEmail, {}, {})                        \
  F(std::optional<std::string>, verifiedPhone, {}, {})                        \
  F(bool, emailVerified, false, {})                                           \
  F(bool, phoneVerified, false, {})                                           \
  F(std::optional<std::int64_t>, pdlPersonLikelihood, {}, {})                 \
  F(std::optional<std::string>, pdlPersonJSON, {}, {})                        \
  F(std::optional<std::string>, profileImageURL, {}, {})                      \
  F(std::optional<std::string>, companyHQ, {}, {})                            \
  F(std::optional<std::string>, companyFounded, {}, {})                       \
  F(std::optional<std::string>, companyType, {}, {})                          \
  F(std::optional<std::string>, companyRevenue, {}, {})                       \
  F(std::optional<std::string>, companyFundingTotal, {}, {})                  \
  F(std::optional<std::string>, companyFundingStage, {}, {})                  \
  F(std::optional<std::string>, companyTags, {}, {})                          \
  F(std::optional<std::string>, companyLinkedInURL, {}, {})                   \
  F(std::optional<std::string>, linkedinMatchMethod, {}, {})                  \
  F(std::optional<double>, linkedinMatchScore, {}, {})                        \
  F(bool, companyMismatchDetected, false, {})                                 \
  F(std::optional<std::string>, enrichmentConflicts, {}, {})                  \
  F(std::optional<std::string>, enrichmentCompletedSteps, {}, {})             \
  F(std::optional<std::string>, pendingDomainCandidates, {}, {})              \
  F(bool, domainVerifiedByUser, false, {})                                    \
  F(std::optional<std::string>, captureMethod, {}, {})                        \
  F(std::optional<std::string>, captureSource, {}, {})                        \
  F(std::optional<std::string>, sourceURL, {}, {})                            \
  F(ContactSource, source, ContactSource::manual, {})                         \
  F(MeetingStatus, status, MeetingStatus::notMet, {})                         \
  F(bool, isTarget, false, {})                                                \
  F(bool, isFavorite, false, {})                                              \
  F(bool, isArchived, false, {})                                              \
  F(std::optional<Date>, metAt, {}, {})                                       \
  F(std::optional<std::int64_t>, interactionRating, {}, {})                   \
  F(bool, opportunitySuggestionDismissed, false, {})                          \
  F(std::optional<std::string>, aiSummary, {}, {})                            \
  F(std::optional<std::string>, aiActionPlan, {}, {})                         \
  F(std::optional<std::string>, aiFollowUpPriority, {}, {})                   \
  F(bool, actionPlanEditedByUser, false, {})                                  \
  F(std::optional<Date>, aiActionPlanGeneratedAt, {}, {})                     \
  F(std::optional<double>, matchConfidence, {}, {})                           \
  F(bool, matchedManually, false, {})                                         \
  F(std::optional<std::string>, ownedBy, {}, {})                              \
  F(std::optional<Date>, crmPushedAt, {}, {})                                 \
  F(std::optional<std::string>, crmPushedTo, {}, {})                          \
  F(std::optional<std::string>, crmRemoteID, {}, {})                          \
  F(std::optional<std::string>, crmDealRemoteID, {}, {})                      \
  F(std::optional<std::string>, capturedBy, {}, {})                           \
  F(std::vector<std::string>, alsoMetBy, {}, {})                              \
  F(std::optional<Date>, lastSyncedAt, {}, {})                                \
  F(std::int64_t, syncCount, 0, {})                                           \
  F(std::optional<std::string>, originalDeviceID, {}, {})
// clang-format on

/// A difference that enrichment found between a contact's value and its own;
/// kept only inside `Contact::enrichmentConflicts` as a JSON array.
struct EnrichmentConflict {
  std::string field;
  std::string existingValue;
  std::string newValue;
  std::string source;
  std::optional<std::string> resolution;  ///< "user_resolved" marks it settled

  friend bool operator==(const EnrichmentConflict&, const EnrichmentConflict&) = default;
};

/// Encodes conflicts as the JSON array kept in `enrichmentConflicts`.
std::string encodeEnrichmentConflicts(const std::vector<EnrichmentConflict>& conflicts);

/// The rules behind `Contact`'s derived values, on the fields they read, so
/// that slimmer views of a contact (the lists' `ListContact`) answer alike.
std::string joinedContactName(const std::string& firstName, const std::string& lastName);
EnrichmentState enrichmentStateOf(const std::optional<std::string>& enrichmentStatus);
/// `enrichmentConflicts` decoded; anything that is not such a JSON list gives none.
std::vector<EnrichmentConflict> decodeEnrichmentConflicts(
    const std::optional<std::string>& enrichmentConflicts);
/// The conflicts of `enrichmentConflicts` not marked "user_resolved".
std::int64_t unresolvedConflictCountOf(const std::optional<std::string>& enrichmentConflicts);
MeetingIndicator meetingIndicatorOf(bool isArchived, MeetingStatus status,
                                    const std::vector<std::string>& alsoMetBy, bool inEvent);

/// One person met (or to be met) at an event.
struct Contact {
  QM_CONTACT_FIELDS(QM_RECORD_MEMBER)

  /// A new contact with fresh `id` and `syncID`, in `eventID` when given.
  static Contact create(std::string firstName, std::string lastName, std::string company,
                        std::optional<Uuid> eventID = std::nullopt);

  /// First and last name joined by a space, Unicode white space trimmed at both ends.
  std::string fullName() const;
  /// `company`, or "Unknown Company" when it is empty.
  std::string displayCompany() const;
  /// `enrichmentStatus` parsed; absent or unrecognised text gives none.
  EnrichmentState enrichmentState() const;
  /// `enrichmentConflicts` decoded; anything that is not such a JSON list gives none.
  std::vector<EnrichmentConflict> conflicts() const;
  /// Conflicts not marked "user_resolved".
  std::int64_t unresolvedConflictCount() const;
  MeetingIndicator meetingIndicator() const;

  friend bool operator==(const Contact&, const Contact&) = default;
};

template <>
struct RecordInfo<Contact> {
  static constexpr std::string_view table = "Contact";
  static const std::vector<Field<Contact>>& fields();
};

}  // namespace qm
