#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/date.h"
#include "common/result.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "sync/contact_sync_model.h"
#include "sync/event_sync_model.h"

namespace qm {

class Store;

/// Who a merge is done with and for, and when. The sync service builds one per
/// message from the stored bond and the settings.
struct SyncMergeContext {
  /// The name incoming records are credited to (`senderName`).
  std::string senderName;
  /// This desktop's `displayName` setting; empty when not set. It never ends
  /// up in a contact's `alsoMetBy`.
  std::string desktopDisplayName;
  /// The time written to `lastSyncedAt` (and to `metAt` when a meeting has none).
  Date now = qm::now();
};

/// What the store holds of an event's notes and opportunities, read once so
/// that merging a whole snapshot does not ask the store about each contact's.
/// The merge operations keep it in step with what they write.
struct EventHoldings {
  /// The note ids of each contact of the event, by contact id.
  std::unordered_map<Uuid, std::vector<Uuid>> noteIDs;
  /// The `updatedAt` of each opportunity of the event, by opportunity id.
  std::unordered_map<Uuid, Date> opportunities;

  static Result<EventHoldings> read(Store& store, const Uuid& eventID);
};

/// The sender name used without a bond.
inline constexpr std::string_view kSenderWithoutBond = "iPhone";

/// The bond's `peerDisplayName`, or "iPhone" when there is no bond.
std::string senderName(const std::optional<std::string>& bondPeerDisplayName);

/// The rules by which records from the phone enter the store: creating what
/// the desktop does not know and merging the rest field by field. The desktop
/// keeps what it has and only fills gaps, except where the phone is
/// authoritative (owner, fresher enrichment) or a value only moves forward
/// (rating, meeting status, enrichment status, newer opportunities).
///
/// The operations that take a `Store` write to it and are meant to run inside
/// the caller's transaction.
namespace SyncMergeEngine {

/// The result of merging one contact that changed.
struct MergeDetail {
  Contact contact;                     ///< the merged (desktop) contact
  std::string mergedWith;              ///< the sender name
  std::int64_t notesMerged = 0;        ///< notes added from the incoming record
  std::int64_t photosMerged = 0;       ///< capture images added; always 0 here
  bool ratingChanged = false;          ///< the rating was raised or cleared
  std::vector<std::string> infoAdded;  ///< labels of the fields that gained a value, in order

  friend bool operator==(const MergeDetail&, const MergeDetail&) = default;
};

/// The first candidate matching `incoming` by `syncID`, else by e-mail, else
/// by LinkedIn address, else by full name and company (see `ContactMatcher`,
/// which does the same for many records against one list without rescanning it).
std::optional<Contact> findMatch(const ContactSyncModel& incoming,
                                 const std::vector<Contact>& candidates);

/// A new contact of `eventID` made from the wire record (not stored). Unknown
/// `source` and `status` texts become "scanned" and "notMet"; the sender is
/// credited in `capturedBy` and, for a met contact, in `alsoMetBy`.
Contact createContact(const ContactSyncModel& incoming, const std::optional<Uuid>& eventID,
                      const SyncMergeContext& context);

/// Stores a contact first seen in `incoming`: the contact of `createContact`,
/// its incoming notes, and those of its incoming opportunities that `eventID`
/// does not hold yet (linked to the contact). Returns the stored contact.
Result<Contact> insertNewContact(Store& store, EventHoldings& holdings,
                                 const ContactSyncModel& incoming,
                                 const std::optional<Uuid>& eventID,
                                 const SyncMergeContext& context);

/// Merges `incoming` into `existing` in the fixed order of the merge steps and
/// writes the contact, its new notes and opportunities. `existing` is updated in
/// place; its `lastSyncedAt` and `syncCount` move on even when nothing else
/// changed. The detail is given only when something besides those changed.
Result<std::optional<MergeDetail>> mergeContact(Store& store, EventHoldings& holdings,
                                                const ContactSyncModel& incoming, Contact& existing,
                                                const SyncMergeContext& context);

/// Creates the opportunities of `eventID` (the event `holdings` were read
/// for) that `incoming` names and it does not hold, and takes the wire fields of those it holds
/// when the incoming `updatedAt` is later. A created one is linked to `contactID` when given.
/// One whose id belongs to another event's opportunity is logged and skipped.
/// Returns how many were created or updated.
Result<std::int64_t> mergeOpportunities(Store& store, EventHoldings& holdings,
                                        const std::vector<OpportunitySyncModel>& incoming,
                                        const std::optional<Uuid>& eventID,
                                        const std::optional<Uuid>& contactID);

/// A note of `contactID` made from its wire form; an unknown note type becomes "text".
ContactNote noteFromWire(const NoteSyncModel& incoming, const Uuid& contactID);

/// Adds the notes of `incoming` whose `id` the contact does not hold yet; one
/// whose id belongs to another contact's note is logged and skipped. Returns
/// how many were added.
Result<std::int64_t> mergeNotes(Store& store, EventHoldings& holdings,
                                const std::vector<NoteSyncModel>& incoming, const Uuid& contactID);

/// Sets every phone-owned field of `event` from the wire record (absent
/// optionals clear); `id` and `createdAt` stay.
void applyEvent(const EventSyncModel& incoming, Event& event);

/// A new event made from the wire record, `createdAt` included.
Event createEvent(const EventSyncModel& incoming);

}  // namespace SyncMergeEngine

}  // namespace qm
