#include "pairing/pairing_bond.h"

#include <memory>
#include <sstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "common/log.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using Json = nlohmann::json;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

/// A keychain that refuses every change.
class BrokenBackend : public KeychainBackend {
 public:
  bool save(std::string_view, std::string_view, std::string_view) override { return false; }
  std::optional<std::string> load(std::string_view, std::string_view) override {
    return std::nullopt;
  }
  bool remove(std::string_view, std::string_view) override { return false; }
};

class PairingBondTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  FileKeychainBackend backend_{dir_ / "keychain.json"};
  KeychainStore keychain_{backend_};

  PairingBond sampleBond() const {
    // 2026-03-01T09:30:00.123456Z
    return PairingBond{
        "6F1C2A0E-55B4-4C3D-9E0A-7D2B61C4A9F3", "Ana's iPhone",
        "q83vEjRWeJq83vEjRWeJq83vEjRWeJq83vEjRWeJq80=", dateFromUnixSeconds(1772357400, 123456)};
  }

  Json storedJson() {
    auto text = keychain_.load(PairingBond::kKeychainKey);
    EXPECT_TRUE(text.has_value());
    return text ? Json::parse(*text, nullptr, false) : Json();
  }
};

TEST_F(PairingBondTest, RoundTripKeepsEveryFieldToTheMicrosecond) {
  const PairingBond bond = sampleBond();
  test::LogCapture logged(log::pairing());
  ASSERT_TRUE(saveBond(keychain_, bond));
  EXPECT_THAT(logged.text(), HasSubstr("PairingBond saved — peer: Ana's iPhone"));

  // A second backend on the same file sees what the first one stored.
  FileKeychainBackend otherBackend(dir_ / "keychain.json");
  KeychainStore otherKeychain(otherBackend);
  auto loaded = loadBond(otherKeychain);
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->peerDeviceUUID, bond.peerDeviceUUID);
  EXPECT_EQ(loaded->peerDisplayName, bond.peerDisplayName);
  EXPECT_EQ(loaded->sharedSecretBase64, bond.sharedSecretBase64);
  EXPECT_EQ(unixMicros(loaded->pairedAt), unixMicros(bond.pairedAt));
}

TEST_F(PairingBondTest, StoredFormIsAnObjectWithFourKeysAndA2001Date) {
  PairingBond bond = sampleBond();
  bond.pairedAt = dateFromUnixSeconds(978307210);  // 2001-01-01T00:00:10Z
  ASSERT_TRUE(saveBond(keychain_, bond));

  const Json json = storedJson();
  ASSERT_TRUE(json.is_object());
  std::vector<std::string> keys;
  for (const auto& item : json.items()) keys.push_back(item.key());
  EXPECT_THAT(keys, UnorderedElementsAre("peerDeviceUUID", "peerDisplayName", "sharedSecretBase64",
                                         "pairedAt"));
  EXPECT_EQ(json["peerDeviceUUID"], bond.peerDeviceUUID);
  EXPECT_EQ(json["peerDisplayName"], bond.peerDisplayName);
  EXPECT_EQ(json["sharedSecretBase64"], bond.sharedSecretBase64);
  ASSERT_TRUE(json["pairedAt"].is_number());
  EXPECT_DOUBLE_EQ(json["pairedAt"].get<double>(), 10.0);

  bond.pairedAt = dateFromUnixSeconds(978307200 - 2, 500000);  // before the reference date
  ASSERT_TRUE(saveBond(keychain_, bond));
  EXPECT_DOUBLE_EQ(storedJson()["pairedAt"].get<double>(), -1.5);
}

TEST_F(PairingBondTest, LoadsWholeAndFractionalPairedAt) {
  const auto store = [&](const Json& pairedAt) {
    const Json json = {{"peerDeviceUUID", "U"},
                       {"peerDisplayName", "N"},
                       {"sharedSecretBase64", "S"},
                       {"pairedAt", pairedAt}};
    ASSERT_TRUE(keychain_.save(PairingBond::kKeychainKey, json.dump()));
  };
  store(10);
  auto whole = loadBond(keychain_);
  ASSERT_TRUE(whole.has_value());
  EXPECT_EQ(formatISO8601(whole->pairedAt), "2001-01-01T00:00:10Z");

  store(794000000.25);
  auto fractional = loadBond(keychain_);
  ASSERT_TRUE(fractional.has_value());
  EXPECT_EQ(unixMicros(fractional->pairedAt), (978307200LL + 794000000LL) * 1000000LL + 250000);
}

TEST_F(PairingBondTest, SecondSaveReplacesTheFirst) {
  PairingBond first = sampleBond();
  PairingBond second = sampleBond();
  second.peerDeviceUUID = "0B9E6C1D-2F3A-4B5C-8D7E-6F5A4B3C2D1E";
  second.peerDisplayName = "Booth iPad";
  second.sharedSecretBase64 = "AAAA";
  second.pairedAt = first.pairedAt + std::chrono::microseconds(1);
  ASSERT_TRUE(saveBond(keychain_, first));
  ASSERT_TRUE(saveBond(keychain_, second));

  auto loaded = loadBond(keychain_);
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->peerDeviceUUID, second.peerDeviceUUID);
  EXPECT_EQ(loaded->peerDisplayName, "Booth iPad");
  EXPECT_EQ(loaded->pairedAt, second.pairedAt);
}

TEST_F(PairingBondTest, SecretIsNotCheckedWhenLoading) {
  PairingBond bond = sampleBond();
  bond.sharedSecretBase64 = "not base64 at all!";
  ASSERT_TRUE(saveBond(keychain_, bond));
  auto loaded = loadBond(keychain_);
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->sharedSecretBase64, "not base64 at all!");
}

TEST_F(PairingBondTest, UnreadableBondsLoadAsNothingSilently) {
  test::LogCapture logged(log::pairing());
  EXPECT_EQ(loadBond(keychain_), std::nullopt);  // none stored

  const std::string stored[] = {
      "{not json",
      "[]",
      "\"a string\"",
      R"({"peerDeviceUUID":"U","peerDisplayName":"N","sharedSecretBase64":"S"})",
      R"({"peerDeviceUUID":"U","peerDisplayName":"N","sharedSecretBase64":"S","pairedAt":"10"})",
      R"({"peerDeviceUUID":1,"peerDisplayName":"N","sharedSecretBase64":"S","pairedAt":10})",
      R"({"peerDeviceUUID":"U","peerDisplayName":"N","sharedSecretBase64":"S","pairedAt":1e300})",
  };
  for (const auto& text : stored) {
    ASSERT_TRUE(keychain_.save(PairingBond::kKeychainKey, text));
    EXPECT_EQ(loadBond(keychain_), std::nullopt) << text;
  }
  EXPECT_EQ(logged.text(), "");
}

TEST_F(PairingBondTest, DeleteForgetsTheBond) {
  ASSERT_TRUE(saveBond(keychain_, sampleBond()));
  test::LogCapture logged(log::pairing());
  EXPECT_TRUE(deleteBond(keychain_));
  EXPECT_EQ(loadBond(keychain_), std::nullopt);
  EXPECT_THAT(logged.text(), HasSubstr("PairingBond deleted — pairing forgotten"));
}

TEST_F(PairingBondTest, DeleteWithoutABondSucceedsAndLogs) {
  test::LogCapture logged(log::pairing());
  EXPECT_TRUE(deleteBond(keychain_));
  EXPECT_THAT(logged.text(), HasSubstr("PairingBond deleted — pairing forgotten"));
}

TEST(PairingBondFailureTest, KeychainFailuresAreReported) {
  BrokenBackend backend;
  KeychainStore keychain(backend);
  test::LogCapture logged(log::pairing());
  EXPECT_FALSE(saveBond(keychain, PairingBond{"U", "N", "S", dateFromUnixSeconds(0)}));
  EXPECT_THAT(logged.text(), HasSubstr("Failed to save PairingBond to Keychain"));
  EXPECT_THAT(logged.text(), ::testing::Not(HasSubstr("PairingBond saved")));
  EXPECT_FALSE(deleteBond(keychain));
  EXPECT_THAT(logged.text(), ::testing::Not(HasSubstr("PairingBond deleted")));
}

}  // namespace
}  // namespace qm
