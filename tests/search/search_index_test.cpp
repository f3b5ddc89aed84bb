// The index against the store: the hits it builds, how it follows changes,
// and that it always agrees with the plain scan.
#include <gmock/gmock.h>

#include <functional>
#include <map>
#include <set>

#include "search/reference_search.h"
#include "search/search_index.h"
#include "search_test_data.h"
#include "store/store_test_support.h"

namespace qm {
namespace {

using test::addContact;
using test::addDraft;
using test::addEvent;
using test::addNote;
using test::addOpportunity;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Eq;
using ::testing::Field;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::Optional;
using Category = SearchResultCategory;

std::vector<std::string> primaries(const std::vector<SearchResult>& hits) {
  std::vector<std::string> out;
  for (const auto& h : hits) out.push_back(h.primaryText);
  return out;
}

struct SearchIndexTest : test::StoreFixture {
  SearchIndex index{"en_US"};

  /// The index's results, checked against the plain scan of the same store.
  SearchResults search(std::string_view query, std::optional<Uuid> scope = {}) {
    EXPECT_OK(index.refresh(*store));
    auto fast = index.search(query, scope);
    auto plain = referenceSearch(*store, query, scope, "en_US");
    EXPECT_TRUE(fast.has_value());
    EXPECT_OK(plain);
    if (!fast || !plain.ok()) return {};
    EXPECT_TRUE(sameResults(*fast, *plain)) << "query \"" << query << "\"";
    return *fast;
  }
};

TEST_F(SearchIndexTest, BuildsTheHitTextsAndTargetsOfEachCategory) {
  Event expo = addEvent(*store, "Logistics Expo", "Hall 4");
  Contact jo = addContact(*store, expo, "Jo", "Smith", "Acme Logistics");
  jo.title = "CTO";
  ASSERT_OK(store->update(jo));
  Contact ana = addContact(*store, expo, "Ana", "Lopes", " acme logistics\n");
  ana.companyIndustry = "Logistics";
  ASSERT_OK(store->update(ana));
  Contact titleOnly = addContact(*store, expo, "Logan", "", "");
  titleOnly.title = "Logistics lead";
  ASSERT_OK(store->update(titleOnly));
  Contact mailOnly = addContact(*store, expo, "Lou", "Gist", "");
  mailOnly.email = "lou@logistics.example";
  ASSERT_OK(store->update(mailOnly));
  Opportunity big = addOpportunity(*store, expo, "Logistics rollout", 12500, "EUR");
  Opportunity none = addOpportunity(*store, expo, "Logistics pilot", 0);
  addOpportunity(*store, expo, "Logistics audit", 900, "euros");
  FollowUpDraft draft = addDraft(*store, jo, "Logistics follow-up");

  auto results = search("logistics");
  ASSERT_EQ(results.size(), 5u);
  std::set<Uuid> ids;
  std::size_t hits = 0;
  for (const auto& [category, list] : results)
    for (const auto& hit : list) {
      ids.insert(hit.id);
      ++hits;
    }
  EXPECT_EQ(ids.size(), hits) << "every hit has an id of its own";
  const auto& contacts = results[Category::contacts];
  ASSERT_EQ(contacts.size(), 4u);
  auto secondaryOf = [&](const std::string& name) {
    for (const auto& h : contacts)
      if (h.primaryText == name) return h.secondaryText;
    return std::optional<std::string>("(missing)");
  };
  EXPECT_THAT(secondaryOf("Jo Smith"), Optional(Eq("CTO at Acme Logistics")));
  EXPECT_THAT(secondaryOf("Ana Lopes"), Optional(Eq(" acme logistics\n")));
  EXPECT_THAT(secondaryOf("Logan"), Optional(Eq("Logistics lead")));
  EXPECT_THAT(secondaryOf("Lou Gist"), Optional(Eq("lou@logistics.example")));
  EXPECT_THAT(contacts.front().eventName, Optional(Eq("Logistics Expo")));
  EXPECT_EQ(contacts.front().navigationIntent, NavigationIntent(NavigateToContact{expo.id, jo.id}));

  // Jo's and Ana's companies differ only in case and blanks: one company, named
  // after the first contact, with the first industry found.
  const auto& companies = results[Category::companies];
  ASSERT_EQ(companies.size(), 1u);
  EXPECT_EQ(companies[0].primaryText, "Acme Logistics");
  EXPECT_THAT(companies[0].secondaryText, Optional(Eq("2 contacts · Logistics")));
  EXPECT_EQ(companies[0].navigationIntent,
            NavigationIntent(NavigateToCompany{expo.id, "Acme Logistics"}));

  const auto& opportunities = results[Category::opportunities];
  ASSERT_EQ(opportunities.size(), 3u);
  EXPECT_THAT(opportunities[0].secondaryText, Optional(Eq("€12,500 · Exploring")));
  EXPECT_THAT(opportunities[1].secondaryText, Optional(Eq("Exploring")));
  EXPECT_THAT(opportunities[2].secondaryText, Optional(Eq("euros 900 · Exploring")));
  EXPECT_EQ(opportunities[0].navigationIntent,
            NavigationIntent(NavigateToOpportunity{expo.id, big.id}));
  (void)none;

  ASSERT_EQ(results[Category::drafts].size(), 1u);
  const auto& d = results[Category::drafts][0];
  EXPECT_THAT(d.secondaryText, Optional(Eq("To: Jo Smith")));
  EXPECT_THAT(d.eventName, Optional(Eq("Logistics Expo")));
  EXPECT_EQ(d.navigationIntent, NavigationIntent(NavigateToDraft{draft.id}));

  ASSERT_EQ(results[Category::events].size(), 1u);
  const auto& e = results[Category::events][0];
  EXPECT_THAT(e.secondaryText, Optional(Eq("Hall 4 · 4 contacts")));
  EXPECT_EQ(e.eventName, std::nullopt);
  EXPECT_EQ(e.navigationIntent, NavigationIntent(NavigateToEvent{expo.id}));
}

TEST_F(SearchIndexTest, ScopedSearchesStayInTheirEventWithoutEventsOrEventNames) {
  Event a = addEvent(*store, "Alpha Fair");
  Event b = addEvent(*store, "Beta Fair", "");
  Contact inA = addContact(*store, a, "Fairley", "One");
  Contact inB = addContact(*store, b, "Fairley", "Two");
  addDraft(*store, inA, "Fair enough");
  addDraft(*store, inB, "Fair and square");

  auto scoped = search("fair", b.id);
  EXPECT_FALSE(scoped.contains(Category::events));
  EXPECT_THAT(primaries(scoped[Category::contacts]), ElementsAre("Fairley Two"));
  EXPECT_THAT(primaries(scoped[Category::drafts]), ElementsAre("Fair and square"));
  for (const auto& [category, hits] : scoped)
    for (const auto& hit : hits) EXPECT_EQ(hit.eventName, std::nullopt);

  auto global = search("fair");
  EXPECT_THAT(primaries(global[Category::events]), ElementsAre("Alpha Fair", "Beta Fair"));
  EXPECT_THAT(global[Category::events][1].secondaryText, Optional(Eq("1 contact")));
  EXPECT_THAT(primaries(global[Category::contacts]), ElementsAre("Fairley One", "Fairley Two"));

  // A scope naming no event finds nothing.
  auto nowhere = search("fair", Uuid::random());
  EXPECT_THAT(nowhere[Category::contacts], IsEmpty());
  EXPECT_THAT(nowhere[Category::drafts], IsEmpty());
}

TEST_F(SearchIndexTest, OrdersHitsByScoreKeepingTheFoundOrderOfEqualScores) {
  Event expo = addEvent(*store, "Expo");
  Contact noted = addContact(*store, expo, "Ann", "Other");
  addNote(*store, noted, "asked about rivera pricing");  // 0.5 × 2: whole word in a note
  addContact(*store, expo, "Rivera", "First");           // 3 × 2
  addContact(*store, expo, "Riverano", "Second");        // 3 × 1.5
  addContact(*store, expo, "Rivera", "Third");           // 3 × 2, found after First

  auto contacts = search("rivera")[Category::contacts];
  EXPECT_THAT(primaries(contacts),
              ElementsAre("Rivera First", "Rivera Third", "Riverano Second", "Ann Other"));
  EXPECT_THAT(contacts,
              ElementsAre(Field(&SearchResult::score, 6.0), Field(&SearchResult::score, 6.0),
                          Field(&SearchResult::score, 4.5), Field(&SearchResult::score, 1.0)));
}

// The index and the plain scan read the same field list, so their agreement
// says nothing about the weights. These scores are worked out by hand from the
// ranking rule: the query word as a field's whole text or as one of its words
// scores 2 × the field's weight, as the start of the text or of a word 1.5 ×.
TEST_F(SearchIndexTest, EachFieldCountsWithTheWeightOfTheRankingRule) {
  Event expo = addEvent(*store, "Expo", "Quokka Hall");  // location 2 × 2
  addEvent(*store, "Quokka");                            // name 3 × 2
  auto contact = [&](std::string first, std::string last, std::string company,
                     const std::function<void(Contact&)>& edit = {}) {
    Contact c = addContact(*store, expo, std::move(first), std::move(last), std::move(company));
    if (edit) edit(c);
    EXPECT_OK(store->update(c));
    return c;
  };
  contact("Quokka", "Fn", "");                                          // first name 3 × 2
  Contact byLast = contact("Ln", "Quokka", "");                         // last name 3 × 2
  Contact byCompany = contact("Co", "One", "Quokka");                   // company 2 × 2
  contact("Title", "One", "", [](Contact& c) { c.title = "Quokka"; });  // 2 × 2
  contact("Email", "One", "", [](Contact& c) { c.email = "quokka@zoo.example"; });  // 1.5 × 1.5
  contact("Phone", "One", "", [](Contact& c) { c.phone = "quokka"; });              // 1.5 × 2
  contact("City", "One", "", [](Contact& c) { c.city = "Quokka"; });                // 1 × 2
  contact("Country", "One", "", [](Contact& c) { c.country = "Quokka"; });          // 1 × 2
  contact("Industry", "One", "Ind Co",
          [](Contact& c) { c.companyIndustry = "Quokka"; });                      // 1.5 × 2
  contact("Delegation", "One", "", [](Contact& c) { c.delegation = "Quokka"; });  // 1 × 2
  contact("Booth", "One", "", [](Contact& c) { c.boothNumber = "quokka"; });      // 1 × 2
  contact("Why", "One", "", [](Contact& c) { c.whyMeet = "Meet the quokka"; });   // 0.5 × 2
  contact("Summary", "One", "", [](Contact& c) { c.aiSummary = "A quokka"; });    // 0.5 × 2
  addNote(*store, contact("Note", "One", ""), "saw quokkas");                     // 0.5 × 1.5
  // Company texts count for the company only, never for the contact.
  contact("About", "One", "Sum Co", [](Contact& c) { c.companySummary = "quokka"; });
  contact("Site", "One", "Web Co", [](Contact& c) { c.companyWebsite = "quokka.example"; });

  Opportunity title = addOpportunity(*store, expo, "Quokka");  // title 3 × 2
  Opportunity company = addOpportunity(*store, expo, "By company");
  company.companyName = "Quokkas Ltd";  // 2 × 1.5
  Opportunity stage = addOpportunity(*store, expo, "By stage");
  stage.stage = "Quokka";  // 2 × 2
  Opportunity next = addOpportunity(*store, expo, "By next step");
  next.nextStep = "Call the quokka";  // 1 × 2
  Opportunity notes = addOpportunity(*store, expo, "By notes");
  notes.notes = "quokka";  // 0.5 × 2
  for (const Opportunity& o : {title, company, stage, next, notes}) ASSERT_OK(store->update(o));

  addDraft(*store, std::nullopt, "Quokka");                         // subject 3 × 2
  addDraft(*store, byLast, "To the last name");                     // contact's full name 2 × 2
  addDraft(*store, byCompany, "To the company");                    // contact's company 1.5 × 2
  addDraft(*store, std::nullopt, "By body", "Dear quokka, hello");  // body 0.5 × 1.5

  auto results = search("quokka");
  auto scores = [&](Category category) {
    std::map<std::string, double> out;
    for (const auto& hit : results[category]) out[hit.primaryText] = hit.score;
    return out;
  };
  EXPECT_EQ(scores(Category::contacts), (std::map<std::string, double>{
                                            {"Quokka Fn", 6},
                                            {"Ln Quokka", 6},
                                            {"Co One", 4},
                                            {"Title One", 4},
                                            {"Email One", 2.25},
                                            {"Phone One", 3},
                                            {"City One", 2},
                                            {"Country One", 2},
                                            {"Industry One", 3},
                                            {"Delegation One", 2},
                                            {"Booth One", 2},
                                            {"Why One", 1},
                                            {"Summary One", 1},
                                            {"Note One", 0.75},
                                        }));
  EXPECT_EQ(scores(Category::companies),
            (std::map<std::string, double>{
                {"Quokka", 6}, {"Ind Co", 4}, {"Sum Co", 1}, {"Web Co", 1.5}}));
  EXPECT_EQ(scores(Category::opportunities), (std::map<std::string, double>{{"Quokka", 6},
                                                                            {"By company", 3},
                                                                            {"By stage", 4},
                                                                            {"By next step", 2},
                                                                            {"By notes", 1}}));
  EXPECT_EQ(scores(Category::drafts),
            (std::map<std::string, double>{
                {"Quokka", 6}, {"To the last name", 4}, {"To the company", 3}, {"By body", 0.75}}));
  EXPECT_EQ(scores(Category::events), (std::map<std::string, double>{{"Quokka", 6}, {"Expo", 4}}));
}

TEST_F(SearchIndexTest, FollowsInsertsUpdatesAndDeletesBetweenSearches) {
  Event expo = addEvent(*store, "Expo");
  Contact c = addContact(*store, expo, "Øystein", "Berg", "Nordlys");
  EXPECT_THAT(primaries(search("øystein")[Category::contacts]), ElementsAre("Øystein Berg"));

  addNote(*store, c, "wants a quote for the fjord project");
  const auto before = index.readCounts();
  EXPECT_THAT(primaries(search("fjord")[Category::contacts]), ElementsAre("Øystein Berg"));
  // A new note re-reads the notes, not the contacts or anything else.
  EXPECT_EQ(index.readCounts().notes, before.notes + 1);
  EXPECT_EQ(index.readCounts().contacts, before.contacts);
  EXPECT_EQ(index.readCounts().opportunities, before.opportunities);

  addDraft(*store, c, "Quote");
  EXPECT_EQ(search("quote")[Category::drafts].size(), 1u);
  c.firstName = "Ola";
  ASSERT_OK(store->update(c));
  EXPECT_THAT(search("øystein")[Category::contacts], IsEmpty());
  auto afterRename = search("ola");
  EXPECT_THAT(primaries(afterRename[Category::contacts]), ElementsAre("Ola Berg"));
  // The draft is found by its contact's new name, and shows it.
  ASSERT_EQ(afterRename[Category::drafts].size(), 1u);
  EXPECT_THAT(afterRename[Category::drafts][0].secondaryText, Optional(Eq("To: Ola Berg")));

  // Unchanged tables are not read again.
  const auto steady = index.readCounts();
  search("ola");
  EXPECT_EQ(index.readCounts().contacts, steady.contacts);
  EXPECT_EQ(index.readCounts().events, steady.events);

  ASSERT_OK(store->remove<Contact>(c.id));
  EXPECT_THAT(search("ola")[Category::contacts], IsEmpty());
  EXPECT_THAT(search("fjord")[Category::contacts], IsEmpty());
  EXPECT_THAT(search("nordlys")[Category::companies], IsEmpty());

  // Deleting an event takes its contacts and their drafts out of the results.
  Event fair = addEvent(*store, "Fjell Fair");
  addDraft(*store, addContact(*store, fair, "Kari", "Nordmann"), "Fjell follow-up");
  EXPECT_EQ(search("fjell")[Category::drafts].size(), 1u);
  ASSERT_OK(store->remove<Event>(fair.id));
  auto afterDelete = search("fjell");
  EXPECT_THAT(afterDelete[Category::drafts], IsEmpty());
  EXPECT_THAT(afterDelete[Category::events], IsEmpty());

  // Another process writing to the same file is noticed too.
  {
    auto other = Store::open(storePath());
    ASSERT_OK(other);
    addContact(**other, expo, "Mei", "Tanaka", "Kumo");
    Event renamed = expo;
    renamed.name = "Kumo Summit";
    ASSERT_OK((*other)->update(renamed));
  }
  auto results = search("kumo");
  EXPECT_THAT(primaries(results[Category::contacts]), ElementsAre("Mei Tanaka"));
  EXPECT_THAT(results[Category::contacts][0].eventName, Optional(Eq("Kumo Summit")));
  EXPECT_THAT(primaries(results[Category::events]), ElementsAre("Kumo Summit"));
}

TEST_F(SearchIndexTest, FindsPeopleWithOrWithoutTheirAccentsExactMatchesFirst) {
  Event expo = addEvent(*store, "Messe Düsseldorf", "Düsseldorf");
  addContact(*store, expo, "Anna", "Müller", "Öztürk Lojistik");
  addContact(*store, expo, "Ben", "Muller");
  Contact ayse = addContact(*store, expo, "Ayşe", "García");
  ayse.city = "São Paulo";
  ASSERT_OK(store->update(ayse));
  Contact piotr = addContact(*store, expo, "Piotr", "Nowak");
  piotr.city = "Łódź";
  ASSERT_OK(store->update(piotr));
  addContact(*store, expo, "太郎", "田中", "株式会社クモ");

  EXPECT_THAT(primaries(search("muller")[Category::contacts]),
              ElementsAre("Ben Muller", "Anna Müller"));
  EXPECT_THAT(primaries(search("MÜLLER")[Category::contacts]),
              ElementsAre("Anna Müller", "Ben Muller"));
  auto ozturk = search("ozturk");
  EXPECT_THAT(primaries(ozturk[Category::companies]), ElementsAre("Öztürk Lojistik"));
  EXPECT_THAT(primaries(ozturk[Category::contacts]), ElementsAre("Anna Müller"));
  EXPECT_THAT(primaries(search("ayse garcia")[Category::contacts]), ElementsAre("Ayşe García"));
  EXPECT_THAT(primaries(search("sao paulo")[Category::contacts]), ElementsAre("Ayşe García"));
  EXPECT_THAT(primaries(search("lodz")[Category::contacts]), ElementsAre("Piotr Nowak"));
  EXPECT_THAT(primaries(search("dusseldorf")[Category::events]), ElementsAre("Messe Düsseldorf"));
  EXPECT_THAT(primaries(search("田中")[Category::contacts]), ElementsAre("太郎 田中"));
  EXPECT_THAT(primaries(search("クモ")[Category::companies]), ElementsAre("株式会社クモ"));
}

// An event large enough for several chunks, changed one record at a time by
// this connection and by another one; every search is checked against the
// plain scan.
TEST_F(SearchIndexTest, FollowsEachWrittenNoteAndContactWithoutReadingTheRest) {
  Event big = addEvent(*store, "Big Fair");
  Event small = addEvent(*store, "Small Fair");
  std::vector<Contact> people;
  ASSERT_OK(store->transaction([&]() -> Status {
    for (int i = 0; i < 1'100; ++i) {
      people.push_back(
          Contact::create("Person", std::to_string(i), "Co " + std::to_string(i % 7), big.id));
      QM_TRY(store->insert(people.back()));
    }
    return {};
  }));
  Contact& middle = people[700];
  EXPECT_THAT(search("zeppelin")[Category::contacts], IsEmpty());
  const auto built = index.readCounts();

  ContactNote note = addNote(*store, middle, "Wants a zeppelin demo");
  EXPECT_THAT(primaries(search("zeppelin")[Category::contacts]), ElementsAre("Person 700"));
  EXPECT_EQ(index.readCounts().notes, built.notes + 1);
  EXPECT_EQ(index.readCounts().contacts, built.contacts);

  note.textContent = "Wants an airship demo";
  ASSERT_OK(store->update(note));
  EXPECT_THAT(search("zeppelin")[Category::contacts], IsEmpty());
  EXPECT_THAT(primaries(search("airship")[Category::contacts]), ElementsAre("Person 700"));
  ASSERT_OK(store->remove<ContactNote>(note.id));
  EXPECT_THAT(search("airship")[Category::contacts], IsEmpty());

  // Moved to another event: found there, no longer in the first, and each
  // event counts its contacts again.
  middle.eventID = small.id;
  middle.firstName = "Mover";
  ASSERT_OK(store->update(middle));
  EXPECT_THAT(primaries(search("mover", small.id)[Category::contacts]), ElementsAre("Mover 700"));
  EXPECT_THAT(search("mover", big.id)[Category::contacts], IsEmpty());
  auto events = search("fair")[Category::events];
  ASSERT_EQ(events.size(), 2u);
  EXPECT_THAT(events[0].secondaryText, Optional(Eq("1099 contacts")));
  EXPECT_THAT(events[1].secondaryText, Optional(Eq("1 contact")));
  EXPECT_EQ(index.readCounts().contacts, built.contacts + 1);

  // Written by another process: a contact deleted, one renamed, a note added.
  {
    auto other = Store::open(storePath());
    ASSERT_OK(other);
    ASSERT_OK((*other)->remove<Contact>(people[10].id));
    people[1'050].lastName = "Zeppelin";
    ASSERT_OK((*other)->update(people[1'050]));
    addNote(**other, people[5], "met the zeppelin crew");
  }
  EXPECT_THAT(primaries(search("zeppelin")[Category::contacts]),
              ElementsAre("Person Zeppelin", "Person 5"));
  EXPECT_THAT(primaries(search("person 10", big.id)[Category::contacts]),
              Not(Contains("Person 10")));
  ASSERT_OK(store->remove<Event>(small.id));
  EXPECT_THAT(search("mover")[Category::contacts], IsEmpty());
  EXPECT_LT(index.readCounts().contacts, built.contacts + 10);
}

TEST_F(SearchIndexTest, StopsBetweenEventsWhenTold) {
  Event a = addEvent(*store, "Alpha");
  Event b = addEvent(*store, "Beta");
  addContact(*store, a, "Sam", "One");
  addContact(*store, b, "Sam", "Two");
  ASSERT_OK(index.refresh(*store));
  int asked = 0;
  // Asked before each event of each category and before returning.
  EXPECT_TRUE(index.search("sam", std::nullopt, [&] { return ++asked > 0; }).has_value());
  EXPECT_EQ(asked, 3 * 2 + 2);
  for (int allowed = 0; allowed < asked; ++allowed) {
    int calls = 0;
    EXPECT_EQ(index.search("sam", std::nullopt, [&] { return calls++ < allowed; }), std::nullopt)
        << "stopped at question " << allowed;
  }
}

TEST_F(SearchIndexTest, AgreesWithThePlainScanOnGeneratedStores) {
  test::fillGenerated(*store, 42, 3, 24);
  auto events = store->fetch<Event>();
  ASSERT_OK(events);
  std::uint64_t state = 9;
  int withHits = 0;
  for (int i = 0; i < 90; ++i) {
    const std::string query = test::generatedQuery(state);
    std::optional<Uuid> scope;
    if (i % 3 == 0) scope = (*events)[static_cast<std::size_t>(i) % events->size()].id;
    auto results = search(query, scope);
    for (const auto& [category, hits] : results) withHits += hits.empty() ? 0 : 1;
    // Change the store now and then, so that agreement holds after updates too.
    if (i % 30 == 29) test::fillGenerated(*store, static_cast<std::uint64_t>(i), 1, 8);
  }
  EXPECT_GT(withHits, 90) << "the generated queries should find things";
}

}  // namespace
}  // namespace qm
