// Edits made at the desk through the running companion: contacts (with undo by
// sending back what the answer calls previous), desktop notes, opportunities
// and the pipeline stages.

#include <gmock/gmock.h>

#include "app/companion_fixture.h"
#include "common/atomic_file.h"
#include "settings/pipeline_manager.h"
#include "settings/user_defaults.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/opportunity.h"
#include "store/relationships.h"
#include "store/store.h"
#include "support/status_matchers.h"

namespace qm::test {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;

class RecordEditTest : public CompanionFixture {
 protected:
  void SetUp() override {
    CompanionFixture::SetUp();
    if (HasFatalFailure()) return;
    auto made = cli({"demo-data", "--json", "-n", "3", "--event", "Edit Expo"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    contactID = json::parse(made.out)["contactIDs"][0];
    auto opened = Store::open(paths.storeFile());
    ASSERT_OK(opened);
    store = std::move(*opened);
  }

  Result<json> ask(json request) {
    return sendControlRequest(paths.controlSocket(), std::move(request));
  }
  Contact contact() { return **store->find<Contact>(*Uuid::parse(contactID)); }

  std::string contactID;
  std::unique_ptr<Store> store;
};

TEST_F(RecordEditTest, ContactEditsAreSavedPushedAndUndoneWithWhatTheyReplaced) {
  ASSERT_OK(ask({{"command", "contact.update"},
                 {"id", contactID},
                 {"fields", {{"status", "notMet"}, {"metAt", nullptr}}}}));
  const Contact before = contact();
  auto edited = ask({{"command", "contact.update"},
                     {"id", contactID},
                     {"fields",
                      {{"title", "  Head of Buying "},
                       {"status", "met"},
                       {"interactionRating", 4},
                       {"isFavorite", !before.isFavorite},
                       {"company", before.company}}}});
  ASSERT_OK(edited);
  // No phone was ever paired: the edit is saved, the push says why it went nowhere.
  EXPECT_EQ((*edited)["push"], "failed");
  EXPECT_EQ((*edited)["pushMessage"], "Not connected to iPhone");
  Contact after = contact();
  EXPECT_EQ(after.title, "Head of Buying");
  EXPECT_EQ(after.status, MeetingStatus::met);
  ASSERT_TRUE(after.metAt);
  EXPECT_EQ(after.interactionRating, 4);
  // Only what changed is remembered, with the met time the edit stamped.
  const json previous = (*edited)["previous"];
  EXPECT_FALSE(previous.contains("company"));
  EXPECT_TRUE(previous.contains("metAt"));

  ASSERT_OK(ask({{"command", "contact.update"}, {"id", contactID}, {"fields", previous}}));
  EXPECT_EQ(contact(), before);
}

TEST_F(RecordEditTest, ADataFolderDeletedWhileRunningRefusesEditsAndSaysSo) {
  store.reset();
  std::filesystem::remove_all(paths.applicationSupport);
  auto refused = ask(
      {{"command", "contact.update"}, {"id", contactID}, {"fields", {{"title", "Lost for good"}}}});
  ASSERT_FALSE(refused.ok());
  EXPECT_THAT(refused.error().message, HasSubstr("was deleted or replaced while Quillmere was"));

  auto status = cli({"status"});
  EXPECT_THAT(status.out, HasSubstr("Data error: The store " + paths.storeFile().string()));
  EXPECT_THAT(*readFile(paths.logFile()), HasSubstr("changes are no longer saved"));
  // Nothing was made anew in its place, a new device identifier least of all.
  EXPECT_FALSE(std::filesystem::exists(paths.applicationSupport));
}

TEST_F(RecordEditTest, ARefusedContactEditChangesNothing) {
  const Contact before = contact();
  const std::vector<std::pair<json, std::string>> refused{
      {{{"interactionRating", 6}}, "from 1 to 5"},
      {{{"title", "CEO"}, {"syncCount", 9}}, "syncCount cannot be changed"},
      {{{"email", "not-an-address"}}, "Not an e-mail address"},
      {{{"firstName", " "}, {"lastName", ""}}, "first or a last name"},
      {{{"status", "maybe"}}, "status must be"},
      {json::object(), "at least one field"},
  };
  for (const auto& [fields, why] : refused) {
    auto answer = ask({{"command", "contact.update"}, {"id", contactID}, {"fields", fields}});
    ASSERT_FALSE(answer.ok()) << fields.dump();
    EXPECT_THAT(answer.error().message, HasSubstr(why));
  }
  EXPECT_EQ(contact(), before);
}

// Many contacts in one request: all of them or none, and "previous" sent back
// gives each its own value again.
TEST_F(RecordEditTest, ManyContactEditsAreAllOrNothingAndUndoneTogether) {
  const auto all = store->fetch<Contact>();
  ASSERT_OK(all);
  ASSERT_EQ(all->size(), 3u);
  json edits = json::array();
  for (const Contact& c : *all)
    edits.push_back({{"id", c.id.str()}, {"fields", {{"isTarget", !c.isTarget}}}});

  json refused = edits;
  refused[2]["fields"] = {{"interactionRating", 9}};
  EXPECT_FALSE(ask({{"command", "contacts.update"}, {"contacts", refused}}).ok());
  EXPECT_EQ(store->fetch<Contact>().value(), *all) << "one refused edit writes none";

  auto answer = ask({{"command", "contacts.update"}, {"contacts", edits}});
  ASSERT_OK(answer);
  EXPECT_EQ((*answer)["changed"], 3);
  const auto marked = store->fetch<Contact>();
  for (const Contact& c : marked.value()) {
    const auto was = std::find_if(all->begin(), all->end(), [&](auto& a) { return a.id == c.id; });
    EXPECT_NE(c.isTarget, was->isTarget);
  }
  ASSERT_OK(ask({{"command", "contacts.update"}, {"contacts", (*answer)["previous"]}}));
  const auto restored = store->fetch<Contact>();
  for (const Contact& c : restored.value()) {
    const auto was = std::find_if(all->begin(), all->end(), [&](auto& a) { return a.id == c.id; });
    EXPECT_EQ(c.isTarget, was->isTarget) << c.fullName();
  }
}

TEST_F(RecordEditTest, DesktopNotesAreWrittenChangedAndDeletedButThePhonesAreNot) {
  auto created =
      ask({{"command", "note.create"}, {"contactID", contactID}, {"text", "Wants a demo"}});
  ASSERT_OK(created);
  const std::string noteID = (*created)["id"];
  auto notes = notesOf(*store, *Uuid::parse(contactID));
  ASSERT_OK(notes);
  const auto mine = std::find_if(notes->begin(), notes->end(),
                                 [&](const ContactNote& n) { return n.id.str() == noteID; });
  ASSERT_NE(mine, notes->end());
  EXPECT_EQ(mine->textContent, "Wants a demo");

  auto updated = ask({{"command", "note.update"}, {"id", noteID}, {"text", "Wants two demos"}});
  ASSERT_OK(updated);
  EXPECT_EQ((*updated)["previous"], "Wants a demo");
  EXPECT_EQ((**store->find<ContactNote>(*Uuid::parse(noteID))).textContent, "Wants two demos");
  EXPECT_THAT(ask({{"command", "note.update"}, {"id", noteID}, {"text", "  "}}), IsError());

  // A type, when given, is one of the note types (the rule AI clients meet too).
  EXPECT_THAT(ask({{"command", "note.create"},
                   {"contactID", contactID},
                   {"text", "Hummed a tune"},
                   {"type", "nonsense"}}),
              IsError("A note's type must be text, voice or handwriting"));
  auto voice = ask({{"command", "note.create"},
                    {"contactID", contactID},
                    {"text", "Call me"},
                    {"type", "voice"}});
  ASSERT_OK(voice);
  EXPECT_EQ((**store->find<ContactNote>(*Uuid::parse((*voice)["id"].get<std::string>()))).noteType,
            NoteType::voice);

  ContactNote phoneNote = *mine;
  phoneNote.id = Uuid::random();
  phoneNote.createdByDeviceID = "the-phone";
  ASSERT_OK(store->insert(phoneNote));
  auto refused = ask({{"command", "note.delete"}, {"id", phoneNote.id.str()}});
  ASSERT_FALSE(refused.ok());
  EXPECT_THAT(refused.error().message, HasSubstr("Only notes written on this computer"));

  ASSERT_OK(ask({{"command", "note.delete"}, {"id", noteID}}));
  EXPECT_FALSE(*store->find<ContactNote>(*Uuid::parse(noteID)));
  EXPECT_TRUE(*store->find<ContactNote>(phoneNote.id));
}

TEST_F(RecordEditTest, OpportunitiesStartFromAContactAndKeepTheirFieldsChecked) {
  auto created = ask({{"command", "opportunity.create"},
                      {"contactID", contactID},
                      {"title", "Fleet licences"},
                      {"value", 12500},
                      {"timeline", "This quarter"}});
  ASSERT_OK(created);
  const Uuid id = *Uuid::parse((*created)["id"].get<std::string>());
  Opportunity stored = **store->find<Opportunity>(id);
  EXPECT_EQ(stored.stage, "Exploring");
  EXPECT_EQ(stored.companyName, contact().company);
  EXPECT_EQ(stored.eventID, contact().eventID);
  auto links = stakeholdersOfOpportunity(*store, id);
  ASSERT_OK(links);
  ASSERT_EQ(links->size(), 1u);
  EXPECT_EQ(links->front().contactID, contact().id);

  EXPECT_THAT(ask({{"command", "opportunity.update"}, {"id", id.str()}, {"confidence", "Sure"}}),
              IsError());
  EXPECT_THAT(ask({{"command", "opportunity.update"}, {"id", id.str()}, {"title", ""}}), IsError());
  EXPECT_THAT(ask({{"command", "opportunity.update"}, {"id", id.str()}, {"value", -5}}),
              IsError("An opportunity's value must be 0 or more"));
  ASSERT_OK(ask({{"command", "opportunity.update"},
                 {"id", id.str()},
                 {"stage", "Committed"},
                 {"value", nullptr},
                 {"confidence", "High"}}));
  stored = **store->find<Opportunity>(id);
  EXPECT_EQ(stored.stage, "Committed");
  EXPECT_FALSE(stored.value);
  EXPECT_EQ(stored.confidence, "High");
  EXPECT_EQ(stored.title, "Fleet licences");

  ASSERT_OK(ask({{"command", "opportunity.delete"}, {"id", id.str()}}));
  EXPECT_FALSE(*store->find<Opportunity>(id));
  EXPECT_TRUE(stakeholdersOfOpportunity(*store, id)->empty());
}

TEST_F(RecordEditTest, PipelineStagesAreReplacedInTheOrderGivenAndChecked) {
  EXPECT_THAT(
      ask({{"command", "pipeline.set"}, {"stages", {{{"name", "Lead"}}, {{"name", "lead "}}}}}),
      IsError());
  EXPECT_THAT(ask({{"command", "pipeline.set"}, {"stages", json::array()}}), IsError());
  for (const json& color : {json("#12345"), json(123456)}) {
    EXPECT_THAT(
        ask({{"command", "pipeline.set"}, {"stages", {{{"name", "Lead"}, {"colorHex", color}}}}}),
        IsError("The colour of Lead must be six hexadecimal digits"));
  }

  auto set = ask({{"command", "pipeline.set"},
                  {"stages",
                   {{{"name", "Qualified"}, {"colorHex", "112233"}},
                    {{"name", "Lead"}},
                    {{"name", "Won"}, {"colorHex", "AABBCC"}}}}});
  ASSERT_OK(set);
  // What the companion stored is what a new reader of the preferences finds.
  UserDefaults defaults(paths.defaultsFile());
  PipelineManager stored(defaults);
  ASSERT_EQ(stored.stages().size(), 3u);
  EXPECT_EQ(stored.stages()[0].name, "Qualified");
  EXPECT_EQ(stored.stages()[1].name, "Lead");
  EXPECT_EQ(stored.stages()[2].colorHex, "AABBCC");
  EXPECT_EQ((*set)["stages"][1]["sortOrder"], 1);
}

}  // namespace
}  // namespace qm::test
