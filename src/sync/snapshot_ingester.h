#pragma once

#include <cstdint>
#include <optional>

#include "common/result.h"
#include "sync/record_payloads.h"
#include "sync/sync_merge_engine.h"

namespace qm {

class PipelineManager;
class Store;

/// What became of the contacts of one snapshot.
struct SnapshotCounts {
  std::int64_t created = 0;    ///< contacts the desktop did not know
  std::int64_t merged = 0;     ///< known contacts the merge changed
  std::int64_t unchanged = 0;  ///< known contacts the merge left as they were
  std::int64_t skipped = 0;    ///< contacts refused (an id clash), logged one by one

  friend bool operator==(const SnapshotCounts&, const SnapshotCounts&) = default;
};

/// What one incoming contact did to the store.
enum class ContactOutcome { created, merged, unchanged };

/// Writes what the phone sends into the store: whole event snapshots, and the
/// single contacts, notes and opportunities of "delta.*" messages, all through
/// the rules of `SyncMergeEngine`. Nothing is deleted: records of the event that
/// a snapshot does not mention stay.
///
/// Each call is one transaction: when any write fails, the store is left
/// exactly as it was before the call. Holds no state between calls.
class SnapshotIngester {
 public:
  SnapshotIngester(Store& store, PipelineManager& pipeline);
  /// One that writes records only (`ingestRecords` and the delta calls): it
  /// touches nothing but `store`, so it may run on a thread of its own with a
  /// store connection of its own.
  explicit SnapshotIngester(Store& store);

  /// Creates or updates the event, matches every incoming contact against the
  /// event's contacts as they were before the snapshot, creates the unknown
  /// ones and merges the others. A contact whose `id` the snapshot carries twice,
  /// or that belongs to another stored contact, is logged and skipped, and so
  /// is a note or opportunity whose `id` another record holds. Pipeline
  /// stages in the snapshot replace the pipeline manager's, sorted by `sortOrder`.
  Result<SnapshotCounts> ingest(const EventSnapshotPayload& snapshot,
                                const SyncMergeContext& context);
  /// `ingest` without the pipeline stages: the event and its contacts, in
  /// one transaction.
  Result<SnapshotCounts> ingestRecords(const EventSnapshotPayload& snapshot,
                                       const SyncMergeContext& context);
  /// The rest of `ingest`: stages present and not empty replace the pipeline
  /// manager's, sorted by `sortOrder`, and are saved. Needs the pipeline manager.
  void applyPipelineStages(const std::optional<std::vector<PipelineStage>>& stages);

  /// One contact of "delta.contact": matched against the event's contacts,
  /// then created or merged. Fails with `notFound` when the event is unknown,
  /// and with `alreadyExists` (nothing written) when it matches none of the
  /// event's contacts and its `id` belongs to another stored contact.
  Result<ContactOutcome> ingestContact(const Uuid& eventID, const ContactSyncModel& incoming,
                                       const SyncMergeContext& context);

  /// One note of "delta.note", added to the event's contact with
  /// `contactSyncID` unless it holds it already. False when nothing was added
  /// (unknown event or contact, known note).
  Result<bool> ingestNote(const Uuid& eventID, const Uuid& contactSyncID,
                          const NoteSyncModel& note);

  /// One opportunity of "delta.opportunity", created in or merged into its
  /// event as a snapshot would. False when nothing changed (unknown event, an
  /// opportunity not newer than the stored one).
  Result<bool> ingestOpportunity(const DeltaOpportunityPayload& payload);

 private:
  Store& store_;
  PipelineManager* pipeline_ = nullptr;
};

}  // namespace qm
