#include "settings/device_identity.h"

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "common/log.h"
#include "common/uuid.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

/// A keychain that holds nothing and refuses every save.
class RefusingBackend : public KeychainBackend {
 public:
  bool save(std::string_view, std::string_view, std::string_view) override { return false; }
  std::optional<std::string> load(std::string_view, std::string_view) override { return {}; }
  bool remove(std::string_view, std::string_view) override { return true; }
};

bool isUpperCaseUuid(const std::string& text) {
  auto parsed = Uuid::parse(text);
  return parsed && parsed->str() == text;
}

TEST(DeviceIdentityTest, IdentifierIsStoredAndStableAcrossRuns) {
  qm::test::TempDir dir;
  FileKeychainBackend backend(dir / "keychain.json");
  KeychainStore keychain(backend);
  const std::string first = DeviceIdentity(keychain).current();
  EXPECT_TRUE(isUpperCaseUuid(first)) << first;

  FileKeychainBackend laterBackend(dir / "keychain.json");
  KeychainStore laterKeychain(laterBackend);
  EXPECT_EQ(DeviceIdentity(laterKeychain).current(), first);
}

TEST(DeviceIdentityTest, StoredUuidIsUsedAsStoredAndGarbageIsReplaced) {
  qm::test::TempDir dir;
  FileKeychainBackend backend(dir / "keychain.json");
  KeychainStore keychain(backend);
  const std::string lower = "e621e1f8-c36c-495a-93fc-0c247a3e6e5f";
  ASSERT_TRUE(keychain.save(DeviceIdentity::kItemKey, lower));
  EXPECT_EQ(DeviceIdentity(keychain).current(), lower);

  ASSERT_TRUE(keychain.save(DeviceIdentity::kItemKey, "not-a-uuid"));
  const std::string fresh = DeviceIdentity(keychain).current();
  EXPECT_TRUE(isUpperCaseUuid(fresh)) << fresh;
  EXPECT_EQ(keychain.load(DeviceIdentity::kItemKey), fresh);
}

class UnsavableIdentityTest : public ::testing::Test {
 protected:
  void SetUp() override { log::setLevel(spdlog::level::off); }  // failed saves log errors
  void TearDown() override { log::setLevel(spdlog::level::info); }

  RefusingBackend backend_;
  KeychainStore keychain_{backend_};
};

TEST_F(UnsavableIdentityTest, IdentifierHoldsForOneRunOnly) {
  DeviceIdentity firstRun(keychain_);
  const std::string first = firstRun.current();
  EXPECT_EQ(firstRun.current(), first);

  DeviceIdentity secondRun(keychain_);
  const std::string second = secondRun.current();
  EXPECT_NE(second, first);
  EXPECT_EQ(secondRun.current(), second);
  secondRun.forget();
  EXPECT_NE(secondRun.current(), second);
}

TEST_F(UnsavableIdentityTest, ConcurrentCallersGetTheSameIdentifier) {
  DeviceIdentity identity(keychain_);  // nothing is stored, so only the run's cache can agree
  std::string a;
  std::string b;
  std::thread first([&] { a = identity.current(); });
  std::thread second([&] { b = identity.current(); });
  first.join();
  second.join();
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace qm
