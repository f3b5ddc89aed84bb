#include "sync/snapshot_ingester.h"

#include <algorithm>
#include <unordered_set>

#include "common/log.h"
#include "settings/pipeline_manager.h"
#include "store/relationships.h"
#include "store/store.h"
#include "sync/contact_matcher.h"

namespace qm {

namespace {

/// Creates one incoming contact, or merges it into the candidate at `position`
/// (found by `matcher`); a merged candidate is updated in place and re-indexed,
/// so later records of the same snapshot see it as merged.
Result<ContactOutcome> applyContact(Store& store, EventHoldings& holdings, const Uuid& eventID,
                                    std::vector<Contact>& candidates, ContactMatcher& matcher,
                                    std::optional<std::size_t> position,
                                    const ContactSyncModel& incoming,
                                    const SyncMergeContext& context) {
  if (!position) {
    QM_TRY(SyncMergeEngine::insertNewContact(store, holdings, incoming, eventID, context));
    return ContactOutcome::created;
  }
  auto detail = QM_TRY(
      SyncMergeEngine::mergeContact(store, holdings, incoming, candidates[*position], context));
  if (!detail) return ContactOutcome::unchanged;
  matcher.refresh(*position);  // only a change can have moved its e-mail or LinkedIn address
  return ContactOutcome::merged;
}

/// Why an unmatched incoming contact cannot be stored under its `id`: another
/// stored contact has it. Nothing when the id is free.
Result<std::optional<std::string>> idClash(Store& store, const ContactSyncModel& incoming,
                                           const Uuid& eventID) {
  auto holder = QM_TRY(store.fetchOnly<Contact>({"eventID"}, {Match{"id", incoming.id}}));
  if (holder.empty()) return std::optional<std::string>{};
  return std::optional<std::string>{holder.front().eventID == eventID
                                        ? "the id belongs to another contact of this event"
                                        : "the id belongs to a contact of another event"};
}

}  // namespace

SnapshotIngester::SnapshotIngester(Store& store, PipelineManager& pipeline)
    : store_(store), pipeline_(&pipeline) {}

SnapshotIngester::SnapshotIngester(Store& store) : store_(store) {}

Result<SnapshotCounts> SnapshotIngester::ingest(const EventSnapshotPayload& snapshot,
                                                const SyncMergeContext& context) {
  auto counts = ingestRecords(snapshot, context);
  applyPipelineStages(snapshot.pipelineStages);
  return counts;
}

Result<SnapshotCounts> SnapshotIngester::ingestRecords(const EventSnapshotPayload& snapshot,
                                                       const SyncMergeContext& context) {
  SnapshotCounts counts;
  Status saved = store_.transaction([&]() -> Status {
    auto found = QM_TRY(store_.find<Event>(snapshot.event.id));
    Event event;
    if (found) {
      event = std::move(*found);
      SyncMergeEngine::applyEvent(snapshot.event, event);
      QM_TRY(store_.update(event));
      log::sync().info("Updated existing event: {}", event.name);
    } else {
      event = SyncMergeEngine::createEvent(snapshot.event);
      QM_TRY(store_.insert(event));
      log::sync().info("Created new event: {}", event.name);
    }

    // The candidates are the event's contacts before this snapshot; contacts it
    // creates are not matched against.
    std::vector<Contact> candidates = QM_TRY(contactsOf(store_, event.id));
    ContactMatcher matcher(candidates);
    EventHoldings holdings = QM_TRY(EventHoldings::read(store_, event.id));
    std::unordered_set<Uuid> seen;
    for (const auto& incoming : snapshot.contacts) {
      if (!seen.insert(incoming.id).second) {
        log::sync().error("Skipped contact {} from snapshot: the snapshot carries this id twice",
                          incoming.id.str());
        ++counts.skipped;
        continue;
      }
      const auto position = matcher.find(incoming);
      if (!position) {
        if (auto clash = QM_TRY(idClash(store_, incoming, event.id))) {
          log::sync().error("Skipped contact {} from snapshot: {}", incoming.id.str(), *clash);
          ++counts.skipped;
          continue;
        }
      }
      switch (QM_TRY(applyContact(store_, holdings, event.id, candidates, matcher, position,
                                  incoming, context))) {
        case ContactOutcome::created:
          ++counts.created;
          break;
        case ContactOutcome::merged:
          ++counts.merged;
          break;
        case ContactOutcome::unchanged:
          ++counts.unchanged;
          break;
      }
    }
    return {};
  });

  if (saved) {
    log::sync().info("Snapshot ingested for {}: {} new, {} merged, {} unchanged",
                     snapshot.event.name, counts.created, counts.merged, counts.unchanged);
  } else {
    log::sync().error("Failed to save snapshot: {}", saved.error().message);
  }
  if (!saved) return std::move(saved).takeError();
  return counts;
}

void SnapshotIngester::applyPipelineStages(
    const std::optional<std::vector<PipelineStage>>& stages) {
  if (!pipeline_ || !stages || stages->empty()) return;
  std::vector<PipelineStage> sorted = *stages;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& a, const auto& b) { return a.sortOrder < b.sortOrder; });
  pipeline_->setStages(std::move(sorted));
  if (Status status = pipeline_->save(); !status) {
    log::sync().error("Failed to save pipeline stages from snapshot: {}", status.error().message);
    return;
  }
  log::sync().info("Applied {} pipeline stages from snapshot", stages->size());
}

Result<ContactOutcome> SnapshotIngester::ingestContact(const Uuid& eventID,
                                                       const ContactSyncModel& incoming,
                                                       const SyncMergeContext& context) {
  ContactOutcome outcome{};
  QM_TRY(store_.transaction([&]() -> Status {
    auto event = QM_TRY(store_.find<Event>(eventID));
    if (!event) return Error(ErrorCode::notFound, "No event " + eventID.str());
    std::vector<Contact> candidates = QM_TRY(contactsOf(store_, eventID));
    ContactMatcher matcher(candidates);
    const auto position = matcher.find(incoming);
    if (!position) {
      if (auto clash = QM_TRY(idClash(store_, incoming, eventID)))
        return Error(ErrorCode::alreadyExists,
                     "Skipped contact " + incoming.id.str() + ": " + *clash);
    }
    EventHoldings holdings = QM_TRY(EventHoldings::read(store_, eventID));
    outcome = QM_TRY(
        applyContact(store_, holdings, eventID, candidates, matcher, position, incoming, context));
    return {};
  }));
  return outcome;
}

Result<bool> SnapshotIngester::ingestNote(const Uuid& eventID, const Uuid& contactSyncID,
                                          const NoteSyncModel& note) {
  bool added = false;
  QM_TRY(store_.transaction([&]() -> Status {
    auto contacts =
        QM_TRY(store_.fetch<Contact>({Match{"eventID", eventID}, Match{"syncID", contactSyncID}}));
    if (contacts.empty()) return {};
    const Uuid& contactID = contacts.front().id;
    EventHoldings holdings;  // only this contact's notes are needed
    for (const auto& held :
         QM_TRY(store_.fetchOnly<ContactNote>({"id"}, {Match{"contactID", contactID}})))
      holdings.noteIDs[contactID].push_back(held.id);
    added = QM_TRY(SyncMergeEngine::mergeNotes(store_, holdings, {note}, contactID)) > 0;
    return {};
  }));
  return added;
}

Result<bool> SnapshotIngester::ingestOpportunity(const DeltaOpportunityPayload& payload) {
  bool changed = false;
  QM_TRY(store_.transaction([&]() -> Status {
    auto event = QM_TRY(store_.find<Event>(payload.eventID));
    if (!event) return {};
    EventHoldings holdings;  // only this opportunity is needed
    for (const auto& held : QM_TRY(store_.fetchOnly<Opportunity>(
             {"id", "updatedAt"},
             {Match{"id", payload.opportunity.id}, Match{"eventID", payload.eventID}})))
      holdings.opportunities.emplace(held.id, held.updatedAt);
    changed = QM_TRY(SyncMergeEngine::mergeOpportunities(store_, holdings, {payload.opportunity},
                                                         payload.eventID, std::nullopt)) > 0;
    return {};
  }));
  return changed;
}

}  // namespace qm
