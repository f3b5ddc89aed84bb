// The store's indexed contact queries give what reading every contact gives:
// event figures, the list order, the last-name walk and an event's notes, on
// stores made to trip them up.
#include <gmock/gmock.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "store/contact_note.h"
#include "store/contact_queries.h"
#include "store/event.h"
#include "store_test_support.h"

namespace qm::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

/// Every character `Contact::fullName` trims, as UTF-8.
const std::array<std::string, 25> kWhiteSpace = {
    "\t",     "\n",     "\v",     "\f",     "\r",     " ",      "\u0085", "\u00A0", "\u1680",
    "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008",
    "\u2009", "\u200A", "\u2028", "\u2029", "\u202F", "\u205F", "\u3000"};

/// Two events and contacts outside any event, with every field the queries
/// read drawn from small pools, so that names, ranks and companies repeat;
/// some contacts are deleted again.
class ContactQueries : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    ASSERT_OK(store->insert(expo));
    ASSERT_OK(store->insert(fair));
  }

  void fill(std::size_t count, unsigned seed) {
    const std::vector<std::string> firsts = {"Ann", "ann", "",        " Ann",     "Ann\u00A0",
                                             "Zoë", "Åsa", "Ann Lee", "\u3000Bob"};
    const std::vector<std::string> lasts = {"Lee", "",       "Lee ",     "\u3000Lee",
                                            "lee", "O'Neil", "Lee\u2007"};
    const std::vector<std::string> companies = {"", "Unknown Company", "Acme", "acme", "Globex"};
    std::mt19937 rng(seed);
    const auto pick = [&](const auto& pool) { return pool[rng() % pool.size()]; };
    std::vector<Uuid> doomed;
    ASSERT_OK(store->transaction([&]() -> Status {
      for (std::size_t i = 0; i < count; ++i) {
        const std::optional<Uuid> event =
            i % 5 == 4 ? std::nullopt : std::optional(i % 5 < 3 ? expo.id : fair.id);
        Contact c = Contact::create(pick(firsts), pick(lasts), pick(companies), event);
        if (rng() % 3 != 0) c.rank = static_cast<std::int64_t>(rng() % 4);
        c.status = allCases<MeetingStatus>()[rng() % 4];
        c.isTarget = rng() % 3 == 0;
        if (rng() % 2 == 0) c.interactionRating = static_cast<std::int64_t>(1 + rng() % 5);
        QM_TRY(store->insert(c));
        if (rng() % 7 == 0) doomed.push_back(c.id);
      }
      for (const auto& id : doomed) QM_TRY(store->remove<Contact>(id));
      return {};
    }));
  }

  std::vector<Contact> contactsOf(const Uuid& event) {
    auto all = store->fetch<Contact>({{"eventID", event}});
    EXPECT_OK(all);
    return all.ok() ? *all : std::vector<Contact>{};
  }

  /// The ids `visitContactsInListOrder` gives, read back by position.
  std::vector<Uuid> listed(const Uuid& event, const ContactListFilter& filter = {},
                           std::function<bool(const ContactListEntry&)> keep = {}) {
    std::vector<Store::Position> positions;
    EXPECT_OK(visitContactsInListOrder(
        *store, event, filter, [&](const ContactListEntry& e) { return !keep || keep(e); },
        [&](const ContactListEntry& e) {
          positions.push_back(e.position);
          return true;
        }));
    return idsAt(positions);
  }

  std::vector<Uuid> idsAt(const std::vector<Store::Position>& positions) {
    auto contacts = store->fetchOnlyAt<Contact>({"id"}, positions);
    EXPECT_OK(contacts);
    std::vector<Uuid> ids;
    if (contacts.ok())
      for (const auto& c : *contacts) ids.push_back(c.id);
    return ids;
  }

  Event expo = Event::create("Expo");
  Event fair = Event::create("Fair");
};

/// The list order as reading every contact gives it: ranked ones by rank,
/// then unranked, ties by full name, then stored order.
std::vector<Uuid> listOrder(std::vector<Contact> contacts) {
  std::ranges::stable_sort(contacts, [](const Contact& a, const Contact& b) {
    if (a.rank.has_value() != b.rank.has_value()) return a.rank.has_value();
    if (a.rank && *a.rank != *b.rank) return *a.rank < *b.rank;
    return a.fullName() < b.fullName();
  });
  std::vector<Uuid> ids;
  for (const auto& c : contacts) ids.push_back(c.id);
  return ids;
}

TEST_F(ContactQueries, EventFiguresEqualThoseOfTheContactsRead) {
  fill(600, 7);
  // More companies in the expo than the distinct scan seeks one by one.
  ASSERT_OK(store->transaction([&]() -> Status {
    for (int i = 0; i < 300; ++i)
      QM_TRY(store->insert(Contact::create("A", "B", "Co " + std::to_string(i % 150), expo.id)));
    return {};
  }));
  const Event empty = Event::create("Empty");
  ASSERT_OK(store->insert(empty));

  for (const Event* e : std::vector<const Event*>{&expo, &fair, &empty}) {
    SCOPED_TRACE(e->name);
    const auto contacts = contactsOf(e->id);
    std::set<std::string> companies;
    std::int64_t rated = 0, ratingSum = 0;
    for (const auto& c : contacts) {
      companies.insert(c.displayCompany());
      if (c.interactionRating) ++rated, ratingSum += *c.interactionRating;
    }
    auto counts = countContactsOfEvent(*store, e->id);
    ASSERT_OK(counts);
    EXPECT_EQ(counts->contacts, std::ssize(contacts));
    EXPECT_EQ(counts->met, metCount(contacts));
    EXPECT_EQ(counts->targets, targetCount(contacts));
    auto ratings = ratingsOfEvent(*store, e->id);
    ASSERT_OK(ratings);
    EXPECT_EQ(ratings->rated, rated);
    EXPECT_EQ(ratings->sum, ratingSum);
    EXPECT_THAT(countCompaniesOfEvent(*store, e->id), HoldsValue(std::ssize(companies)));
  }
}

TEST_F(ContactQueries, ListOrderIsRankThenTrimmedNameThenStoredOrder) {
  fill(400, 11);
  EXPECT_THAT(listed(expo.id), ElementsAreArray(listOrder(contactsOf(expo.id))));

  // The filters the index answers, and one it does not.
  std::vector<Contact> met;
  for (const auto& c : contactsOf(fair.id))
    if (c.status == MeetingStatus::met && c.isTarget) met.push_back(c);
  EXPECT_THAT(listed(fair.id, {"met", true}), ElementsAreArray(listOrder(met)));
  std::vector<Contact> acme;
  for (const auto& c : contactsOf(fair.id))
    if (c.company == "Acme") acme.push_back(c);
  EXPECT_THAT(listed(fair.id, {}, [](const ContactListEntry& e) { return e.company == "Acme"; }),
              ElementsAreArray(listOrder(acme)));
}

TEST_F(ContactQueries, AnEventsNotesAreThoseOfItsContactsInStoredOrder) {
  fill(300, 5);
  // Notes of both events' contacts and of contacts outside any event, interleaved.
  const std::vector<Contact> all = store->fetch<Contact>().value();
  ASSERT_OK(store->transaction([&]() -> Status {
    for (std::size_t i = 0; i < all.size() * 2; ++i) {
      ContactNote note;
      note.id = Uuid::random();
      note.contactID = all[i * 7 % all.size()].id;
      QM_TRY(store->insert(note));
    }
    return {};
  }));
  const std::vector<ContactNote> notes = store->fetch<ContactNote>().value();
  for (const Event* e : std::vector<const Event*>{&expo, &fair}) {
    SCOPED_TRACE(e->name);
    std::set<Uuid> members;
    for (const auto& c : contactsOf(e->id)) members.insert(c.id);
    std::vector<Uuid> expected;
    for (const auto& n : notes)
      if (members.contains(*n.contactID)) expected.push_back(n.id);
    ASSERT_FALSE(expected.empty());
    auto positions = notePositionsOfEvent(*store, e->id);
    ASSERT_OK(positions);
    auto found = store->fetchOnlyAt<ContactNote>({"id"}, *positions);
    ASSERT_OK(found);
    std::vector<Uuid> ids;
    for (const auto& n : *found) ids.push_back(n.id);
    EXPECT_THAT(ids, ElementsAreArray(expected));
  }
}

TEST_F(ContactQueries, NamesTrimmedOfAnyWhiteSpaceSortAsOne) {
  // All "Kim Park" once trimmed: one tie in stored order, before "Lou" (an
  // untrimmed one would sort after it).
  ASSERT_OK(store->insert(Contact::create("Lou", "", "", expo.id)));
  std::vector<Contact> all = contactsOf(expo.id);
  for (std::size_t i = 0; i < kWhiteSpace.size(); ++i) {
    auto c =
        Contact::create(kWhiteSpace[i] + "Kim", "Park" + kWhiteSpace[(i * 7) % 25], "", expo.id);
    ASSERT_OK(store->insert(c));
    all.push_back(c);
  }
  EXPECT_THAT(listed(expo.id), ElementsAreArray(listOrder(all)));
  EXPECT_EQ(listed(expo.id).back(), all.front().id);
}

TEST_F(ContactQueries, ListingStopsWhenAsked) {
  fill(100, 3);
  int seen = 0;
  ASSERT_OK(visitContactsInListOrder(
      *store, expo.id, {}, [](const ContactListEntry&) { return true; },
      [&](const ContactListEntry&) { return ++seen < 5; }));
  EXPECT_EQ(seen, 5);
}

TEST_F(ContactQueries, LastNamesAreWalkedByNameThenInStoredOrder) {
  // More distinct names than the scan seeks one by one, and one name many share.
  std::vector<Uuid> lees;
  ASSERT_OK(store->transaction([&]() -> Status {
    for (int i = 0; i < 400; ++i) {
      auto c = Contact::create("P", i % 2 ? "Lee" : "N" + std::to_string(i), "Co");
      c.email = i % 4 == 1 ? std::optional<std::string>("p@co") : std::nullopt;
      QM_TRY(store->insert(c));
      if (i % 2) lees.push_back(c.id);
    }
    return {};
  }));
  auto names = distinctLastNames(*store);
  ASSERT_OK(names);
  EXPECT_EQ(names->size(), 201u);
  EXPECT_TRUE(std::ranges::is_sorted(*names));
  EXPECT_EQ(std::ranges::count(*names, "Lee"), 1);

  // Read a page at a time from just after the last one read.
  std::vector<Uuid> walked;
  Store::Position after = 0;
  for (;;) {
    auto page = contactsWithLastName(*store, "Lee", 64, after);
    ASSERT_OK(page);
    std::vector<Store::Position> positions;
    for (const auto& e : *page) positions.push_back(e.position);
    std::ranges::copy(idsAt(positions), std::back_inserter(walked));
    if (page->size() < 64) break;
    after = page->back().position;
  }
  EXPECT_EQ(walked, lees);
  auto first = contactsWithLastName(*store, "Lee", 2);
  ASSERT_OK(first);
  ASSERT_EQ(first->size(), 2u);
  EXPECT_EQ(first->at(0).email, "p@co");
  EXPECT_EQ(first->at(1).email, std::nullopt);
  EXPECT_EQ(first->at(1).lastName, "Lee");
}

TEST_F(ContactQueries, AStoreWithoutTheIndexesGainsThemWhenOpened) {
  ASSERT_OK(store->insert(Contact::create("Ada", "Lovelace", "Acme", expo.id)));
  store.reset();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(storePath().c_str(), &db), SQLITE_OK);
  for (const char* index : {"Contact_eventFigures", "Contact_eventCompanies",
                            "Contact_eventListOrder", "Contact_lastName"})
    ASSERT_EQ(sqlite3_exec(db, ("DROP INDEX \"" + std::string(index) + "\"").c_str(), nullptr,
                           nullptr, nullptr),
              SQLITE_OK)
        << index;
  sqlite3_close(db);

  reopen();
  EXPECT_THAT(countCompaniesOfEvent(*store, expo.id), HoldsValue(1));
  EXPECT_EQ(listed(expo.id).size(), 1u);
  EXPECT_THAT(distinctLastNames(*store), HoldsValue(ElementsAre("Lovelace")));
}

}  // namespace
}  // namespace qm::test
