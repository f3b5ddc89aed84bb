// The tool catalogue, dispatch and the twelve read tools, over a real store.
#include <map>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include <gmock/gmock.h>

#include "mcp_fixture.h"
#include "support/record_fillers.h"

namespace qm::mcp {
namespace {

using ::testing::ElementsAre;
using Json = JSONValue;

class ReadToolsTest : public ToolTest {
 protected:
  Contact addContact(std::string first, std::string last, std::string company,
                     std::optional<Uuid> event, const std::function<void(Contact&)>& edit = {}) {
    auto c = Contact::create(std::move(first), std::move(last), std::move(company), event);
    if (edit) edit(c);
    return add(c);
  }
  Event addEvent(std::string name, Date created) {
    auto e = Event::create(std::move(name));
    e.createdAt = created;
    return add(e);
  }
  static std::vector<std::string> names(const Json& list, const char* key = "name") {
    std::vector<std::string> out;
    for (const auto& item : list) out.push_back(item.at(key).get<std::string>());
    return out;
  }
};

TEST_F(ReadToolsTest, UnknownToolAnswersAnEscapedErrorDocument) {
  auto out = call(R"(say "hi"\now)");
  EXPECT_TRUE(out.isError);
  EXPECT_EQ(Json::parse(out.text).at("error"), R"(Unknown tool: say "hi"\now)");
}

TEST_F(ReadToolsTest, RequiredArgumentsMustNameStoredRecords) {
  const auto nobody = Uuid::random().str();
  const struct {
    const char* tool;
    Json args;
    const char* message;
  } cases[] = {{"get_event", nullptr, "event_id is required"},
               {"list_contacts", {{"event_id", "E-1"}}, "event_id is required"},
               {"get_event_stats", {{"event_id", nobody}}, "Event not found"},
               {"get_contact", {{"contact_id", 42}}, "contact_id is required"},
               {"list_captures", {{"contact_id", nobody}}, "Contact not found"},
               {"get_voice_transcript", {{"note_id", nobody}}, "Note not found"},
               {"search_contacts", {{"query", ""}}, "query is required"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.dump());
    expectError(c.tool, c.args, c.message);
  }
}

TEST_F(ReadToolsTest, EventsNewestFirstWithTheirCountsAndStats) {
  auto older = Event::create("Expo");
  older.createdAt = day(1);
  older.startDate = day(10);
  older.eventDescription = "Robotics";
  add(older);
  auto newer = addEvent("Later", day(2));
  auto rated = [](int rating, const std::function<void(Contact&)>& edit = {}) {
    return [=](Contact& c) {
      c.interactionRating = rating;
      if (edit) edit(c);
    };
  };
  addContact("Ada", "L", "Acme", older.id,
             rated(4, [](Contact& c) { c.status = MeetingStatus::met; }));
  addContact("Bo", "K", "Acme", older.id, rated(4, [](Contact& c) { c.isTarget = true; }));
  addContact("Cy", "J", "", older.id, rated(5));
  auto valued = Opportunity::create("One", "Acme", older.id);
  valued.value = 1000.5;
  add(valued);
  add(Opportunity::create("Two", "Acme", older.id));

  auto out = call("list_events");
  EXPECT_EQ(out.resultCount, 2);
  auto list = Json::parse(out.text);
  EXPECT_EQ(list[0].dump(), R"({"contact_count":0,"created_at":"2026-01-03T00:00:00Z","id":")" +
                                newer.id.str() +
                                R"(","met_count":0,"name":"Later","opportunity_count":0,)"
                                R"("target_count":0})");
  for (const auto& [key, count] : {std::pair{"contact_count", 3},
                                   {"met_count", 1},
                                   {"target_count", 1},
                                   {"opportunity_count", 2}})
    EXPECT_EQ(list[1].at(key), count) << key;
  EXPECT_EQ(list[1].at("start_date"), "2026-01-11T00:00:00Z");
  EXPECT_FALSE(list[1].contains("event_description"));  // detail only
  EXPECT_EQ(ok("get_event", {{"event_id", older.id.str()}}).at("event_description"), "Robotics");

  auto stats = ok("get_event_stats", {{"event_id", older.id.str()}});
  EXPECT_EQ(stats.at("average_rating").dump(), "4.33");
  for (const auto& [key, count] : {std::pair{"total_contacts", 3},
                                   {"met_count", 1},
                                   {"target_count", 1},
                                   {"companies_count", 2},  // "" counts
                                   {"opportunity_count", 2}})
    EXPECT_EQ(stats.at(key), count) << key;
  EXPECT_EQ(stats.at("pipeline_total_value"), 1000.5);
  auto empty = ok("get_event_stats", {{"event_id", newer.id.str()}});
  EXPECT_FALSE(empty.contains("average_rating"));
  EXPECT_EQ(empty.at("pipeline_total_value").dump(), "0.0");
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
  EXPECT_THAT(query({{"offset", 5}}), ElementsAre());
}

TEST_F(ReadToolsTest, ListAndSearchCapTheirLimits) {
  auto e = addEvent("Expo", day(1));
  ASSERT_TRUE(store
                  ->transaction([&]() -> Status {
                    for (int i = 0; i < 501; ++i)
                      QM_TRY(store->insert(Contact::create("P", std::to_string(i), "Co", e.id)));
                    return {};
                  })
                  .ok());
  const auto event = e.id.str();
  const struct {
    const char* tool;
    Json args;
    std::int64_t count;
  } cases[] = {{"list_contacts", {{"event_id", event}}, 100},
               {"list_contacts", {{"event_id", event}, {"limit", 1000}}, 500},
               {"search_contacts", {{"query", "co"}}, 25},
               {"search_contacts", {{"query", "co"}, {"limit", 1000}}, 100},
               {"search_contacts", {{"query", "co"}, {"limit", -4}}, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.dump());
    auto out = call(c.tool, c.args);
    EXPECT_EQ(out.resultCount, c.count);
    EXPECT_EQ(Json::parse(out.text).size(), static_cast<std::size_t>(c.count));
  }
}

/// A stored value as the tools write it.
Json asJSON(const FieldValue& value) {
  return std::visit(
      [](const auto& v) -> Json {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Uuid>)
          return v.str();
        else if constexpr (std::is_same_v<T, Date>)
          return formatISO8601(v);
        else if constexpr (std::is_constructible_v<Json, T>)
          return v;
        else
          return "(bytes)";
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
      {"crm_pushed_to", "crmPushedTo"}};
  auto e = addEvent("Expo", day(1));
  std::map<std::string, Contact> stored;
  for (std::uint64_t seed : {10, 20}) {
    auto c = addContact("Ann", std::to_string(seed), "Acme", e.id,
                        [seed](Contact& x) { test::fillEveryField(x, seed); });
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
}

TEST_F(ReadToolsTest, ListsFollowChangesMadeByThisAndOtherProcesses) {
  auto event = addEvent("Expo", day(1));
  addContact("Ada", "Lovelace", "Acme", event.id);
  const Json args{{"event_id", event.id.str()}};
  EXPECT_THAT(names(ok("list_contacts", args)), ElementsAre("Ada Lovelace"));

  // A change through this store handle.
  auto renamed = contactsOf(*store, event.id).value().front();
  renamed.firstName = "Augusta";
  ASSERT_TRUE(store->update(renamed).ok());
  EXPECT_THAT(names(ok("list_contacts", args)), ElementsAre("Augusta Lovelace"));

  // A change by another process writing the same file (the demo-data command, a sync).
  auto other = Store::open(storeFile());
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
  });
  auto d = ok("get_contact", {{"contact_id", c.id.str()}});
  EXPECT_EQ(d.at("source"), "scanned");
  EXPECT_EQ(d.at("met_at"), "2026-01-04T00:00:00Z");
  EXPECT_EQ(d.at("also_met_by"), Json::array({"Bea", "Cal"}));
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
    return add(n);
  };
  note(NoteType::text, 1, [](ContactNote& n) { n.textContent = "typed"; });
  note(NoteType::handwriting, 2, [](ContactNote& n) { n.rawOCRText = "ocr"; });
  note(NoteType::handwriting, 3, [](ContactNote& n) {
    n.rawOCRText = "ocr";
    n.cleanedText = "clean";
  });
  auto voice = note(NoteType::voice, 4, [](ContactNote& n) { n.transcriptionRaw = "um hello"; });
  auto empty = note(NoteType::text, 5, [](ContactNote& n) { n.textContent = ""; });

  auto list = ok("list_notes", {{"contact_id", c.id.str()}});
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[0].at("id"), empty.id.str());
  EXPECT_FALSE(list[0].contains("content"));
  EXPECT_EQ(list[1].at("transcript"), "um hello");
  EXPECT_EQ(list[2].at("content"), "clean");
  EXPECT_EQ(list[3].at("content"), "ocr");
  EXPECT_EQ(list[4].at("content"), "typed");

  const Json args{{"note_id", voice.id.str()}};
  voice.cleanedText = "Hello.";
  ASSERT_TRUE(store->update(voice).ok());
  EXPECT_FALSE(ok("get_voice_transcript", args).contains("transcription_cleaned"));  // not AI's
  voice.isAICleaned = true;
  ASSERT_TRUE(store->update(voice).ok());
  auto t = ok("get_voice_transcript", args);
  EXPECT_EQ(t.at("contact_name"), "Ann Lee");
  EXPECT_EQ(t.at("transcription_cleaned"), "Hello.");
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

  add(SavedReport::create("event", "Report", e.id));
  add(SavedReport::create("other", "Loose"));
  EXPECT_EQ(call("list_reports").resultCount, 2);
  auto reports = ok("list_reports", {{"event_id", e.id.str()}});
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].at("event_name"), "Expo");
}

}  // namespace
}  // namespace qm::mcp
