// The phone library against the desktop's own code: scanning, the handshake,
// reading the desktop's acknowledgement, and the bond file the phone keeps.
#include "phone/phone_pairing.h"

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "common/uuid.h"
#include "pairing/qr_payload.h"
#include "support/desktop_services.h"
#include "support/status_matchers.h"
#include "support/temp_dir.h"
#include "sync/record_payloads.h"
#include "wire/message_verification.h"

namespace qm {
namespace {

using Json = nlohmann::json;
using test::IsError;
using ::testing::HasSubstr;

/// A desktop offering to pair and a phone that scanned its QR code.
class PhonePairingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop_.settings.setDisplayName("Booth Mac"));
    session_ = makeQRSession(desktop_.settings, desktop_.identity);
    auto scanned = phone::scanQRString(phone_, session_.qrString);
    ASSERT_OK(scanned);
    scanned_ = std::move(scanned).value();
  }

  /// What the desktop derives from the handshake the phone sends it.
  phone::SharedSecret desktopSecretFrom(const PairHandshakePayload& handshake) {
    auto key = decodePhonePublicKey(handshake.publicKeyBase64);
    EXPECT_OK(key);
    auto secret =
        key ? PairingCrypto::deriveSharedSecret(session_.keyPair.privateKey, *key) : key.error();
    EXPECT_OK(secret);
    return secret ? *secret : phone::SharedSecret{};
  }

  test::TempDir dir_;
  test::DesktopServices desktop_{dir_.path()};
  QRSession session_;
  phone::Identity phone_ = phone::Identity::generate("Ana's iPhone");
  phone::ScannedQR scanned_;
};

TEST_F(PhonePairingTest, HandshakeGivesBothEndsTheSameSecret) {
  EXPECT_EQ(scanned_.desktop.deviceUUID, desktop_.identity.current());
  EXPECT_EQ(scanned_.desktop.displayName, "Booth Mac");
  EXPECT_EQ(scanned_.nonce, Bytes(session_.nonce.begin(), session_.nonce.end()));

  auto envelope = phone::handshakeEnvelope(phone_, scanned_);
  ASSERT_OK(envelope);
  EXPECT_EQ(envelope->type, SyncMessageType::pairHandshake);
  auto handshake = envelope->decodePayload<PairHandshakePayload>();
  ASSERT_OK(handshake);
  EXPECT_EQ(handshake->iPhoneDeviceUUID, phone_.deviceUUID);
  EXPECT_EQ(handshake->iPhoneDisplayName, "Ana's iPhone");

  const auto desktopSecret = desktopSecretFrom(*handshake);
  EXPECT_EQ(desktopSecret, scanned_.desktop.sharedSecret);
  // The signed nonce proves the phone holds the secret of this QR session.
  EXPECT_EQ(handshake->signedNonce, base64Encode(hmacSHA256(desktopSecret, session_.nonce)));
  EXPECT_TRUE(hasValidSignature(*envelope, desktopSecret));
}

TEST_F(PhonePairingTest, PhoneAcceptsOnlyASignedAckFromTheScannedDesktop) {
  const auto secret = desktopSecretFrom(phone::handshakePayload(phone_, scanned_));
  const PairAckPayload ack{desktop_.identity.current(), "Booth Mac", true};
  const auto desktopAck = [](const PairAckPayload& payload, BondSecret key) {
    return encodeEnvelope(
               signEnvelope(SyncEnvelope::make(SyncMessageType::pairAck, payload).value(), key))
        .value();
  };
  EXPECT_EQ(phone::readPairAck(desktopAck(ack, secret), scanned_.desktop).value(), ack);

  PairAckPayload otherDesktop = ack;
  otherDesktop.macDeviceUUID = Uuid::random().str();
  PairAckPayload refused = ack;
  refused.accepted = false;
  const Bytes otherSecret = secureRandomBytes(32);
  const auto notAnAck =
      SyncEnvelope::make(SyncMessageType::error, ErrorPayload{"busy", "Try later", std::nullopt});
  const std::pair<std::string, std::string> cases[] = {
      {desktopAck(ack, std::nullopt), "HMAC verification failed"},
      {desktopAck(ack, otherSecret), "HMAC verification failed"},
      {desktopAck(otherDesktop, secret), "not from the scanned desktop"},
      {desktopAck(refused, secret), "did not accept"},
      {phone::sealEnvelope(notAnAck.value(), secret).value(),
       "Expected \"pair.ack\", got \"error\""},
      {"{not json", "Undecodable message"},
  };
  for (const auto& [wire, error] : cases) {
    EXPECT_THAT(phone::readPairAck(wire, scanned_.desktop), IsError(HasSubstr(error))) << wire;
  }
}

TEST(PhoneIdentityTest, FreshIdentitiesAreDistinctUpperCaseUUIDs) {
  const auto first = phone::Identity::generate();
  const auto second = phone::Identity::generate();
  EXPECT_EQ(Uuid::parse(first.deviceUUID).value().str(), first.deviceUUID);
  EXPECT_NE(first.deviceUUID, second.deviceUUID);
  EXPECT_NE(first.keyPair.publicKey, second.keyPair.publicKey);
  EXPECT_EQ(base64Decode(first.publicKeyBase64()),
            Bytes(first.keyPair.publicKey.begin(), first.keyPair.publicKey.end()));
}

TEST(PhoneScanTest, RefusesQRStringsItCannotPairWith) {
  const auto phone = phone::Identity::generate();
  const QRPayload good{Uuid::random().str(), "Booth Mac",
                       base64Encode(X25519KeyPair::generate().publicKey),
                       base64Encode(secureRandomBytes(16)), 1};
  ASSERT_OK(phone::scanQRString(phone, encodeQRString(good)));
  EXPECT_THAT(phone::scanQRString(phone, "not a QR string"),
              IsError(HasSubstr("not a pairing QR payload")));
  const std::pair<std::function<void(QRPayload&)>, std::string> cases[] = {
      {[](QRPayload& p) { p.version = 2; }, "version 2"},
      {[](QRPayload& p) { p.publicKey = base64Encode(secureRandomBytes(31)); }, "31 bytes"},
      {[](QRPayload& p) { p.publicKey.insert(8, "\n"); }, "could not decode base64 public key"},
      {[](QRPayload& p) { p.publicKey.pop_back(); }, "could not decode base64 public key"},
      {[](QRPayload& p) { p.nonce = "%%%%"; }, "nonce"},
      // The all-zero point agrees on an all-zero secret whatever the private key.
      {[](QRPayload& p) { p.publicKey = base64Encode(Bytes(32, 0)); }, "X25519"},
  };
  for (const auto& [change, error] : cases) {
    QRPayload payload = good;
    change(payload);
    EXPECT_THAT(phone::scanQRString(phone, encodeQRString(payload)), IsError(HasSubstr(error)))
        << error;
  }
}

class PhoneBondTest : public ::testing::Test {
 protected:
  static phone::Bond sampleBond() {
    phone::Bond bond;
    bond.phone = phone::Identity::generate("Ana's iPhone");
    bond.desktop.deviceUUID = Uuid::random().str();
    bond.desktop.displayName = "Booth Mac ü";
    const Bytes secret = secureRandomBytes(32);
    std::copy(secret.begin(), secret.end(), bond.desktop.sharedSecret.begin());
    bond.pairedAt = dateFromUnixSeconds(1772357400);
    return bond;
  }

  static std::string fileText(const std::filesystem::path& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
  }

  test::TempDir dir_;
  std::filesystem::path path_ = dir_ / "phone-bond.json";
};

TEST_F(PhoneBondTest, RoundTripBringsBackTheSamePhoneInAFileOnlyItsOwnerReads) {
  ASSERT_OK(phone::saveBond(path_, sampleBond()));
  const phone::Bond bond = sampleBond();  // saving again replaces the file
  ASSERT_OK(phone::saveBond(path_, bond));
  struct stat info {};
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600U);

  auto loaded = phone::loadBond(path_);
  ASSERT_OK(loaded);
  EXPECT_EQ(loaded->desktop.sharedSecret, bond.desktop.sharedSecret);
  // Every field came back: the loaded bond saved again gives the same file.
  const std::filesystem::path again = dir_ / "again.json";
  ASSERT_OK(phone::saveBond(again, *loaded));
  EXPECT_EQ(fileText(again), fileText(path_));
}

TEST_F(PhoneBondTest, RefusesDamagedFiles) {
  EXPECT_THAT(phone::loadBond(path_), IsError());  // missing
  ASSERT_OK(phone::saveBond(path_, sampleBond()));
  const Json good = Json::parse(fileText(path_));
  std::ofstream(path_) << "{\"phoneDeviceUUID\": ";
  EXPECT_THAT(phone::loadBond(path_), IsError(HasSubstr("not a JSON object")));

  const auto loadChanged = [&](auto change) {
    Json json = good;
    change(json);
    std::ofstream(path_) << json.dump();
    return phone::loadBond(path_);
  };
  for (const char* key :
       {"phoneDeviceUUID", "phoneDisplayName", "phonePrivateKeyBase64", "desktopDeviceUUID",
        "desktopDisplayName", "sharedSecretBase64", "pairedAt"}) {
    EXPECT_THAT(loadChanged([&](Json& j) { j.erase(key); }), IsError(HasSubstr(key)));
    EXPECT_THAT(loadChanged([&](Json& j) { j[key] = 7; }), IsError(HasSubstr("not a string")));
  }
  EXPECT_THAT(loadChanged([](Json& j) { j["sharedSecretBase64"] = base64Encode(Bytes(31, 1)); }),
              IsError(HasSubstr("\"sharedSecretBase64\" is not Base64 of 32 bytes")));
  EXPECT_THAT(loadChanged([](Json& j) { j["phonePrivateKeyBase64"] = "not base64"; }),
              IsError(HasSubstr("\"phonePrivateKeyBase64\" is not Base64 of 32 bytes")));
  EXPECT_THAT(loadChanged([](Json& j) { j["pairedAt"] = "yesterday"; }),
              IsError(HasSubstr("pairedAt")));
  EXPECT_OK(loadChanged([](Json& j) { j["comment"] = "kept by a newer phone"; }));
}

}  // namespace
}  // namespace qm
