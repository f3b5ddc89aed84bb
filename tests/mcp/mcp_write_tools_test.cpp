// The four write tools, over a real store, settings and device identity.
#include <functional>
#include <string>
#include <tuple>

#include "mcp_fixture.h"
#include "support/refused_writes.h"

namespace qm::mcp {
namespace {

using Json = JSONValue;

const Date kEarlier = day(-3);

class WriteToolsTest : public ToolTest {
 protected:
  Contact addContact(const std::function<void(Contact&)>& edit = {}) {
    auto c = Contact::create("Ann", "Lee", "Acme", event_.id);
    if (edit) edit(c);
    return add(c);
  }
  /// A successful write's answer.
  Json wrote(std::string_view name, const Json& args) {
    EXPECT_EQ(call(name, args).resultCount, 1);
    return ok(name, args);
  }
  template <Record R>
  R created(const Json& answer, const char* key) {
    return stored<R>(Uuid::parse(answer.at(key).get<std::string>()).value_or(Uuid{}));
  }

  /// Makes every insert and update of `table` fail with `message`.
  void refuseWrites(const std::string& table, const std::string& message) {
    ASSERT_TRUE(test::refuseWrites(storeFile(), table, message, {"INSERT", "UPDATE"}));
  }

  Event event_ = add(Event::create("Expo"));
  Contact contact_ = addContact();
};

TEST_F(WriteToolsTest, CreateNoteStoresADesktopNoteOfTheChosenType) {
  ASSERT_TRUE(services.settings.setDisplayName("Bea").ok());
  const auto answer = ok("create_note", {{"contact_id", contact_.id.str()}, {"text", "Booth 4"}});
  const auto note = created<ContactNote>(answer, "noteId");
  EXPECT_EQ(answer.dump(), R"({"noteId":")" + note.id.str() + R"(","success":true})");
  EXPECT_EQ(std::tie(note.contactID, note.noteType, note.textContent, note.createdAt,
                     note.updatedAt, note.createdByName, note.createdByDeviceID),
            std::tuple(contact_.id, NoteType::text, "Booth 4", day(0), day(0), "Bea",
                       services.identity.current()));

  const std::pair<Json, NoteType> cases[] = {
      {"voice", NoteType::voice}, {"handwriting", NoteType::handwriting}, {"text", NoteType::text}};
  for (const auto& [type, expected] : cases) {
    const auto n = created<ContactNote>(
        wrote("create_note", {{"contact_id", contact_.id.str()}, {"text", "Hi"}, {"type", type}}),
        "noteId");
    EXPECT_EQ(n.noteType, expected) << type;
    EXPECT_EQ(n.textContent, "Hi");
    EXPECT_FALSE(n.audioFileName || n.transcriptionRaw || n.rawOCRText);
  }
}

TEST_F(WriteToolsTest, MeetingStampsMetAtOnlyWhenItIsMissing) {
  const Json args{{"contact_id", contact_.id.str()}, {"status", "met"}};
  EXPECT_EQ(call("update_contact_status", args).text, R"({"status":"met","success":true})");
  EXPECT_EQ(stored<Contact>(contact_.id).metAt, day(0));

  auto earlier = addContact([](Contact& c) { c.metAt = kEarlier; });
  wrote("update_contact_status", {{"contact_id", earlier.id.str()}, {"status", "met"}});
  EXPECT_EQ(stored<Contact>(earlier.id).metAt, kEarlier);

  auto declined = addContact();
  wrote("update_contact_status", {{"contact_id", declined.id.str()}, {"status", "declined"}});
  EXPECT_EQ(stored<Contact>(declined.id).status, MeetingStatus::declined);
  EXPECT_FALSE(stored<Contact>(declined.id).metAt);
}

TEST_F(WriteToolsTest, RejectedRatingLeavesTheContactAsItWasNowAndLater) {
  auto rated = addContact([](Contact& c) { c.interactionRating = 2; });
  for (int bad : {0, 6, -1}) {
    expectError("update_contact_status",
                {{"contact_id", rated.id.str()}, {"status", "met"}, {"rating", bad}},
                "rating must be between 1 and 5");
    EXPECT_EQ(stored<Contact>(rated.id), rated);
  }
  // Later successful writes, of another contact and of this one, carry nothing
  // of the refused call (which would have stamped metAt).
  wrote("update_contact_status", {{"contact_id", contact_.id.str()}, {"status", "noShow"}});
  wrote("create_note", {{"contact_id", rated.id.str()}, {"text", "later"}});
  EXPECT_EQ(stored<Contact>(rated.id), rated);
  const auto answer =
      wrote("update_contact_status",
            {{"contact_id", rated.id.str()}, {"status", "declined"}, {"rating", 3}});
  EXPECT_EQ(answer.dump(), R"({"rating":3,"status":"declined","success":true})");
  const auto now = stored<Contact>(rated.id);
  EXPECT_EQ(std::tie(now.status, now.metAt, now.interactionRating),
            std::tuple(MeetingStatus::declined, std::nullopt, 3));

  // A rating of the wrong type is refused whole, like one out of range.
  for (const Json& wrong : {Json("5"), Json(4.0)}) {
    expectError("update_contact_status",
                {{"contact_id", rated.id.str()}, {"status", "met"}, {"rating", wrong}},
                "rating must be an integer");
    EXPECT_EQ(stored<Contact>(rated.id), now);
  }
}

TEST_F(WriteToolsTest, OpportunitiesKeepGivenValuesAndUpdatesChangeOnlyWhatIsGiven) {
  const auto opp = created<Opportunity>(wrote("create_opportunity", {{"event_id", event_.id.str()},
                                                                     {"title", "Pilot"},
                                                                     {"company_name", "Acme"},
                                                                     {"value", 12.5},
                                                                     {"currency", "USD"},
                                                                     {"stage", "Not a stage"},
                                                                     {"notes", "Call back"}}),
                                        "opportunityId");
  auto expected = Opportunity::create("Pilot", "Acme", event_.id);
  expected.id = opp.id;
  expected.createdAt = expected.updatedAt = day(0);
  expected.value = 12.5;
  expected.currency = "USD";
  expected.stage = "Not a stage";
  expected.notes = "Call back";
  EXPECT_EQ(opp, expected);

  auto old = Opportunity::create("Old", "Acme", event_.id);
  old.updatedAt = kEarlier;
  old.notes = "keep";
  add(old);
  EXPECT_EQ(call("update_opportunity", {{"opportunity_id", old.id.str()}}).text,
            R"({"success":true})");
  expected = old;
  expected.updatedAt = day(0);
  EXPECT_EQ(stored<Opportunity>(old.id), expected);

  wrote("update_opportunity", {{"opportunity_id", old.id.str()},
                               {"title", "Rollout"},
                               {"value", 7},
                               {"stage", "Proposal"},
                               {"notes", nullptr},
                               {"next_step", "Send quote"}});
  expected.title = "Rollout";
  expected.value = 7.0;
  expected.stage = "Proposal";
  expected.nextStep = "Send quote";  // null notes leave them as they are
  EXPECT_EQ(stored<Opportunity>(old.id), expected);

  for (const auto& [args, message] :
       {std::pair<Json, const char*>{{{"value", -5}}, "An opportunity's value must be 0 or more"},
        {{{"title", " "}}, "An opportunity needs a title"},
        {{{"stage", ""}}, "An opportunity needs a stage"}}) {
    Json call = args;
    call["opportunity_id"] = old.id.str();
    expectError("update_opportunity", call, message);
    EXPECT_EQ(stored<Opportunity>(old.id), expected);
  }
  // What the phone stored is not judged again: only what a call changes.
  auto fromPhone = Opportunity::create("Deal", "Acme", event_.id);
  fromPhone.timeline = "Someday";
  add(fromPhone);
  wrote("update_opportunity", {{"opportunity_id", fromPhone.id.str()}, {"title", "Big deal"}});
}

TEST_F(WriteToolsTest, ArgumentsAreCheckedInOrderAndNothingIsWritten) {
  const auto contact = contact_.id.str();
  const auto event = event_.id.str();
  const auto nobody = Uuid::random().str();
  const std::tuple<const char*, Json, const char*> cases[] = {
      {"create_note", {{"contact_id", "bad"}, {"text", ""}}, "contact_id is required"},
      {"create_note", {{"contact_id", contact}, {"text", ""}}, "text is required"},
      {"create_note", {{"contact_id", contact}, {"text", 1}}, "text must be a string"},
      {"create_note",
       {{"contact_id", contact}, {"text", "x"}, {"type", 12}},
       "type must be a string"},
      // The rules of notes and opportunities written at the desk hold here too.
      {"create_note", {{"contact_id", contact}, {"text", " \n "}}, "A note needs some text"},
      {"create_note",
       {{"contact_id", contact}, {"text", "x"}, {"type", "Voice"}},
       "A note's type must be text, voice or handwriting"},
      {"create_note", {{"contact_id", nobody}, {"text", "x"}}, "Contact not found"},
      {"update_contact_status",
       {{"contact_id", 1}, {"status", "x"}},
       "contact_id must be a string"},
      {"update_contact_status", {{"contact_id", contact}}, "status is required"},
      {"update_contact_status",
       {{"contact_id", contact}, {"status", true}},
       "status must be a string"},
      {"update_contact_status",
       {{"contact_id", contact}, {"status", "Met"}},
       "Invalid status. Use: met, notMet, declined, noShow"},
      {"update_contact_status",
       {{"contact_id", nobody}, {"status", "met"}, {"rating", 9}},
       "Contact not found"},
      {"create_opportunity", {{"event_id", "x"}}, "event_id is required"},
      {"create_opportunity", {{"event_id", event}, {"title", ""}}, "title is required"},
      {"create_opportunity", {{"event_id", event}, {"title", "T"}}, "company_name is required"},
      {"create_opportunity",
       {{"event_id", nobody}, {"title", "T"}, {"company_name", "C"}},
       "Event not found"},
      {"create_opportunity",
       {{"event_id", event}, {"title", "T"}, {"company_name", "C"}, {"value", "abc"}},
       "value must be a number"},
      {"create_opportunity",
       {{"event_id", event}, {"title", "T"}, {"company_name", "C"}, {"stage", 5}},
       "stage must be a string"},
      {"create_opportunity",
       {{"event_id", event}, {"title", "T"}, {"company_name", "C"}, {"value", -5}},
       "An opportunity's value must be 0 or more"},
      {"create_opportunity",
       {{"event_id", event}, {"title", "T"}, {"company_name", "C"}, {"currency", ""}},
       "An opportunity needs a currency"},
      {"create_opportunity",
       {{"event_id", event}, {"title", "T"}, {"company_name", "C"}, {"currency", 7}},
       "currency must be a string"},
      {"update_opportunity", {{"title", "x"}}, "opportunity_id is required"},
      {"update_opportunity", {{"opportunity_id", nobody}}, "Opportunity not found"},
  };
  for (const auto& [tool, args, message] : cases) {
    SCOPED_TRACE(args.dump());
    expectError(tool, args, message);
  }
  EXPECT_EQ(*store->count<ContactNote>(), 0);
  EXPECT_EQ(*store->count<Opportunity>(), 0);
  EXPECT_EQ(stored<Contact>(contact_.id), contact_);
}

TEST_F(WriteToolsTest, SaveFailuresQuoteTheStoreMessageInValidJson) {
  const std::string reason = R"(disk "full" \ try later)";
  auto opp = add(Opportunity::create("Pilot", "Acme", event_.id));
  for (const char* table : {"ContactNote", "Contact", "Opportunity"}) refuseWrites(table, reason);

  const std::tuple<const char*, Json, const char*> cases[] = {
      {"create_note", {{"contact_id", contact_.id.str()}, {"text", "x"}}, "Failed to save note: "},
      {"update_contact_status",
       {{"contact_id", contact_.id.str()}, {"status", "met"}},
       "Failed to save contact: "},
      {"create_opportunity",
       {{"event_id", event_.id.str()}, {"title", "T"}, {"company_name", "C"}},
       "Failed to save opportunity: "},
      {"update_opportunity", {{"opportunity_id", opp.id.str()}}, "Failed to save opportunity: "},
  };
  for (const auto& [tool, args, prefix] : cases) {
    SCOPED_TRACE(tool);
    const auto out = call(tool, args);
    EXPECT_TRUE(out.isError);
    EXPECT_EQ(out.resultCount, 0);
    const auto doc = Json::parse(out.text);  // throws if the message broke the document
    ASSERT_EQ(doc.size(), 1u);
    const auto message = doc.at("error").get<std::string>();
    EXPECT_TRUE(message.starts_with(prefix) && message.ends_with(reason)) << message;
  }
  EXPECT_EQ(stored<Contact>(contact_.id), contact_);
}

}  // namespace
}  // namespace qm::mcp
