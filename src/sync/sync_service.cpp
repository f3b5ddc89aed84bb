#include "sync/sync_service.h"

#include <atomic>
#include <system_error>
#include <thread>

#include "common/atomic_file.h"
#include "common/log.h"
#include "common/text.h"
#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "store/capture_media.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/relationships.h"
#include "store/saved_report.h"
#include "store/store.h"
#include "sync/phone_channel.h"
#include "sync/record_payloads.h"

namespace qm {

namespace {

/// Decodes the payload as `P` and hands it to `use`; logs and drops it when it
/// does not decode.
template <class P, class Use>
void withPayload(const SyncEnvelope& envelope, Use&& use) {
  auto payload = envelope.decodePayload<P>();
  releaseLargeJSONParserMemory();  // a snapshot's ingest need not hold it
  if (!payload) {
    log::sync().error("Failed to decode incoming message: {}", payload.error().message);
    return;
  }
  use(*payload);
}

/// Whether the payload decodes as its type's record, for messages that are
/// only logged; logs the failure.
bool payloadDecodes(const SyncEnvelope& envelope) {
  if (auto checked = checkPayload(envelope); !checked) {
    log::sync().error("Failed to decode incoming message: {}", checked.error().message);
    return false;
  }
  return true;
}

}  // namespace

/// A snapshot on its way through the ingest thread. `stop` ends it early
/// (the service is going away): its transaction fails and rolls back.
struct SyncService::Ingest {
  std::shared_ptr<std::atomic<bool>> stop;
  std::thread thread;
};

/// What the ingest thread hands back: the decoded payload (or why it did not
/// decode), the records left out because they did not decode, and what writing
/// it did. Of the payload's contacts only what the media requests need comes
/// back, so that the loop neither frees nor copies a whole event's records.
struct SnapshotIngestOutcome {
  Result<EventSnapshotPayload> payload;
  std::vector<SkippedRecord> skipped;
  Result<SnapshotCounts> ingested;
};

namespace {

/// The costly part of "event.snapshot", on the ingest thread: the payload
/// decoded, then written in one transaction through a store connection of its
/// own. The main loop's connection keeps reading meanwhile (WAL); a write it
/// makes waits in SQLite's busy handler until this transaction commits. Works
/// only with what it is given.
std::shared_ptr<SnapshotIngestOutcome> ingestOffLoop(SyncEnvelope envelope,
                                                     const SyncMergeContext& context,
                                                     const std::filesystem::path& storeFile,
                                                     const std::atomic<bool>& stop) {
  auto outcome = std::make_shared<SnapshotIngestOutcome>(SnapshotIngestOutcome{
      Error("The snapshot was not read"), {}, Error("The snapshot was not written")});
  // Record by record: a contact, note or opportunity that does not decode is
  // left out (and logged on the loop), and the rest of the event still arrives.
  outcome->payload = envelope.decodePayload<EventSnapshotPayload>(outcome->skipped);
  // The ingest needs neither the JSON text nor the parser's buffers.
  Bytes().swap(envelope.payload);
  releaseLargeJSONParserMemory();
  if (!outcome->payload) return outcome;
  // Not `Store::open`: it reads the file's header itself, and closing that
  // descriptor would drop the locks of the loop's connection.
  auto store = Store::openAnother(storeFile);
  if (!store) {
    outcome->ingested = store.error();
  } else {
    (*store)->stopWhen(stop);
    outcome->ingested = SnapshotIngester(**store).ingestRecords(*outcome->payload, context);
  }
  // Freed here rather than on the loop: only the capture names are needed there.
  std::vector<ContactSyncModel> withCaptures;
  for (ContactSyncModel& contact : outcome->payload->contacts) {
    if (contact.captureFileNames.empty()) continue;
    ContactSyncModel thin;
    thin.syncID = contact.syncID;
    thin.captureFileNames = std::move(contact.captureFileNames);
    withCaptures.push_back(std::move(thin));
  }
  outcome->payload->contacts = std::move(withCaptures);
  return outcome;
}

/// When the phone last sent records that were stored: the latest sync time of
/// a contact, which every full sync and import moves on. Lets the last sync
/// outlive a restart of the companion.
std::optional<Date> lastStoredSync(Store& store) {
  auto contacts = store.fetchOnly<Contact>({"lastSyncedAt"});
  if (!contacts) return std::nullopt;
  std::optional<Date> latest;
  for (const Contact& contact : *contacts)
    if (contact.lastSyncedAt && (!latest || *latest < *contact.lastSyncedAt))
      latest = contact.lastSyncedAt;
  return latest;
}

}  // namespace

SyncService::SyncService(SyncServiceParts parts)
    : parts_(std::move(parts)),
      deltaJournal_(parts_.applicationSupport),
      snapshotIngester_(parts_.store, parts_.pipeline),
      lastSyncAt_(lastStoredSync(parts_.store)),
      alive_(std::make_shared<SyncService*>(this)) {}

SyncService::~SyncService() {
  // Its outcome, if already posted, finds the service gone and is dropped.
  if (ingest_) {
    ingest_->stop->store(true);
    ingest_->thread.join();
  }
}

bool SyncService::isPaired() const {
  return parts_.phone.isPaired();
}

Status SyncService::send(const SyncEnvelope& envelope) {
  // Nothing goes to a phone that is connected but not (yet) paired.
  if (!isPaired()) return Error(ErrorCode::unavailable, std::string(kNotConnected));
  return parts_.phone.send(envelope);
}

SyncMergeContext SyncService::mergeContext() const {
  return {senderName(parts_.phone.pairedPhoneName()), parts_.settings.displayName(), now()};
}

void SyncService::handleMessage(SyncEnvelope envelope) {
  // One snapshot is ingested completely before the next message is handled.
  if (ingest_) {
    waiting_.push_back(std::move(envelope));
    return;
  }
  using T = SyncMessageType;
  const T type = envelope.type;
  switch (type) {
    case T::pairHandshake:
      // The pairing service's own business; it never reaches this service.
      return;
    case T::pairAck:
      if (payloadDecodes(envelope)) log::sync().info("Received pair.ack");
      return;
    case T::eventSnapshot:
      return startIngest(std::move(envelope));
    case T::eventSnapshotRequest:
    case T::eventListRequest:
      if (payloadDecodes(envelope))
        log::sync().error("Received unexpected {} from peer", rawValue(type));
      return;
    case T::eventListResponse:
      return withPayload<EventListResponsePayload>(
          envelope, [&](const auto& payload) { eventListReceived(payload); });
    case T::deltaContact:
      return withPayload<DeltaContactPayload>(envelope,
                                              [&](const auto& payload) { contactDelta(payload); });
    case T::deltaNote:
      return withPayload<DeltaNotePayload>(envelope,
                                           [&](const auto& payload) { noteDelta(payload); });
    case T::deltaOpportunity:
      return withPayload<DeltaOpportunityPayload>(
          envelope, [&](const auto& payload) { opportunityDelta(payload); });
    case T::deltaReport:
      return withPayload<DeltaReportPayload>(envelope,
                                             [&](const auto& payload) { reportDelta(payload); });
    case T::mediaBlob:
      return withPayload<MediaBlobPayload>(envelope,
                                           [&](const auto& payload) { mediaBlob(payload); });
    case T::relayAIResponse:
    case T::relayCRMResult:
      return withPayload<RelayResponsePayload>(
          envelope, [&](const auto& payload) { relayAnswer(envelope, payload); });
    case T::mediaRequest:
    case T::relayAIRequest:
    case T::relayCRMPush:
    case T::qlmBundle:
      if (payloadDecodes(envelope))
        log::sync().error("Received unexpected outbound message type: {}", rawValue(type));
      return;
    case T::qlmImportResult:
      return withPayload<QLMImportResultPayload>(envelope, [](const auto& payload) {
        log::sync().info("QLM import result: success={}, contacts={}", payload.success,
                         payload.contactsImported.value_or(0));
      });
    case T::error:
      return withPayload<ErrorPayload>(envelope,
                                       [&](const auto& payload) { remoteError(payload); });
  }
}

void SyncService::eventListReceived(const EventListResponsePayload& payload) {
  availableEvents_ = payload.items;
  isLoadingEventList_ = false;
  log::sync().info("Received event list: {} events", availableEvents_.size());
  notify();
}

void SyncService::startIngest(SyncEnvelope envelope) {
  // Taken now, by value: the thread reads nothing of the loop's.
  // The envelope is moved, never copied: a snapshot may be tens of megabytes.
  auto stop = std::make_shared<std::atomic<bool>>(false);
  auto held = std::make_shared<SyncEnvelope>(std::move(envelope));
  auto work = [held, context = mergeContext(), file = parts_.store.file(), stop,
               post = parts_.postToLoop, alive = std::weak_ptr<SyncService*>(alive_)] {
    auto outcome = ingestOffLoop(std::move(*held), context, file, *stop);
    post([alive, outcome] {
      if (auto self = alive.lock()) (*self)->ingestHandedBack(*outcome);
    });
  };
  try {
    ingest_ = std::make_unique<Ingest>(Ingest{stop, std::thread(std::move(work))});
  } catch (const std::system_error& error) {
    log::sync().warn("No thread for the snapshot ({}); writing it on the main loop", error.what());
    ingestHandedBack(*ingestOffLoop(std::move(*held), mergeContext(), parts_.store.file(), *stop));
  }
}

void SyncService::ingestHandedBack(SnapshotIngestOutcome& outcome) {
  if (ingest_) {
    ingest_->thread.join();  // it has posted this and is about to end
    ingest_.reset();
  }
  if (!outcome.payload) {
    log::sync().error("Failed to decode incoming message: {}", outcome.payload.error().message);
    snapshotUnreadable(outcome.payload.error().message);
  } else {
    for (const SkippedRecord& record : outcome.skipped) {
      log::sync().error("Skipped {} {} of event snapshot '{}': {}", record.record, record.where,
                        outcome.payload->event.name, record.problem);
    }
    snapshotIngester_.applyPipelineStages(outcome.payload->pipelineStages);
    snapshotReceived(*outcome.payload, std::move(outcome.ingested));
  }
  // What arrived meanwhile, in order, until one of it is a snapshot again.
  while (!ingest_ && !waiting_.empty()) {
    SyncEnvelope next = std::move(waiting_.front());
    waiting_.pop_front();
    handleMessage(std::move(next));
  }
}

void SyncService::snapshotUnreadable(const std::string& problem) {
  // The phone will not send this one again: whoever waits for it is told now.
  const std::string reason = "The phone sent an event that could not be read (" + problem + ")";
  lastSyncError_ = reason;
  if (!pendingImportIDs_.empty()) {
    abandonImport(reason);
    return;
  }
  fullSyncRunning_ = false;
  notify();
}

void SyncService::snapshotReceived(const EventSnapshotPayload& payload,
                                   Result<SnapshotCounts> ingested) {
  const EventSyncModel& event = payload.event;
  if (ingested) {
    const Date at = now();
    eventSyncTimestamps_[event.id] = at;
    lastSyncAt_ = at;
    requestMissingMedia(event.id, payload.contacts);
  } else {
    // Nothing of it was written; an import waiting for it counts it as failed.
    log::sync().error("Failed to save event snapshot: {}", ingested.error().message);
    lastSyncError_ = ingested.error().message;
  }
  countSnapshot(event, ingested);
  log::sync().info("Processed event snapshot: {}", event.name);
  notify();
}

void SyncService::countSnapshot(const EventSyncModel& event,
                                const Result<SnapshotCounts>& ingested) {
  const auto awaited = std::ranges::find(pendingImportIDs_, event.id);
  if (awaited == pendingImportIDs_.end()) {
    // Not one the import asked for: the phone's answer to a full sync.
    fullSyncRunning_ = false;
    return;
  }
  pendingImportIDs_.erase(awaited);
  if (ingested) {
    importedEventNames_.push_back(event.name);
    importedEventIDs_.push_back(event.id);
    importedContactCount_ += ingested->created + ingested->merged + ingested->unchanged;
  } else {
    failedImports_.push_back({event.name, ingested.error().message});
  }
  if (pendingImportIDs_.empty()) finishImport();
}

void SyncService::finishImport() {
  log::sync().info("Import batch complete: {} events imported", importedEventNames_.size());
  if (!failedImports_.empty())
    log::sync().error("Import batch: {} event(s) could not be imported", failedImports_.size());
}

void SyncService::abandonImport(const std::string& reason) {
  if (pendingImportIDs_.empty()) return;
  log::sync().error("Import stopped: {}", reason);
  for (const Uuid& id : std::exchange(pendingImportIDs_, {}))
    failedImports_.push_back({importedEventName(id), reason});
  finishImport();
  notify();
}

std::string SyncService::importedEventName(const Uuid& eventID) const {
  const auto listed = std::ranges::find(availableEvents_, eventID, &EventListItem::id);
  return listed != availableEvents_.end() ? listed->name : eventID.str();
}

void SyncService::contactDelta(const DeltaContactPayload& payload) {
  auto outcome = snapshotIngester_.ingestContact(payload.eventID, payload.contact, mergeContext());
  if (!outcome) {
    if (outcome.error().code == ErrorCode::notFound)
      log::sync().error("Delta contact for unknown event: {}", payload.eventID.str());
    else
      log::sync().error("Failed to save delta contact: {}", outcome.error().message);
    return;
  }
  eventSyncTimestamps_[payload.eventID] = now();
  requestMissingMedia(payload.eventID, {payload.contact});
  log::sync().info("Delta contact merged: new={}, merged={}",
                   *outcome == ContactOutcome::created ? 1 : 0,
                   *outcome == ContactOutcome::merged ? 1 : 0);
  notify();
}

void SyncService::noteDelta(const DeltaNotePayload& payload) {
  auto event = parts_.store.find<Event>(payload.eventID);
  if (!event || !*event) return;
  auto added = snapshotIngester_.ingestNote(payload.eventID, payload.contactSyncID, payload.note);
  if (!added) {
    log::sync().error("Failed to save delta note: {}", added.error().message);
    return;
  }
  log::sync().info("Delta note merged: {}", *added);
}

void SyncService::opportunityDelta(const DeltaOpportunityPayload& payload) {
  auto merged = snapshotIngester_.ingestOpportunity(payload);
  if (!merged) {
    log::sync().error("Failed to save delta opportunity: {}", merged.error().message);
    return;
  }
  log::sync().info("Delta opportunity merged: {}", *merged);
}

void SyncService::mediaBlob(const MediaBlobPayload& payload) {
  // Everything is checked before a byte is written: the phone may name only
  // an event and a contact the desktop holds, and send only image data.
  const std::string& fileName = payload.fileName;
  if (!isPlainFileName(fileName)) {
    log::sync().error("Failed to save media blob '{}': invalid file name", fileName);
    return;
  }
  auto events = parts_.store.count<Event>({Match{"id", payload.eventID}});
  if (!events) {
    log::sync().error("Failed to save media blob '{}': {}", fileName, events.error().message);
    return;
  }
  if (*events == 0) {
    log::sync().error("Media blob for unknown event: {}", payload.eventID.str());
    return;
  }
  auto contacts = parts_.store.fetch<Contact>(
      {Match{"eventID", payload.eventID}, Match{"syncID", payload.contactSyncID}});
  if (!contacts) {
    log::sync().error("Failed to save media blob '{}': {}", fileName, contacts.error().message);
    return;
  }
  if (contacts->empty()) {
    log::sync().error("Media blob for unknown contact syncID: {}", payload.contactSyncID.str());
    return;
  }
  if (auto written = captureImages_.write(payload.eventID, fileName, payload.imageData); !written) {
    log::sync().error("Failed to save media blob '{}': {}", fileName, written.error().message);
    return;
  }

  const Contact& contact = contacts->front();
  auto captures = capturesOf(parts_.store, contact.id);
  if (!captures) {
    log::sync().error("Failed to save media blob '{}': {}", fileName, captures.error().message);
    return;
  }
  for (const CaptureMedia& capture : *captures) {
    if (capture.imageFileName == fileName) {
      log::sync().info("CaptureMedia record already exists for '{}' — skipping", fileName);
      return;
    }
  }
  CaptureMedia capture;
  capture.id = Uuid::random();
  capture.contactID = contact.id;
  capture.capturedAt = payload.capturedAt;
  capture.captureType = parseEnum<CaptureType>(payload.captureType).value_or(CaptureType::other);
  capture.imageFileName = fileName;
  capture.caption = payload.caption;
  capture.ocrExtractedText = payload.ocrExtractedText;
  capture.ocrParsedData = payload.ocrParsedData;
  capture.syncedFrom = payload.syncedFrom.value_or("iPhone");
  if (auto inserted = parts_.store.transaction([&] { return parts_.store.insert(capture); });
      !inserted) {
    log::sync().error("Failed to save media blob '{}': {}", fileName, inserted.error().message);
    return;
  }
  log::sync().info("Saved media blob '{}' ({} bytes) for contact {}", fileName,
                   payload.imageData.size(), contact.fullName());
}

void SyncService::reportDelta(const DeltaReportPayload& payload) {
  Store& store = parts_.store;
  Status saved = store.transaction([&]() -> Status {
    auto event = QM_TRY(store.find<Event>(payload.eventID));
    if (!event)
      return Error(ErrorCode::notFound, "Delta report for unknown event: " + payload.eventID.str());
    auto found = QM_TRY(store.find<SavedReport>(payload.reportID));
    SavedReport report = found ? std::move(*found) : SavedReport{};
    report.id = payload.reportID;
    if (!found) report.eventID = payload.eventID;
    report.reportType = payload.reportType;
    report.generatedAt = payload.generatedAt;
    report.reportContent = payload.reportContent;
    report.providerUsed = payload.providerUsed;
    report.detailLevel = payload.detailLevel.value_or("detailed");
    report.selectedSections = payload.selectedSections.value_or("");
    return store.save(report);
  });
  if (!saved) {
    log::sync().error("{}", saved.error().code == ErrorCode::notFound
                                ? saved.error().message
                                : "Failed to save delta report: " + saved.error().message);
    return;
  }
  log::sync().info("Delta report processed: {}", payload.reportType);
}

void SyncService::relayAnswer(const SyncEnvelope& envelope, const RelayResponsePayload& payload) {
  if (!envelope.correlationID) {
    log::sync().error("Relay response has no correlationID — dropping");
    return;
  }
  const Uuid& correlationID = *envelope.correlationID;
  auto found = relayCallbacks_.find(correlationID);
  if (found == relayCallbacks_.end()) {
    log::sync().error("Orphaned relay response for correlationID: {}", correlationID.str());
    return;
  }
  RelayCallback callback = std::move(found->second);
  relayCallbacks_.erase(found);
  log::sync().info("Relay response matched correlationID: {}, success={}", correlationID.str(),
                   payload.success);
  notify();
  callback(payload);
}

void SyncService::remoteError(const ErrorPayload& payload) {
  log::sync().error("Remote error [{}]: {}", payload.code, payload.message);
  lastSyncError_ = payload.message;
  // The phone answers a full sync it cannot serve with an error and nothing else.
  if (pendingImportIDs_.empty()) fullSyncRunning_ = false;
  notify();
}

Status SyncService::requestFullSync() {
  if (!isPaired()) {
    log::sync().error("Cannot sync — not paired");
    return Error(ErrorCode::failedPrecondition, "Cannot sync — not paired");
  }
  failPendingRelays();
  fullSyncRunning_ = true;
  lastSyncError_.reset();
  log::sync().info("Requesting full sync...");
  notify();

  Status sent = [&]() -> Status {
    auto events = QM_TRY(parts_.store.fetchOnly<Event>({"id", "updatedAt"}));
    auto envelope = QM_TRY(
        SyncEnvelope::make(SyncMessageType::eventSnapshotRequest, makeSnapshotRequest(events)));
    QM_TRY(send(envelope));
    log::sync().info("Sent snapshot request for {} events", events.size());
    return {};
  }();
  if (!sent) {
    log::sync().error("Failed to send sync request: {}", sent.error().message);
    lastSyncError_ = sent.error().message;
    fullSyncRunning_ = false;
    notify();
  } else {
    awaitFullSyncAnswer();
  }
  drainQueuedDeltas();
  return sent;
}

void SyncService::awaitFullSyncAnswer() {
  const std::uint64_t round = ++fullSyncRound_;
  std::weak_ptr<SyncService*> alive = alive_;
  parts_.schedule(kFullSyncAnswerTime, [alive, round] {
    auto self = alive.lock();
    if (!self) return;
    SyncService& service = **self;
    if (round != service.fullSyncRound_ || !service.fullSyncRunning_) return;
    service.fullSyncRunning_ = false;
    log::sync().info(
        "Full sync done: no event snapshot within {} seconds, nothing newer on the "
        "phone",
        std::chrono::duration_cast<std::chrono::seconds>(kFullSyncAnswerTime).count());
    service.notify();
  });
}

Status SyncService::requestEventList() {
  if (!isPaired()) {
    log::sync().error("Cannot request event list — not paired");
    return Error(ErrorCode::failedPrecondition, "Cannot request event list — not paired");
  }
  isLoadingEventList_ = true;
  availableEvents_.clear();
  lastSyncError_.reset();
  notify();
  Status sent = [&]() -> Status {
    auto envelope =
        QM_TRY(SyncEnvelope::make(SyncMessageType::eventListRequest, EventListRequestPayload{}));
    return send(envelope);
  }();
  if (!sent) {
    log::sync().error("Failed to send event list request: {}", sent.error().message);
    lastSyncError_ = sent.error().message;
    isLoadingEventList_ = false;
    notify();
    return sent;
  }
  log::sync().info("Sent event.list.request");
  return {};
}

Status SyncService::requestEventSnapshot(const Uuid& eventID) {
  if (!isPaired()) {
    log::sync().error("Cannot request snapshot — not paired");
    return Error(ErrorCode::failedPrecondition, "Cannot request snapshot — not paired");
  }
  Status sent = [&]() -> Status {
    auto envelope = QM_TRY(SyncEnvelope::make(SyncMessageType::eventSnapshotRequest,
                                              EventSnapshotRequestPayload{eventID}));
    return send(envelope);
  }();
  if (!sent) {
    log::sync().error("Failed to send snapshot request: {}", sent.error().message);
    lastSyncError_ = sent.error().message;
    notify();
    return sent;
  }
  log::sync().info("Sent event.snapshot.request for {}", eventID.str());
  return {};
}

Status SyncService::importEvents(const std::vector<Uuid>& eventIDs) {
  if (eventIDs.empty()) return {};
  pendingImportIDs_ = eventIDs;
  totalImportCount_ = static_cast<std::int64_t>(eventIDs.size());
  importedEventNames_.clear();
  importedEventIDs_.clear();
  importedContactCount_ = 0;
  failedImports_.clear();
  lastSyncError_.reset();
  notify();
  Status first;
  for (const Uuid& id : eventIDs) {
    Status sent = requestEventSnapshot(id);
    if (sent) continue;
    // Never asked for, so never coming: it fails now.
    if (const auto awaited = std::ranges::find(pendingImportIDs_, id);
        awaited != pendingImportIDs_.end()) {
      pendingImportIDs_.erase(awaited);
      failedImports_.push_back({importedEventName(id), sent.error().message});
      if (pendingImportIDs_.empty()) finishImport();
      notify();
    }
    if (first) first = std::move(sent);
  }
  return first;
}

void SyncService::forgetQueuedDeltas() {
  deltaJournal_.removeFirst(deltaJournal_.pendingEnvelopes().size());
  changed_.emit();
}

void SyncService::resetImportState() {
  pendingImportIDs_.clear();
  totalImportCount_ = 0;
  importedEventNames_.clear();
  importedEventIDs_.clear();
  importedContactCount_ = 0;
  failedImports_.clear();
  // A list request still on its way belongs to whoever asked for it (a sheet
  // reopened at once asks before this reset arrives): its answer is kept.
  if (!isLoadingEventList_) availableEvents_.clear();
  notify();
}

SendOutcome SyncService::sendOrQueue(const SyncEnvelope& envelope) {
  Status sent = send(envelope);
  if (sent) return SendOutcome::sent;
  log::sync().error("Direct send failed, queueing: {}", sent.error().message);
  deltaJournal_.append(envelope);
  return SendOutcome::queued;
}

PushOutcome SyncService::pushContact(const Contact& contact) {
  const PushCounts counts = pushContacts(std::span<const Contact>(&contact, 1));
  return counts.sent     ? PushOutcome::sent
         : counts.queued ? PushOutcome::queued
                         : PushOutcome::failed;
}

PushCounts SyncService::pushContacts(std::span<const Contact> contacts) {
  PushCounts counts;
  // A phone that is paired but away gets the change when it is back: the
  // push is kept in the journal (and still reported as not connected). With
  // no phone paired at all there is nobody to keep it for.
  const bool paired = isPaired();
  const bool one = contacts.size() == 1;
  if (!paired && !parts_.phone.pairedPhoneName()) {
    counts.failed = contacts.size();
    lastPushResult_ = PushResult::failed(std::string(kNotConnected));
  } else {
    std::vector<SyncEnvelope> queue;
    std::optional<std::string> failure;
    bool linkFailed = !paired;
    for (const Contact& contact : contacts) {
      Result<SyncEnvelope> envelope = [&]() -> Result<SyncEnvelope> {
        if (!contact.eventID)
          return Error(ErrorCode::failedPrecondition, contact.fullName() + " belongs to no event");
        auto wire = QM_TRY(ContactSyncModel::from(parts_.store, contact));
        return SyncEnvelope::make(
            SyncMessageType::deltaContact,
            DeltaContactPayload{*contact.eventID, std::move(wire), parts_.settings.displayName(),
                                parts_.identity.current()});
      }();
      if (!envelope) {
        ++counts.failed;
        failure = envelope.error().message;
        log::sync().error("Failed to push contact: {}", envelope.error().message);
        continue;
      }
      if (!linkFailed) {
        Status sent = send(*envelope);
        if (sent) {
          ++counts.sent;
          if (one) log::sync().info("Pushed contact '{}' to iPhone", contact.fullName());
          continue;
        }
        log::sync().error("Direct send failed, queueing: {}", sent.error().message);
        linkFailed = true;
        if (one) log::sync().info("Pushed contact '{}' to iPhone", contact.fullName());
      } else if (!paired && one) {
        log::sync().info("Queued contact '{}' until the phone is back", contact.fullName());
      }
      queue.push_back(std::move(envelope).value());
      ++counts.queued;
    }
    deltaJournal_.append(std::move(queue));
    if (!one)
      log::sync().info("Pushed {} contacts to iPhone: {} sent, {} queued, {} failed",
                       contacts.size(), counts.sent, counts.queued, counts.failed);
    lastPushResult_ = failure  ? PushResult::failed(*failure)
                      : paired ? PushResult::success()
                               : PushResult::failed(std::string(kNotConnected));
  }
  notify();
  std::weak_ptr<SyncService*> alive = alive_;
  parts_.schedule(kPushResultTime, [alive] {
    auto self = alive.lock();
    if (!self) return;
    (*self)->lastPushResult_ = PushResult::idle();
    (*self)->notify();
  });
  return counts;
}

void SyncService::drainQueuedDeltas() {
  if (!isPaired() || deltaJournal_.pendingEnvelopes().empty()) return;
  deltaJournal_.drain([this](const SyncEnvelope& envelope) { return send(envelope); }, true);
}

void SyncService::requestMissingMedia(const Uuid& eventID,
                                      const std::vector<ContactSyncModel>& contacts) {
  if (!isPaired() || contacts.empty()) return;
  std::size_t requested = 0;
  for (const ContactSyncModel& contact : contacts) {
    for (const std::string& fileName : contact.captureFileNames) {
      if (!isPlainFileName(fileName)) continue;  // never a file outside the capture folder
      std::error_code ec;
      if (std::filesystem::exists(captureImageURL(parts_.documents, eventID, fileName), ec))
        continue;
      auto envelope = SyncEnvelope::make(SyncMessageType::mediaRequest,
                                         MediaRequestPayload{eventID, contact.syncID, fileName});
      if (!envelope) {
        log::sync().error("Failed to build media request for '{}': {}", fileName,
                          envelope.error().message);
        continue;
      }
      ++requested;
      if (!send(*envelope)) deltaJournal_.append(*envelope);
    }
  }
  if (requested > 0)
    log::sync().info("Sent {} media request(s) for event {}", requested, eventID.str());
}

void SyncService::expectRelayResponse(const Uuid& correlationID, RelayCallback callback) {
  relayCallbacks_[correlationID] = std::move(callback);
  notify();
}

void SyncService::forgetRelay(const Uuid& correlationID) {
  if (relayCallbacks_.erase(correlationID) > 0) notify();
}

void SyncService::reportError(std::string message) {
  lastSyncError_ = std::move(message);
  notify();
}

void SyncService::failPendingRelays() {
  if (relayCallbacks_.empty()) return;
  auto callbacks = std::move(relayCallbacks_);
  relayCallbacks_.clear();
  notify();
  const RelayResponsePayload cancelled{false, std::nullopt, std::string(kRelayCancelled),
                                       std::nullopt};
  for (auto& [id, callback] : callbacks) callback(cancelled);
  log::sync().info("Cleaned up {} orphaned relay callback(s)", callbacks.size());
}

}  // namespace qm
