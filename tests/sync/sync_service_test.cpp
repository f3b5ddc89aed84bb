// The sync service against a fake phone and a real store: what it asks the
// phone for, what it does with the answers, and what waits in the journal.
#include "sync/sync_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

#include "common/atomic_file.h"
#include "common/log.h"
#include "settings/pipeline_manager.h"
#include "store/capture_media.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/relationships.h"
#include "store/saved_report.h"
#include "store/store_test_support.h"
#include "support/desktop_services.h"
#include "support/log_capture.h"
#include "support/posted_tasks.h"
#include "support/refused_writes.h"
#include "sync/phone_channel.h"
#include "sync/record_payloads.h"
#include "sync/sync_test_records.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

/// A phone that records what it is sent; the attempts numbered in `failing`
/// (from 0) fail.
struct FakePhone : PhoneChannel {
  bool paired = true;
  std::set<std::size_t> failing;
  std::size_t attempts = 0;
  std::vector<SyncEnvelope> sent;

  bool isPaired() const override { return paired; }
  Status send(const SyncEnvelope& envelope) override {
    if (failing.contains(attempts++)) return Error(ErrorCode::unavailable, "link down");
    sent.push_back(envelope);
    return {};
  }
  std::optional<std::string> pairedPhoneName() const override { return bondName; }
  std::optional<std::string> bondName = "Dana's phone";
};

class SyncServiceTest : public test::StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    ASSERT_OK(desktop_.settings.setDisplayName("Bo"));
    startService();
  }
  /// A new service, as at start-up: it loads the journal left on disk.
  void startService() {
    service_.reset();
    service_ = std::make_unique<SyncService>(
        SyncServiceParts{*store, pipeline_, desktop_.settings, desktop_.identity, phone_,
                         dir.path(), dir / "documents",
                         [this](std::chrono::milliseconds delay, std::function<void()> task) {
                           scheduled_.emplace_back(delay, std::move(task));
                         },
                         posted_.poster()});
    changes_ = service_->changed().subscribe([this] { ++changeCount_; });
  }

  template <class P>
  void receive(SyncMessageType type, const P& payload,
               std::optional<Uuid> correlationID = std::nullopt) {
    auto envelope = SyncEnvelope::make(type, payload);
    ASSERT_OK(envelope);
    envelope->correlationID = correlationID;
    deliver(*envelope);
  }
  /// Hands `envelope` to the service and waits until it was handled: a
  /// snapshot is written on a thread of its own and its outcome comes back here.
  void deliver(const SyncEnvelope& envelope) {
    service_->handleMessage(envelope);
    ASSERT_TRUE(posted_.runUntil([&] { return !service_->isIngesting(); }));
  }
  static EventSnapshotPayload snapshot(const EventSyncModel& event,
                                       std::vector<ContactSyncModel> contacts = {}) {
    return {event, std::move(contacts), std::nullopt};
  }
  SyncEnvelope queued(std::string name) {
    return SyncEnvelope::make(SyncMessageType::error, ErrorPayload{std::move(name), "m", {}})
        .value();
  }

  /// Replaces `from` (once) in the payload's JSON text.
  static SyncEnvelope edited(const SyncEnvelope& envelope, std::string_view from,
                             std::string_view to) {
    std::string text(envelope.payloadText());
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return SyncEnvelope::make(envelope.type, Bytes(text.begin(), text.end()));
  }
  /// The store refuses to write the event named `name`, as a full disk would.
  void refuseEvent(const std::string& name) {
    ASSERT_TRUE(test::refuseWrites(storePath(), "Event", "database or disk is full", {"INSERT"},
                                   "NEW.name = '" + name + "'"));
  }

  test::DesktopServices desktop_{dir.path()};
  PipelineManager pipeline_{desktop_.defaults};
  FakePhone phone_;
  std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> scheduled_;
  test::PostedTasks posted_;
  test::LogCapture log_{log::sync()};
  std::unique_ptr<SyncService> service_;
  Subscription changes_;
  int changeCount_ = 0;
};

TEST_F(SyncServiceTest, ImportCountsSnapshotsDownAndEndsWithTheLast) {
  const std::vector<EventSyncModel> events = {test::wireEvent("Hannover Messe"),
                                              test::wireEvent("CES"), test::wireEvent("MWC")};
  ASSERT_OK(service_->importEvents({events[0].id, events[1].id, events[2].id}));
  ASSERT_EQ(phone_.sent.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(phone_.sent[i].type, SyncMessageType::eventSnapshotRequest);
    EXPECT_EQ(phone_.sent[i].decodePayload<EventSnapshotRequestPayload>()->eventID, events[i].id);
  }
  EXPECT_TRUE(service_->isSyncing());
  EXPECT_EQ(service_->totalImportCount(), 3);

  const int changesBefore = changeCount_;
  receive(SyncMessageType::eventSnapshot, snapshot(events[1]));
  receive(SyncMessageType::eventSnapshot, snapshot(events[0]));
  EXPECT_EQ(service_->pendingImportCount(), 1);
  EXPECT_TRUE(service_->isSyncing());
  EXPECT_EQ(changeCount_, changesBefore + 2);
  EXPECT_THAT(log_.text(), Not(HasSubstr("Import batch complete")));

  receive(SyncMessageType::eventSnapshot, snapshot(events[2]));
  EXPECT_EQ(service_->pendingImportCount(), 0);
  EXPECT_FALSE(service_->isSyncing());
  EXPECT_THAT(service_->importedEventNames(), ElementsAre("CES", "Hannover Messe", "MWC"));
  EXPECT_THAT(log_.text(), HasSubstr("Import batch complete: 3 events imported"));
  EXPECT_THAT(log_.text(), HasSubstr("Processed event snapshot: MWC"));
  EXPECT_EQ(test::countOf<Event>(*store), 3);
  EXPECT_EQ(service_->eventSyncTimestamps().size(), 3u);

  // A list asked for just before the closing import's reset arrives still
  // gets its answer.
  ASSERT_OK(service_->requestEventList());
  service_->resetImportState();
  EXPECT_EQ(service_->totalImportCount(), 0);
  EXPECT_TRUE(service_->importedEventNames().empty());
  EXPECT_TRUE(service_->isLoadingEventList());
  receive(SyncMessageType::eventListResponse,
          EventListResponsePayload{{EventListItem{events[0].id, "CES", {}, {}, {}, 4}}});
  EXPECT_FALSE(service_->isLoadingEventList());
  EXPECT_EQ(service_->availableEvents().size(), 1u);
}

TEST_F(SyncServiceTest, ImportListsOnlyStoredEventsAndSaysWhichFailedAndWhy) {
  const std::vector<EventSyncModel> events = {test::wireEvent("Hannover Messe"),
                                              test::wireEvent("CES"), test::wireEvent("MWC")};
  receive(SyncMessageType::eventListResponse,
          EventListResponsePayload{{EventListItem{events[2].id, "MWC", {}, {}, {}, 4}}});
  refuseEvent("CES");
  ASSERT_OK(service_->importEvents({events[0].id, events[1].id, events[2].id}));
  receive(SyncMessageType::eventSnapshot,
          snapshot(events[0], {test::wireContact("Ada", "Byron", "Acme"),
                               test::wireContact("Mei", "Tanaka", "Globex")}));
  receive(SyncMessageType::eventSnapshot,
          snapshot(events[1], {test::wireContact("Sam", "Carter", "Initech")}));
  EXPECT_TRUE(service_->isSyncing());

  // The last answer cannot be read at all: the import ends now, not after a
  // time-out, naming the event from the phone's list.
  const auto unreadable =
      edited(SyncEnvelope::make(SyncMessageType::eventSnapshot, snapshot(events[2])).value(),
             "\"isArchived\":false", "\"isArchived\":\"no\"");
  deliver(unreadable);
  EXPECT_EQ(service_->pendingImportCount(), 0);
  EXPECT_FALSE(service_->isSyncing());
  EXPECT_THAT(service_->importedEventNames(), ElementsAre("Hannover Messe"));
  // Only the stored event and its contacts count.
  EXPECT_THAT(service_->importedEventIDs(), ElementsAre(events[0].id));
  EXPECT_EQ(service_->importedContactCount(), 2);
  ASSERT_EQ(service_->failedImports().size(), 2u);
  EXPECT_EQ(service_->failedImports()[0].eventName, "CES");
  EXPECT_THAT(service_->failedImports()[0].reason, HasSubstr("database or disk is full"));
  EXPECT_EQ(service_->failedImports()[1].eventName, "MWC");
  EXPECT_THAT(service_->failedImports()[1].reason,
              HasSubstr("The phone sent an event that could not be read"));
  EXPECT_THAT(service_->failedImports()[1].reason, HasSubstr("event.isArchived"));
  EXPECT_EQ(test::countOf<Event>(*store), 1);
  EXPECT_THAT(log_.text(), HasSubstr("Import batch complete: 1 events imported"));

  // A request that cannot be sent fails its event at once, and the import
  // does not stay running; closing the import mid-way ends it too.
  phone_.failing = {phone_.attempts};
  EXPECT_FALSE(service_->importEvents({events[1].id}));
  EXPECT_FALSE(service_->isSyncing());
  ASSERT_EQ(service_->failedImports().size(), 1u);
  EXPECT_EQ(service_->failedImports()[0].reason, "link down");
  ASSERT_OK(service_->importEvents({events[1].id}));
  EXPECT_TRUE(service_->isSyncing());
  service_->resetImportState();
  EXPECT_FALSE(service_->isSyncing());
  ASSERT_OK(service_->importEvents({events[1].id}));
  service_->abandonImport("The phone stopped sending events");
  EXPECT_FALSE(service_->isSyncing());
  EXPECT_THAT(service_->failedImports(),
              ElementsAre(FailedImport{events[1].id.str(), "The phone stopped sending events"}));
}

TEST_F(SyncServiceTest, SnapshotKeepsTheRecordsThatDecodeAndSkipsTheOthers) {
  const EventSyncModel event = test::wireEvent("Hannover Messe");
  ContactSyncModel ada = test::wireContact("Ada", "Byron", "Acme");
  ada.notes = {test::wireNote("kept"), test::wireNote("broken")};
  ada.notes[1].createdAt = dateFromUnixSeconds(1'000'000'000);
  ContactSyncModel late = test::wireContact("Late", "Comer", "Initech");
  late.metAt = dateFromUnixSeconds(1'100'000'000);
  ContactSyncModel odd = test::wireContact("Odd", "Surrogate", "Umbrella");
  auto envelope =
      SyncEnvelope::make(SyncMessageType::eventSnapshot, snapshot(event, {ada, late, odd})).value();
  envelope = edited(envelope, formatISO8601(*late.metAt), "next Tuesday");
  envelope = edited(envelope, formatISO8601(ada.notes[1].createdAt), "2001-09-09");
  envelope = edited(envelope, "\"Odd\"", "\"O\\ud800dd\"");
  ASSERT_OK(service_->importEvents({event.id}));
  deliver(envelope);

  EXPECT_THAT(service_->importedEventNames(), ElementsAre("Hannover Messe"));
  auto contacts = store->fetch<Contact>();
  ASSERT_OK(contacts);
  ASSERT_EQ(contacts->size(), 1u);
  EXPECT_EQ((*contacts)[0].firstName, "Ada");
  EXPECT_EQ(test::countOf<ContactNote>(*store), 1);
  const std::string text = log_.text();
  EXPECT_THAT(text, HasSubstr("Skipped ContactSyncModel contacts[1] of event snapshot "
                              "'Hannover Messe': metAt: \"next Tuesday\" is not an ISO 8601"));
  EXPECT_THAT(text, HasSubstr("Skipped ContactSyncModel contacts[2] of event snapshot "
                              "'Hannover Messe': firstName: text that is not valid Unicode"));
  EXPECT_THAT(text, HasSubstr("Skipped NoteSyncModel contacts[0].notes[1]"));
}

TEST_F(SyncServiceTest, FullSyncEndsWhenThePhoneHasNothingNewerOrAnswersWithAnError) {
  ASSERT_OK(service_->requestFullSync());
  EXPECT_TRUE(service_->isSyncing());
  ASSERT_EQ(scheduled_.size(), 1u);
  EXPECT_EQ(scheduled_[0].first, SyncService::kFullSyncAnswerTime);
  // A second request: only its own time-out ends it.
  ASSERT_OK(service_->requestFullSync());
  ASSERT_EQ(scheduled_.size(), 2u);
  scheduled_[0].second();
  EXPECT_TRUE(service_->isSyncing());
  scheduled_[1].second();
  EXPECT_FALSE(service_->isSyncing());
  EXPECT_FALSE(service_->lastSyncError().has_value());

  ASSERT_OK(service_->requestFullSync());
  receive(SyncMessageType::error, ErrorPayload{"sync.busy", "The phone is busy", {}});
  EXPECT_FALSE(service_->isSyncing());
  EXPECT_EQ(service_->lastSyncError(), "The phone is busy");
}

TEST_F(SyncServiceTest, WhatArrivesWhileASnapshotIsWrittenWaitsForItInOrder) {
  const EventSyncModel event = test::wireEvent("Hannover Messe");
  const ContactSyncModel ada = test::wireContact("Ada", "Byron", "Acme");
  const auto message = [](SyncMessageType type, const auto& payload) {
    return SyncEnvelope::make(type, payload).value();
  };
  service_->handleMessage(message(SyncMessageType::eventSnapshot, snapshot(event, {ada})));
  EXPECT_TRUE(service_->isIngesting());
  // A note for the snapshot's contact, and the snapshot's event again.
  service_->handleMessage(
      message(SyncMessageType::deltaNote,
              DeltaNotePayload{event.id, ada.syncID, test::wireNote("Pilot in March"), "Dana"}));
  EventSyncModel renamed = event;
  renamed.name = "Hannover Messe 2026";
  service_->handleMessage(message(SyncMessageType::eventSnapshot, snapshot(renamed, {ada})));
  EXPECT_EQ(test::countOf<ContactNote>(*store), 0);
  EXPECT_FALSE(service_->lastSyncAt().has_value());

  ASSERT_TRUE(posted_.runUntil([&] { return !service_->isIngesting(); }));
  EXPECT_EQ(test::countOf<ContactNote>(*store), 1);
  EXPECT_EQ(test::countOf<Contact>(*store), 1);
  EXPECT_EQ(store->find<Event>(event.id).value()->name, "Hannover Messe 2026");
  EXPECT_TRUE(service_->lastSyncAt().has_value());
  const std::string log = log_.text();
  EXPECT_LT(log.find("Processed event snapshot: Hannover Messe\n"),
            log.find("Delta note merged: true"));
  EXPECT_LT(log.find("Delta note merged: true"),
            log.find("Processed event snapshot: Hannover Messe 2026"));
}

TEST_F(SyncServiceTest, FullSyncAsksForStoredEventsAndTheFirstSnapshotEndsIt) {
  Event stored = Event::create("Hannover Messe");
  ASSERT_OK(store->insert(stored));
  ASSERT_OK(service_->requestFullSync());
  ASSERT_EQ(phone_.sent.size(), 1u);
  auto request = phone_.sent[0].decodePayload<SnapshotRequest>();
  ASSERT_OK(request);
  EXPECT_EQ(request->eventTimestamps.size(), 1u);
  EXPECT_TRUE(request->eventTimestamps.contains(stored.id));
  EXPECT_TRUE(service_->isSyncing());

  // The phone answers with the event; one of its contact's two images is on
  // disk already, so only the other is asked for (and never a name that
  // points outside the capture folder).
  EventSyncModel event = test::wireEvent("Hannover Messe");
  event.id = stored.id;
  ContactSyncModel ada = test::wireContact("Ada", "Byron", "Acme");
  ada.captureFileNames = {"card.jpg", "badge.jpg", "../../../.ssh/id_ed25519"};
  const auto badge = captureImageURL(dir / "documents", event.id, "badge.jpg");
  std::filesystem::create_directories(badge.parent_path());
  ASSERT_OK(writeFileAtomically(badge, "x"));
  receive(SyncMessageType::eventSnapshot, snapshot(event, {ada}));
  EXPECT_FALSE(service_->isSyncing());
  EXPECT_TRUE(service_->importedEventNames().empty());
  EXPECT_TRUE(service_->lastSyncAt().has_value());
  ASSERT_EQ(phone_.sent.size(), 2u);
  auto media = phone_.sent[1].decodePayload<MediaRequestPayload>();
  ASSERT_OK(media);
  EXPECT_EQ(media->fileName, "card.jpg");
  EXPECT_EQ(media->contactSyncID, ada.syncID);
  EXPECT_THAT(log_.text(), HasSubstr("Sent 1 media request(s) for event"));
}

TEST_F(SyncServiceTest, MediaBlobsLandInTheCaptureFolderOnceAndNowhereElse) {
  EventSyncModel event = test::wireEvent("Hannover Messe");
  ContactSyncModel ada = test::wireContact("Ada", "Byron", "Acme");
  EventSyncModel otherEvent = test::wireEvent("CES");
  ContactSyncModel cy = test::wireContact("Cy", "Ng", "Umbrella");
  receive(SyncMessageType::eventSnapshot, snapshot(event, {ada}));
  receive(SyncMessageType::eventSnapshot, snapshot(otherEvent, {cy}));
  const auto blob = [&](std::string fileName, std::string bytes, Uuid contactSyncID,
                        std::optional<Uuid> eventID = std::nullopt) {
    return MediaBlobPayload{eventID.value_or(event.id),
                            contactSyncID,
                            std::move(fileName),
                            Bytes(bytes.begin(), bytes.end()),
                            "image/jpeg",
                            "businessCard",
                            now(),
                            "Front",
                            std::nullopt,
                            std::nullopt,
                            std::nullopt};
  };
  const auto captures = [&] {
    const Contact contact = store->fetch<Contact>({Match{"syncID", ada.syncID}})->front();
    return capturesOf(*store, contact.id).value();
  };
  const auto card = captureImageURL(dir / "documents", event.id, "card.jpg");
  const std::string jpeg = "\xFF\xD8\xFF\xE0";

  const mode_t umask = ::umask(0022);
  receive(SyncMessageType::mediaBlob, blob("card.jpg", jpeg + "first", ada.syncID));
  ::umask(umask);
  receive(SyncMessageType::mediaBlob, blob("card.jpg", jpeg + "second", ada.syncID));
  EXPECT_EQ(readFile(card).value(), jpeg + "second");
  // The folders it made hold other people's pictures: this user's alone.
  for (auto folder = card.parent_path(); folder != dir / "documents"; folder = folder.parent_path())
    EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all)
        << folder;
  ASSERT_EQ(captures().size(), 1u);
  EXPECT_EQ(captures()[0].captureType, CaptureType::businessCard);
  EXPECT_EQ(captures()[0].syncedFrom, "iPhone");
  EXPECT_THAT(log_.text(), HasSubstr("CaptureMedia record already exists for 'card.jpg'"));

  // Nothing is written for an event or contact the desktop does not hold (a
  // contact of another event included), for names that would reach past the
  // folder, or for bytes that are not an image.
  const auto files = [&] {
    std::set<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
      found.insert(entry.path());
    return found;
  };
  const auto before = files();
  receive(SyncMessageType::mediaBlob, blob("stray.jpg", jpeg, Uuid::random()));
  receive(SyncMessageType::mediaBlob, blob("cy.jpg", jpeg, cy.syncID));
  const Uuid madeUp = Uuid::random();
  receive(SyncMessageType::mediaBlob, blob("made-up.jpg", jpeg, ada.syncID, madeUp));
  receive(SyncMessageType::mediaBlob, blob("evil.jpg", "#!/bin/sh\nrm -rf ~\n", ada.syncID));
  for (const std::string& name : std::vector<std::string>{
           "", ".", "..", "../../escaped.jpg", "a/b.jpg", "a\\b.jpg", std::string("a\0b.jpg", 7)}) {
    receive(SyncMessageType::mediaBlob, blob(name, jpeg, ada.syncID));
  }
  EXPECT_EQ(files(), before);
  EXPECT_EQ(captures().size(), 1u);
  EXPECT_THAT(log_.text(), HasSubstr("Media blob for unknown contact syncID: " + cy.syncID.str()));
  EXPECT_THAT(log_.text(), HasSubstr("Media blob for unknown event: " + madeUp.str()));
  EXPECT_THAT(log_.text(),
              HasSubstr("Failed to save media blob 'evil.jpg': not a JPEG, PNG or HEIC image"));
  EXPECT_THAT(log_.text(),
              HasSubstr("Failed to save media blob '../../escaped.jpg': invalid file name"));
}

TEST_F(SyncServiceTest, NothingGoesOutWhileNotPairedAndTheDrainStopsAtTheFirstFailure) {
  phone_.paired = false;
  EXPECT_FALSE(service_->requestFullSync());
  EXPECT_FALSE(service_->requestEventList());
  EXPECT_FALSE(service_->isLoadingEventList());
  for (const char* name : {"one", "two", "three"}) service_->sendOrQueue(queued(name));
  service_->drainQueuedDeltas();
  EXPECT_EQ(phone_.attempts, 0u);
  EXPECT_THAT(log_.text(), HasSubstr("Cannot sync — not paired"));
  ASSERT_EQ(service_->deltaJournal().pendingEnvelopes().size(), 3u);

  // Paired again, the second send fails: only the first leaves the journal.
  // A full sync drains even when its own request cannot be sent.
  phone_.paired = true;
  phone_.failing = {0, 2};
  EXPECT_FALSE(service_->requestFullSync());
  EXPECT_EQ(service_->lastSyncError(), "link down");
  EXPECT_FALSE(service_->isSyncing());
  ASSERT_EQ(phone_.sent.size(), 1u);
  EXPECT_EQ(phone_.sent[0].decodePayload<ErrorPayload>()->code, "one");
  EXPECT_THAT(log_.text(), HasSubstr("Drained 1/3 queued deltas"));
  ASSERT_EQ(service_->deltaJournal().pendingEnvelopes().size(), 2u);
  EXPECT_EQ(service_->deltaJournal().pendingEnvelopes()[0].decodePayload<ErrorPayload>()->code,
            "two");
}

TEST_F(SyncServiceTest, PushedContactCarriesThisDesktopAndTheResultResetsAfterTwoSeconds) {
  Event event = Event::create("Hannover Messe");
  ASSERT_OK(store->insert(event));
  Contact ada = Contact::create("Ada", "Byron", "Acme", event.id);
  ASSERT_OK(store->insert(ada));

  // No phone paired at all: nothing to keep the change for.
  phone_.paired = false;
  phone_.bondName.reset();
  service_->pushContact(ada);
  EXPECT_EQ(service_->lastPushResult(), PushResult::failed("Not connected to iPhone"));
  EXPECT_EQ(phone_.attempts, 0u);
  EXPECT_TRUE(service_->deltaJournal().pendingEnvelopes().empty());
  ASSERT_EQ(scheduled_.size(), 1u);
  EXPECT_EQ(scheduled_[0].first, 2s);
  scheduled_[0].second();
  EXPECT_EQ(service_->lastPushResult(), PushResult::idle());

  // The paired phone is away: the change waits for it in the journal.
  phone_.bondName = "Dana's phone";
  service_->pushContact(ada);
  EXPECT_EQ(service_->lastPushResult(), PushResult::failed("Not connected to iPhone"));
  EXPECT_EQ(phone_.attempts, 0u);
  ASSERT_EQ(service_->deltaJournal().pendingEnvelopes().size(), 1u);
  service_->forgetQueuedDeltas();

  // Paired but the send fails: queued, and still a success.
  phone_.paired = true;
  phone_.failing = {0};
  EXPECT_EQ(service_->pushContact(ada), PushOutcome::queued);
  EXPECT_EQ(service_->lastPushResult(), PushResult::success());
  ASSERT_EQ(service_->deltaJournal().pendingEnvelopes().size(), 1u);
  auto pushed = service_->deltaJournal().pendingEnvelopes()[0].decodePayload<DeltaContactPayload>();
  ASSERT_OK(pushed);
  EXPECT_EQ(pushed->eventID, event.id);
  EXPECT_EQ(pushed->contact.syncID, ada.syncID);
  EXPECT_EQ(pushed->senderName, "Bo");
  EXPECT_EQ(pushed->senderDeviceID, desktop_.identity.current());
  EXPECT_THAT(log_.text(), HasSubstr("Direct send failed, queueing: link down"));
  EXPECT_THAT(log_.text(), HasSubstr("Pushed contact 'Ada Byron' to iPhone"));

  // With the journal full, a queued push drops the oldest entry rather than
  // growing the journal: it is still queued, and a sent one is still sent.
  const std::vector<SyncEnvelope> full(DeltaJournal::kCapacity, queued("filler"));
  ASSERT_OK(writeFileAtomically(DeltaJournal::fileIn(dir.path()), *encodeDeltaJournal(full)));
  startService();
  ASSERT_EQ(service_->deltaJournal().pendingEnvelopes().size(), DeltaJournal::kCapacity);
  phone_.failing = {phone_.attempts};
  EXPECT_EQ(service_->pushContact(ada), PushOutcome::queued);
  EXPECT_EQ(service_->deltaJournal().pendingEnvelopes().size(), DeltaJournal::kCapacity);
  phone_.paired = false;
  EXPECT_EQ(service_->pushContact(ada), PushOutcome::queued);
  phone_.paired = true;
  EXPECT_EQ(service_->pushContact(ada), PushOutcome::sent);

  // A bulk edit: once the link fails, the rest wait behind it untried; a
  // contact of no event cannot go at all.
  service_->forgetQueuedDeltas();
  Contact bo = Contact::create("Bo", "Ek", "", event.id);
  Contact cy = Contact::create("Cy", "Fox", "", event.id);
  Contact loose = Contact::create("Di", "Gale", "", std::nullopt);
  ASSERT_OK(store->insert(bo));
  ASSERT_OK(store->insert(cy));
  const std::size_t tried = phone_.attempts;
  phone_.failing = {tried + 1};
  const PushCounts counts = service_->pushContacts(std::vector<Contact>{ada, bo, loose, cy});
  EXPECT_EQ(counts.sent, 1u);
  EXPECT_EQ(counts.queued, 2u);
  EXPECT_EQ(counts.failed, 1u);
  EXPECT_EQ(phone_.attempts, tried + 2);
  ASSERT_EQ(service_->deltaJournal().pendingEnvelopes().size(), 2u);
  EXPECT_EQ(service_->deltaJournal()
                .pendingEnvelopes()[1]
                .decodePayload<DeltaContactPayload>()
                ->contact.syncID,
            cy.syncID);
  EXPECT_EQ(service_->lastPushResult(), PushResult::failed("Di Gale belongs to no event"));
}

TEST_F(SyncServiceTest, RelayAnswerRunsItsCallbackOnceAndTheRestAreCancelled) {
  const Uuid asked = Uuid::random();
  std::vector<RelayResponsePayload> answers;
  service_->expectRelayResponse(asked, [&](const auto& r) { answers.push_back(r); });
  const RelayResponsePayload answer{true, "Dear Ada", std::nullopt, "claude"};
  receive(SyncMessageType::relayAIResponse, answer, asked);
  receive(SyncMessageType::relayAIResponse, answer, asked);
  receive(SyncMessageType::relayCRMResult, answer);
  EXPECT_THAT(answers, ElementsAre(answer));
  EXPECT_THAT(log_.text(), HasSubstr("Orphaned relay response for correlationID: " + asked.str()));
  EXPECT_THAT(log_.text(), HasSubstr("Relay response has no correlationID — dropping"));

  service_->expectRelayResponse(Uuid::random(), [&](const auto& r) { answers.push_back(r); });
  service_->failPendingRelays();
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_FALSE(answers[1].success);
  EXPECT_EQ(answers[1].errorMessage, "Relay cancelled — iPhone disconnected");
  EXPECT_EQ(service_->pendingRelayCount(), 0u);
  EXPECT_THAT(log_.text(), HasSubstr("Cleaned up 1 orphaned relay callback(s)"));
}

TEST_F(SyncServiceTest, OtherMessagesAreLoggedOrKeptAsTheirTypeSays) {
  receive(SyncMessageType::eventListResponse,
          EventListResponsePayload{{EventListItem{Uuid::random(), "CES", {}, {}, {}, 12}}});
  ASSERT_EQ(service_->availableEvents().size(), 1u);
  EXPECT_EQ(service_->availableEvents()[0].name, "CES");
  receive(SyncMessageType::mediaRequest, MediaRequestPayload{Uuid::random(), Uuid::random(), "a"});
  receive(SyncMessageType::qlmImportResult, QLMImportResultPayload{true, std::nullopt, {}});
  receive(SyncMessageType::deltaContact,
          DeltaContactPayload{Uuid::random(), test::wireContact("A", "B", "C"), "x", "y"});
  receive(SyncMessageType::error, ErrorPayload{"E42", "Phone storage full", {}});
  service_->handleMessage(SyncEnvelope::make(SyncMessageType::deltaNote, Bytes{'{', '}'}));
  const std::string text = log_.text();
  EXPECT_THAT(text, HasSubstr("Received event list: 1 events"));
  EXPECT_THAT(text, HasSubstr("Received unexpected outbound message type: media.request"));
  EXPECT_THAT(text, HasSubstr("QLM import result: success=true, contacts=0"));
  EXPECT_THAT(text, HasSubstr("Delta contact for unknown event:"));
  EXPECT_THAT(text, HasSubstr("Remote error [E42]: Phone storage full"));
  EXPECT_THAT(text, HasSubstr("Failed to decode incoming message: DeltaNotePayload"));
  EXPECT_EQ(service_->lastSyncError(), "Phone storage full");

  // A report arrives, then a newer version of it replaces its content.
  Event event = Event::create("Hannover Messe");
  ASSERT_OK(store->insert(event));
  DeltaReportPayload report{event.id, Uuid::random(), "summary", now(), {}, "v1", {}, {}, {}};
  receive(SyncMessageType::deltaReport, report);
  report.reportContent = "v2";
  report.detailLevel = "brief";
  receive(SyncMessageType::deltaReport, report);
  auto stored = store->fetch<SavedReport>();
  ASSERT_OK(stored);
  ASSERT_EQ(stored->size(), 1u);
  EXPECT_EQ((*stored)[0].reportContent, "v2");
  EXPECT_EQ((*stored)[0].detailLevel, "brief");
  EXPECT_EQ((*stored)[0].eventID, event.id);
}

}  // namespace
}  // namespace qm
