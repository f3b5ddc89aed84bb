#include "sync/sync_merge_engine.h"

#include <algorithm>

#include "common/log.h"
#include "store/contact_queries.h"
#include "store/opportunity.h"
#include "store/relationships.h"
#include "store/store.h"
#include "sync/contact_matcher.h"

namespace qm {

namespace {

/// Copies a wire field into its same-named stored field: the same type as is,
/// an enumeration from its text (an unknown text leaves the field alone), a
/// flag that may be missing on the wire only when present.
template <class T>
void assignToStore(T& stored, const T& wire) {
  stored = wire;
}
template <DescribedEnum E>
void assignToStore(E& stored, const std::string& wire) {
  if (auto value = parseEnum<E>(wire)) stored = *value;
}
inline void assignToStore(bool& stored, const std::optional<bool>& wire) {
  if (wire) stored = *wire;
}

#define QM_ASSIGN_TO_STORE(Type, name) assignToStore(stored.name, wire.name);

bool contains(const std::vector<std::string>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

/// Whether the store already holds a record of kind R with `id`. Ids are unique
/// across the store, so an incoming record whose id another contact's note or
/// another event's opportunity holds (the phone merged two duplicates, or a
/// phone that means harm) cannot be stored; the merge skips it rather than
/// failing the whole snapshot on every later sync.
template <Record R>
Result<bool> idTaken(Store& store, const Uuid& id) {
  return QM_TRY(store.count<R>({Match{"id", id}})) > 0;
}

}  // namespace

Result<EventHoldings> EventHoldings::read(Store& store, const Uuid& eventID) {
  EventHoldings holdings;
  holdings.noteIDs = QM_TRY(noteIDsOfEvent(store, eventID));
  for (const auto& opportunity :
       QM_TRY(store.fetchOnly<Opportunity>({"id", "updatedAt"}, {Match{"eventID", eventID}})))
    holdings.opportunities.emplace(opportunity.id, opportunity.updatedAt);
  return holdings;
}

std::string senderName(const std::optional<std::string>& bondPeerDisplayName) {
  return bondPeerDisplayName ? *bondPeerDisplayName : std::string(kSenderWithoutBond);
}

namespace SyncMergeEngine {

std::optional<Contact> findMatch(const ContactSyncModel& incoming,
                                 const std::vector<Contact>& candidates) {
  auto position = ContactMatcher(candidates).find(incoming);
  if (!position) return std::nullopt;
  return candidates[*position];
}

Contact createContact(const ContactSyncModel& wire, const std::optional<Uuid>& eventID,
                      const SyncMergeContext& context) {
  Contact stored{};
  stored.source = ContactSource::scanned;
  stored.status = MeetingStatus::notMet;
  QM_CONTACT_SYNC_STORED_FIELDS(QM_ASSIGN_TO_STORE)
  stored.eventID = eventID;
  stored.capturedBy = wire.capturedBy ? wire.capturedBy : context.senderName;
  if (parseEnum<MeetingStatus>(wire.status) == MeetingStatus::met && !context.senderName.empty() &&
      !contains(stored.alsoMetBy, context.senderName))
    stored.alsoMetBy.push_back(context.senderName);
  if (!context.desktopDisplayName.empty()) std::erase(stored.alsoMetBy, context.desktopDisplayName);
  stored.lastSyncedAt = context.now;
  stored.syncCount = 1;
  return stored;
}

Result<Contact> insertNewContact(Store& store, EventHoldings& holdings,
                                 const ContactSyncModel& incoming,
                                 const std::optional<Uuid>& eventID,
                                 const SyncMergeContext& context) {
  Contact contact = createContact(incoming, eventID, context);
  QM_TRY(store.insert(contact));
  QM_TRY(mergeNotes(store, holdings, incoming.notes, contact.id));
  // Opportunities the event already holds are left as they are here; a later
  // merge of this contact updates them when the phone's copy is newer.
  std::vector<OpportunitySyncModel> unknown;
  for (const auto& opportunity : incoming.opportunities) {
    if (!holdings.opportunities.contains(opportunity.id)) unknown.push_back(opportunity);
  }
  QM_TRY(mergeOpportunities(store, holdings, unknown, eventID, contact.id));
  return contact;
}

ContactNote noteFromWire(const NoteSyncModel& wire, const Uuid& contactID) {
  ContactNote note{};
  note.id = wire.id;
  note.syncID = wire.syncID;
  note.contactID = contactID;
  note.createdAt = wire.createdAt;
  note.updatedAt = wire.createdAt;
  note.noteType = parseEnum<NoteType>(wire.noteType).value_or(NoteType::text);
  note.textContent = wire.textContent;
  note.audioFileName = wire.audioFileName;
  note.transcriptionRaw = wire.transcriptionRaw;
  note.createdByName = wire.authorName;
  note.cleanedText = wire.cleanedText;
  note.cleanedAt = wire.cleanedAt;
  return note;
}

Result<std::int64_t> mergeNotes(Store& store, EventHoldings& holdings,
                                const std::vector<NoteSyncModel>& incoming, const Uuid& contactID) {
  if (incoming.empty()) return std::int64_t{0};
  std::vector<Uuid>& known = holdings.noteIDs[contactID];
  std::int64_t added = 0;
  for (const auto& wire : incoming) {
    if (std::find(known.begin(), known.end(), wire.id) != known.end()) continue;
    if (QM_TRY(idTaken<ContactNote>(store, wire.id))) {
      log::sync().error("Skipped note {} from the phone: the id belongs to another contact's note",
                        wire.id.str());
      continue;
    }
    QM_TRY(store.insert(noteFromWire(wire, contactID)));
    known.push_back(wire.id);
    ++added;
  }
  return added;
}

namespace {

void copyOpportunityFields(const OpportunitySyncModel& wire, Opportunity& stored) {
  QM_OPPORTUNITY_SYNC_FIELDS(QM_ASSIGN_TO_STORE)
}

}  // namespace

Result<std::int64_t> mergeOpportunities(Store& store, EventHoldings& holdings,
                                        const std::vector<OpportunitySyncModel>& incoming,
                                        const std::optional<Uuid>& eventID,
                                        const std::optional<Uuid>& contactID) {
  std::int64_t count = 0;
  for (const auto& wire : incoming) {
    if (auto held = holdings.opportunities.find(wire.id); held != holdings.opportunities.end()) {
      if (wire.updatedAt <= held->second) continue;
      auto found = QM_TRY(store.find<Opportunity>(wire.id));
      if (!found) return Error("Could not read opportunity " + wire.id.str());
      copyOpportunityFields(wire, *found);
      QM_TRY(store.update(*found));
      held->second = found->updatedAt;
    } else {
      if (QM_TRY(idTaken<Opportunity>(store, wire.id))) {
        log::sync().error(
            "Skipped opportunity {} from the phone: the id belongs to an opportunity of another "
            "event",
            wire.id.str());
        continue;
      }
      Opportunity created{};
      copyOpportunityFields(wire, created);
      created.eventID = eventID;
      created.originContactID = contactID;
      QM_TRY(store.insert(created));
      if (contactID) QM_TRY(store.insert(OpportunityStakeholder::create(*contactID, created.id)));
      holdings.opportunities.emplace(created.id, created.updatedAt);
    }
    ++count;
  }
  return count;
}

void applyEvent(const EventSyncModel& wire, Event& event) {
  event.name = wire.name;
  event.eventDate = wire.eventDate;
  event.startDate = wire.startDate;
  event.endDate = wire.endDate;
  event.location = wire.location;
  event.updatedAt = wire.updatedAt;
  event.teamCode = wire.teamCode;
  event.isAdminDevice = wire.isAdminDevice;
  event.adminDeviceID = wire.adminDeviceID;
  event.teamMemberDeviceIDs = wire.teamMemberDeviceIDs;
  event.isArchived = wire.isArchived;
  event.eventDescription = wire.eventDescription;
  event.eventWebsite = wire.eventWebsite;
  event.ourBoothNumber = wire.ourBoothNumber;
}

Event createEvent(const EventSyncModel& wire) {
  Event event{};
  event.id = wire.id;
  event.createdAt = wire.createdAt;
  applyEvent(wire, event);
  return event;
}

}  // namespace SyncMergeEngine

}  // namespace qm
