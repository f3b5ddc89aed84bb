// Whole snapshots and single "delta.*" records written into the store.
#include "sync/snapshot_ingester.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "common/log.h"
#include "settings/pipeline_manager.h"
#include "settings/user_defaults.h"
#include "store/relationships.h"
#include "store/store_test_support.h"
#include "support/log_capture.h"
#include "support/refused_writes.h"
#include "sync/sync_test_records.h"

namespace qm {
namespace {

using test::wireContact;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class SnapshotIngesterTest : public test::StoreFixture {
 protected:
  EventSnapshotPayload snapshot(std::vector<ContactSyncModel> contacts) {
    return EventSnapshotPayload{event_, std::move(contacts), std::nullopt};
  }
  /// Makes the store file refuse every insert into `table` with `message`, as a
  /// full or failing disk would.
  void refuseInserts(const std::string& table, const std::string& message) {
    ASSERT_TRUE(test::refuseWrites(storePath(), table, message));
  }
  std::vector<Contact> storedContacts() {
    auto contacts = contactsOf(*store, event_.id);
    EXPECT_OK(contacts);
    return contacts.ok() ? *contacts : std::vector<Contact>{};
  }

  UserDefaults defaults_{dir / "defaults.json"};
  PipelineManager pipeline_{defaults_};
  SyncMergeContext context_{"Anna's iPhone", "Bo", dateFromUnixSeconds(1'700'010'000)};
  EventSyncModel event_ = test::wireEvent("Hannover Messe");
  test::LogCapture log_{log::sync()};
};

TEST_F(SnapshotIngesterTest, CreatesTheEventThenMergesIntoItOnTheNextSnapshot) {
  SnapshotIngester ingester(*store, pipeline_);
  ContactSyncModel ada = wireContact("Ada", "Byron", "Acme");
  ada.notes = {test::wireNote("Wants pumps")};
  ada.opportunities = {test::wireOpportunity("Pumps", event_.updatedAt)};
  ContactSyncModel bo = wireContact("Bo", "Li", "Initech");
  // The same new person twice in one snapshot: two contacts.
  ContactSyncModel boAgain = wireContact("Bo", "Li", "Initech");
  event_.location = "Hannover";
  EXPECT_THAT(ingester.ingest(snapshot({ada, bo, boAgain}), context_),
              test::HoldsValue(SnapshotCounts{3, 0, 0, 0}));

  auto event = store->find<Event>(event_.id);
  ASSERT_OK(event);
  ASSERT_TRUE(event->has_value());
  EXPECT_EQ((*event)->createdAt, event_.createdAt);
  EXPECT_EQ((*event)->location, "Hannover");
  auto contacts = storedContacts();
  ASSERT_EQ(contacts.size(), 3u);
  EXPECT_THAT(notesOf(*store, ada.id), test::HoldsValue(testing::SizeIs(1)));
  EXPECT_THAT(opportunitiesOf(*store, event_.id), test::HoldsValue(testing::SizeIs(1)));

  // Next time: the event is updated, Ada gains an e-mail, Bo is unchanged.
  event_.name = "Hannover Messe 2026";
  event_.location.reset();
  ada.email = "ada@acme.io";
  EXPECT_THAT(ingester.ingest(snapshot({ada, bo}), context_),
              test::HoldsValue(SnapshotCounts{0, 1, 1, 0}));
  event = store->find<Event>(event_.id);
  EXPECT_EQ((*event)->name, "Hannover Messe 2026");
  EXPECT_EQ((*event)->location, std::nullopt);
  contacts = storedContacts();
  ASSERT_EQ(contacts.size(), 3u);
  EXPECT_EQ(contacts[0].email, "ada@acme.io");
  EXPECT_EQ(contacts[1].syncCount, 2);  // unchanged, yet synced again
  EXPECT_THAT(notesOf(*store, ada.id), test::HoldsValue(testing::SizeIs(1)));
}

TEST_F(SnapshotIngesterTest, MatchesAcrossUnicodeCaseAndWhiteSpace) {
  SnapshotIngester ingester(*store, pipeline_);
  ContactSyncModel emile = wireContact("Émile", "Zola", "Gallimard");
  emile.email = "ÉMILE@X.FR ";
  ASSERT_OK(ingester.ingest(snapshot({emile}), context_));

  ContactSyncModel again = wireContact("Emile", "Z.", "");  // another sync id and name
  again.email = "\u00A0émile@x.fr";
  again.title = "Éditeur";
  EXPECT_THAT(ingester.ingest(snapshot({again}), context_),
              test::HoldsValue(SnapshotCounts{0, 1, 0, 0}));
  auto contacts = storedContacts();
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0].title, "Éditeur");
}

TEST_F(SnapshotIngesterTest, SkipsContactsWhoseIdIsTakenAndSavesTheRest) {
  SnapshotIngester ingester(*store, pipeline_);
  EventSyncModel otherEvent = test::wireEvent("CES");
  ContactSyncModel elsewhere = wireContact("Cy", "Ng", "Umbrella");
  ASSERT_OK(ingester.ingest(EventSnapshotPayload{otherEvent, {elsewhere}, std::nullopt}, context_));

  ContactSyncModel clash = wireContact("Dee", "Ray", "Hooli");
  clash.id = elsewhere.id;
  ContactSyncModel ada = wireContact("Ada", "Byron", "Acme");
  ContactSyncModel twin = wireContact("Eve", "Moss", "Soylent");
  twin.id = ada.id;
  ContactSyncModel bo = wireContact("Bo", "Li", "Initech");
  log_.clear();
  EXPECT_THAT(ingester.ingest(snapshot({clash, ada, twin, bo}), context_),
              test::HoldsValue(SnapshotCounts{2, 0, 0, 2}));

  auto contacts = storedContacts();
  ASSERT_EQ(contacts.size(), 2u);
  EXPECT_EQ(contacts[0].firstName, "Ada");
  EXPECT_EQ(contacts[1].firstName, "Bo");
  EXPECT_THAT(log_.text(),
              HasSubstr("[error] Skipped contact " + elsewhere.id.str() +
                        " from snapshot: the id belongs to a contact of another event"));
  EXPECT_THAT(log_.text(), HasSubstr("[error] Skipped contact " + ada.id.str() +
                                     " from snapshot: the snapshot carries this id twice"));
  auto other = contactsOf(*store, otherEvent.id);
  ASSERT_OK(other);
  ASSERT_EQ(other->size(), 1u);
  EXPECT_EQ((*other)[0].firstName, "Cy");
}

TEST_F(SnapshotIngesterTest, SkipsNotesAndOpportunitiesWhoseIdIsTakenAndKeepsTheSnapshot) {
  SnapshotIngester ingester(*store, pipeline_);
  EventSyncModel otherEvent = test::wireEvent("CES");
  ContactSyncModel cy = wireContact("Cy", "Ng", "Umbrella");
  cy.notes = {test::wireNote("Cy's note")};
  cy.opportunities = {test::wireOpportunity("Cy's deal", otherEvent.updatedAt)};
  ASSERT_OK(ingester.ingest(EventSnapshotPayload{otherEvent, {cy}, std::nullopt}, context_));
  ContactSyncModel ada = wireContact("Ada", "Byron", "Acme");
  ASSERT_OK(ingester.ingest(snapshot({ada}), context_));

  // The phone moved Cy's note and deal onto a new contact and onto Ada.
  ContactSyncModel bo = wireContact("Bo", "Li", "Initech");
  bo.notes = {cy.notes[0], test::wireNote("Bo's own note")};
  bo.opportunities = {cy.opportunities[0]};
  ada.notes = {cy.notes[0]};
  ada.opportunities = {cy.opportunities[0], test::wireOpportunity("Ada's deal", event_.updatedAt)};
  event_.name = "Renamed";
  log_.clear();
  EXPECT_THAT(ingester.ingest(snapshot({ada, bo}), context_),
              test::HoldsValue(SnapshotCounts{1, 1, 0, 0}));

  EXPECT_EQ(store->find<Event>(event_.id)->value().name, "Renamed");
  auto contacts = storedContacts();
  ASSERT_EQ(contacts.size(), 2u);
  EXPECT_THAT(notesOf(*store, ada.id), test::HoldsValue(testing::IsEmpty()));
  auto boNotes = notesOf(*store, bo.id);
  ASSERT_OK(boNotes);
  ASSERT_EQ(boNotes->size(), 1u);
  EXPECT_EQ((*boNotes)[0].textContent, "Bo's own note");
  auto opportunities = opportunitiesOf(*store, event_.id);
  ASSERT_OK(opportunities);
  ASSERT_EQ(opportunities->size(), 1u);
  EXPECT_EQ((*opportunities)[0].title, "Ada's deal");
  // Cy keeps what is his.
  EXPECT_THAT(notesOf(*store, cy.id), test::HoldsValue(testing::SizeIs(1)));
  EXPECT_THAT(opportunitiesOf(*store, otherEvent.id), test::HoldsValue(testing::SizeIs(1)));
  EXPECT_THAT(log_.text(), HasSubstr("[error] Skipped note " + cy.notes[0].id.str() +
                                     " from the phone: the id belongs to another contact's note"));
  EXPECT_THAT(log_.text(), HasSubstr("[error] Skipped opportunity " + cy.opportunities[0].id.str() +
                                     " from the phone: the id belongs to an opportunity of "
                                     "another event"));

  // The same records one at a time: nothing stored, no raw store error.
  EXPECT_THAT(ingester.ingestNote(event_.id, bo.syncID, cy.notes[0]), test::HoldsValue(false));
  EXPECT_THAT(ingester.ingestOpportunity(DeltaOpportunityPayload{event_.id, cy.opportunities[0],
                                                                 "Umbrella", "Anna's iPhone"}),
              test::HoldsValue(false));
  ContactSyncModel cyElsewhere = wireContact("Dee", "Ray", "Hooli");
  cyElsewhere.id = cy.id;
  EXPECT_THAT(ingester.ingestContact(event_.id, cyElsewhere, context_),
              test::IsError(ErrorCode::alreadyExists,
                            testing::Eq("Skipped contact " + cy.id.str() +
                                        ": the id belongs to a contact of another event")));
  EXPECT_EQ(storedContacts().size(), 2u);
}

TEST_F(SnapshotIngesterTest, AFailedSaveLeavesTheStoreAsItWas) {
  SnapshotIngester ingester(*store, pipeline_);
  ContactSyncModel ada = wireContact("Ada", "Byron", "Acme");
  ASSERT_OK(ingester.ingest(snapshot({ada}), context_));
  // The disk refuses the opportunity, the last record the snapshot writes.
  refuseInserts("Opportunity", "disk I/O error");
  const auto contactsBefore = storedContacts();
  const auto eventBefore = store->find<Event>(event_.id)->value();

  event_.name = "Renamed";
  ada.email = "ada@acme.io";
  ada.notes = {test::wireNote("lost with the snapshot")};
  ContactSyncModel bo = wireContact("Bo", "Li", "Initech");
  bo.opportunities = {test::wireOpportunity("Own", event_.updatedAt)};
  log_.clear();
  EXPECT_THAT(ingester.ingest(snapshot({ada, bo}), context_), test::IsError());

  EXPECT_EQ(storedContacts(), contactsBefore);
  EXPECT_EQ(store->find<Event>(event_.id)->value(), eventBefore);
  EXPECT_EQ(test::countOf<ContactNote>(*store), 0);
  EXPECT_EQ(test::countOf<Opportunity>(*store), 0);
  EXPECT_THAT(log_.text(), HasSubstr("[error] Failed to save snapshot: "));
}

TEST_F(SnapshotIngesterTest, TakesPipelineStagesSortedBySortOrder) {
  SnapshotIngester ingester(*store, pipeline_);
  auto payload = snapshot({});
  payload.pipelineStages = std::vector<PipelineStage>{{Uuid::random(), "Won", 3, "D4953D"},
                                                      {Uuid::random(), "Lead", 1, "2D5F3F"},
                                                      {Uuid::random(), "Deal", 2, "C4654A"}};
  ASSERT_OK(ingester.ingest(payload, context_));
  auto names = [](const std::vector<PipelineStage>& stages) {
    std::vector<std::string> out;
    for (const auto& s : stages) out.push_back(s.name);
    return out;
  };
  EXPECT_THAT(names(pipeline_.stages()), ElementsAre("Lead", "Deal", "Won"));

  // An empty list leaves the stages alone.
  payload.pipelineStages = std::vector<PipelineStage>{};
  ASSERT_OK(ingester.ingest(payload, context_));
  EXPECT_THAT(names(pipeline_.stages()), ElementsAre("Lead", "Deal", "Won"));
}

TEST_F(SnapshotIngesterTest, TakesSingleRecordsOfDeltaMessages) {
  SnapshotIngester ingester(*store, pipeline_);
  ContactSyncModel ada = wireContact("Ada", "Byron", "Acme");
  EXPECT_THAT(ingester.ingestContact(event_.id, ada, context_), test::IsError(ErrorCode::notFound));
  ASSERT_OK(ingester.ingest(snapshot({}), context_));

  EXPECT_THAT(ingester.ingestContact(event_.id, ada, context_),
              test::HoldsValue(ContactOutcome::created));
  EXPECT_THAT(ingester.ingestContact(event_.id, ada, context_),
              test::HoldsValue(ContactOutcome::unchanged));
  ada.phone = "+33 1 23";
  EXPECT_THAT(ingester.ingestContact(event_.id, ada, context_),
              test::HoldsValue(ContactOutcome::merged));

  const NoteSyncModel note = test::wireNote("Call back");
  EXPECT_THAT(ingester.ingestNote(event_.id, ada.syncID, note), test::HoldsValue(true));
  EXPECT_THAT(ingester.ingestNote(event_.id, ada.syncID, note), test::HoldsValue(false));
  EXPECT_THAT(ingester.ingestNote(event_.id, Uuid::random(), test::wireNote("x")),
              test::HoldsValue(false));

  DeltaOpportunityPayload delta{event_.id, test::wireOpportunity("Pumps", event_.updatedAt), "Acme",
                                "Anna's iPhone"};
  EXPECT_THAT(ingester.ingestOpportunity(delta), test::HoldsValue(true));
  EXPECT_THAT(ingester.ingestOpportunity(delta), test::HoldsValue(false));
  EXPECT_EQ(test::countOf<Opportunity>(*store), 1);
}

TEST_F(SnapshotIngesterTest, AProcessKilledWhileIngestingLeavesWholeSnapshotsOnly) {
  // A child ingests snapshot after snapshot (2,000 contacts each) into the
  // store until it is killed; whatever moment the kill lands on, every event
  // the store holds afterwards has all its contacts.
  constexpr std::size_t kContacts = 2'000;
  store.reset();
  int finished[2];
  ASSERT_EQ(::pipe(finished), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(finished[0]);
    auto opened = Store::open(storePath());
    if (!opened) ::_exit(2);
    SnapshotIngester ingester(**opened, pipeline_);
    for (int round = 0;; ++round) {
      EventSyncModel event = test::wireEvent("Round " + std::to_string(round));
      std::vector<ContactSyncModel> contacts;
      for (std::size_t i = 0; i < kContacts; ++i)
        contacts.push_back(wireContact("First" + std::to_string(i), "Last", "Co"));
      if (!ingester.ingest(EventSnapshotPayload{event, std::move(contacts), std::nullopt},
                           context_))
        ::_exit(3);
      if (::write(finished[1], "x", 1) != 1) ::_exit(4);
    }
  }
  ASSERT_GT(child, 0);
  ::close(finished[1]);
  // Once one snapshot is in, the kill lands in the middle of the next.
  char byte = 0;
  ASSERT_EQ(::read(finished[0], &byte, 1), 1) << "the child stopped before any snapshot";
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself: " << WEXITSTATUS(status);
  ::close(finished[0]);

  reopen();
  auto events = store->fetch<Event>();
  ASSERT_OK(events);
  for (const Event& event : *events)
    EXPECT_THAT(contactsOf(*store, event.id), test::HoldsValue(testing::SizeIs(kContacts)))
        << event.name;
}

}  // namespace
}  // namespace qm
