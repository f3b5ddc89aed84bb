// The sync service against a fake phone and a real store: what it asks the
// phone for, what it does with the answers, and what waits in the journal.
#include "sync/sync_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
    service_->handleMessage(*envelope);
    // A snapshot is written on a thread of its own; its outcome comes back here.
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

  service_->resetImportState();
  EXPECT_EQ(service_->totalImportCount(), 0);
  EXPECT_TRUE(service_->importedEventNames().empty());
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
  receive(SyncMessageType::eventSnapshot, snapshot(event, {ada}));
  const auto blob = [&](std::string fileName, std::string bytes, Uuid contactSyncID) {
    return MediaBlobPayload{event.id,
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

  receive(SyncMessageType::mediaBlob, blob("card.jpg", "first", ada.syncID));
  receive(SyncMessageType::mediaBlob, blob("card.jpg", "second", ada.syncID));
  EXPECT_EQ(readFile(card).value(), "second");
  ASSERT_EQ(captures().size(), 1u);
  EXPECT_EQ(captures()[0].captureType, CaptureType::businessCard);
  EXPECT_EQ(captures()[0].syncedFrom, "iPhone");
  EXPECT_THAT(log_.text(), HasSubstr("CaptureMedia record already exists for 'card.jpg'"));

  // An image for a contact the desktop does not know stays on disk alone.
  receive(SyncMessageType::mediaBlob, blob("stray.jpg", "x", Uuid::random()));
  EXPECT_TRUE(std::filesystem::exists(card.parent_path() / "stray.jpg"));
  EXPECT_EQ(captures().size(), 1u);

  // Names that would reach past the folder write nothing at all.
  const auto files = [&] {
    std::set<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
      found.insert(entry.path());
    return found;
  };
  const auto before = files();
  for (const std::string& name : std::vector<std::string>{
           "", ".", "..", "../../escaped.jpg", "a/b.jpg", "a\\b.jpg", std::string("a\0b.jpg", 7)}) {
    receive(SyncMessageType::mediaBlob, blob(name, "x", ada.syncID));
  }
  EXPECT_EQ(files(), before);
  EXPECT_EQ(captures().size(), 1u);
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
  service_->pushContact(ada);
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
