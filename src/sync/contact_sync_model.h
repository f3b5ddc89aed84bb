#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "store/capture_media.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/opportunity.h"
#include "sync/wire_from_store.h"
#include "wire/sync_json.h"

namespace qm {

class Store;

// clang-format off
/// Wire fields of a note taken from the same-named stored field.
#define QM_NOTE_SYNC_STORED_FIELDS(F)                   \
  QM_STORED(F, ContactNote, id)                         \
  QM_STORED(F, ContactNote, syncID)                     \
  QM_STORED(F, ContactNote, createdAt)                  \
  F(std::string, noteType)                              \
  QM_STORED(F, ContactNote, textContent)                \
  QM_STORED(F, ContactNote, audioFileName)              \
  QM_STORED(F, ContactNote, transcriptionRaw)
/// Wire fields of a note with another stored name.
#define QM_NOTE_SYNC_OTHER_FIELDS(F)                    \
  F(std::optional<std::string>, authorName)             \
  QM_STORED(F, ContactNote, cleanedText)                \
  QM_STORED(F, ContactNote, cleanedAt)
#define QM_NOTE_SYNC_FIELDS(F) QM_NOTE_SYNC_STORED_FIELDS(F) QM_NOTE_SYNC_OTHER_FIELDS(F)
// clang-format on

/// The wire form of a note. `noteType` is the note type's text ("text",
/// "voice", "handwriting"); `authorName` is the note's `createdByName`.
struct NoteSyncModel {
  QM_NOTE_SYNC_FIELDS(QM_WIRE_MEMBER)

  static NoteSyncModel from(const ContactNote& note);
  friend bool operator==(const NoteSyncModel&, const NoteSyncModel&) = default;
};

// clang-format off
/// Every wire field of an opportunity has its stored field's name and type;
/// `timeline` and `confidence` are stored as their texts ("This month", "Low").
#define QM_OPPORTUNITY_SYNC_FIELDS(F)                   \
  QM_STORED(F, Opportunity, id)                         \
  QM_STORED(F, Opportunity, createdAt)                  \
  QM_STORED(F, Opportunity, updatedAt)                  \
  QM_STORED(F, Opportunity, title)                      \
  QM_STORED(F, Opportunity, companyName)                \
  QM_STORED(F, Opportunity, value)                      \
  QM_STORED(F, Opportunity, currency)                   \
  QM_STORED(F, Opportunity, stage)                      \
  QM_STORED(F, Opportunity, timeline)                   \
  QM_STORED(F, Opportunity, nextStep)                   \
  QM_STORED(F, Opportunity, confidence)                 \
  QM_STORED(F, Opportunity, notes)                      \
  QM_STORED(F, Opportunity, hubspotDealId)              \
  QM_STORED(F, Opportunity, exportedAt)                 \
  QM_STORED(F, Opportunity, suggestedByAI)              \
  QM_STORED(F, Opportunity, sourceNoteID)
// clang-format on

/// The wire form of an opportunity.
struct OpportunitySyncModel {
  QM_OPPORTUNITY_SYNC_FIELDS(QM_WIRE_MEMBER)

  static OpportunitySyncModel from(const Opportunity& opportunity);
  friend bool operator==(const OpportunitySyncModel&, const OpportunitySyncModel&) = default;
};

// clang-format off
/// Wire fields of a contact taken from the same-named stored field. The
/// stored enumerations `source` and `status` travel as their texts; the
/// verification flags may be missing on the wire.
#define QM_CONTACT_SYNC_STORED_FIELDS(F)                \
  QM_STORED(F, Contact, id)                             \
  QM_STORED(F, Contact, syncID)                         \
  QM_STORED(F, Contact, firstName)                      \
  QM_STORED(F, Contact, lastName)                       \
  QM_STORED(F, Contact, company)                        \
  QM_STORED(F, Contact, title)                          \
  QM_STORED(F, Contact, email)                          \
  QM_STORED(F, Contact, phone)                          \
  QM_STORED(F, Contact, linkedinURL)                    \
  QM_STORED(F, Contact, country)                        \
  QM_STORED(F, Contact, countryCode)                    \
  QM_STORED(F, Contact, city)                           \
  QM_STORED(F, Contact, stateRegion)                    \
  QM_STORED(F, Contact, postalCode)                     \
  QM_STORED(F, Contact, locationSource)                 \
  QM_STORED(F, Contact, companyIndustry)                \
  QM_STORED(F, Contact, companySize)                    \
  QM_STORED(F, Contact, companyEmployeeCount)           \
  QM_STORED(F, Contact, companyWebsite)                 \
  QM_STORED(F, Contact, companySummary)                 \
  QM_STORED(F, Contact, personTalkingPoints)            \
  QM_STORED(F, Contact, companyTalkingPoints)           \
  QM_STORED(F, Contact, priorityTier)                   \
  QM_STORED(F, Contact, priorityScore)                  \
  QM_STORED(F, Contact, boothNumber)                    \
  QM_STORED(F, Contact, delegation)                     \
  QM_STORED(F, Contact, rank)                           \
  QM_STORED(F, Contact, overallScore)                   \
  QM_STORED(F, Contact, fitScore)                       \
  QM_STORED(F, Contact, valueScore)                     \
  QM_STORED(F, Contact, confidenceScore)                \
  QM_STORED(F, Contact, effortScore)                    \
  QM_STORED(F, Contact, tier)                           \
  QM_STORED(F, Contact, whyMeet)                        \
  QM_STORED(F, Contact, approachAngle)                  \
  QM_STORED(F, Contact, watchOuts)                      \
  QM_STORED(F, Contact, whoTheyAre)                     \
  QM_STORED(F, Contact, companySnapshot)                \
  QM_STORED(F, Contact, whyMatchReasons)                \
  QM_STORED(F, Contact, dataConfidence)                 \
  QM_STORED(F, Contact, missingFields)                  \
  QM_STORED(F, Contact, candidateSources)               \
  QM_STORED(F, Contact, industry)                       \
  F(std::string, source)                                \
  F(std::string, status)                                \
  QM_STORED(F, Contact, isTarget)                       \
  QM_STORED(F, Contact, isFavorite)                     \
  QM_STORED(F, Contact, metAt)                          \
  QM_STORED(F, Contact, interactionRating)              \
  QM_STORED(F, Contact, ownedBy)                        \
  QM_STORED(F, Contact, aiSummary)                      \
  QM_STORED(F, Contact, aiActionPlan)                   \
  QM_STORED(F, Contact, aiFollowUpPriority)             \
  QM_STORED(F, Contact, actionPlanEditedByUser)         \
  QM_STORED(F, Contact, enrichmentStatus)               \
  QM_STORED(F, Contact, enrichedAt)                     \
  QM_STORED(F, Contact, enrichmentSource)               \
  QM_STORED(F, Contact, verifiedEmail)                  \
  QM_STORED(F, Contact, verifiedPhone)                  \
  F(std::optional<bool>, emailVerified)                 \
  F(std::optional<bool>, phoneVerified)                 \
  QM_STORED(F, Contact, pdlPersonLikelihood)            \
  QM_STORED(F, Contact, pdlPersonJSON)                  \
  QM_STORED(F, Contact, companyHQ)                      \
  QM_STORED(F, Contact, companyFounded)                 \
  QM_STORED(F, Contact, companyType)                    \
  QM_STORED(F, Contact, companyRevenue)                 \
  QM_STORED(F, Contact, companyFundingTotal)            \
  QM_STORED(F, Contact, companyFundingStage)            \
  QM_STORED(F, Contact, companyTags)                    \
  QM_STORED(F, Contact, companyLinkedInURL)             \
  QM_STORED(F, Contact, linkedinMatchMethod)            \
  QM_STORED(F, Contact, linkedinMatchScore)             \
  QM_STORED(F, Contact, capturedBy)                     \
  QM_STORED(F, Contact, alsoMetBy)                      \
  QM_STORED(F, Contact, originalDeviceID)
/// Wire fields of a contact built from its related records.
#define QM_CONTACT_SYNC_RELATED_FIELDS(F)               \
  F(std::vector<NoteSyncModel>, notes)                  \
  F(std::vector<OpportunitySyncModel>, opportunities)   \
  F(std::vector<std::string>, captureFileNames)
#define QM_CONTACT_SYNC_FIELDS(F) QM_CONTACT_SYNC_STORED_FIELDS(F) QM_CONTACT_SYNC_RELATED_FIELDS(F)
// clang-format on

/// The wire form of a contact, with its notes, the opportunities it takes part
/// in and the file names of its capture images.
struct ContactSyncModel {
  using NoteSyncModel = ::qm::NoteSyncModel;
  using OpportunitySyncModel = ::qm::OpportunitySyncModel;

  QM_CONTACT_SYNC_FIELDS(QM_WIRE_MEMBER)

  /// The wire form of a stored contact and its related records (in stored order).
  static ContactSyncModel from(const Contact& contact, const std::vector<ContactNote>& notes,
                               const std::vector<Opportunity>& opportunities,
                               const std::vector<CaptureMedia>& captures);
  /// As above, reading the contact's notes, the opportunities it is a
  /// stakeholder of, and its captures from the store.
  static Result<ContactSyncModel> from(Store& store, const Contact& contact);

  friend bool operator==(const ContactSyncModel&, const ContactSyncModel&) = default;
};

QM_DECLARE_WIRE_RECORD(NoteSyncModel, "NoteSyncModel")
QM_DECLARE_WIRE_RECORD(OpportunitySyncModel, "OpportunitySyncModel")
QM_DECLARE_WIRE_RECORD(ContactSyncModel, "ContactSyncModel")

}  // namespace qm
