// The store as files: opening, schema version, damaged files, external data.
#include <gmock/gmock.h>
#include <sqlite3.h>

#include <fstream>

#include "common/atomic_file.h"
#include "store/event.h"
#include "store/qlm_import_record.h"
#include "store/saved_report.h"
#include "store_test_support.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::size_t filesIn(const fs::path& dir) {
  std::error_code ec;
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir, ec)) ++n;
  return n;
}

TEST_F(StoreFixture, RecordsSchemaVersionAndUsesWriteAheadLogging) {
  auto version = store->schemaVersion();
  ASSERT_OK(version);
  EXPECT_EQ(*version, "1.0.0");
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

  auto opened = Store::open(path);
  ASSERT_FALSE(opened.ok());
  EXPECT_THAT(opened.error().message, HasSubstr("not a database"));
  auto after = readFile(path);
  ASSERT_OK(after);
  EXPECT_EQ(*after, garbage);
  EXPECT_EQ(fs::last_write_time(path), before);
  EXPECT_FALSE(fs::exists(dir / "QuillmereMac.store-wal"));
  EXPECT_FALSE(fs::exists(dir / "QuillmereMac.store-shm"));
}

TEST(StoreFile, AStoreOfAnotherSchemaVersionIsRefused) {
  TempDir dir;
  const auto path = dir / "QuillmereMac.store";
  {
    auto s = Store::open(path);
    ASSERT_OK(s);
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE StoreMetadata SET value='9.0.0'", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  auto reopened = Store::open(path);
  ASSERT_FALSE(reopened.ok());
  EXPECT_THAT(reopened.error().message, HasSubstr("9.0.0"));
}

TEST_F(StoreFixture, LargePdfIsKeptOutsideTheMainFile) {
  auto event = Event::create("Expo");
  ASSERT_OK(store->insert(event));
  // Settle the main file (checkpoint) so its size reflects committed pages.
  reopen();
  const auto sizeBefore = fs::file_size(storePath());

  auto report = SavedReport::create("event", "Report", event.id);
  report.pdfData = Bytes(10 * 1024 * 1024);
  for (std::size_t i = 0; i < report.pdfData->size(); ++i)
    (*report.pdfData)[i] = static_cast<std::uint8_t>(i * 31);
  ASSERT_OK(store->insert(report));
  reopen();

  const auto mainGrowth = fs::file_size(storePath()) - sizeBefore;
  EXPECT_LT(mainGrowth, 64u * 1024);
  EXPECT_EQ(filesIn(store->externalDataFolder()), 1u);
  auto read = store->find<SavedReport>(report.id);
  ASSERT_OK(read);
  ASSERT_TRUE(read->has_value());
  EXPECT_EQ((*read)->pdfData, report.pdfData);
}

TEST_F(StoreFixture, ExternalDataFilesFollowTheirRecords) {
  auto event = Event::create("Expo");
  ASSERT_OK(store->insert(event));
  auto report = SavedReport::create("event", "Report", event.id);
  report.pdfData = Bytes{1, 2, 3};
  ASSERT_OK(store->insert(report));
  EXPECT_EQ(filesIn(store->externalDataFolder()), 1u);

  // Replacing the data keeps exactly one file, holding the new bytes.
  report.pdfData = Bytes{4, 5};
  ASSERT_OK(store->save(report));
  EXPECT_EQ(filesIn(store->externalDataFolder()), 1u);

  // A write that rolls back leaves neither its file nor a missing old one.
  auto failed = store->transaction([&]() -> Status {
    auto replaced = report;
    replaced.pdfData = Bytes(100, 9);
    QM_TRY(store->save(replaced));
    return Error("cancelled");
  });
  EXPECT_FALSE(failed.ok());
  EXPECT_EQ(filesIn(store->externalDataFolder()), 1u);
  auto read = store->find<SavedReport>(report.id);
  ASSERT_OK(read);
  EXPECT_EQ((*read)->pdfData, (Bytes{4, 5}));

  // Deleting the event cascades to the report and its file.
  ASSERT_OK(store->remove<Event>(event.id));
  EXPECT_EQ(filesIn(store->externalDataFolder()), 0u);
}

TEST_F(StoreFixture, AFailedWriteInsideATransactionKeepsTheDataItWouldHaveReplaced) {
  auto event = Event::create("Expo");
  ASSERT_OK(store->insert(event));
  auto report = SavedReport::create("event", "Report", event.id);
  report.pdfData = Bytes{1, 2, 3};
  ASSERT_OK(store->insert(report));

  ASSERT_OK(store->transaction([&]() -> Status {
    // Replacing the PDF while pointing at a missing event fails after the
    // old file was already let go inside the statement.
    auto broken = report;
    broken.pdfData = Bytes(50, 7);
    broken.eventID = Uuid::random();
    EXPECT_FALSE(store->save(broken).ok());
    // The transaction goes on and commits its other work.
    return store->insert(Event::create("Other"));
  }));
  EXPECT_EQ(filesIn(store->externalDataFolder()), 1u);
  auto read = store->find<SavedReport>(report.id);
  ASSERT_OK(read);
  EXPECT_EQ((*read)->pdfData, (Bytes{1, 2, 3}));
  EXPECT_EQ(*store->count<Event>(), 2);
}

TEST_F(StoreFixture, UnreferencedExternalFilesAreSweptAtOpen) {
  fs::create_directories(store->externalDataFolder());
  ASSERT_OK(writeFileAtomically(store->externalDataFolder() / "LEFTOVER", "x", 0600));
  auto event = Event::create("Expo");
  ASSERT_OK(store->insert(event));
  auto report = SavedReport::create("event", "Report", event.id);
  report.pdfData = Bytes{7};
  ASSERT_OK(store->insert(report));
  reopen();
  EXPECT_FALSE(fs::exists(store->externalDataFolder() / "LEFTOVER"));
  auto read = store->find<SavedReport>(report.id);
  ASSERT_OK(read);
  EXPECT_EQ((*read)->pdfData, (Bytes{7}));
}

}  // namespace
}  // namespace qm::test

namespace qm::test {
namespace {

TEST_F(StoreFixture, FetchOnlyReadsTheNamedFields) {
  auto event = Event::create("Expo");
  ASSERT_OK(store->insert(event));
  auto contact = Contact::create("Ada", "Lovelace", "Acme", event.id);
  contact.email = "ada@example.com";
  contact.rank = 3;
  ASSERT_OK(store->insert(contact));

  auto partial = store->fetchOnly<Contact>({"id", "lastName", "rank"}, {{"eventID", event.id}});
  ASSERT_OK(partial);
  ASSERT_EQ(partial->size(), 1u);
  const Contact& c = partial->front();
  EXPECT_EQ(c.id, contact.id);
  EXPECT_EQ(c.lastName, "Lovelace");
  EXPECT_EQ(c.rank, 3);
  EXPECT_EQ(c.firstName, "");
  EXPECT_FALSE(c.email.has_value());
  EXPECT_FALSE(store->fetchOnly<Contact>({"nickname"}).ok());
}

TEST_F(StoreFixture, ChangeStampFollowsItsTableHereAndEveryCommitElsewhere) {
  auto stamp = [&] {
    auto s = store->changeStamp("Event");
    EXPECT_TRUE(s.ok());
    return s.ok() ? *s : Store::ChangeStamp{};
  };
  const auto before = stamp();
  EXPECT_EQ(stamp(), before) << "reading changes nothing";

  ASSERT_OK(store->insert(QLMImportRecord{Uuid::random(), "f", "c", "e", now()}));
  EXPECT_EQ(stamp(), before) << "a write to another table through this handle";

  auto event = Event::create("Mine");
  ASSERT_OK(store->insert(event));
  const auto afterInsert = stamp();
  EXPECT_NE(afterInsert, before);
  ASSERT_OK(store->remove<Event>(event.id));
  const auto afterDelete = stamp();
  EXPECT_NE(afterDelete, afterInsert);

  // Cascades and whole-table deletes count for the tables they reach.
  ASSERT_OK(store->insert(event));
  const auto beforeCascade = stamp();
  ASSERT_OK(store->removeWhere<Event>({}));
  EXPECT_NE(stamp(), beforeCascade);
  auto contactStamp = store->changeStamp("Contact");
  ASSERT_OK(contactStamp);
  auto e2 = Event::create("Other");
  ASSERT_OK(store->insert(e2));
  ASSERT_OK(store->insert(Contact::create("A", "B", "C", e2.id)));
  auto withContact = store->changeStamp("Contact");
  ASSERT_OK(withContact);
  EXPECT_NE(*withContact, *contactStamp);
  ASSERT_OK(store->remove<Event>(e2.id));  // deletes the contact by cascade
  auto afterCascade = store->changeStamp("Contact");
  ASSERT_OK(afterCascade);
  EXPECT_NE(*afterCascade, *withContact);
  const auto afterDeleteAll = stamp();

  // Another process (here: another handle) commits to the same file.
  auto other = Store::open(storePath());
  ASSERT_OK(other);
  ASSERT_OK((*other)->insert(QLMImportRecord{Uuid::random(), "g", "c", "e", now()}));
  EXPECT_NE(stamp(), afterDeleteAll);
  EXPECT_NE(afterDeleteAll, afterDelete);
}

}  // namespace
}  // namespace qm::test
