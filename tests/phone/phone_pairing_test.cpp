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

  test::TempDir dir_;
  test::DesktopServices desktop_{dir_.path()};
  QRSession session_;
  phone::Identity phone_ = phone::Identity::generate("Ana's iPhone");
  phone::ScannedQR scanned_;
};

// That the desktop derives the phone's secret from this handshake is checked
// where the pairing service takes it.
TEST_F(PhonePairingTest, HandshakeProvesThePhoneHoldsTheSecretOfThisCode) {
  auto envelope = phone::handshakeEnvelope(phone_, scanned_);
  ASSERT_OK(envelope);
  auto handshake = envelope->decodePayload<PairHandshakePayload>();
  ASSERT_OK(handshake);
  const auto& secret = scanned_.desktop.sharedSecret;
  EXPECT_EQ(handshake->signedNonce, base64Encode(hmacSHA256(secret, session_.nonce)));
  EXPECT_TRUE(hasValidSignature(*envelope, secret));
}

TEST_F(PhonePairingTest, PhoneAcceptsOnlyASignedAckFromTheScannedDesktop) {
  const auto& secret = scanned_.desktop.sharedSecret;
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
