#include "settings/keychain_store.h"
#include "settings/device_identity.h"

#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "common/log.h"
#include "common/uuid.h"
#include "support/log_capture.h"
#include "support/status_matchers.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using test::LogCapture;

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

/// An in-memory backend that records calls and can be told to fail.
class RecordingBackend : public KeychainBackend {
 public:
  bool save(std::string_view, std::string_view account, std::string_view value) override {
    calls.push_back("save " + std::string(account));
    if (failSaves) return false;
    items[std::string(account)] = value;
    return true;
  }
  std::optional<std::string> load(std::string_view, std::string_view account) override {
    auto found = items.find(std::string(account));
    return found == items.end() ? std::nullopt : std::optional(found->second);
  }
  bool remove(std::string_view service, std::string_view account) override {
    calls.push_back("remove " + std::string(service) + " " + std::string(account));
    if (failRemoves) return false;
    items.erase(std::string(account));
    return true;
  }

  std::map<std::string, std::string> items;
  std::vector<std::string> calls;
  bool failSaves = false;
  bool failRemoves = false;
};

TEST(KeychainStoreTest, FileBackendKeepsItemsAcrossInstances) {
  test::TempDir dir;
  const fs::path file = dir / "data" / "keychain.json";
  {
    FileKeychainBackend backend(file);
    KeychainStore keychain(backend);
    EXPECT_EQ(keychain.load("bond"), std::nullopt);
    EXPECT_TRUE(keychain.save("bond", "first"));
    EXPECT_TRUE(keychain.save("bond", "second"));
    EXPECT_TRUE(keychain.save("token", "t-1"));
  }
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(nlohmann::json::parse(*readFile(file)),
            nlohmann::json::parse(R"({"com.quillmere.mac": {"bond": "second", "token": "t-1"}})"));

  FileKeychainBackend backend(file);
  KeychainStore keychain(backend);
  EXPECT_EQ(keychain.load("bond"), "second");
  EXPECT_TRUE(keychain.remove("bond"));
  EXPECT_EQ(keychain.load("bond"), std::nullopt);
  EXPECT_TRUE(keychain.remove("bond"));  // already gone still counts as removed
  EXPECT_EQ(keychain.load("token"), "t-1");
}

TEST(KeychainStoreTest, UnreadableFileIsSetAsideNeverOverwritten) {
  test::TempDir dir;
  const fs::path file = dir / "keychain.json";
  const std::string original = R"({"com.quillmere.mac": {"bond": "only copy")";
  ASSERT_OK(writeFileAtomically(file, original));

  LogCapture logged(log::data());
  FileKeychainBackend backend(file);
  KeychainStore keychain(backend);
  EXPECT_EQ(keychain.load("bond"), std::nullopt);

  EXPECT_FALSE(fs::exists(file));
  std::vector<fs::path> aside{fs::directory_iterator(dir.path()), {}};
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_THAT(aside[0].filename().string(), HasSubstr("unreadable"));
  EXPECT_EQ(*readFile(aside[0]), original);
  EXPECT_THAT(logged.text(), HasSubstr(aside[0].string()));

  EXPECT_TRUE(keychain.save("bond", "new"));
  EXPECT_EQ(keychain.load("bond"), "new");
}

TEST(KeychainStoreTest, SaveRemovesTheOldItemThenAddsAndLoadRefusesTextThatIsNotUtf8) {
  RecordingBackend backend;
  KeychainStore keychain(backend);
  EXPECT_TRUE(keychain.save("bond", "v1"));
  EXPECT_THAT(backend.calls, ElementsAre("remove com.quillmere.mac bond", "save bond"));
  backend.failSaves = true;
  EXPECT_FALSE(keychain.save("bond", "v2"));
  EXPECT_EQ(keychain.load("bond"), std::nullopt);  // the old item went first
  backend.failRemoves = true;
  EXPECT_FALSE(keychain.remove("bond"));

  // Broken, overlong and surrogate encodings.
  backend.items = {{"a", "\xc3\x28"}, {"b", "\xc0\xaf"}, {"c", "\xed\xa0\x80"}};
  for (const char* account : {"a", "b", "c"}) EXPECT_EQ(keychain.load(account), std::nullopt);
  backend.items["good"] = "caf\xc3\xa9 \xf0\x9f\x93\x87";
  EXPECT_EQ(keychain.load("good"), "caf\xc3\xa9 \xf0\x9f\x93\x87");
}

bool isUpperCaseUuid(const std::string& text) {
  auto parsed = Uuid::parse(text);
  return parsed && parsed->str() == text;
}

TEST(DeviceIdentityTest, IdentifierIsKeptAcrossRunsAndOnlyAUuidIsUsedAsStored) {
  test::TempDir dir;
  auto run = [&] {  // one start of the companion
    FileKeychainBackend backend(dir / "keychain.json");
    KeychainStore keychain(backend);
    return DeviceIdentity(keychain).current();
  };
  const std::string first = run();
  EXPECT_TRUE(isUpperCaseUuid(first)) << first;
  EXPECT_EQ(run(), first);

  RecordingBackend backend;
  KeychainStore keychain(backend);
  const std::string lower = "e621e1f8-c36c-495a-93fc-0c247a3e6e5f";
  backend.items[std::string(DeviceIdentity::kItemKey)] = lower;
  EXPECT_EQ(DeviceIdentity(keychain).current(), lower);
  backend.items[std::string(DeviceIdentity::kItemKey)] = "not-a-uuid";
  const std::string fresh = DeviceIdentity(keychain).current();
  EXPECT_TRUE(isUpperCaseUuid(fresh)) << fresh;
  EXPECT_EQ(keychain.load(DeviceIdentity::kItemKey), fresh);
}

TEST(DeviceIdentityTest, WithoutAKeychainTheIdentifierHoldsForOneRunAcrossThreads) {
  log::setLevel(spdlog::level::off);  // failed saves log errors
  RecordingBackend backend;
  backend.failSaves = true;
  KeychainStore keychain(backend);
  DeviceIdentity firstRun(keychain);
  std::string a;
  std::string b;
  std::thread one([&] { a = firstRun.current(); });
  std::thread two([&] { b = firstRun.current(); });
  one.join();
  two.join();
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, b);  // nothing is stored, so only the run's cache can agree
  EXPECT_EQ(firstRun.current(), a);

  DeviceIdentity secondRun(keychain);
  const std::string second = secondRun.current();
  EXPECT_NE(second, a);
  secondRun.forget();
  EXPECT_NE(secondRun.current(), second);
  log::setLevel(spdlog::level::info);
}

}  // namespace
}  // namespace qm
