// The store as files: opening, schema version, damaged files, external data.
#include <gmock/gmock.h>
#include <sqlite3.h>

#include <iterator>
#include <optional>

#include "common/atomic_file.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/qlm_import_record.h"
#include "store/saved_report.h"
#include "store_test_support.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

TEST_F(StoreFixture, RecordsSchemaVersionAndUsesWriteAheadLogging) {
  EXPECT_EQ(store->schemaVersion().value(), "1.0.0");
  ASSERT_OK(store->insert(Event::create("Expo")));
  EXPECT_TRUE(fs::exists(dir / "QuillmereMac.store-wal"));
  EXPECT_TRUE(fs::exists(dir / "QuillmereMac.store-shm"));
}

TEST(StoreFile, AFileThatIsNotAStoreIsRefusedAndLeftUntouched) {
  TempDir dir;
  const auto path = dir / "QuillmereMac.store";
  const std::string garbage = "these are my notes, not a database\n";
  ASSERT_OK(writeFileAtomically(path, garbage, 0600));
  const auto before = fs::last_write_time(path);

  EXPECT_THAT(Store::open(path), IsError(HasSubstr("not a database")));
  EXPECT_EQ(readFile(path).value(), garbage);
  EXPECT_EQ(fs::last_write_time(path), before);
  EXPECT_FALSE(fs::exists(dir / "QuillmereMac.store-wal"));
  EXPECT_FALSE(fs::exists(dir / "QuillmereMac.store-shm"));
}

TEST(StoreFile, AStoreOfAnotherSchemaVersionIsRefused) {
  TempDir dir;
  const auto path = dir / "QuillmereMac.store";
  ASSERT_OK(Store::open(path));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE StoreMetadata SET value='9.0.0'", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  EXPECT_THAT(Store::open(path), IsError(HasSubstr("9.0.0")));
}

// A store written before drafts could carry their own recipient opens with
// the new column empty, its drafts intact and writable.
TEST(StoreFile, AStoreWithoutANewerOptionalColumnGainsItAndKeepsItsRecords) {
  TempDir dir;
  const auto path = dir / "QuillmereMac.store";
  const FollowUpDraft draft = FollowUpDraft::create("Hello", "Body");
  {
    auto store = Store::open(path).value();
    ASSERT_OK(store->insert(draft));
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "ALTER TABLE FollowUpDraft DROP COLUMN recipientEmail", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);

  auto store = Store::open(path).value();
  auto read = store->find<FollowUpDraft>(draft.id).value();
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, draft);
  read->recipientEmail = "ana@example.com";
  ASSERT_OK(store->update(*read));
  EXPECT_EQ(store->find<FollowUpDraft>(draft.id).value()->recipientEmail, "ana@example.com");
}

/// A store holding an event and a report whose PDF is kept outside the main file.
class ExternalData : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    ASSERT_OK(store->insert(event));
    report.pdfData = Bytes{1, 2, 3};
    ASSERT_OK(store->insert(report));
  }
  std::ptrdiff_t files() const {
    std::error_code ec;
    return std::distance(fs::directory_iterator(store->externalDataFolder(), ec), {});
  }
  std::optional<Bytes> storedPdf() {
    auto read = store->find<SavedReport>(report.id);
    EXPECT_OK(read);
    return read.ok() && read->has_value() ? (*read)->pdfData : std::nullopt;
  }

  Event event = Event::create("Expo");
  SavedReport report = SavedReport::create("event", "Report", event.id);
};

TEST_F(ExternalData, ALargePdfLeavesTheMainFileSmall) {
  reopen();  // settle the main file (checkpoint) so its size reflects committed pages
  const auto sizeBefore = fs::file_size(storePath());
  report.pdfData = Bytes(10 * 1024 * 1024);
  for (std::size_t i = 0; i < report.pdfData->size(); ++i)
    (*report.pdfData)[i] = static_cast<std::uint8_t>(i * 31);
  ASSERT_OK(store->save(report));
  reopen();

  EXPECT_LT(fs::file_size(storePath()) - sizeBefore, 64u * 1024);
  EXPECT_EQ(files(), 1);
  EXPECT_EQ(storedPdf(), report.pdfData);
}

TEST_F(ExternalData, FilesFollowTheirRecordsThroughReplaceRollbackAndCascade) {
  EXPECT_EQ(files(), 1);
  // Replacing the data keeps exactly one file, holding the new bytes.
  report.pdfData = Bytes{4, 5};
  ASSERT_OK(store->save(report));
  EXPECT_EQ(files(), 1);

  // A write that rolls back leaves neither its file nor a missing old one.
  EXPECT_THAT(store->transaction([&]() -> Status {
    auto replaced = report;
    replaced.pdfData = Bytes(100, 9);
    QM_TRY(store->save(replaced));
    return Error("cancelled");
  }),
              IsError("cancelled"));
  EXPECT_EQ(files(), 1);
  EXPECT_EQ(storedPdf(), (Bytes{4, 5}));

  // Deleting the event cascades to the report and its file.
  ASSERT_OK(store->remove<Event>(event.id));
  EXPECT_EQ(files(), 0);
}

TEST_F(ExternalData, AFailedWriteInsideATransactionKeepsTheDataItWouldHaveReplaced) {
  ASSERT_OK(store->transaction([&]() -> Status {
    // Replacing the PDF while pointing at a missing event fails after the
    // old file was already let go inside the statement.
    auto broken = report;
    broken.pdfData = Bytes(50, 7);
    broken.eventID = Uuid::random();
    EXPECT_THAT(store->save(broken), IsError());
    // The transaction goes on and commits its other work.
    return store->insert(Event::create("Other"));
  }));
  EXPECT_EQ(files(), 1);
  EXPECT_EQ(storedPdf(), (Bytes{1, 2, 3}));
  EXPECT_EQ(countOf<Event>(*store), 2);
}

TEST_F(ExternalData, UnreferencedFilesAreSweptAtOpen) {
  ASSERT_OK(writeFileAtomically(store->externalDataFolder() / "LEFTOVER", "x", 0600));
  reopen();
  EXPECT_FALSE(fs::exists(store->externalDataFolder() / "LEFTOVER"));
  EXPECT_EQ(storedPdf(), (Bytes{1, 2, 3}));
}

TEST_F(StoreFixture, FetchOnlyReadsTheNamedFields) {
  auto event = Event::create("Expo");
  auto contact = Contact::create("Ada", "Lovelace", "Acme", event.id);
  contact.email = "ada@example.com";
  contact.rank = 3;
  ASSERT_OK(store->insert(event));
  ASSERT_OK(store->insert(contact));

  Contact expected{};
  expected.id = contact.id;
  expected.lastName = "Lovelace";
  expected.rank = 3;
  EXPECT_THAT(store->fetchOnly<Contact>({"id", "lastName", "rank"}, {{"eventID", event.id}}),
              HoldsValue(::testing::ElementsAre(expected)));
  EXPECT_FALSE(store->fetchOnly<Contact>({"nickname"}).ok());
}

TEST_F(StoreFixture, ForEachPositionedHandsOverOneRecordAtATimeAndStopsAtAnError) {
  auto event = Event::create("Expo");
  ASSERT_OK(store->insert(event));
  std::vector<Contact> stored;
  for (const char* name : {"Ada", "Bo", "Cy"}) {
    stored.push_back(Contact::create(name, "", "Acme", event.id));
    ASSERT_OK(store->insert(stored.back()));
  }
  stored[1].email = "bo@example.com";
  ASSERT_OK(store->update(stored[1]));

  // The record is reused: each row's named fields are set anew, so Cy does
  // not inherit Bo's address.
  std::vector<std::pair<std::string, std::optional<std::string>>> seen;
  std::vector<Store::Position> positions;
  ASSERT_OK(store->forEachPositioned<Contact>({"firstName", "email"}, {{"eventID", event.id}},
                                              [&](Store::Position position, Contact& c) -> Status {
                                                seen.emplace_back(std::move(c.firstName), c.email);
                                                positions.push_back(position);
                                                return {};
                                              }));
  EXPECT_THAT(seen, ::testing::ElementsAre(::testing::Pair("Ada", std::nullopt),
                                           ::testing::Pair("Bo", "bo@example.com"),
                                           ::testing::Pair("Cy", std::nullopt)));

  int visits = 0;
  const Status stopped =
      store->forEachPositioned<Contact>({"id"}, {}, [&](Store::Position, Contact&) -> Status {
        return ++visits == 2 ? Status(Error("full")) : Status{};
      });
  EXPECT_FALSE(stopped.ok());
  EXPECT_EQ(visits, 2);

  // By position: in the order asked, a position without a record skipped.
  std::vector<std::string> named;
  ASSERT_OK(store->forEachPositionedAt<Contact>({"firstName"},
                                                {positions[2], 999'999, positions[0]},
                                                [&](Store::Position, Contact& c) -> Status {
                                                  named.push_back(c.firstName);
                                                  return {};
                                                }));
  EXPECT_THAT(named, ::testing::ElementsAre("Cy", "Ada"));
}

TEST_F(StoreFixture, ChangeStampFollowsItsTableHereAndEveryCommitElsewhere) {
  auto stamp = [&](std::string_view table) {
    auto s = store->changeStamp(table);
    EXPECT_OK(s);
    return s.ok() ? *s : Store::ChangeStamp{};
  };
  const auto before = stamp("Event");
  EXPECT_EQ(stamp("Event"), before) << "reading changes nothing";
  ASSERT_OK(store->insert(QLMImportRecord{Uuid::random(), "f", "c", "e", now()}));
  EXPECT_EQ(stamp("Event"), before) << "a write to another table through this handle";

  auto event = Event::create("Mine");
  ASSERT_OK(store->insert(event));
  const auto afterInsert = stamp("Event");
  EXPECT_NE(afterInsert, before);
  ASSERT_OK(store->removeWhere<Event>({}));  // a whole-table delete counts too
  const auto afterDeleteAll = stamp("Event");
  EXPECT_NE(afterDeleteAll, afterInsert);

  // Cascades count for the tables they reach.
  ASSERT_OK(store->insert(event));
  ASSERT_OK(store->insert(Contact::create("A", "B", "C", event.id)));
  const auto withContact = stamp("Contact");
  ASSERT_OK(store->remove<Event>(event.id));
  EXPECT_NE(stamp("Contact"), withContact);

  // Another process (here: another handle) commits to the same file.
  const auto mine = stamp("Event");
  auto other = Store::open(storePath());
  ASSERT_OK(other);
  ASSERT_OK((*other)->insert(QLMImportRecord{Uuid::random(), "g", "c", "e", now()}));
  EXPECT_NE(stamp("Event"), mine);
}

TEST_F(StoreFixture, ARelaxedTransactionSkipsOnlyItsOwnWaitForTheDisk) {
  auto synchronous = [&] {
    auto stmt = store->statement("PRAGMA synchronous");
    EXPECT_OK(stmt);
    return stmt.ok() && sqlite3_step(*stmt) == SQLITE_ROW ? sqlite3_column_int(*stmt, 0) : -1;
  };
  constexpr int kNormal = 1, kFull = 2;
  EXPECT_EQ(synchronous(), kFull);
  int during = -1;
  ASSERT_OK(store->transaction(
      [&]() -> Status {
        during = synchronous();
        return store->insert(Event::create("Logged"));
      },
      Store::Durability::relaxed));
  EXPECT_EQ(during, kNormal);
  EXPECT_EQ(synchronous(), kFull) << "records written after it wait for the disk again";
  // Committed all the same, and a failing one is rolled back as any other.
  EXPECT_EQ(countOf<Event>(*Store::open(storePath()).value()), 1);
  EXPECT_FALSE(store
                   ->transaction(
                       [&]() -> Status {
                         QM_TRY(store->insert(Event::create("Gone")));
                         return Error("stop");
                       },
                       Store::Durability::relaxed)
                   .ok());
  EXPECT_EQ(synchronous(), kFull);
  EXPECT_EQ(countOf<Event>(*store), 1);
}

}  // namespace
}  // namespace qm::test
