#include "pairing/pairing_bond.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <tuple>

#include "support/temp_dir.h"

namespace qm {
namespace {

using Json = nlohmann::json;

// 2026-03-01T09:30:00.123456Z
const PairingBond kBond{
    "6F1C2A0E-55B4-4C3D-9E0A-7D2B61C4A9F3", "Ana's iPhone",
    "q83vEjRWeJq83vEjRWeJq83vEjRWeJq83vEjRWeJq80=", dateFromUnixSeconds(1772357400, 123456)};
const PairingBond kOther{"0B9E6C1D-2F3A-4B5C-8D7E-6F5A4B3C2D1E", kBond.peerDisplayName,
                         kBond.sharedSecretBase64, kBond.pairedAt};

/// Every field, the date to the microsecond.
auto fields(const PairingBond& bond) {
  return std::tuple(bond.peerDeviceUUID, bond.peerDisplayName, bond.sharedSecretBase64,
                    unixMicros(bond.pairedAt));
}

class PairingBondTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  FileKeychainBackend backend_{dir_ / "keychain.json"};
  KeychainStore keychain_{backend_};
};

TEST_F(PairingBondTest, SaveReplacesAnyEarlierBondAndLoadKeepsEveryFieldToTheMicrosecond) {
  ASSERT_TRUE(saveBond(keychain_, kOther));
  ASSERT_TRUE(saveBond(keychain_, kBond));
  // A second backend on the same file sees what the first one stored.
  FileKeychainBackend otherBackend(dir_ / "keychain.json");
  KeychainStore otherKeychain(otherBackend);
  const auto loaded = loadBond(otherKeychain);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(fields(*loaded), fields(kBond));
}

TEST_F(PairingBondTest, StoredFormIsAnObjectWithFourKeysAndSecondsSince2001) {
  PairingBond bond = kBond;
  for (const auto& [date, seconds] :
       {std::pair{dateFromUnixSeconds(978307210), 10.0},                 // 2001-01-01T00:00:10Z
        std::pair{dateFromUnixSeconds(978307200 - 2, 500000), -1.5}}) {  // before 2001
    bond.pairedAt = date;
    ASSERT_TRUE(saveBond(keychain_, bond));
    const auto text = keychain_.load(PairingBond::kKeychainKey);
    ASSERT_TRUE(text);
    EXPECT_EQ(Json::parse(*text), (Json{{"peerDeviceUUID", bond.peerDeviceUUID},
                                        {"peerDisplayName", bond.peerDisplayName},
                                        {"sharedSecretBase64", bond.sharedSecretBase64},
                                        {"pairedAt", seconds}}));
  }

  // The phone may write whole or fractional seconds.
  for (const auto& [pairedAt, unixMicroseconds] :
       {std::pair{Json(10), 978307210'000000LL},
        std::pair{Json(794000000.25), (978307200LL + 794000000LL) * 1000000LL + 250000}}) {
    Json json =
        Json::parse(R"({"peerDeviceUUID":"U","peerDisplayName":"N","sharedSecretBase64":"S"})");
    json["pairedAt"] = pairedAt;
    ASSERT_TRUE(keychain_.save(PairingBond::kKeychainKey, json.dump()));
    auto loaded = loadBond(keychain_);
    ASSERT_TRUE(loaded.has_value()) << json;
    EXPECT_EQ(unixMicros(loaded->pairedAt), unixMicroseconds);
  }
}

TEST_F(PairingBondTest, UnreadableBondsLoadAsNothing) {
  EXPECT_EQ(loadBond(keychain_), std::nullopt);  // none stored
  for (
      const std::string text : {
          "{not json",
          "[]",
          "\"a string\"",
          R"({"peerDeviceUUID":"U","peerDisplayName":"N","sharedSecretBase64":"S"})",
          R"({"peerDeviceUUID":"U","peerDisplayName":"N","sharedSecretBase64":"S","pairedAt":"10"})",
          R"({"peerDeviceUUID":1,"peerDisplayName":"N","sharedSecretBase64":"S","pairedAt":10})",
          R"({"peerDeviceUUID":"U","peerDisplayName":"N","sharedSecretBase64":"S","pairedAt":1e300})",
      }) {
    ASSERT_TRUE(keychain_.save(PairingBond::kKeychainKey, text));
    EXPECT_EQ(loadBond(keychain_), std::nullopt) << text;
  }
}

// What the service does when the keychain refuses to save or delete the bond
// is checked with the service.

}  // namespace
}  // namespace qm
