// The four write tools, over a real store, settings and device identity.
#include <functional>
#include <memory>
#include <string>
#include <tuple>

#include <gtest/gtest.h>
// Only to make the store refuse writes (a trigger added through a second
// connection); the SQLite library comes with the store's.
#include <sqlite3.h>

#include "mcp/mcp_tool_handlers.h"
#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "settings/keychain_store.h"
#include "settings/user_defaults.h"
#include "store/relationships.h"
#include "support/desktop_services.h"
#include "support/temp_dir.h"

namespace qm::mcp {
namespace {

using Json = JSONValue;

const Date kNow = dateFromUnixSeconds(1767225600);  // 2026-01-01T00:00:00Z
const Date kEarlier = dateFromUnixSeconds(1767000000);

class WriteToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto opened = Store::open(storeFile());
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    store_ = std::move(opened).value();
    tools_ = std::make_unique<MCPToolHandlers>(*store_, services_.settings, services_.identity,
                                               [] { return kNow; });
    event_ = Event::create("Expo");
    ASSERT_TRUE(store_->insert(event_).ok());
    contact_ = addContact();
  }

  std::filesystem::path storeFile() const { return dir_ / "QuillmereMac.store"; }

  Contact addContact(const std::function<void(Contact&)>& edit = {}) {
    auto c = Contact::create("Ann", "Lee", "Acme", event_.id);
    if (edit) edit(c);
    EXPECT_TRUE(store_->insert(c).ok());
    return c;
  }
  template <Record R>
  R stored(const Uuid& id) {
    auto found = store_->find<R>(id);
    EXPECT_TRUE(found.ok() && found->has_value());
    return found.ok() && found->has_value() ? **found : R{};
  }

  ToolOutcome call(std::string_view name, const Json& args) { return tools_->callTool(name, args); }
  Json ok(std::string_view name, const Json& args) {
    auto out = call(name, args);
    EXPECT_FALSE(out.isError) << out.text;
    EXPECT_EQ(out.resultCount, 1);
    return Json::parse(out.text);
  }
  void expectError(std::string_view tool, const Json& args, std::string_view message) {
    auto out = call(tool, args);
    EXPECT_TRUE(out.isError);
    EXPECT_EQ(out.text, R"({"error":")" + std::string(message) + R"("})");
    EXPECT_EQ(out.resultCount, 0);
  }

  /// Makes every insert and update of `table` fail with `message`.
  void refuseWrites(const std::string& table, const std::string& message) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(storeFile().c_str(), &db), SQLITE_OK);
    std::string sql;
    for (const char* op : {"INSERT", "UPDATE"})
      sql += std::string("CREATE TRIGGER refuse_") + op + "_" + table + " BEFORE " + op + " ON \"" +
             table + "\" BEGIN SELECT RAISE(ABORT, '" + message + "'); END;";
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string text = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << text;
  }

  test::TempDir dir_;
  test::DesktopServices services_{dir_.path()};
  std::unique_ptr<Store> store_;
  std::unique_ptr<MCPToolHandlers> tools_;
  Event event_;
  Contact contact_;
};

TEST_F(WriteToolsTest, CreateNoteStoresADesktopNoteOfTheChosenType) {
  ASSERT_TRUE(services_.settings.setDisplayName("Bea").ok());
  const auto answer = ok("create_note", {{"contact_id", contact_.id.str()}, {"text", "Booth 4"}});
  const auto id = Uuid::parse(answer.at("noteId").get<std::string>());
  ASSERT_TRUE(id);
  EXPECT_EQ(answer.dump(), R"({"noteId":")" + id->str() + R"(","success":true})");
  const auto note = stored<ContactNote>(*id);
  EXPECT_EQ(note.contactID, contact_.id);
  EXPECT_EQ(note.noteType, NoteType::text);
  EXPECT_EQ(note.textContent, "Booth 4");
  EXPECT_EQ(note.createdAt, kNow);
  EXPECT_EQ(note.updatedAt, kNow);
  EXPECT_EQ(note.createdByName, "Bea");
  EXPECT_EQ(note.createdByDeviceID, services_.identity.current());

  const std::pair<Json, NoteType> cases[] = {{"voice", NoteType::voice},
                                             {"handwriting", NoteType::handwriting},
                                             {"sketch", NoteType::text},
                                             {"Voice", NoteType::text},
                                             {3, NoteType::text}};
  for (const auto& [type, expected] : cases) {
    const auto made =
        ok("create_note", {{"contact_id", contact_.id.str()}, {"text", "Said hi"}, {"type", type}});
    const auto n = stored<ContactNote>(*Uuid::parse(made.at("noteId").get<std::string>()));
    EXPECT_EQ(n.noteType, expected) << type;
    EXPECT_EQ(n.textContent, "Said hi");
    EXPECT_FALSE(n.audioFileName || n.transcriptionRaw || n.rawOCRText);
  }
}

TEST_F(WriteToolsTest, MeetingStampsMetAtOnlyWhenItIsMissing) {
  const Json args{{"contact_id", contact_.id.str()}, {"status", "met"}};
  EXPECT_EQ(call("update_contact_status", args).text, R"({"status":"met","success":true})");
  EXPECT_EQ(stored<Contact>(contact_.id).metAt, kNow);

  auto earlier = addContact([](Contact& c) { c.metAt = kEarlier; });
  ok("update_contact_status", {{"contact_id", earlier.id.str()}, {"status", "met"}});
  EXPECT_EQ(stored<Contact>(earlier.id).metAt, kEarlier);

  auto declined = addContact();
  ok("update_contact_status", {{"contact_id", declined.id.str()}, {"status", "declined"}});
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
  ok("update_contact_status", {{"contact_id", contact_.id.str()}, {"status", "noShow"}});
  ok("create_note", {{"contact_id", rated.id.str()}, {"text", "later"}});
  EXPECT_EQ(stored<Contact>(rated.id), rated);
  const auto answer = ok("update_contact_status",
                         {{"contact_id", rated.id.str()}, {"status", "declined"}, {"rating", 3}});
  EXPECT_EQ(answer.dump(), R"({"rating":3,"status":"declined","success":true})");
  const auto now = stored<Contact>(rated.id);
  EXPECT_EQ(now.status, MeetingStatus::declined);
  EXPECT_FALSE(now.metAt);
  EXPECT_EQ(now.interactionRating, 3);
}

TEST_F(WriteToolsTest, AnswerCarriesTheRatingTheContactHas) {
  auto rated = addContact([](Contact& c) { c.interactionRating = 4; });
  const Json base{{"contact_id", rated.id.str()}, {"status", "met"}};
  EXPECT_EQ(ok("update_contact_status", base).at("rating"), 4);
  auto withText = base;
  withText["rating"] = "5";  // wrong type: ignored
  EXPECT_EQ(ok("update_contact_status", withText).at("rating"), 4);
  EXPECT_FALSE(ok("update_contact_status", {{"contact_id", contact_.id.str()}, {"status", "met"}})
                   .contains("rating"));
}

TEST_F(WriteToolsTest, CreateOpportunityFillsDefaultsAndKeepsGivenValues) {
  const auto answer = ok("create_opportunity", {{"event_id", event_.id.str()},
                                                {"title", "Pilot"},
                                                {"company_name", "Acme"},
                                                {"value", 5000}});
  const auto opp = stored<Opportunity>(*Uuid::parse(answer.at("opportunityId").get<std::string>()));
  EXPECT_EQ(answer.at("success"), true);
  EXPECT_EQ(opp.eventID, event_.id);
  EXPECT_EQ(opp.title, "Pilot");
  EXPECT_EQ(opp.companyName, "Acme");
  EXPECT_EQ(opp.currency, "EUR");
  EXPECT_EQ(opp.stage, "Exploring");
  EXPECT_EQ(opp.value, 5000.0);
  EXPECT_FALSE(opp.notes);
  EXPECT_EQ(opp.createdAt, kNow);
  EXPECT_EQ(opp.updatedAt, kNow);

  const auto given = ok("create_opportunity", {{"event_id", event_.id.str()},
                                               {"title", "Renewal"},
                                               {"company_name", "Globex"},
                                               {"value", 12.5},
                                               {"currency", "USD"},
                                               {"stage", "Not a stage"},
                                               {"notes", "Call back"}});
  const auto opp2 = stored<Opportunity>(*Uuid::parse(given.at("opportunityId").get<std::string>()));
  EXPECT_EQ(opp2.value, 12.5);
  EXPECT_EQ(opp2.currency, "USD");
  EXPECT_EQ(opp2.stage, "Not a stage");
  EXPECT_EQ(opp2.notes, "Call back");
}

TEST_F(WriteToolsTest, UpdateOpportunityChangesOnlyWhatIsGiven) {
  auto opp = Opportunity::create("Pilot", "Acme", event_.id);
  opp.updatedAt = kEarlier;
  opp.notes = "keep";
  opp.value = 10;
  ASSERT_TRUE(store_->insert(opp).ok());

  EXPECT_EQ(call("update_opportunity", {{"opportunity_id", opp.id.str()}}).text,
            R"({"success":true})");
  auto after = stored<Opportunity>(opp.id);
  EXPECT_EQ(after.updatedAt, kNow);
  after.updatedAt = opp.updatedAt;
  EXPECT_EQ(after, opp);

  ok("update_opportunity", {{"opportunity_id", opp.id.str()},
                            {"title", "Rollout"},
                            {"value", 7},
                            {"stage", "Proposal"},
                            {"notes", 5},
                            {"next_step", "Send quote"}});
  after = stored<Opportunity>(opp.id);
  EXPECT_EQ(after.title, "Rollout");
  EXPECT_EQ(after.value, 7.0);
  EXPECT_EQ(after.stage, "Proposal");
  EXPECT_EQ(after.notes, "keep");  // wrong type: unchanged
  EXPECT_EQ(after.nextStep, "Send quote");
}

TEST_F(WriteToolsTest, ArgumentsAreCheckedInOrderAndNothingIsWritten) {
  const auto contact = contact_.id.str();
  const auto event = event_.id.str();
  const auto nobody = Uuid::random().str();
  const std::tuple<const char*, Json, const char*> cases[] = {
      {"create_note", {{"contact_id", "bad"}, {"text", ""}}, "contact_id is required"},
      {"create_note", {{"contact_id", contact}, {"text", ""}}, "text is required"},
      {"create_note", {{"contact_id", contact}, {"text", 1}}, "text is required"},
      {"create_note", {{"contact_id", nobody}, {"text", "x"}}, "Contact not found"},
      {"update_contact_status", {{"contact_id", 1}, {"status", "x"}}, "contact_id is required"},
      {"update_contact_status", {{"contact_id", contact}}, "status is required"},
      {"update_contact_status", {{"contact_id", contact}, {"status", true}}, "status is required"},
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
      {"update_opportunity", {{"title", "x"}}, "opportunity_id is required"},
      {"update_opportunity", {{"opportunity_id", nobody}}, "Opportunity not found"},
  };
  for (const auto& [tool, args, message] : cases) {
    SCOPED_TRACE(args.dump());
    expectError(tool, args, message);
  }
  EXPECT_EQ(*store_->count<ContactNote>(), 0);
  EXPECT_EQ(*store_->count<Opportunity>(), 0);
  EXPECT_EQ(stored<Contact>(contact_.id), contact_);
}

TEST_F(WriteToolsTest, SaveFailuresQuoteTheStoreMessageInValidJson) {
  const std::string reason = R"(disk "full" \ try later)";
  auto opp = Opportunity::create("Pilot", "Acme", event_.id);
  ASSERT_TRUE(store_->insert(opp).ok());
  for (const char* table : {"ContactNote", "Contact", "Opportunity"}) refuseWrites(table, reason);

  const std::pair<std::string, Json> calls[] = {
      {"Failed to save note: ",
       Json{{"tool", "create_note"}, {"args", {{"contact_id", contact_.id.str()}, {"text", "x"}}}}},
      {"Failed to save contact: ",
       Json{{"tool", "update_contact_status"},
            {"args", {{"contact_id", contact_.id.str()}, {"status", "met"}}}}},
      {"Failed to save opportunity: ",
       Json{{"tool", "create_opportunity"},
            {"args", {{"event_id", event_.id.str()}, {"title", "T"}, {"company_name", "C"}}}}},
      {"Failed to save opportunity: ",
       Json{{"tool", "update_opportunity"}, {"args", {{"opportunity_id", opp.id.str()}}}}},
  };
  for (const auto& [prefix, c] : calls) {
    const auto out = call(c.at("tool").get<std::string>(), c.at("args"));
    EXPECT_TRUE(out.isError);
    EXPECT_EQ(out.resultCount, 0);
    const auto doc = Json::parse(out.text);  // throws if the message broke the document
    ASSERT_EQ(doc.size(), 1u);
    const auto message = doc.at("error").get<std::string>();
    EXPECT_EQ(message.rfind(prefix, 0), 0u) << message;
    EXPECT_NE(message.find(reason), std::string::npos) << message;
  }
  EXPECT_EQ(stored<Contact>(contact_.id), contact_);
}

}  // namespace
}  // namespace qm::mcp
