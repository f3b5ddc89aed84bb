// Start-up, the one-time store wipe, a damaged store and the reset of all data.
#include <gmock/gmock.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/application.h"
#include "common/atomic_file.h"
#include "common/log.h"
#include "drafting/mac_proxy_service.h"
#include "mail/mail_account.h"
#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "settings/user_defaults.h"
#include "store/event.h"
#include "store/store.h"
#include "support/status_matchers.h"
#include "support/temp_dir.h"
#include "sync/delta_journal.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> namesIn(const fs::path& dir, std::string_view prefix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    auto name = e.path().filename().string();
    if (name.starts_with(prefix)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ApplicationTest : public ::testing::Test {
 protected:
  test::TempDir home;
  AppPaths paths = AppPaths::under(home.path());

  void SetUp() override { log::setLevel(spdlog::level::warn); }

  /// Leaves a store of an older layout (recorded version 0.9) with one event
  /// behind, as an earlier version that crashed would: the event is only in
  /// the write-ahead log, not yet in the main file.
  void olderCrashedStoreWithOneEvent() {
    fs::create_directories(paths.applicationSupport);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      auto store = Store::open(paths.storeFile());
      bool ok = store.ok() && (*store)->insert(Event::create("Earlier")).ok();
      sqlite3* db = nullptr;
      ok = ok && sqlite3_open(paths.storeFile().c_str(), &db) == SQLITE_OK &&
           sqlite3_exec(db, "UPDATE StoreMetadata SET value = '0.9'", nullptr, nullptr, nullptr) ==
               SQLITE_OK;
      _exit(ok ? 0 : 1);  // no close, no checkpoint
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_GT(fs::file_size(paths.applicationSupport / "QuillmereMac.store-wal"), 0u);
  }

  std::int64_t eventCount(QuillmereMacApp& app) {
    auto n = app.store().count<Event>();
    return n.ok() ? *n : -1;
  }
};

TEST_F(ApplicationTest, FirstStartSetsAnOlderStoreAsideAndLaterStartsKeepTheStore) {
  olderCrashedStoreWithOneEvent();
  {
    QuillmereMacApp app(paths);
    ASSERT_TRUE(app.startUp().ok());
    EXPECT_EQ(eventCount(app), 0) << "the store starts empty";
    ASSERT_TRUE(app.store().insert(Event::create("Kept")).ok());
  }
  // Nothing was deleted: the older store is beside the new one, with its
  // write-ahead log under the same name, and still holds its event.
  const auto aside = namesIn(paths.applicationSupport, "QuillmereMac.store.set-aside-");
  // (The stamp in the name is the set-aside helper's to test.)
  ASSERT_EQ(aside.size(), 3u);
  EXPECT_EQ(aside[1], aside[0] + "-shm");
  EXPECT_EQ(aside[2], aside[0] + "-wal");
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((paths.applicationSupport / aside[0]).c_str(), &db), SQLITE_OK);
    sqlite3_stmt* count = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM Event", -1, &count, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(count, 0), 1);
    sqlite3_finalize(count);
    sqlite3_close(db);
  }
  const auto asideAfterFirstStart = namesIn(paths.applicationSupport, "QuillmereMac.store.");

  QuillmereMacApp second(paths);
  ASSERT_TRUE(second.startUp().ok());
  EXPECT_EQ(eventCount(second), 1) << "the second start must not wipe";
  EXPECT_EQ(namesIn(paths.applicationSupport, "QuillmereMac.store."), asideAfterFirstStart);
}

TEST_F(ApplicationTest, AStoreOfTheCurrentLayoutIsNeverSetAside) {
  // Made by a command before the companion's first start (no flag yet)...
  ASSERT_TRUE((*Store::open(paths.storeFile()))->insert(Event::create("Demo")).ok());
  {
    QuillmereMacApp app(paths);
    ASSERT_TRUE(app.startUp().ok());
    EXPECT_EQ(eventCount(app), 1);
    EXPECT_EQ(app.defaults().boolean("storeResetV1"), true);
  }
  // ...and after the settings file became unreadable (the flag is gone with it).
  ASSERT_TRUE(writeFileAtomically(paths.defaultsFile(), "{ not json", 0600).ok());
  QuillmereMacApp app(paths);
  ASSERT_TRUE(app.startUp().ok());
  EXPECT_EQ(eventCount(app), 1);
  EXPECT_TRUE(namesIn(paths.applicationSupport, "QuillmereMac.store.set-aside-").empty());
}

TEST_F(ApplicationTest, ResetDeletesEverythingAndTheNextStartBeginsAfresh) {
  std::string oldDevice;
  {
    QuillmereMacApp app(paths);
    ASSERT_TRUE(app.startUp().ok());
    ASSERT_TRUE(app.store().insert(Event::create("Expo")).ok());
    ASSERT_TRUE(app.settings().setDisplayName("Sam").ok());
    oldDevice = app.deviceIdentity().current();
    ASSERT_TRUE(app.keychain().save(kAIEndpointTokenKey, "secret-token"));
    ASSERT_TRUE(app.keychain().save(kMailPasswordKey, "hunter2"));
    DeltaJournal(paths.applicationSupport)
        .append(SyncEnvelope::make(SyncMessageType::deltaContact, Bytes{'{', '}'}));
    ASSERT_TRUE(fs::exists(DeltaJournal::fileIn(paths.applicationSupport)));
    ASSERT_OK(app.resetAllData());
    EXPECT_FALSE(app.hasStore());
  }
  EXPECT_FALSE(fs::exists(paths.defaultsFile()));
  EXPECT_FALSE(fs::exists(paths.storeFile()));
  EXPECT_FALSE(fs::exists(paths.applicationSupport / "QuillmereMac.store-wal"));
  EXPECT_FALSE(fs::exists(DeltaJournal::fileIn(paths.applicationSupport)))
      << "envelopes for the forgotten phone";
  EXPECT_TRUE(namesIn(paths.applicationSupport, "QuillmereMac.store.").empty())
      << "a reset deletes, it does not set aside";

  // The first start after a reset runs the one-time wipe on absent files.
  QuillmereMacApp app(paths);
  ASSERT_TRUE(app.startUp().ok());
  EXPECT_EQ(eventCount(app), 0);
  EXPECT_EQ(app.settings().displayName(), "");
  EXPECT_EQ(app.defaults().boolean("storeResetV1"), true);
  EXPECT_NE(app.deviceIdentity().current(), oldDevice);
  EXPECT_FALSE(app.keychain().load(kAIEndpointTokenKey)) << "no credential outlives a reset";
  EXPECT_FALSE(app.keychain().load(kMailPasswordKey));
}

TEST_F(ApplicationTest, ResetWithoutPairingServiceDeletesTheStoredBondAndWorksOnADamagedStore) {
  fs::create_directories(paths.applicationSupport);
  ASSERT_TRUE(writeFileAtomically(paths.storeFile(), "damaged", 0644).ok());
  {
    QuillmereMacApp app(paths);
    ASSERT_OK(app.loadServices());
    ASSERT_TRUE(app.keychain().save("com.quillmere.mac.bond", "{\"secret\":\"x\"}"));
    app.deviceIdentity().current();
    ASSERT_OK(app.resetAllData());
    EXPECT_FALSE(app.keychain().load("com.quillmere.mac.bond").has_value());
    EXPECT_FALSE(app.keychain().load(DeviceIdentity::kItemKey).has_value());
  }
  EXPECT_FALSE(fs::exists(paths.storeFile()));
  QuillmereMacApp app(paths);
  EXPECT_TRUE(app.startUp().ok());
}

}  // namespace
}  // namespace qm
