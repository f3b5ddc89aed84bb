// The tool catalogue, dispatch and the twelve read tools, over a real store.
#include <map>
#include <string>
#include <tuple>
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
  const std::tuple<const char*, Json, const char*> cases[] = {
      {"get_event", nullptr, "event_id is required"},
      {"list_contacts", {{"event_id", "E-1"}}, "event_id is required"},
      {"get_event_stats", {{"event_id", nobody}}, "Event not found"},
      {"get_contact", {{"contact_id", 42}}, "contact_id is required"},
      {"list_captures", {{"contact_id", nobody}}, "Contact not found"},
      {"get_voice_transcript", {{"note_id", nobody}}, "Note not found"},
      {"search_contacts", {{"query", ""}}, "query is required"}};
  for (const auto& [tool, args, message] : cases) {
    SCOPED_TRACE(args.dump());
    expectError(tool, args, message);
  }
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
  // A filter or page of the wrong type is refused, never read as absent.
  const std::tuple<const char*, Json, const char*> wrong[] = {
      {"list_contacts",
       {{"event_id", e.id.str()}, {"is_target", "true"}},
       "is_target must be a boolean"},
      {"list_contacts", {{"event_id", e.id.str()}, {"limit", "10"}}, "limit must be an integer"},
      {"list_contacts", {{"event_id", e.id.str()}, {"offset", 1.5}}, "offset must be an integer"},
      {"list_contacts", {{"event_id", e.id.str()}, {"status", 1}}, "status must be a string"},
      {"search_contacts", {{"query", "acme"}, {"limit", "5"}}, "limit must be an integer"}};
  for (const auto& [tool, args, message] : wrong) expectError(tool, args, message);
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
  const std::tuple<const char*, Json, std::int64_t> cases[] = {
      {"list_contacts", {{"event_id", event}}, 100},
      {"list_contacts", {{"event_id", event}, {"limit", 1000}}, 500},
      {"search_contacts", {{"query", "co"}}, 25},
      {"search_contacts", {{"query", "co"}, {"limit", 1000}}, 100},
      {"search_contacts", {{"query", "co"}, {"limit", -4}}, 0}};
  for (const auto& [tool, args, count] : cases) {
    SCOPED_TRACE(args.dump());
    auto out = call(tool, args);
    EXPECT_EQ(out.resultCount, count);
    EXPECT_EQ(std::ssize(Json::parse(out.text)), count);
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
  addContact("F", "ITEM2", "Acme", e.id);  // the same name to the collation as "Item2"

  auto list = ok("search_contacts", {{"query", "aCmE"}});
  EXPECT_THAT(names(list), ElementsAre("D Adams", "C bates", "B Item2", "F ITEM2", "A item10"));
  EXPECT_EQ(list[0].at("event_name"), "Expo");
  EXPECT_EQ(list[0].at("event_id"), e.id.str());
  EXPECT_FALSE(list[1].contains("event_id"));
  EXPECT_THAT(names(ok("search_contacts", {{"query", "acme"}, {"limit", 2}})),
              ElementsAre("D Adams", "C bates"));
}

TEST_F(ReadToolsTest, SearchFindsPeopleWithOrWithoutTheirAccentsExactMatchesFirst) {
  auto e = addEvent("Messe", day(1));
  addContact("Jens", "Müller", "Acme", e.id);
  Contact anna = addContact("Anna", "Muller", "Acme", e.id);
  addContact("Ayşe", "García", "Öztürk Lojistik", e.id);
  addContact("Piotr", "Nowak", "Globex", e.id, [](Contact& c) { c.email = "piotr@łódź.example"; });
  addContact("太郎", "田中", "株式会社クモ", e.id);
  const auto search = [&](std::string query) {
    return names(ok("search_contacts", {{"query", std::move(query)}}));
  };
  // Exact matches (case aside) first, then those found with the accents set
  // aside, each group by last name.
  EXPECT_THAT(search("muller"), ElementsAre("Anna Muller", "Jens Müller"));
  EXPECT_THAT(search("MÜLLER"), ElementsAre("Jens Müller", "Anna Muller"));
  EXPECT_THAT(search("ozturk"), ElementsAre("Ayşe García"));
  EXPECT_THAT(search("ayse garcia"), ElementsAre("Ayşe García"));
  EXPECT_THAT(search("lodz"), ElementsAre("Piotr Nowak"));
  EXPECT_THAT(search("田中"), ElementsAre("太郎 田中"));
  EXPECT_THAT(search("zqx"), ElementsAre());
  // The limit keeps the exact matches before the folded ones.
  EXPECT_THAT(names(ok("search_contacts", {{"query", "müller"}, {"limit", 1}})),
              ElementsAre("Jens Müller"));

  // The other tools that filter by text fold the same way.
  const Json args{{"event_id", e.id.str()}, {"query", "MULLER"}};
  EXPECT_THAT(names(ok("list_contacts", args)), ElementsAre("Anna Muller", "Jens Müller"));
  anna.lastName = "Moller";
  ASSERT_TRUE(store->update(anna).ok());
  EXPECT_THAT(names(ok("list_contacts", args)), ElementsAre("Jens Müller"));
  EXPECT_THAT(search("muller"), ElementsAre("Jens Müller"));
  Opportunity deal = Opportunity::create("Fleet", "Öztürk Lojistik", e.id);
  add(deal);
  EXPECT_THAT(names(ok("list_opportunities", {{"company", "ozturk"}}), "title"),
              ElementsAre("Fleet"));
}

TEST_F(ReadToolsTest, SearchFindsContactsWhereverTheirLastNameSortsAndFollowsTheStore) {
  std::vector<Contact> same;
  ASSERT_TRUE(store
                  ->transaction([&]() -> Status {
                    for (int i = 0; i < 5001; ++i) {
                      auto c = Contact::create("P" + std::to_string(i), "Same", "Co");
                      if (i >= 4999) c.company = "Needle";
                      QM_TRY(store->insert(c));
                      same.push_back(c);
                    }
                    return {};
                  })
                  .ok());
  const auto needles = [&] { return names(ok("search_contacts", {{"query", "needle"}})); };
  EXPECT_THAT(needles(), ElementsAre("P4999 Same", "P5000 Same"));
  // What the index holds follows the store: a contact gone, one added whose
  // name sorts first, one renamed to sort last.
  ASSERT_TRUE(store->remove<Contact>(same[4999].id).ok());
  EXPECT_THAT(needles(), ElementsAre("P5000 Same"));
  addContact("Ada", "Aaron", "Needle Works", std::nullopt);
  EXPECT_THAT(needles(), ElementsAre("Ada Aaron", "P5000 Same"));
  same[5000].lastName = "Zed";
  ASSERT_TRUE(store->update(same[5000]).ok());
  addContact("Bo", "Berg", "Needle", std::nullopt);
  EXPECT_THAT(needles(), ElementsAre("Ada Aaron", "Bo Berg", "P5000 Zed"));
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

/// Checks `actual` against `expected`: objects by the keys given (a null value:
/// the key is absent), arrays item by item, anything else by its JSON text.
void expectMatches(const Json& actual, const Json& expected, const std::string& at = "") {
  if (expected.is_object() && actual.is_object()) {
    for (const auto& [key, value] : expected.items()) {
      const bool present = actual.contains(key);
      EXPECT_EQ(present, !value.is_null()) << at << "." << key;
      if (present && !value.is_null()) expectMatches(actual.at(key), value, at + "." + key);
    }
  } else if (expected.is_array() && actual.is_array() && actual.size() == expected.size()) {
    for (std::size_t i = 0; i < expected.size(); ++i)
      expectMatches(actual[i], expected[i], at + "[" + std::to_string(i) + "]");
  } else {
    EXPECT_EQ(actual.dump(), expected.dump()) << at;
  }
}

TEST_F(ReadToolsTest, EventsContactsNotesOpportunitiesDraftsCapturesAndReportsOfOneDataSet) {
  auto expo = Event::create("Expo");
  expo.createdAt = day(1);
  expo.startDate = day(10);
  expo.eventDescription = "Robotics";
  add(expo);
  auto later = addEvent("Later", day(2));
  auto rated = [](int rating, bool met = false, bool target = false) {
    return [=](Contact& c) {
      c.interactionRating = rating;
      c.status = met ? MeetingStatus::met : MeetingStatus::notMet;
      c.isTarget = target;
    };
  };
  auto ada = addContact("Ada", "L", "Acme", expo.id, rated(4, true));
  addContact("Bo", "K", "Acme", expo.id, rated(4, false, true));
  addContact("Cy", "J", "", expo.id, rated(5));
  auto ann = addContact("Ann", "Lee", "Acme", later.id, [](Contact& x) {
    x.source = ContactSource::scanned;
    x.metAt = day(3);
    x.alsoMetBy = {"Bea", "Cal"};
  });
  auto bare = addContact("Bo", "", "\xff\xfe", std::nullopt);

  auto opportunity = [&](const char* title, const char* company, const Event& e, int at) {
    auto o = Opportunity::create(title, company, e.id);
    o.createdAt = day(at);
    o.value = at == 1 ? std::optional(5000.0) : std::nullopt;
    return add(o);
  };
  add(OpportunityStakeholder::create(ada.id, opportunity("Big", "ACME Corp", expo, 1).id, "Buyer"));
  opportunity("Small", "Initech", expo, 3);
  opportunity("Loose", "Globex", later, 2);

  /// A note whose own text (typed, recognised or transcribed) is `text`.
  auto note = [&](const Contact& c, NoteType type, int at, std::string text,
                  std::optional<std::string> cleaned = {}, bool byAI = false) {
    ContactNote n;
    n.id = n.syncID = Uuid::random();
    n.contactID = c.id;
    n.createdAt = n.updatedAt = day(at);
    n.noteType = type;
    (type == NoteType::text    ? n.textContent
     : type == NoteType::voice ? n.transcriptionRaw
                               : n.rawOCRText) = std::move(text);
    n.cleanedText = std::move(cleaned);
    n.isAICleaned = byAI;
    return add(n);
  };
  note(ann, NoteType::text, 1, "typed");
  note(ann, NoteType::handwriting, 2, "ocr");
  note(ann, NoteType::handwriting, 3, "ocr", "clean");
  auto voice = note(ann, NoteType::voice, 4, "um hello", "Hello.");  // not cleaned by AI
  auto empty = note(ann, NoteType::text, 5, "");
  auto aiCleaned = note(ada, NoteType::voice, 1, "hi", "Hi.", true);

  for (int i = 0; i < 3; ++i) {
    auto d = FollowUpDraft::create("S" + std::to_string(i), "Body",
                                   i < 2 ? std::optional(ann.id) : std::nullopt);
    d.generatedAt = day(i);
    d.status = i == 0 ? "sent" : "draft";
    add(d);
  }
  for (int i = 0; i < 2; ++i) {
    CaptureMedia m;
    m.id = Uuid::random();
    m.contactID = ann.id;
    m.capturedAt = day(i);
    m.captureType = CaptureType::businessCard;
    m.imageFileName = "card" + std::to_string(i) + ".jpg";
    add(m);
  }
  add(SavedReport::create("event", "Report", expo.id));
  add(SavedReport::create("other", "Loose"));

  const Json all = Json::object();
  auto by = [](const char* key, const auto& record) { return Json{{key, record.id.str()}}; };
  const std::tuple<const char*, Json, std::string> cases[] = {
      // Newest first; detail fields only in get_event.
      {"list_events", all,
       R"([{"id":")" + later.id.str() +
           R"(","name":"Later","created_at":"2026-01-03T00:00:00Z","contact_count":1,
           "met_count":0,"target_count":0,"opportunity_count":1,"start_date":null},
          {"name":"Expo","start_date":"2026-01-11T00:00:00Z","contact_count":3,"met_count":1,
           "target_count":1,"opportunity_count":2,"event_description":null}])"},
      {"get_event", by("event_id", expo), R"({"event_description":"Robotics"})"},
      {"get_event_stats", by("event_id", expo),
       R"({"average_rating":4.33,"total_contacts":3,"met_count":1,"target_count":1,
           "companies_count":2,"opportunity_count":2,"pipeline_total_value":5000.0})"},
      {"get_event_stats", by("event_id", later),
       R"({"average_rating":null,"pipeline_total_value":0.0})"},
      // Only the fields that are present.
      {"get_contact", by("contact_id", ann),
       R"({"source":"scanned","met_at":"2026-01-04T00:00:00Z","also_met_by":["Bea","Cal"],
           "event_name":"Later","email":null,"interaction_rating":null})"},
      {"get_contact", by("contact_id", bare), "null"},  // not UTF-8
      // The text of each kind of note.
      {"list_notes", by("contact_id", ann),
       R"([{"id":")" + empty.id.str() + R"(","content":null},{"transcript":"um hello"},
           {"content":"clean"},{"content":"ocr"},{"content":"typed"}])"},
      {"get_voice_transcript", by("note_id", voice),
       R"({"contact_name":"Ann Lee","transcription_cleaned":null})"},
      {"get_voice_transcript", by("note_id", aiCleaned),
       R"({"contact_name":"Ada L","transcription_cleaned":"Hi."})"},
      {"list_opportunities",
       {{"event_id", "bad"}},
       R"([{"title":"Small"},{"title":"Loose"},{"title":"Big"}])"},
      {"list_opportunities",
       {{"event_id", expo.id.str()}, {"company", "acme"}},
       R"([{"title":"Big","value":5000.0,"event_name":"Expo","stakeholders":[{"contact_id":")" +
           ada.id.str() + R"(","contact_name":"Ada L","role":"Buyer"}]}])"},
      {"list_opportunities", {{"company", "globex"}}, R"([{"title":"Loose"}])"},
      {"list_drafts",
       {{"contact_id", "not-a-uuid"}},
       R"([{"subject":"S2"},{"subject":"S1"},{"subject":"S0"}])"},
      {"list_drafts",
       {{"contact_id", ann.id.str()}, {"status", "draft"}},
       R"([{"subject":"S1","contact_name":"Ann Lee"}])"},
      {"list_captures", by("contact_id", ann),
       R"([{"image_file_name":"card1.jpg"},{"image_file_name":"card0.jpg"}])"},
      {"list_reports", all, "[{},{}]"},
      {"list_reports", by("event_id", expo), R"([{"event_name":"Expo"}])"},
  };
  for (const auto& [tool, args, text] : cases) {
    SCOPED_TRACE(std::string(tool) + " " + args.dump());
    const auto out = call(tool, args);
    ASSERT_FALSE(out.isError) << out.text;
    const auto expected = Json::parse(text);
    EXPECT_EQ(out.resultCount, expected.is_array() ? std::ssize(expected) : 1);
    expectMatches(Json::parse(out.text), expected);
  }
  EXPECT_EQ(ok("list_events")[0].size(), 7u) << "keys beyond the list";
  expectError("get_voice_transcript", {{"note_id", empty.id.str()}}, "Note is not a voice note");
}

}  // namespace
}  // namespace qm::mcp
