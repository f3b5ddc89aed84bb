#include "sync/contact_sync_model.h"

#include "store/relationships.h"
#include "store/store.h"
#include "wire/wire_codec.h"

namespace qm {

QM_DEFINE_WIRE_RECORD(NoteSyncModel, QM_NOTE_SYNC_FIELDS)
QM_DEFINE_WIRE_RECORD(OpportunitySyncModel, QM_OPPORTUNITY_SYNC_FIELDS)
QM_DEFINE_WIRE_RECORD(ContactSyncModel, QM_CONTACT_SYNC_FIELDS)

NoteSyncModel NoteSyncModel::from(const ContactNote& stored) {
  NoteSyncModel wire;
  QM_NOTE_SYNC_STORED_FIELDS(QM_ASSIGN_FROM_STORE)
  wire.authorName = stored.createdByName;
  wire.cleanedText = stored.cleanedText;
  wire.cleanedAt = stored.cleanedAt;
  return wire;
}

OpportunitySyncModel OpportunitySyncModel::from(const Opportunity& stored) {
  OpportunitySyncModel wire;
  QM_OPPORTUNITY_SYNC_FIELDS(QM_ASSIGN_FROM_STORE)
  return wire;
}

ContactSyncModel ContactSyncModel::from(const Contact& stored,
                                        const std::vector<ContactNote>& notes,
                                        const std::vector<Opportunity>& opportunities,
                                        const std::vector<CaptureMedia>& captures) {
  ContactSyncModel wire;
  QM_CONTACT_SYNC_STORED_FIELDS(QM_ASSIGN_FROM_STORE)
  wire.notes.reserve(notes.size());
  for (const auto& note : notes) wire.notes.push_back(NoteSyncModel::from(note));
  wire.opportunities.reserve(opportunities.size());
  for (const auto& opportunity : opportunities) {
    wire.opportunities.push_back(OpportunitySyncModel::from(opportunity));
  }
  wire.captureFileNames.reserve(captures.size());
  for (const auto& capture : captures) wire.captureFileNames.push_back(capture.imageFileName);
  return wire;
}

Result<ContactSyncModel> ContactSyncModel::from(Store& store, const Contact& contact) {
  auto notes = notesOf(store, contact.id);
  if (!notes) return notes.error();
  auto links = stakeholdersOfContact(store, contact.id);
  if (!links) return links.error();
  std::vector<Opportunity> opportunities;
  for (const auto& link : *links) {
    if (!link.opportunityID) continue;
    auto opportunity = store.find<Opportunity>(*link.opportunityID);
    if (!opportunity) return opportunity.error();
    // A contact linked twice to one opportunity still sends it once.
    if (*opportunity && std::none_of(opportunities.begin(), opportunities.end(),
                                     [&](const auto& o) { return o.id == (*opportunity)->id; })) {
      opportunities.push_back(std::move(**opportunity));
    }
  }
  auto captures = capturesOf(store, contact.id);
  if (!captures) return captures.error();
  return from(contact, *notes, opportunities, *captures);
}

}  // namespace qm
