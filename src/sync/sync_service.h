#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/date.h"
#include "common/result.h"
#include "common/signal.h"
#include "common/uuid.h"
#include "sync/capture_image_folder.h"
#include "sync/delta_journal.h"
#include "sync/snapshot_ingester.h"
#include "wire/sync_envelope.h"
#include "wire/sync_payloads.h"

namespace qm {

class AppSettings;
class DeviceIdentity;
class PhoneChannel;
class PipelineManager;
class Store;
struct Contact;
struct SnapshotIngestOutcome;

/// The outcome of the last contact push; back to `idle` two seconds later.
struct PushResult {
  enum class Kind { idle, success, failed };
  Kind kind = Kind::idle;
  /// Why the push failed (`failed` only).
  std::string message;

  static PushResult idle() { return {}; }
  static PushResult success() { return {Kind::success, {}}; }
  static PushResult failed(std::string message) { return {Kind::failed, std::move(message)}; }
  friend bool operator==(const PushResult&, const PushResult&) = default;
};

/// An event of the current import that did not arrive in the store, and why.
struct FailedImport {
  /// The event's name, or its identifier when the name is not known.
  std::string eventName;
  std::string reason;
  friend bool operator==(const FailedImport&, const FailedImport&) = default;
};

/// What became of one envelope handed to `sendOrQueue`.
enum class SendOutcome { sent, queued };

/// What became of one contact pushed to the phone.
enum class PushOutcome { sent, queued, failed };

/// What became of the contacts of one push.
struct PushCounts {
  std::size_t sent = 0;
  std::size_t queued = 0;
  std::size_t failed = 0;
};

/// Runs `task` on the main loop after `delay`. Injected so that tests need not wait.
using Scheduler = std::function<void(std::chrono::milliseconds delay, std::function<void()> task)>;

/// Runs `task` on the main loop; may be called from any thread.
using PostToLoop = std::function<void(std::function<void()> task)>;

/// What the sync service works with; all of it outlives the service.
struct SyncServiceParts {
  Store& store;
  PipelineManager& pipeline;
  const AppSettings& settings;
  DeviceIdentity& identity;
  PhoneChannel& phone;
  /// Where the delta journal keeps its file.
  std::filesystem::path applicationSupport;
  /// Under which capture images live (see `captureImageURL`).
  std::filesystem::path documents;
  Scheduler schedule;
  /// How a snapshot's ingest, which runs on a thread of its own, hands its
  /// outcome back.
  PostToLoop postToLoop;
};

/// The desktop's side of the conversation with the paired phone. Received
/// messages (already decoded and checked against the bond) come in through
/// `handleMessage` and become store changes; outgoing requests and pushes go
/// out through the `PhoneChannel`, only while a phone is paired, and what
/// cannot be sent waits in the delta journal until the next drain.
///
/// The fields below are what a user interface shows; `changed()` fires after
/// every operation that changed one of them. Confined to the main loop, except
/// for the costly part of an "event.snapshot": its payload is decoded and
/// written on a thread of its own, through a store connection of its own, and
/// the outcome comes back through `postToLoop`. Messages received meanwhile
/// wait, in order, until it is back.
class SyncService {
 public:
  static constexpr std::string_view kNotConnected = "Not connected to iPhone";
  static constexpr std::string_view kRelayCancelled = "Relay cancelled — iPhone disconnected";
  static constexpr std::chrono::milliseconds kPushResultTime{2000};
  /// How long a full sync waits for the phone's first snapshot. The phone
  /// sends nothing at all when it has nothing newer, so the sync ends here.
  static constexpr std::chrono::milliseconds kFullSyncAnswerTime{30000};

  using RelayCallback = std::function<void(const RelayResponsePayload&)>;

  explicit SyncService(SyncServiceParts parts);
  ~SyncService();
  SyncService(const SyncService&) = delete;
  SyncService& operator=(const SyncService&) = delete;

  // Observed state.
  /// A full sync waits for the phone's first snapshot, or an import runs.
  bool isSyncing() const { return fullSyncRunning_ || !pendingImportIDs_.empty(); }
  const std::optional<Date>& lastSyncAt() const { return lastSyncAt_; }
  const std::optional<std::string>& lastSyncError() const { return lastSyncError_; }
  /// Per event, when its last snapshot or contact delta was processed.
  const std::map<Uuid, Date>& eventSyncTimestamps() const { return eventSyncTimestamps_; }
  const PushResult& lastPushResult() const { return lastPushResult_; }
  const std::vector<EventListItem>& availableEvents() const { return availableEvents_; }
  bool isLoadingEventList() const { return isLoadingEventList_; }
  std::int64_t pendingImportCount() const {
    return static_cast<std::int64_t>(pendingImportIDs_.size());
  }
  std::int64_t totalImportCount() const { return totalImportCount_; }
  /// Events of the current import that were stored, in arrival order.
  const std::vector<std::string>& importedEventNames() const { return importedEventNames_; }
  /// Their ids, in the same order.
  const std::vector<Uuid>& importedEventIDs() const { return importedEventIDs_; }
  /// The contacts of the current import's stored snapshots (created, merged
  /// or unchanged; not those skipped).
  std::int64_t importedContactCount() const { return importedContactCount_; }
  /// Events of the current import that were not stored, with the reason.
  const std::vector<FailedImport>& failedImports() const { return failedImports_; }
  std::size_t pendingRelayCount() const { return relayCallbacks_.size(); }

  const DeltaJournal& deltaJournal() const { return deltaJournal_; }
  bool isPaired() const;
  /// Whether a snapshot is being written on the ingest thread.
  bool isIngesting() const { return ingest_ != nullptr; }

  /// After every change of the observed state.
  Signal<>& changed() { return changed_; }

  /// One checked message from the phone, dispatched on its type. Payloads
  /// that do not decode, and messages about unknown records, are logged and
  /// dropped. "pair.handshake" is the pairing service's and is ignored here.
  /// While a snapshot is being ingested the message waits for it.
  void handleMessage(SyncEnvelope envelope);

  /// Asks the phone for fresh snapshots of every stored event, then drains
  /// the journal (also when the request could not be sent). Fails when not
  /// paired or the request could not be sent (also in `lastSyncError`).
  Status requestFullSync();
  /// Asks the phone for its event list; `availableEvents` fills when it answers.
  Status requestEventList();
  /// Asks the phone for one event's snapshot.
  Status requestEventSnapshot(const Uuid& eventID);
  /// Starts importing the given events: requests each snapshot in order and
  /// counts them down as they arrive; an event whose snapshot cannot be
  /// stored, or whose request cannot be sent, counts as failed. Fails with the
  /// first request that could not be sent (the others are still tried).
  Status importEvents(const std::vector<Uuid>& eventIDs);
  /// Ends the running import now: every event still awaited fails with `reason`.
  void abandonImport(const std::string& reason);
  /// Clears the import progress and the event list; an import still running
  /// ends with it (a full sync still waiting goes on).
  void resetImportState();
  /// Drops every queued envelope (Reset All Local Data: they were meant for a
  /// phone the desktop no longer knows).
  void forgetQueuedDeltas();

  /// Sends `envelope` now, or queues it in the journal when that fails.
  SendOutcome sendOrQueue(const SyncEnvelope& envelope);
  /// Sends a contact edited on this desktop as "delta.contact" (queued when
  /// the send fails); `lastPushResult` tells how it went, for two seconds.
  PushOutcome pushContact(const Contact& contact);
  /// Pushes each of `contacts` as `pushContact` does, with one journal save
  /// and one change notice for them all (a bulk edit of thousands). Once a
  /// send fails, the rest are queued behind it without trying the link again.
  PushCounts pushContacts(std::span<const Contact> contacts);
  /// Sends the journal's envelopes, oldest first, until one fails.
  void drainQueuedDeltas();
  /// Asks for the capture images of `contacts` that are not on disk.
  void requestMissingMedia(const Uuid& eventID, const std::vector<ContactSyncModel>& contacts);

  /// Waits for the relay answer carrying `correlationID`.
  void expectRelayResponse(const Uuid& correlationID, RelayCallback callback);
  /// Stops waiting for that answer (it timed out); a later answer is orphaned.
  void forgetRelay(const Uuid& correlationID);
  /// Shows an error of work done on the service's behalf (draft generation).
  void reportError(std::string message);
  /// Ends every outstanding relay request with "Relay cancelled — iPhone disconnected".
  void failPendingRelays();

 private:
  Status send(const SyncEnvelope& envelope);
  SyncMergeContext mergeContext() const;
  void notify() { changed_.emit(); }

  struct Ingest;
  /// Hands "event.snapshot" to the ingest thread.
  void startIngest(SyncEnvelope envelope);
  /// Back on the loop: the bookkeeping, then the messages that waited.
  void ingestHandedBack(SnapshotIngestOutcome& outcome);

  void eventListReceived(const EventListResponsePayload& payload);
  void snapshotUnreadable(const std::string& problem);
  void snapshotReceived(const EventSnapshotPayload& payload, Result<SnapshotCounts> ingested);
  void countSnapshot(const EventSyncModel& event, const Result<SnapshotCounts>& ingested);
  void finishImport();
  void awaitFullSyncAnswer();
  std::string importedEventName(const Uuid& eventID) const;
  void contactDelta(const DeltaContactPayload& payload);
  void noteDelta(const DeltaNotePayload& payload);
  void opportunityDelta(const DeltaOpportunityPayload& payload);
  void reportDelta(const DeltaReportPayload& payload);
  void mediaBlob(const MediaBlobPayload& payload);
  void relayAnswer(const SyncEnvelope& envelope, const RelayResponsePayload& payload);
  void remoteError(const ErrorPayload& payload);

  SyncServiceParts parts_;
  DeltaJournal deltaJournal_;
  SnapshotIngester snapshotIngester_;
  CaptureImageFolder captureImages_{parts_.documents};

  bool fullSyncRunning_ = false;
  /// Tells a full sync's time-out from that of an earlier one.
  std::uint64_t fullSyncRound_ = 0;
  std::optional<Date> lastSyncAt_;
  std::optional<std::string> lastSyncError_;
  std::map<Uuid, Date> eventSyncTimestamps_;
  PushResult lastPushResult_;
  std::vector<EventListItem> availableEvents_;
  bool isLoadingEventList_ = false;
  /// The events of the current import not yet received, in request order.
  std::vector<Uuid> pendingImportIDs_;
  std::int64_t totalImportCount_ = 0;
  std::vector<std::string> importedEventNames_;
  std::vector<Uuid> importedEventIDs_;
  std::int64_t importedContactCount_ = 0;
  std::vector<FailedImport> failedImports_;
  std::map<Uuid, RelayCallback> relayCallbacks_;
  /// The snapshot being ingested, and what the phone sent since, in order.
  std::unique_ptr<Ingest> ingest_;
  std::deque<SyncEnvelope> waiting_;

  Signal<> changed_;
  // Lets scheduled tasks notice that the service is gone.
  std::shared_ptr<SyncService*> alive_;
};

}  // namespace qm
