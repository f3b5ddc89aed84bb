// The tool catalogue, dispatch and the twelve read tools, over a real store.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

using ::testing::ElementsAre;
using Json = JSONValue;

Date day(int n) {
  return dateFromUnixSeconds(1767225600 + std::int64_t{86400} * n);  // 2026-01-01 + n days
}

class ReadToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto opened = Store::open(dir_ / "QuillmereMac.store");
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    store_ = std::move(opened).value();
    tools_ = std::make_unique<MCPToolHandlers>(*store_, services_.settings, services_.identity,
                                               [] { return day(0); });
  }

  template <Record R>
  void add(const R& record) {
    auto status = store_->insert(record);
    ASSERT_TRUE(status.ok()) << status.error().message;
  }
  Contact addContact(std::string first, std::string last, std::string company,
                     std::optional<Uuid> event, const std::function<void(Contact&)>& edit = {}) {
    auto c = Contact::create(std::move(first), std::move(last), std::move(company), event);
    if (edit) edit(c);
    add(c);
    return c;
  }
  Event addEvent(std::string name, Date created) {
    auto e = Event::create(std::move(name));
    e.createdAt = created;
    add(e);
    return e;
  }

  ToolOutcome call(std::string_view name, const Json& args = Json::object()) {
    return tools_->callTool(name, args);
  }
  /// A successful call's document.
  Json ok(std::string_view name, const Json& args = Json::object()) {
    auto out = call(name, args);
    EXPECT_FALSE(out.isError) << out.text;
    return Json::parse(out.text);
  }
  std::vector<std::string> names(const Json& list, const char* key = "name") {
    std::vector<std::string> out;
    for (const auto& item : list) out.push_back(item.at(key).get<std::string>());
    return out;
  }
  static std::string error(std::string_view message) {
    return R"({"error":")" + std::string(message) + R"("})";
  }
  void expectError(std::string_view tool, const Json& args, std::string_view message) {
    auto out = call(tool, args);
    EXPECT_TRUE(out.isError) << tool;
    EXPECT_EQ(out.text, error(message)) << tool;
    EXPECT_EQ(out.resultCount, 0) << tool;
  }

  test::TempDir dir_;
  test::DesktopServices services_{dir_.path()};
  std::unique_ptr<Store> store_;
  std::unique_ptr<MCPToolHandlers> tools_;
};

TEST(ToolCatalogue, SixteenToolsInOrderWithWellFormedSchemas) {
  const auto& tools = MCPToolHandlers::tools();
  std::vector<std::string> listed;
  std::set<std::string_view> labels;
  for (const auto& t : tools) {
    listed.push_back(t.name);
    labels.insert(MCPToolHandlers::label(t.name));
    EXPECT_EQ(t.inputSchema.at("type"), "object") << t.name;
    const auto& props = t.inputSchema.at("properties");
    ASSERT_TRUE(props.is_object()) << t.name;
    for (const auto& [key, p] : props.items())
      EXPECT_TRUE(p.at("type").is_string() && p.at("description").is_string()) << key;
    ASSERT_TRUE(t.inputSchema.at("required").is_array()) << t.name;
    for (const auto& r : t.inputSchema.at("required")) EXPECT_TRUE(props.contains(r)) << t.name;
  }
  EXPECT_THAT(
      listed,
      ElementsAre("list_events", "get_event", "get_event_stats", "list_contacts", "search_contacts",
                  "get_contact", "list_notes", "get_voice_transcript", "list_opportunities",
                  "list_drafts", "list_captures", "list_reports", "create_note",
                  "update_contact_status", "create_opportunity", "update_opportunity"));
  EXPECT_EQ(labels.size(), tools.size());  // every tool has a label of its own
  EXPECT_EQ(MCPToolHandlers::label("no_such_tool"), "no_such_tool");
}

TEST_F(ReadToolsTest, UnknownToolAnswersAnEscapedErrorDocument) {
  expectError("drop_tables", Json::object(), "Unknown tool: drop_tables");
  auto out = call(R"(say "hi"\now)");
  EXPECT_TRUE(out.isError);
  EXPECT_EQ(Json::parse(out.text).at("error"), R"(Unknown tool: say "hi"\now)");
}

TEST_F(ReadToolsTest, RequiredIdentifiersMustBeUuidStrings) {
  for (const Json& args :
       {Json(nullptr), Json::array({"x"}), Json{{"event_id", "E-1"}}, Json{{"event_id", 42}}}) {
    expectError("get_event", args, "event_id is required");
    expectError("list_contacts", args, "event_id is required");
  }
  const Json unknown{{"event_id", Uuid::random().str()}};
  expectError("get_event", unknown, "Event not found");
  expectError("get_event_stats", unknown, "Event not found");
  expectError("get_contact", {{"contact_id", "nope"}}, "contact_id is required");
  expectError("list_notes", {{"contact_id", Uuid::random().str()}}, "Contact not found");
  expectError("list_captures", {{"contact_id", Uuid::random().str()}}, "Contact not found");
  expectError("get_voice_transcript", {{"note_id", 7}}, "note_id is required");
  expectError("get_voice_transcript", {{"note_id", Uuid::random().str()}}, "Note not found");
}

TEST_F(ReadToolsTest, EventsNewestFirstWithCountsInSortedKeyText) {
  auto older = addEvent("Expo", day(1));
  older.location = "Hall 4";
  older.startDate = day(10);
  older.eventDescription = "Robotics";
  ASSERT_TRUE(store_->update(older).ok());
  auto newer = addEvent("Later", day(2));
  addContact("Ada", "L", "Acme", older.id, [](Contact& c) { c.status = MeetingStatus::met; });
  addContact("Bo", "K", "Acme", older.id, [](Contact& c) { c.isTarget = true; });
  addContact("Cy", "J", "", older.id);
  add(Opportunity::create("Deal", "Acme", older.id));

  auto out = call("list_events");
  EXPECT_EQ(out.resultCount, 2);
  auto list = Json::parse(out.text);
  EXPECT_EQ(names(list), (std::vector<std::string>{"Later", "Expo"}));
  EXPECT_EQ(list[0].dump(), R"({"contact_count":0,"created_at":"2026-01-03T00:00:00Z","id":")" +
                                newer.id.str() +
                                R"(","met_count":0,"name":"Later","opportunity_count":0,)"
                                R"("target_count":0})");
  EXPECT_EQ(list[1].at("contact_count"), 3);
  EXPECT_EQ(list[1].at("met_count"), 1);
  EXPECT_EQ(list[1].at("target_count"), 1);
  EXPECT_EQ(list[1].at("opportunity_count"), 1);
  EXPECT_EQ(list[1].at("start_date"), "2026-01-11T00:00:00Z");
  EXPECT_FALSE(list[1].contains("event_description"));  // detail only

  auto detail = ok("get_event", {{"event_id", older.id.str()}});
  EXPECT_EQ(detail.at("event_description"), "Robotics");
  EXPECT_EQ(detail.at("location"), "Hall 4");
  EXPECT_FALSE(detail.contains("event_website"));
}

TEST_F(ReadToolsTest, EventStatsRoundTheMeanAndCountUnnamedCompanies) {
  auto e = addEvent("Expo", day(1));
  const Json args{{"event_id", e.id.str()}};
  addContact("A", "A", "", e.id);
  addContact("B", "B", "Acme", e.id);
  auto stats = ok("get_event_stats", args);
  EXPECT_EQ(stats.at("companies_count"), 2);
  EXPECT_FALSE(stats.contains("average_rating"));
  EXPECT_EQ(stats.at("pipeline_total_value").dump(), "0.0");

  for (int rating : {4, 4, 5})
    addContact("R", "R", "Acme", e.id, [&](Contact& c) { c.interactionRating = rating; });
  auto valued = Opportunity::create("One", "Acme", e.id);
  valued.value = 1000.5;
  add(valued);
  add(Opportunity::create("Two", "Acme", e.id));
  stats = ok("get_event_stats", args);
  EXPECT_EQ(stats.at("average_rating").dump(), "4.33");
  EXPECT_EQ(stats.at("total_contacts"), 5);
  EXPECT_EQ(stats.at("companies_count"), 2);
  EXPECT_EQ(stats.at("opportunity_count"), 2);
  EXPECT_EQ(stats.at("pipeline_total_value"), 1000.5);
}

TEST_F(ReadToolsTest, ListContactsFiltersThenOrdersByRankThenName) {
  auto e = addEvent("Expo", day(1));
  auto ranked = [](std::int64_t r) { return [r](Contact& c) { c.rank = r; }; };
  addContact("Zed", "", "Globex", e.id, ranked(1));
  addContact("Bob", "", "Acme", e.id, ranked(2));
  addContact("Amy", "", "Initech", e.id, ranked(2));
  addContact("Cy", "", "Acme", e.id, [](Contact& c) { c.status = MeetingStatus::met; });
  addContact("Éloïse", "", "Hooli", e.id, [](Contact& c) { c.isTarget = true; });
  auto query = [&](Json extra) {
    extra["event_id"] = e.id.str();
    return names(ok("list_contacts", extra));
  };
  EXPECT_THAT(query({}), ElementsAre("Zed", "Amy", "Bob", "Cy", "Éloïse"));
  EXPECT_THAT(query({{"status", "met"}}), ElementsAre("Cy"));
  EXPECT_THAT(query({{"status", "Met"}}), ElementsAre());
  EXPECT_THAT(query({{"is_target", true}}), ElementsAre("Éloïse"));
  EXPECT_EQ(query({{"is_target", "true"}}).size(), 5u);  // wrong type: no filter
  EXPECT_THAT(query({{"query", "ACME"}}), ElementsAre("Bob", "Cy"));
  EXPECT_THAT(query({{"query", "ÉLOÏ"}}), ElementsAre("Éloïse"));
  EXPECT_THAT(query({{"offset", 1}, {"limit", 2}}), ElementsAre("Amy", "Bob"));
  EXPECT_THAT(query({{"offset", -3}, {"limit", 1}}), ElementsAre("Zed"));
  EXPECT_THAT(query({{"limit", -1}}), ElementsAre());

  auto past = call("list_contacts", {{"event_id", e.id.str()}, {"offset", 5}});
  EXPECT_FALSE(past.isError);
  EXPECT_EQ(past.text, "[]");
  EXPECT_EQ(past.resultCount, 0);
}

TEST_F(ReadToolsTest, ListContactsDefaultsTo100AndCapsAt500) {
  auto e = addEvent("Expo", day(1));
  ASSERT_TRUE(store_
                  ->transaction([&]() -> Status {
                    for (int i = 0; i < 501; ++i)
                      QM_TRY(store_->insert(Contact::create("P", std::to_string(i), "Co", e.id)));
                    return {};
                  })
                  .ok());
  EXPECT_EQ(call("list_contacts", {{"event_id", e.id.str()}}).resultCount, 100);
  EXPECT_EQ(call("list_contacts", {{"event_id", e.id.str()}, {"limit", 1000}}).resultCount, 500);
}

/// Gives every field of `c` but its identity and event a value of its own:
/// text names the field, numbers count up from `seed`, flags are set and
/// enumerations take their last choice.
void fillEveryField(Contact& c, std::int64_t seed) {
  for (const auto& f : RecordInfo<Contact>::fields()) {
    if (f.isRelationship() || f.name == "id" || f.name == "syncID") continue;
    FieldValue value;
    switch (f.type) {
      case FieldType::text:
        value = std::string(f.name) + " " + std::to_string(seed);
        break;
      case FieldType::enumText:
        value = std::string(f.choices.back());
        break;
      case FieldType::boolean:
        value = true;
        break;
      case FieldType::integer:
        value = seed++;
        break;
      case FieldType::decimal:
      case FieldType::float32:
        value = static_cast<double>(seed++) + 0.5;
        break;
      case FieldType::date:
        value = day(static_cast<int>(seed++));
        break;
      case FieldType::textList:
        value = std::vector<std::string>{std::string(f.name)};
        break;
      case FieldType::uuid:
        value = Uuid::random();
        break;
      case FieldType::bytes:
        continue;
    }
    ASSERT_TRUE(f.set(c, std::move(value))) << f.name;
  }
}

/// A stored value as the tools write it.
Json asJSON(const FieldValue& value) {
  return std::visit(
      [](const auto& v) -> Json {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>)
          return nullptr;
        else if constexpr (std::is_same_v<T, Uuid>)
          return v.str();
        else if constexpr (std::is_same_v<T, Date>)
          return formatISO8601(v);
        else if constexpr (std::is_same_v<T, Bytes>)
          return "(bytes)";
        else
          return v;
      },
      value);
}

TEST_F(ReadToolsTest, ListContactsItemsCarryEveryListedFieldWithItsStoredValue) {
  // Every key of a list item and the contact field it shows ("name" aside).
  const std::pair<const char*, const char*> kItemFields[] = {
      {"id", "id"},
      {"company", "company"},
      {"status", "status"},
      {"is_target", "isTarget"},
      {"is_favorite", "isFavorite"},
      {"title", "title"},
      {"email", "email"},
      {"interaction_rating", "interactionRating"},
      {"company_industry", "companyIndustry"},
      {"company_size", "companySize"},
      {"company_hq", "companyHQ"},
      {"crm_pushed_to", "crmPushedTo"},
  };
  auto e = addEvent("Expo", day(1));
  std::map<std::string, Contact> stored;
  for (std::int64_t seed : {10, 20}) {
    auto c = addContact("Ann", std::to_string(seed), "Acme", e.id,
                        [seed](Contact& x) { fillEveryField(x, seed); });
    stored.emplace(c.id.str(), c);
  }

  const auto list = ok("list_contacts", {{"event_id", e.id.str()}});
  ASSERT_EQ(list.size(), stored.size());
  for (const auto& item : list) {
    const Contact& c = stored.at(item.at("id").get<std::string>());
    EXPECT_EQ(item.at("name"), c.firstName + " " + c.lastName);
    for (const auto& [key, fieldName] : kItemFields) {
      const auto* field = findField<Contact>(fieldName);
      ASSERT_NE(field, nullptr) << fieldName;
      ASSERT_TRUE(item.contains(key)) << key << " missing from " << item.dump();
      EXPECT_EQ(item.at(key), asJSON(field->get(c))) << key;
    }
    EXPECT_EQ(item.size(), std::size(kItemFields) + 1) << "keys beyond the list: " << item.dump();
  }
}

TEST_F(ReadToolsTest, SearchMatchesAnyCaseAndFollowsNaturalLastNameOrder) {
  auto e = addEvent("Expo", day(1));
  addContact("A", "item10", "Acme", e.id);
  addContact("B", "Item2", "Acme", e.id);
  addContact("C", "bates", "Acme", std::nullopt);
  addContact("D", "Adams", "Other", e.id, [](Contact& c) { c.email = "d@ACME.example"; });
  addContact("E", "Nobody", "Else", e.id);

  auto list = ok("search_contacts", {{"query", "aCmE"}});
  EXPECT_THAT(names(list), ElementsAre("D Adams", "C bates", "B Item2", "A item10"));
  EXPECT_EQ(list[0].at("event_name"), "Expo");
  EXPECT_EQ(list[0].at("event_id"), e.id.str());
  EXPECT_FALSE(list[1].contains("event_id"));
  EXPECT_THAT(names(ok("search_contacts", {{"query", "acme"}, {"limit", 2}})),
              ElementsAre("D Adams", "C bates"));

  expectError("search_contacts", {{"query", ""}}, "query is required");
  expectError("search_contacts", {{"query", 5}}, "query is required");
}

TEST_F(ReadToolsTest, SearchCapsItsLimit) {
  ASSERT_TRUE(store_
                  ->transaction([&]() -> Status {
                    for (int i = 0; i < 120; ++i)
                      QM_TRY(store_->insert(Contact::create("P", std::to_string(i), "Co")));
                    return {};
                  })
                  .ok());
  EXPECT_EQ(call("search_contacts", {{"query", "co"}}).resultCount, 25);
  EXPECT_EQ(call("search_contacts", {{"query", "co"}, {"limit", 1000}}).resultCount, 100);
  EXPECT_EQ(call("search_contacts", {{"query", "co"}, {"limit", -4}}).text, "[]");
}

TEST_F(ReadToolsTest, ListsFollowChangesMadeByThisAndOtherProcesses) {
  auto event = addEvent("Expo", day(1));
  addContact("Ada", "Lovelace", "Acme", event.id);
  const Json args{{"event_id", event.id.str()}};
  EXPECT_THAT(names(ok("list_contacts", args)), ElementsAre("Ada Lovelace"));

  // A change through this store handle.
  auto renamed = contactsOf(*store_, event.id).value().front();
  renamed.firstName = "Augusta";
  ASSERT_TRUE(store_->update(renamed).ok());
  EXPECT_THAT(names(ok("list_contacts", args)), ElementsAre("Augusta Lovelace"));

  // A change by another process writing the same file (the demo-data command, a sync).
  auto other = Store::open(dir_ / "QuillmereMac.store");
  ASSERT_TRUE(other.ok());
  ASSERT_TRUE((*other)->insert(Contact::create("Grace", "Hopper", "Navy", event.id)).ok());
  EXPECT_THAT(names(ok("list_contacts", args)), ElementsAre("Augusta Lovelace", "Grace Hopper"));
  EXPECT_THAT(names(ok("search_contacts", Json{{"query", "navy"}})), ElementsAre("Grace Hopper"));
}

TEST_F(ReadToolsTest, ContactDetailCarriesOnlyPresentFields) {
  auto e = addEvent("Expo", day(1));
  auto c = addContact("Ann", "Lee", "Acme", e.id, [](Contact& x) {
    x.source = ContactSource::scanned;
    x.metAt = day(3);
    x.alsoMetBy = {"Bea", "Cal"};
    x.companyHQ = "Lyon";
    x.aiFollowUpPriority = "high";
  });
  auto d = ok("get_contact", {{"contact_id", c.id.str()}});
  EXPECT_EQ(d.at("source"), "scanned");
  EXPECT_EQ(d.at("met_at"), "2026-01-04T00:00:00Z");
  EXPECT_EQ(d.at("also_met_by"), Json::array({"Bea", "Cal"}));
  EXPECT_EQ(d.at("company_hq"), "Lyon");
  EXPECT_EQ(d.at("ai_follow_up_priority"), "high");
  EXPECT_EQ(d.at("event_name"), "Expo");
  EXPECT_FALSE(d.contains("email") || d.contains("interaction_rating"));

  auto bare = addContact("Bo", "", "\xff\xfe", std::nullopt);
  auto out = call("get_contact", {{"contact_id", bare.id.str()}});
  EXPECT_FALSE(out.isError);
  EXPECT_EQ(out.text, "null");  // not UTF-8
}

TEST_F(ReadToolsTest, NotesShowTheTextOfTheirKindNewestFirst) {
  auto c = addContact("Ann", "Lee", "Acme", std::nullopt);
  auto note = [&](NoteType type, int at, const std::function<void(ContactNote&)>& edit) {
    ContactNote n;
    n.id = n.syncID = Uuid::random();
    n.contactID = c.id;
    n.createdAt = n.updatedAt = day(at);
    n.noteType = type;
    edit(n);
    add(n);
    return n;
  };
  note(NoteType::text, 1, [](ContactNote& n) { n.textContent = "typed"; });
  note(NoteType::handwriting, 2, [](ContactNote& n) { n.rawOCRText = "ocr"; });
  note(NoteType::handwriting, 3, [](ContactNote& n) {
    n.rawOCRText = "ocr";
    n.cleanedText = "clean";
  });
  auto voice = note(NoteType::voice, 4, [](ContactNote& n) {
    n.transcriptionRaw = "um hello";
    n.transcriptionLanguage = "en";
    n.cleanedText = "Hello.";
    n.createdByName = "Bea";
  });
  auto empty = note(NoteType::text, 5, [](ContactNote& n) { n.textContent = ""; });

  auto list = ok("list_notes", {{"contact_id", c.id.str()}});
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[0].at("id"), empty.id.str());
  EXPECT_FALSE(list[0].contains("content"));
  EXPECT_EQ(list[1].at("transcript"), "um hello");
  EXPECT_EQ(list[1].at("created_by"), "Bea");
  EXPECT_EQ(list[2].at("content"), "clean");
  EXPECT_EQ(list[3].at("content"), "ocr");
  EXPECT_EQ(list[4].at("content"), "typed");

  const Json args{{"note_id", voice.id.str()}};
  auto t = ok("get_voice_transcript", args);
  EXPECT_EQ(t.at("contact_name"), "Ann Lee");
  EXPECT_EQ(t.at("language"), "en");
  EXPECT_FALSE(t.contains("transcription_cleaned"));  // not marked as AI-cleaned
  EXPECT_FALSE(t.contains("transcription_processed"));
  voice.isAICleaned = true;
  voice.transcriptionProcessed = "Um, hello.";
  ASSERT_TRUE(store_->update(voice).ok());
  t = ok("get_voice_transcript", args);
  EXPECT_EQ(t.at("transcription_cleaned"), "Hello.");
  EXPECT_EQ(t.at("transcription_processed"), "Um, hello.");
  expectError("get_voice_transcript", {{"note_id", empty.id.str()}}, "Note is not a voice note");
}

TEST_F(ReadToolsTest, OpportunitiesFilterByEventAndCompany) {
  auto e1 = addEvent("Expo", day(1));
  auto e2 = addEvent("Fair", day(2));
  auto ann = addContact("Ann", "Lee", "Acme", e1.id);
  auto big = Opportunity::create("Big", "ACME Corp", e1.id);
  big.createdAt = day(1);
  big.value = 5000;
  add(big);
  add(OpportunityStakeholder::create(ann.id, big.id, "Buyer"));
  auto small = Opportunity::create("Small", "Globex", e2.id);
  small.createdAt = day(2);
  add(small);

  EXPECT_THAT(names(ok("list_opportunities"), "title"), ElementsAre("Small", "Big"));
  EXPECT_THAT(names(ok("list_opportunities", {{"event_id", "bad"}}), "title"),
              ElementsAre("Small", "Big"));
  auto list = ok("list_opportunities", {{"event_id", e1.id.str()}, {"company", "acme"}});
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].at("value").dump(), "5000.0");
  EXPECT_EQ(list[0].at("event_name"), "Expo");
  EXPECT_EQ(
      list[0].at("stakeholders").dump(),
      R"([{"contact_id":")" + ann.id.str() + R"(","contact_name":"Ann Lee","role":"Buyer"}])");
  EXPECT_THAT(names(ok("list_opportunities", {{"company", "globex"}}), "title"),
              ElementsAre("Small"));
}

TEST_F(ReadToolsTest, DraftsCapturesAndReportsNewestFirstWithFilters) {
  auto e = addEvent("Expo", day(1));
  auto ann = addContact("Ann", "Lee", "Acme", e.id);
  for (int i = 0; i < 3; ++i) {
    auto d = FollowUpDraft::create("S" + std::to_string(i), "Body",
                                   i < 2 ? std::optional(ann.id) : std::nullopt);
    d.generatedAt = day(i);
    d.status = i == 0 ? "sent" : "draft";
    add(d);
  }
  EXPECT_THAT(names(ok("list_drafts", {{"contact_id", "not-a-uuid"}}), "subject"),
              ElementsAre("S2", "S1", "S0"));
  auto mine = ok("list_drafts", {{"contact_id", ann.id.str()}, {"status", "draft"}});
  EXPECT_THAT(names(mine, "subject"), ElementsAre("S1"));
  EXPECT_EQ(mine[0].at("contact_name"), "Ann Lee");
  EXPECT_THAT(names(ok("list_drafts", {{"status", "Draft"}}), "subject"), ElementsAre());

  for (int i = 0; i < 2; ++i) {
    CaptureMedia m;
    m.id = Uuid::random();
    m.contactID = ann.id;
    m.capturedAt = day(i);
    m.captureType = CaptureType::businessCard;
    m.imageFileName = "card" + std::to_string(i) + ".jpg";
    add(m);
  }
  auto captures = ok("list_captures", {{"contact_id", ann.id.str()}});
  EXPECT_THAT(names(captures, "image_file_name"), ElementsAre("card1.jpg", "card0.jpg"));
  EXPECT_EQ(captures[0].at("capture_type"), "businessCard");
  EXPECT_FALSE(captures[0].contains("caption"));

  add(SavedReport::create("event", "Report", e.id));
  add(SavedReport::create("other", "Loose"));
  EXPECT_EQ(call("list_reports").resultCount, 2);
  auto reports = ok("list_reports", {{"event_id", e.id.str()}});
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].at("event_name"), "Expo");
  EXPECT_EQ(reports[0].at("detail_level"), "detailed");
}

}  // namespace
}  // namespace qm::mcp
