// Which contacts the list shows and in what order.
#include "ui/contact_list.h"

#include <gmock/gmock.h>

#include "ui/bulk_actions.h"

namespace qm {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

Contact person(std::string first, std::string last = "", std::string company = "") {
  Contact c = Contact::create(std::move(first), std::move(last), std::move(company));
  c.eventID = Uuid::random();
  return c;
}

/// The full names of the visible contacts, in order.
std::vector<std::string> shown(const std::vector<ListContact>& contacts,
                               const ContactListState& state,
                               const std::unordered_set<Uuid>& withNotes = {}) {
  std::vector<std::string> names;
  for (const ListContact* c : visibleContacts(contacts, withNotes, state))
    names.push_back(c->fullName());
  return names;
}

ContactListState sortedBy(ContactSortField field, bool ascending = true) {
  ContactListState s;
  s.sortField = field;
  s.sortAscending = ascending;
  return s;
}

TEST(ContactList, WithoutFiltersShowsEveryoneByNameInTheUsersCollation) {
  std::vector<ListContact> contacts{person("zoë", "Weber"),  person("Émile", "Dubois"),
                                    person("田中", "太郎"),  person("anna", "Berg"),
                                    person("Eli", "Cohen"),  person("Øystein", "Lie"),
                                    person("Emma", "Stone"), person("Bob", "")};
  // Case ignored (anna before Bob), accents sort with their letter (Émile
  // between Eli and Emma), Latin before Han in the root collation.
  EXPECT_THAT(shown(contacts, {}),
              ElementsAre("anna Berg", "Bob", "Eli Cohen", "Émile Dubois", "Emma Stone",
                          "Øystein Lie", "zoë Weber", "田中 太郎"));
}

TEST(ContactList, MetNotMetAndTeamMetTreatATeammatesMeetingAsMet) {
  Contact mine = person("Mine");
  mine.status = MeetingStatus::met;
  Contact teammates = person("Teammates");
  teammates.alsoMetBy = {"Kim"};
  Contact nobody = person("Nobody");
  Contact declined = person("Declined");
  declined.status = MeetingStatus::declined;
  std::vector<ListContact> contacts{mine, teammates, nobody, declined};

  ContactListState s;
  s.filterMet = true;
  EXPECT_THAT(shown(contacts, s), ElementsAre("Mine", "Teammates"));
  s = {};
  s.filterNotMet = true;
  EXPECT_THAT(shown(contacts, s), ElementsAre("Nobody"));
  s = {};
  s.filterTeamMet = true;
  EXPECT_THAT(shown(contacts, s), ElementsAre("Teammates"));
  // Filters combine: met and not met at once leaves nobody.
  s.filterMet = s.filterNotMet = true;
  EXPECT_THAT(shown(contacts, s), IsEmpty());
}

TEST(ContactList, FollowUpNeedsAMetContactRatedThreeWhosePlanIsUntouched) {
  auto met = [](std::string name, std::optional<std::int64_t> rating, bool edited) {
    Contact c = person(std::move(name));
    c.status = MeetingStatus::met;
    c.interactionRating = rating;
    c.actionPlanEditedByUser = edited;
    return c;
  };
  Contact notMet = person("Not met rated 5");
  notMet.interactionRating = 5;
  std::vector<ListContact> contacts{met("Rated 2", 2, false), met("Unrated", std::nullopt, false),
                                    met("Edited 5", 5, true), met("Rated 3", 3, false), notMet};
  ContactListState s;
  s.filterFollowUp = true;
  EXPECT_THAT(shown(contacts, s), ElementsAre("Rated 3"));
}

TEST(ContactList, FavoritesTargetsAndNotesCombineWithTheSearch) {
  Contact a = person("Ada", "Lovelace", "Analytical");
  a.isFavorite = a.isTarget = true;
  Contact b = person("Bea", "Lovelace", "Analytical");
  b.isFavorite = true;
  Contact c = person("Cy", "Lovelace", "Analytical");
  c.isFavorite = c.isTarget = true;
  std::vector<ListContact> contacts{a, b, c};
  ContactListState s;
  s.filterFavorites = s.filterTargets = s.filterNotes = true;
  EXPECT_THAT(shown(contacts, s, {a.id, b.id}), ElementsAre("Ada Lovelace"));
  s.searchText = "cy";
  EXPECT_THAT(shown(contacts, s, {a.id, b.id, c.id}), ElementsAre("Cy Lovelace"));
  s.clearFilters();
  EXPECT_FALSE(s.anyFilter());
  EXPECT_THAT(shown(contacts, s), ElementsAre("Cy Lovelace"));
}

TEST(ContactList, SearchLooksAtNameCompanyTitleAndEmailInAnyCase) {
  Contact byCompany = person("Ann", "Lee", "ACME Robotics");
  Contact byEmail = person("Bo", "Ng");
  byEmail.email = "bo@acme.example";
  Contact byTitle = person("Cai", "Wu");
  byTitle.title = "Head of ÉTUDES";
  Contact unrelated = person("Dan", "Ortiz", "Globex");
  Contact single = person("Mononym");
  std::vector<ListContact> contacts{byCompany, byEmail, byTitle, unrelated, single};

  ContactListState s;
  s.searchText = "acme";
  EXPECT_THAT(shown(contacts, s), ElementsAre("Ann Lee", "Bo Ng"));
  s.searchText = "études";
  EXPECT_THAT(shown(contacts, s), ElementsAre("Cai Wu"));
  // Not trimmed: a single space matches the full names holding one.
  s.searchText = " ";
  EXPECT_THAT(shown(contacts, s), ElementsAre("Ann Lee", "Bo Ng", "Cai Wu", "Dan Ortiz"));
  s.searchText = "MÜLLER";
  EXPECT_THAT(shown({person("Jens", "Müller")}, s), ElementsAre("Jens Müller"));
}

TEST(ContactList, SearchFindsPeopleWithOrWithoutTheirAccents) {
  Contact jens = person("Jens", "Müller");
  Contact anna = person("Anna", "Muller");
  Contact ayse = person("Ayşe", "García", "Öztürk Holding");
  Contact piotr = person("Piotr", "Nowak");
  piotr.title = "Head of the Łódź office";
  Contact taro = person("太郎", "田中");
  taro.email = "taro@sao-paulo.example";
  const std::vector<ListContact> contacts{jens, anna, ayse, piotr, taro};
  // Folded once, then searched at every keystroke, as the window does.
  const ContactSearchTexts texts(contacts);
  const auto typed = [&](std::string text) {
    ContactListState s;
    s.searchText = std::move(text);
    std::vector<std::string> names;
    for (const ListContact* c : visibleContacts(contacts, texts, {}, s))
      names.push_back(c->fullName());
    EXPECT_EQ(names, shown(contacts, s)) << "the one-off list agrees";
    return names;
  };
  // The list keeps its ordering (by name): the search only narrows it.
  EXPECT_THAT(typed("muller"), ElementsAre("Anna Muller", "Jens Müller"));
  EXPECT_THAT(typed("MÜLLER"), ElementsAre("Anna Muller", "Jens Müller"));
  EXPECT_THAT(typed("ozturk"), ElementsAre("Ayşe García"));
  EXPECT_THAT(typed("ayse garcia"), ElementsAre("Ayşe García"));
  EXPECT_THAT(typed("lodz"), ElementsAre("Piotr Nowak"));
  EXPECT_THAT(typed("sao"), ElementsAre("太郎 田中"));
  EXPECT_THAT(typed("田中"), ElementsAre("太郎 田中"));
  EXPECT_THAT(typed("zq"), IsEmpty());
}

TEST(ContactList, TierOrderIgnoresCaseAndBreaksTiesByCodePoints) {
  auto tiered = [](std::string name, std::optional<std::string> tier) {
    Contact c = person(std::move(name));
    c.tier = std::move(tier);
    return c;
  };
  std::vector<ListContact> contacts{tiered("none", std::nullopt), tiered("Dee", "D"),
                                    tiered("cee", "C"),           tiered("bea", "a"),
                                    tiered("Bea", "A"),           tiered("Bee", "B")};
  EXPECT_THAT(shown(contacts, sortedBy(ContactSortField::tier)),
              ElementsAre("Bea", "bea", "Bee", "cee", "Dee", "none"));
}

TEST(ContactList, NumericOrderingsPutAbsentValuesWhereTheyBelong) {
  auto rated = [](std::string name, std::optional<std::int64_t> rating) {
    Contact c = person(std::move(name));
    c.interactionRating = rating;
    return c;
  };
  std::vector<ListContact> contacts{rated("unrated", std::nullopt), rated("four", 4),
                                    rated("zero", 0), rated("two", 2)};
  EXPECT_THAT(shown(contacts, sortedBy(ContactSortField::lowestRated)),
              ElementsAre("zero", "two", "four", "unrated"));
  // Unrated counts as 0 and keeps its stored place among the zeros.
  EXPECT_THAT(shown(contacts, sortedBy(ContactSortField::highestRated)),
              ElementsAre("four", "two", "unrated", "zero"));

  Contact early = person("early");
  early.metAt = dateFromUnixSeconds(1'700'000'000);
  Contact late = person("late");
  late.metAt = dateFromUnixSeconds(1'800'000'000);
  Contact never = person("never");
  Contact scored = person("scored");
  scored.overallScore = 0.5;
  Contact negative = person("negative");
  negative.overallScore = -1;
  std::vector<ListContact> timed{never, early, late};
  EXPECT_THAT(shown(timed, sortedBy(ContactSortField::recentlyMet)),
              ElementsAre("late", "early", "never"));
  EXPECT_THAT(shown({negative, never, scored}, sortedBy(ContactSortField::score)),
              ElementsAre("scored", "never", "negative"));
}

TEST(ContactList, StatusCompanyAndTitleOrders) {
  auto with = [](std::string name, MeetingStatus status, std::string company) {
    Contact c = person(std::move(name), "", std::move(company));
    c.status = status;
    return c;
  };
  std::vector<ListContact> contacts{
      with("n", MeetingStatus::noShow, "beta"), with("d", MeetingStatus::declined, "Älpha"),
      with("u", MeetingStatus::notMet, "Alpha 10"), with("m", MeetingStatus::met, "alpha 9")};
  EXPECT_THAT(shown(contacts, sortedBy(ContactSortField::status)), ElementsAre("m", "u", "d", "n"));
  EXPECT_THAT(shown(contacts, sortedBy(ContactSortField::company)),
              ElementsAre("d", "m", "u", "n"));
  // Titles in the same collation; a contact without one comes first.
  contacts[0].title = "VP Sales";
  contacts[1].title = "cto";
  contacts[3].title = "Área Manager";
  EXPECT_THAT(shown(contacts, sortedBy(ContactSortField::title)), ElementsAre("u", "m", "d", "n"));
}

TEST(ContactList, TargetsFirstByRankThenName) {
  auto target = [](std::string name, std::optional<std::int64_t> rank) {
    Contact c = person(std::move(name));
    c.isTarget = true;
    c.rank = rank;
    return c;
  };
  Contact other = person("Aaron");
  other.rank = 1;  // a rank without being a target counts for nothing
  std::vector<ListContact> contacts{
      other,        target("zed", std::nullopt), target("Yan", 7), target("bo", 2), target("Al", 7),
      person("abe")};
  EXPECT_THAT(shown(contacts, sortedBy(ContactSortField::targetsFirst)),
              ElementsAre("bo", "Al", "Yan", "zed", "Aaron", "abe"));
  EXPECT_THAT(shown(contacts, sortedBy(ContactSortField::targetsFirst, false)),
              ElementsAre("abe", "Aaron", "zed", "Yan", "Al", "bo"));
}

TEST(ContactList, EqualContactsKeepTheirStoredOrderInBothDirections) {
  std::vector<ListContact> contacts;
  for (const char* name : {"Kim", "kim", "KIM", "Kim"}) contacts.push_back(person(name));
  contacts[0].lastName = "1";  // told apart below only by stored position
  auto ids = [&](const ContactListState& s) {
    std::vector<Uuid> out;
    for (const ListContact* c : visibleContacts(contacts, {}, s)) out.push_back(c->id);
    return out;
  };
  std::vector<Uuid> stored;
  for (const ListContact& c : contacts) stored.push_back(c.id);
  ContactListState s = sortedBy(ContactSortField::status);
  EXPECT_THAT(ids(s), ElementsAreArray(stored));
  s.sortAscending = false;
  EXPECT_THAT(ids(s), ElementsAreArray(stored));
  // Equal names under the collation (case ignored) keep stored order too.
  s = sortedBy(ContactSortField::name);
  EXPECT_THAT(ids(s), ElementsAre(stored[1], stored[2], stored[3], stored[0]));

  // Enough equal contacts that an unstable sort would move them.
  contacts.clear();
  stored.clear();
  for (int i = 0; i < 64; ++i) {
    contacts.push_back(person(i % 2 ? "Lee" : "lee"));
    contacts.back().interactionRating = i % 3 ? 4 : 2;
  }
  for (const ListContact& c : contacts)
    if (c.interactionRating == 4) stored.push_back(c.id);
  for (const ListContact& c : contacts)
    if (c.interactionRating == 2) stored.push_back(c.id);
  EXPECT_THAT(ids(sortedBy(ContactSortField::highestRated)), ElementsAreArray(stored));
  std::vector<Uuid> reversed;
  for (const ListContact& c : contacts)
    if (c.interactionRating == 2) reversed.push_back(c.id);
  for (const ListContact& c : contacts)
    if (c.interactionRating == 4) reversed.push_back(c.id);
  EXPECT_THAT(ids(sortedBy(ContactSortField::highestRated, false)), ElementsAreArray(reversed));
}

TEST(ContactListBulkActions, ChangeOnlyTheSelectedContactsAndEmptyTheSelection) {
  std::vector<Contact> contacts;
  for (int i = 0; i < 14; ++i) contacts.push_back(person("P" + std::to_string(i)));
  ContactListState s;
  for (int i = 13; i >= 0; --i) s.selection.insert(contacts[static_cast<std::size_t>(i)].id);
  s.selection.insert(Uuid::random());  // not one of the event's contacts
  const auto batch = generateDraftsForSelection(contacts, s);
  ASSERT_EQ(batch.size(), 10u);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(batch[i], contacts[i].id) << "stored order";
  EXPECT_THAT(s.selection, IsEmpty());

  contacts[3].status = MeetingStatus::met;
  contacts[3].metAt = dateFromUnixSeconds(1);
  s.selection = {contacts[3].id, contacts[5].id};
  const Date when = dateFromUnixSeconds(1'800'000'000);
  const auto met = markSelectedAsMet(contacts, s, when);
  ASSERT_EQ(met.contacts.size(), 2u);
  for (const Contact& c : met.contacts) {
    EXPECT_EQ(c.status, MeetingStatus::met);
    EXPECT_EQ(c.metAt, when) << "already met contacts are met again now";
  }
  EXPECT_THAT(met.fields, ElementsAre("status", "metAt"));
  EXPECT_THAT(s.selection, IsEmpty());

  s.selection = {contacts[0].id};
  const auto targets = markSelectedAsTarget(contacts, s);
  ASSERT_EQ(targets.contacts.size(), 1u);
  EXPECT_TRUE(targets.contacts[0].isTarget);
  EXPECT_EQ(targets.contacts[0].id, contacts[0].id);
  EXPECT_THAT(targets.fields, ElementsAre("isTarget"));
}

}  // namespace
}  // namespace qm
