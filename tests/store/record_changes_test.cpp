// The record change log: which writes it names, from which connections, and
// when it tells a reader to read everything again.
#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/record_changes.h"
#include "store_test_support.h"

namespace qm::test {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

class RecordChangesTest : public StoreFixture {
 protected:
  /// The changes since the last call, read as a search index would.
  RecordChanges next(std::size_t limit = 1000) {
    auto changes = recordChangesSince(*store, seen, limit);
    EXPECT_OK(changes);
    if (!changes.ok()) return {};
    seen = changes->latest;
    return *changes;
  }

  Store::Position positionOf(const Contact& c) {
    auto rows = store->fetchPositioned<Contact>({"id"}, {{"id", c.id}});
    EXPECT_OK(rows);
    return rows.ok() && rows->size() == 1 ? rows->front().position : -1;
  }

  std::optional<std::int64_t> seen;
};

TEST_F(RecordChangesTest, NamesThePositionsWrittenByAnyConnection) {
  EXPECT_EQ(next().tables, std::nullopt) << "a first look learns where the log stands";
  EXPECT_THAT(next().tables, testing::Optional(testing::IsEmpty()));

  Event expo = Event::create("Expo");
  ASSERT_OK(store->insert(expo));
  Contact ada = Contact::create("Ada", "Lovelace", "Acme", expo.id);
  Contact bo = Contact::create("Bo", "Berg", "Acme", expo.id);
  ASSERT_OK(store->insert(ada));
  ASSERT_OK(store->insert(bo));
  const Store::Position adaAt = positionOf(ada), boAt = positionOf(bo);
  auto changes = next();
  ASSERT_TRUE(changes.tables);
  EXPECT_THAT(*changes.tables, UnorderedElementsAre(Pair("Event", ElementsAre(1)),
                                                    Pair("Contact", ElementsAre(adaAt, boAt))));

  // The sync bookkeeping of an unchanged contact is no change; any other
  // field is, and each position is named once.
  ada.lastSyncedAt = now();
  ada.syncCount = 3;
  ASSERT_OK(store->updateOnly(ada, {"lastSyncedAt", "syncCount"}));
  EXPECT_THAT(next().tables, testing::Optional(testing::IsEmpty()));
  bo.isTarget = true;
  ASSERT_OK(store->updateOnly(bo, {"isTarget"}));
  ASSERT_OK(store->update(bo));
  EXPECT_THAT(*next().tables, UnorderedElementsAre(Pair("Contact", ElementsAre(boAt))));

  // Another connection (another process, or the snapshot thread) is seen too,
  // cascades included.
  {
    auto other = Store::open(storePath());
    ASSERT_OK(other);
    ContactNote note;
    note.id = note.syncID = Uuid::random();
    note.contactID = bo.id;
    note.createdAt = note.updatedAt = now();
    ASSERT_OK((*other)->insert(note));
    ASSERT_OK((*other)->remove<Event>(expo.id));
  }
  changes = next();
  ASSERT_TRUE(changes.tables);
  EXPECT_THAT(
      *changes.tables,
      UnorderedElementsAre(Pair("ContactNote", ElementsAre(1)), Pair("Event", ElementsAre(1)),
                           Pair("Contact", UnorderedElementsAre(adaAt, boAt))));
}

TEST_F(RecordChangesTest, SendsReadersThatCannotCatchUpToReadEverything) {
  next();
  Event expo = Event::create("Expo");
  ASSERT_OK(store->insert(expo));
  ASSERT_OK(store->transaction([&]() -> Status {
    for (int i = 0; i < 5; ++i) QM_TRY(store->insert(Contact::create("P", "Q", "R", expo.id)));
    return {};
  }));
  // More changes than the reader takes at once.
  const auto tooMany = next(3);
  EXPECT_EQ(tooMany.tables, std::nullopt);
  EXPECT_THAT(next().tables, testing::Optional(testing::IsEmpty()))
      << "after reading everything, the reader goes on from where the log stood";
  // A whole-table delete names no rows (nor those its cascades reached).
  ASSERT_OK(store->removeWhere<Contact>({}));
  EXPECT_EQ(next().tables, std::nullopt);

  // Entries older than the ones kept are gone: a reader that far behind
  // learns so rather than missing changes.
  const std::optional<std::int64_t> farBehind = seen;
  ASSERT_OK(store->transaction([&]() -> Status {
    for (std::int64_t i = 0; i < kRecordChangesKept + 4'096; ++i) {
      expo.name = "Expo " + std::to_string(i);
      QM_TRY(store->update(expo));
    }
    return {};
  }));
  auto behind = recordChangesSince(*store, farBehind, 1'000'000);
  ASSERT_OK(behind);
  EXPECT_EQ(behind->tables, std::nullopt);
  EXPECT_EQ(behind->latest, *farBehind + kRecordChangesKept + 4'096);
}

}  // namespace
}  // namespace qm::test
