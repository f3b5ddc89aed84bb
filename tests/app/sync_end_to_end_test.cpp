// Sync as a user drives it: the real companion, the `quillmere` sync commands
// and the phone simulator over the real peer link.
#include <gmock/gmock.h>
#include <signal.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "app/control_client.h"
#include "common/app_paths.h"
#include "common/atomic_file.h"
#include "companion_fixture.h"
#include "store/capture_media.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/opportunity.h"
#include "store/saved_report.h"
#include "store/store.h"
#include "support/refused_writes.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "sync/delta_journal.h"
#include "sync/record_payloads.h"
#include "sync/sync_test_records.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::UnorderedElementsAreArray;

using SyncEndToEndTest = test::CompanionFixture;

TEST_F(SyncEndToEndTest, PairedPhoneListsItsEventsAndReceivesTheSyncRequestAndAPush) {
  auto demo = cli({"demo-data", "-n", "1", "--json"});
  ASSERT_EQ(demo.exitCode, 0) << demo.err;
  const auto demoIDs = nlohmann::json::parse(demo.out);
  const std::string eventID = demoIDs["eventID"];
  const std::string contactID = demoIDs["contactIDs"][0];
  auto away = cli({"push", contactID});
  EXPECT_EQ(away.exitCode, 1);
  EXPECT_THAT(away.err, HasSubstr("Not connected to iPhone"));
  auto unpaired = cli({"events", "--remote"});
  EXPECT_EQ(unpaired.exitCode, 1);
  EXPECT_THAT(unpaired.err, HasSubstr("Cannot request event list — not paired"));

  test::Subprocess pair(QUILLMERE_BINARY, {"pair", "--timeout", "30"}, env, outDir.path());
  const auto offer = test::waitForPairingOffer(pair);
  ASSERT_TRUE(offer) << pair.output() << pair.errors();
  auto paired = test::runCommand(PHONE_BINARY,
                                 {"pair", "--port", offer->port, "--qr", offer->qrString, "--bond",
                                  bondFile(), "--name", "Dana's phone"},
                                 {});
  ASSERT_EQ(paired.exitCode, 0) << paired.out << paired.err;
  ASSERT_EQ(pair.wait(10s), 0) << pair.output() << pair.errors();

  // The simulator hung up after pairing; it comes back as the bonded phone and stays.
  ASSERT_TRUE(eventually([&] {
    return pairingStatus()["state"] == "reconnecting" && pairingStatus().contains("listeningPort");
  })) << pairingStatus().dump();
  const std::string port = std::to_string(pairingStatus()["listeningPort"].get<int>());
  test::Subprocess phone(PHONE_BINARY,
                         {"connect", "--port", port, "--bond", bondFile(), "--listen", "20"}, {},
                         outDir.path());
  ASSERT_TRUE(eventually([&] { return pairingStatus()["state"] == "paired"; }))
      << pairingStatus().dump() << phone.output() << phone.errors();

  auto events = cli({"events", "--remote"});
  EXPECT_EQ(events.exitCode, 0) << events.err;
  EXPECT_THAT(events.out, HasSubstr("The phone has no events."));
  EXPECT_THAT(cli({"import"}).out, HasSubstr("No events available"));

  auto sync = cli({"sync"});
  EXPECT_EQ(sync.exitCode, 0) << sync.err;
  EXPECT_TRUE(eventually([&] {
    const std::string out = phone.output();
    const auto line = out.find("received event.snapshot.request");
    return line != std::string::npos &&
           out.find(" verified {\"eventTimestamps\":{\"" + eventID, line) != std::string::npos;
  })) << phone.output();

  auto push = cli({"push", contactID});
  EXPECT_EQ(push.exitCode, 0) << push.err;
  EXPECT_THAT(push.out, HasSubstr("to the phone."));
  EXPECT_TRUE(eventually([&] {
    return phone.output().find("received delta.contact") != std::string::npos;
  })) << phone.output();

  auto unknown = cli({"push", "8F2C1E4A-3B5D-4C6E-9F70-1A2B3C4D5E6F"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_THAT(unknown.err, HasSubstr("No contact with id 8F2C1E4A-3B5D-4C6E-9F70-1A2B3C4D5E6F"));

  // The phone goes away: a push waits on disk and reaches it when it is back.
  phone.stop(SIGTERM, 5s);
  ASSERT_TRUE(eventually([&] { return pairingStatus()["state"] == "reconnecting"; }));
  auto queued = cli({"push", contactID});
  EXPECT_EQ(queued.exitCode, 0) << queued.err;
  EXPECT_THAT(queued.out, HasSubstr("goes to it with the next sync"));
  EXPECT_THAT(readFile(DeltaJournal::fileIn(paths.applicationSupport)).value(),
              HasSubstr("delta.contact"));
  const std::string status = cli({"status"}).out;
  EXPECT_THAT(status, HasSubstr(", reconnecting"));
  EXPECT_THAT(status, HasSubstr("Waiting for the phone: 1 change(s)"));
  // Back, with a contact met on the phone meanwhile: it is created here.
  ContactSyncModel lan = test::wireContact("Lan", "Nguyễn Thị", "Điện Quang");
  auto comeBack = [&](const ContactSyncModel& contact) {
    const auto file = phoneDir / ("delta-" + std::to_string(contact.phone.has_value()) + ".json");
    const auto delta =
        SyncEnvelope::make(SyncMessageType::deltaContact,
                           DeltaContactPayload{*Uuid::parse(eventID), contact, "Dana", "PHONE-1"});
    EXPECT_TRUE(writeFileAtomically(file, encodeEnvelope(*delta).value()));
    EXPECT_TRUE(eventually([&] { return pairingStatus()["state"] == "reconnecting"; }));
    const std::string listening = std::to_string(pairingStatus()["listeningPort"].get<int>());
    return test::runCommand(PHONE_BINARY,
                            {"connect", "--port", listening, "--bond", bondFile(), "--send",
                             file.string(), "--listen", "2"},
                            {});
  };
  const auto lanInStore = [&] {
    auto store = Store::open(paths.storeFile());
    auto found = (*store)->fetch<Contact>({Match{"syncID", lan.syncID}});
    return found && found->size() == 1 ? std::optional((*found)[0]) : std::nullopt;
  };
  auto back = comeBack(lan);
  EXPECT_EQ(back.exitCode, 0) << back.err;
  EXPECT_THAT(back.out, HasSubstr("received delta.contact"));
  EXPECT_THAT(readFile(DeltaJournal::fileIn(paths.applicationSupport)).value(),
              Not(HasSubstr("delta.contact")));
  ASSERT_TRUE(eventually([&] { return lanInStore().has_value(); }));
  EXPECT_EQ(lanInStore()->lastName, "Nguyễn Thị");
  // The same contact again with a phone number: merged into it, not a second one.
  lan.phone = "+84 24 3825 1234";
  EXPECT_EQ(comeBack(lan).exitCode, 0);
  EXPECT_TRUE(eventually([&] {
    const auto merged = lanInStore();
    return merged && merged->phone == lan.phone;
  }));

  // What waits for a phone that is then forgotten is dropped with it.
  ASSERT_TRUE(eventually([&] { return pairingStatus()["state"] == "reconnecting"; }));
  ASSERT_EQ(cli({"push", contactID}).exitCode, 0);
  ASSERT_EQ(cli({"pairing", "forget"}).exitCode, 0);
  EXPECT_THAT(readFile(DeltaJournal::fileIn(paths.applicationSupport)).value(),
              Not(HasSubstr("delta.contact")));
}

TEST_F(SyncEndToEndTest, AnImportSaysWhichEventsFailedAndALeftImportDoesNotLockTheNext) {
  const auto data = nlohmann::json::parse(*readFile(PHONE_DEMO_DATA))["events"];
  ASSERT_EQ(data.size(), 3u);
  auto id = [&](std::size_t i) { return data[i]["event"]["id"].get<std::string>(); };
  auto name = [&](std::size_t i) { return data[i]["event"]["name"].get<std::string>(); };
  test::Subprocess pair(QUILLMERE_BINARY, {"pair", "--timeout", "30"}, env, outDir.path());
  const auto offer = test::waitForPairingOffer(pair);
  ASSERT_TRUE(offer) << pair.output() << pair.errors();
  test::Subprocess phone(PHONE_BINARY,
                         {"pair", "--port", offer->port, "--qr", offer->qrString, "--bond",
                          bondFile(), "--data", PHONE_DEMO_DATA, "--listen", "30"},
                         {}, outDir.path());
  ASSERT_EQ(pair.wait(10s), 0) << pair.output() << pair.errors() << phone.output();
  ASSERT_TRUE(eventually([&] { return pairingStatus()["state"] == "paired"; }));

  // The store refuses the first event, as a full disk would.
  ASSERT_TRUE(test::refuseWrites(paths.storeFile(), "Event", "database or disk is full", {"INSERT"},
                                 "NEW.name = '" + name(0) + "'"));
  auto imported = cli({"import", id(0), id(1)});
  EXPECT_EQ(imported.exitCode, 1) << imported.out;
  EXPECT_THAT(imported.out, HasSubstr("Imported 1 event: " + name(1)));
  EXPECT_THAT(imported.out, Not(HasSubstr("Import Complete")));
  EXPECT_THAT(imported.err, HasSubstr("Could not import 1 event:\n  " + name(0) + ": "));
  EXPECT_THAT(imported.err, HasSubstr("database or disk is full"));

  // A client asks for an event the phone does not have, then goes away: its
  // import ends with it, and the next one starts at once.
  const int client = startEndlessImport();
  ASSERT_GE(client, 0);
  ASSERT_TRUE(eventually([&] { return isSyncing(); }));
  ::close(client);
  EXPECT_TRUE(eventually([&] { return !isSyncing(); }));
  // The phone's events are named as the local ones are: "tokyo" for "Tokyo
  // Smart Manufacturing Expo"; a name the phone does not know imports nothing.
  auto unknown = cli({"import", "tokyo", "Paris"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_THAT(unknown.err, HasSubstr("No event is called \"Paris\" or has it in its name. The "
                                     "events on the phone:\n  Hannover Industrial Fair 2026"));
  auto next = cli({"import", "tokyo"});
  EXPECT_EQ(next.exitCode, 0) << next.err;
  EXPECT_THAT(next.out, HasSubstr("Import Complete\nImported 1 event: " + name(2)));

  // The import is the last sync, also for a companion started after it.
  EXPECT_THAT(cli({"status"}).out, HasSubstr("  Last sync: "));
  ASSERT_EQ(companion_->stop(SIGTERM, 10s), 0) << companion_->errors();
  companion_ = std::make_unique<test::Subprocess>(QUILLMERE_BINARY, std::vector<std::string>{"run"},
                                                  env, outDir.path());
  ASSERT_TRUE(eventually([&] { return companionIsRunning(paths.controlSocket()); }));
  const std::string status = cli({"status"}).out;
  EXPECT_THAT(status, HasSubstr("  Last sync: "));
  EXPECT_THAT(status, Not(HasSubstr("Never synced")));
}

TEST_F(SyncEndToEndTest, EventsImportedFromThePhonesDataArriveWithTheirCardImages) {
  const std::filesystem::path dataFile = PHONE_DEMO_DATA;
  const auto data = nlohmann::json::parse(*readFile(dataFile))["events"];
  ASSERT_EQ(data.size(), 3u);

  test::Subprocess pair(QUILLMERE_BINARY, {"pair", "--timeout", "30"}, env, outDir.path());
  const auto offer = test::waitForPairingOffer(pair);
  ASSERT_TRUE(offer) << pair.output() << pair.errors();
  // The simulator pairs and stays, answering from its data set.
  test::Subprocess phone(PHONE_BINARY,
                         {"pair", "--port", offer->port, "--qr", offer->qrString, "--bond",
                          bondFile(), "--data", dataFile.string(), "--listen", "30"},
                         {}, outDir.path());
  ASSERT_EQ(pair.wait(10s), 0) << pair.output() << pair.errors() << phone.output();
  ASSERT_TRUE(eventually([&] { return pairingStatus()["state"] == "paired"; }))
      << pairingStatus().dump() << phone.output() << phone.errors();

  auto remote = cli({"events", "--remote"});
  ASSERT_EQ(remote.exitCode, 0) << remote.err;
  for (const auto& snapshot : data) {
    EXPECT_THAT(remote.out, HasSubstr(snapshot["event"]["id"].get<std::string>() + "  " +
                                      snapshot["event"]["name"].get<std::string>()));
    EXPECT_THAT(remote.out, HasSubstr(std::to_string(snapshot["contacts"].size()) + " contacts"));
  }

  // The first two events, with their contacts and card images.
  std::vector<std::string> ids, names, cards;
  std::size_t contactCount = 0;
  for (const auto& snapshot : {data[0], data[1]}) {
    const std::string id = snapshot["event"]["id"];
    ids.push_back(id);
    names.push_back(snapshot["event"]["name"]);
    contactCount += snapshot["contacts"].size();
    for (const auto& contact : snapshot["contacts"])
      for (const std::string name : contact["captureFileNames"]) cards.push_back(name);
  }
  ASSERT_FALSE(cards.empty());
  // Chosen by number from the phone's list.
  auto imported = cli({"import"}, "1 2\n");
  ASSERT_EQ(imported.exitCode, 0) << imported.err << phone.output();
  EXPECT_THAT(imported.out, HasSubstr("3. " + data[2]["event"]["name"].get<std::string>()));
  EXPECT_THAT(imported.out, HasSubstr("[##########] 2/2"));
  EXPECT_THAT(imported.out,
              HasSubstr("Import Complete\nImported 2 events: " + names[0] + ", " + names[1]));

  for (std::size_t i = 0; i < 2; ++i) {
    for (const auto& contact : data[i]["contacts"]) {
      for (const std::string name : contact["captureFileNames"]) {
        const auto arrived = captureImageURL(paths.documents, *Uuid::parse(ids[i]), name);
        ASSERT_TRUE(eventually([&] { return std::filesystem::exists(arrived); }))
            << name << phone.output();
        auto bytes = readFile(arrived);
        ASSERT_TRUE(bytes) << bytes.error().message;
        EXPECT_EQ(*bytes, *readFile(dataFile.parent_path() / name)) << name;
      }
    }
  }
  auto store = Store::open(paths.storeFile());
  ASSERT_TRUE(store) << store.error().message;
  EXPECT_EQ(*(*store)->count<Contact>(), static_cast<std::int64_t>(contactCount));
  std::vector<std::string> recorded;
  std::vector<CaptureMedia> captures;
  ASSERT_TRUE(eventually([&] {
    auto fetched = (*store)->fetch<CaptureMedia>();
    captures = fetched ? *fetched : std::vector<CaptureMedia>{};
    recorded.clear();
    for (const auto& capture : captures) recorded.push_back(capture.imageFileName);
    return recorded.size() == cards.size();
  }));
  EXPECT_THAT(recorded, UnorderedElementsAreArray(cards));
  // What the phone knows of each card comes with it.
  const auto details = nlohmann::json::parse(*readFile(dataFile))["captures"];
  for (const auto& capture : captures) {
    const auto known = std::ranges::find_if(
        details, [&](const auto& d) { return d["fileName"] == capture.imageFileName; });
    ASSERT_NE(known, details.end()) << capture.imageFileName;
    EXPECT_EQ(capture.captureType, CaptureType::businessCard);
    EXPECT_EQ(capture.caption, (*known)["caption"].get<std::string>());
    EXPECT_EQ(capture.ocrExtractedText, (*known)["ocrExtractedText"].get<std::string>());
  }

  // A full sync brings only the event this computer lacks.
  auto snapshotsSent = [&] {
    const std::string out = phone.output(), line = "with event.snapshot\n";
    std::size_t n = 0;
    for (auto at = out.find(line); at != std::string::npos; at = out.find(line, at + 1)) ++n;
    return n;
  };
  ASSERT_EQ(snapshotsSent(), 2u) << phone.output();
  auto sync = cli({"sync"});
  ASSERT_EQ(sync.exitCode, 0) << sync.err;
  EXPECT_TRUE(eventually([&] {
    return snapshotsSent() >= 3 &&
           cli({"events"}).out.find(data[2]["event"]["name"]) != std::string::npos;
  })) << phone.output();
  EXPECT_EQ(snapshotsSent(), 3u) << phone.output();
  EXPECT_THAT(cli({"import"}).out, HasSubstr("All events imported"));
  phone.stop(SIGTERM, 5s);

  // Back with what was recorded on the phone since: a contact met late, a
  // note, an opportunity and a report, each as a delta.
  const auto later = nlohmann::json::parse(*readFile(dataFile))["later"];
  ASSERT_TRUE(eventually([&] {
    return pairingStatus()["state"] == "reconnecting" && pairingStatus().contains("listeningPort");
  })) << pairingStatus().dump();
  auto back = test::runCommand(
      PHONE_BINARY,
      {"connect", "--port", std::to_string(pairingStatus()["listeningPort"].get<int>()), "--bond",
       bondFile(), "--data", dataFile.string(), "--later-changes", "--listen", "2"},
      {});
  ASSERT_EQ(back.exitCode, 0) << back.out << back.err;
  const Uuid firstEvent = *Uuid::parse(ids[0]);
  const auto holdsOne = [&](auto count) {
    return eventually([&] {
      const Result<std::int64_t> n = count();
      return n && *n == 1;
    });
  };
  const auto late = later["contacts"][0]["contact"];
  EXPECT_TRUE(holdsOne([&] {
    return (*store)->count<Contact>(
        {{"eventID", firstEvent}, {"lastName", late["lastName"].get<std::string>()}});
  })) << back.out;
  const auto note = later["notes"][0];
  auto noted = (*store)->fetch<Contact>(
      {{"syncID", *Uuid::parse(note["contactSyncID"].get<std::string>())}});
  ASSERT_TRUE(noted && noted->size() == 1u);
  EXPECT_TRUE(holdsOne([&] {
    return (*store)->count<ContactNote>(
        {{"contactID", noted->front().id},
         {"textContent", note["note"]["textContent"].get<std::string>()}});
  }));
  EXPECT_TRUE(holdsOne([&] {
    return (*store)->count<Opportunity>(
        {{"id", *Uuid::parse(later["opportunities"][0]["opportunity"]["id"].get<std::string>())},
         {"eventID", firstEvent}});
  }));
  const auto report = later["reports"][0];
  EXPECT_TRUE(holdsOne([&] {
    return (*store)->count<SavedReport>(
        {{"id", *Uuid::parse(report["reportID"].get<std::string>())},
         {"reportContent", report["reportContent"].get<std::string>()}});
  }));
}

/// Snapshots large enough that writing them takes the companion a while.
class LargeSnapshotTest : public test::CompanionFixture {
 protected:
  /// A phone bonded to the companion and gone again; the port it comes back to.
  std::string pairAndLeave() {
    test::Subprocess pair(QUILLMERE_BINARY, {"pair", "--timeout", "30"}, env, outDir.path());
    const auto offer = test::waitForPairingOffer(pair);
    if (!offer) return {};
    auto paired = test::runCommand(
        PHONE_BINARY,
        {"pair", "--port", offer->port, "--qr", offer->qrString, "--bond", bondFile()}, {});
    if (paired.exitCode != 0 || pair.wait(10s) != 0) return {};
    if (!eventually([&] {
          return pairingStatus()["state"] == "reconnecting" &&
                 pairingStatus().contains("listeningPort");
        }))
      return {};
    return std::to_string(pairingStatus()["listeningPort"].get<int>());
  }
  bool writingBegan() {
    return eventually([&] {
      return companion_->errors().find("Created new event: Web Summit") != std::string::npos;
    });
  }
};

/// Writes `payload` as an envelope file for the phone simulator to sign and send.
template <class P>
std::string envelopeFile(const std::filesystem::path& file, SyncMessageType type,
                         const P& payload) {
  EXPECT_TRUE(
      writeFileAtomically(file, encodeEnvelope(*SyncEnvelope::make(type, payload)).value()));
  return file.string();
}

/// An event with enough contacts that writing them takes the companion a good
/// part of a second even in an optimised build.
EventSnapshotPayload largeSnapshot() {
  constexpr int kContacts = 3000;
  EventSnapshotPayload snapshot{test::wireEvent("Web Summit"), {}, std::nullopt};
  for (int i = 0; i < kContacts; ++i) {
    ContactSyncModel c = test::wireContact("Ada " + std::to_string(i), "Lovelace", "Engines Ltd");
    c.email = "ada" + std::to_string(i) + "@engines.example";
    c.title = "Chief Analyst";
    c.status = "met";
    snapshot.contacts.push_back(std::move(c));
  }
  return snapshot;
}

std::int64_t storedContacts(const AppPaths& paths) {
  auto store = Store::open(paths.storeFile());
  if (!store) return -1;
  auto n = (*store)->count<Contact>();
  return n ? *n : -1;
}

TEST_F(LargeSnapshotTest, TheCompanionAnswersWhileALargeSnapshotIsWrittenThenTakesWhatFollowed) {
  const std::string port = pairAndLeave();
  ASSERT_FALSE(port.empty()) << companion_->errors();
  const EventSnapshotPayload snapshot = largeSnapshot();
  const ContactSyncModel& first = snapshot.contacts.front();
  const NoteSyncModel note = test::wireNote("Wants the pilot in March");
  test::Subprocess phone(
      PHONE_BINARY,
      {"connect", "--port", port, "--bond", bondFile(), "--send",
       envelopeFile(phoneDir / "snapshot.json", SyncMessageType::eventSnapshot, snapshot), "--send",
       envelopeFile(phoneDir / "note.json", SyncMessageType::deltaNote,
                    DeltaNotePayload{snapshot.event.id, first.syncID, note, "Dana"}),
       "--listen", "30"},
      {}, outDir.path());

  // The companion has begun writing the snapshot...
  ASSERT_TRUE(writingBegan()) << companion_->errors() << phone.errors();
  // ...and answers meanwhile, from the store as it was before.
  const auto asked = std::chrono::steady_clock::now();
  auto status = sendControlRequest(paths.controlSocket(), {{"command", "status"}});
  const auto waited = std::chrono::steady_clock::now() - asked;
  ASSERT_TRUE(status.ok()) << status.error().message;
  EXPECT_EQ((*status)["contacts"], 0) << "status waited for the whole snapshot";
  EXPECT_LT(waited, 500ms);

  // Then the snapshot is there whole, and the note sent after it found its contact.
  ASSERT_TRUE(eventually(
      [&] { return storedContacts(paths) == static_cast<std::int64_t>(snapshot.contacts.size()); },
      30s))
      << companion_->errors();
  auto store = Store::open(paths.storeFile());
  ASSERT_TRUE(store) << store.error().message;
  auto contact = (*store)->fetch<Contact>({Match{"syncID", first.syncID}});
  ASSERT_TRUE(contact && contact->size() == 1u);
  // Each look through a connection of its own, as another program would look.
  const auto notesOfFirst = [&] {
    auto reader = Store::open(paths.storeFile());
    if (!reader) return std::vector<ContactNote>{};
    auto notes = (*reader)->fetch<ContactNote>({Match{"contactID", contact->front().id}});
    return notes ? *notes : std::vector<ContactNote>{};
  };
  EXPECT_TRUE(eventually([&] {
    const auto notes = notesOfFirst();
    return notes.size() == 1 && notes[0].textContent == note.textContent;
  })) << "notes of the first contact: "
      << notesOfFirst().size() << "\n"
      << companion_->errors();
  EXPECT_THAT(companion_->errors(), HasSubstr("Delta note merged: true"));
  phone.stop(SIGTERM, 5s);
}

TEST_F(LargeSnapshotTest, StoppingWhileASnapshotIsWrittenLeavesTheStoreAsItWas) {
  const std::string port = pairAndLeave();
  ASSERT_FALSE(port.empty()) << companion_->errors();
  test::Subprocess phone(
      PHONE_BINARY,
      {"connect", "--port", port, "--bond", bondFile(), "--send",
       envelopeFile(phoneDir / "snapshot.json", SyncMessageType::eventSnapshot, largeSnapshot()),
       "--listen", "30"},
      {}, outDir.path());
  ASSERT_TRUE(writingBegan()) << companion_->errors() << phone.errors();

  const auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(std::exchange(companion_, {})->stop(SIGTERM, 10s), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 2s);
  // Nothing of the snapshot half-written; the phone sends it again next time.
  EXPECT_EQ(storedContacts(paths), 0);
  phone.stop(SIGTERM, 5s);
}

}  // namespace
}  // namespace qm
