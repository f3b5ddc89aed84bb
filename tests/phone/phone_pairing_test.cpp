#include "phone/phone_pairing.h"

#include <sys/stat.h>

#include <fstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "common/log.h"
#include "common/uuid.h"
#include "pairing/qr_payload.h"
#include "phone/tampering.h"
#include "support/desktop_services.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "sync/record_payloads.h"
#include "wire/message_verification.h"

namespace qm {
namespace {

using Json = nlohmann::json;
using ::testing::HasSubstr;

DeltaNotePayload sampleNote() {
  DeltaNotePayload note;
  note.eventID = Uuid::random();
  note.contactSyncID = Uuid::random();
  note.note.id = Uuid::random();
  note.note.syncID = Uuid::random();
  note.note.createdAt = dateFromUnixSeconds(1772357400);
  note.note.noteType = "text";
  note.note.textContent = "Wants a follow-up call — Tuesday";
  note.senderName = "Ana's iPhone";
  return note;
}

/// The error text of `result`, or "no error" when it holds a value.
template <class T>
std::string errorOf(const Result<T>& result) {
  return result ? std::string("no error") : result.error().message;
}

/// A desktop offering to pair and a phone that scanned its QR code.
class PhonePairingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop_.settings.setDisplayName("Booth Mac"));
    session_ = makeQRSession(desktop_.settings, desktop_.identity);
    auto scanned = phone::scanQRString(phone_, session_.qrString);
    ASSERT_TRUE(scanned.ok()) << scanned.error().message;
    scanned_ = std::move(scanned).value();
  }

  /// What the desktop derives from the handshake the phone sends it.
  std::array<std::uint8_t, 32> desktopSecretFrom(const PairHandshakePayload& handshake) {
    auto key = decodePhonePublicKey(handshake.publicKeyBase64);
    EXPECT_TRUE(key.ok());
    if (!key) return {};
    auto secret = PairingCrypto::deriveSharedSecret(session_.keyPair.privateKey, *key);
    EXPECT_TRUE(secret.ok());
    return secret ? *secret : std::array<std::uint8_t, 32>{};
  }

  static Bytes desktopBond(const std::array<std::uint8_t, 32>& secret) {
    return Bytes(secret.begin(), secret.end());
  }

  std::string desktopAck(PairAckPayload ack, std::optional<std::span<const std::uint8_t>> secret) {
    auto envelope = SyncEnvelope::make(SyncMessageType::pairAck, ack);
    EXPECT_TRUE(envelope.ok());
    return encodeEnvelope(signEnvelope(*envelope, secret)).value();
  }

  test::TempDir dir_;
  test::DesktopServices desktop_{dir_.path()};
  QRSession session_;
  phone::Identity phone_ = phone::Identity::generate("Ana's iPhone");
  phone::ScannedQR scanned_;
};

TEST_F(PhonePairingTest, ScanningReadsTheDesktopAndItsNonce) {
  EXPECT_EQ(scanned_.desktop.deviceUUID, desktop_.identity.current());
  EXPECT_EQ(scanned_.desktop.displayName, "Booth Mac");
  EXPECT_EQ(scanned_.nonce, Bytes(session_.nonce.begin(), session_.nonce.end()));
}

TEST_F(PhonePairingTest, HandshakeGivesBothEndsTheSameSecret) {
  auto envelope = phone::handshakeEnvelope(phone_, scanned_);
  ASSERT_TRUE(envelope.ok()) << envelope.error().message;
  const std::string wire = encodeEnvelope(*envelope).value();

  // Before the first pairing the desktop holds no bond.
  const auto checked = checkIncomingMessage(wire, std::nullopt);
  ASSERT_TRUE(checked.has_value());
  EXPECT_EQ(checked->check, MessageCheck::handshake);
  EXPECT_EQ(checked->envelope.type, SyncMessageType::pairHandshake);
  auto handshake = checked->envelope.decodePayload<PairHandshakePayload>();
  ASSERT_TRUE(handshake.ok()) << handshake.error().message;
  EXPECT_EQ(handshake->iPhoneDeviceUUID, phone_.deviceUUID);
  EXPECT_EQ(handshake->iPhoneDisplayName, "Ana's iPhone");

  const auto desktopSecret = desktopSecretFrom(*handshake);
  EXPECT_EQ(desktopSecret, scanned_.desktop.sharedSecret);
  // The signed nonce proves the phone holds the secret of this QR session.
  EXPECT_EQ(handshake->signedNonce, base64Encode(hmacSHA256(desktopSecret, session_.nonce)));
  EXPECT_TRUE(hasValidSignature(checked->envelope, desktopSecret));
}

TEST_F(PhonePairingTest, PhoneMessagesPassTheDesktopsCheckUntilChanged) {
  auto handshake = phone::handshakePayload(phone_, scanned_);
  const auto bond = desktopBond(desktopSecretFrom(handshake));
  const DeltaNotePayload note = sampleNote();
  auto wire = phone::sealMessage(SyncMessageType::deltaNote, note, scanned_.desktop.sharedSecret);
  ASSERT_TRUE(wire.ok()) << wire.error().message;

  const auto checked = checkIncomingMessage(*wire, bond);
  ASSERT_TRUE(checked.has_value());
  EXPECT_EQ(checked->check, MessageCheck::verified);
  auto received = checked->envelope.decodePayload<DeltaNotePayload>();
  ASSERT_TRUE(received.ok()) << received.error().message;
  EXPECT_EQ(*received, note);

  test::LogCapture logged(log::sync());
  EXPECT_FALSE(checkIncomingMessage(test::withPayloadByteChanged(*wire), bond).has_value());
  EXPECT_THAT(logged.text(), HasSubstr("HMAC verification failed"));
}

TEST_F(PhonePairingTest, PhoneAcceptsOnlyASignedAckFromTheScannedDesktop) {
  const auto secret = desktopSecretFrom(phone::handshakePayload(phone_, scanned_));
  const PairAckPayload ack{desktop_.identity.current(), "Booth Mac", true};

  auto read = phone::readPairAck(desktopAck(ack, secret), scanned_.desktop);
  ASSERT_TRUE(read.ok()) << read.error().message;
  EXPECT_EQ(*read, ack);

  EXPECT_THAT(errorOf(phone::readPairAck(desktopAck(ack, std::nullopt), scanned_.desktop)),
              HasSubstr("HMAC verification failed"));
  const Bytes otherSecret = secureRandomBytes(32);
  EXPECT_FALSE(phone::readPairAck(desktopAck(ack, otherSecret), scanned_.desktop).ok());

  PairAckPayload otherDesktop = ack;
  otherDesktop.macDeviceUUID = Uuid::random().str();
  EXPECT_THAT(errorOf(phone::readPairAck(desktopAck(otherDesktop, secret), scanned_.desktop)),
              HasSubstr("not from the scanned desktop"));
  PairAckPayload refused = ack;
  refused.accepted = false;
  EXPECT_THAT(errorOf(phone::readPairAck(desktopAck(refused, secret), scanned_.desktop)),
              HasSubstr("did not accept"));

  auto notAnAck =
      SyncEnvelope::make(SyncMessageType::error, ErrorPayload{"busy", "Try later", std::nullopt});
  ASSERT_TRUE(notAnAck.ok());
  EXPECT_THAT(
      errorOf(phone::readPairAck(phone::sealEnvelope(*notAnAck, secret).value(), scanned_.desktop)),
      HasSubstr("Expected \"pair.ack\", got \"error\""));
  EXPECT_THAT(errorOf(phone::readPairAck("{not json", scanned_.desktop)),
              HasSubstr("Undecodable message"));
}

TEST(PhoneIdentityTest, FreshIdentitiesAreDistinctUpperCaseUUIDs) {
  const auto first = phone::Identity::generate();
  const auto second = phone::Identity::generate("Ben's iPhone");
  EXPECT_EQ(first.displayName, phone::Identity::kDefaultDisplayName);
  EXPECT_EQ(second.displayName, "Ben's iPhone");
  ASSERT_TRUE(Uuid::parse(first.deviceUUID).has_value());
  EXPECT_EQ(Uuid::parse(first.deviceUUID)->str(), first.deviceUUID);
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
  ASSERT_TRUE(phone::scanQRString(phone, encodeQRString(good)).ok());

  auto refusal = [&](auto change) {
    QRPayload payload = good;
    change(payload);
    return errorOf(phone::scanQRString(phone, encodeQRString(payload)));
  };
  EXPECT_THAT(errorOf(phone::scanQRString(phone, "not a QR string")),
              HasSubstr("not a pairing QR payload"));
  EXPECT_THAT(refusal([](QRPayload& p) { p.version = 2; }), HasSubstr("version 2"));
  EXPECT_THAT(refusal([](QRPayload& p) { p.publicKey = base64Encode(secureRandomBytes(31)); }),
              HasSubstr("31 bytes"));
  EXPECT_THAT(refusal([](QRPayload& p) { p.publicKey.insert(8, "\n"); }),
              HasSubstr("could not decode base64 public key"));
  EXPECT_THAT(refusal([](QRPayload& p) { p.publicKey.pop_back(); }),
              HasSubstr("could not decode base64 public key"));
  EXPECT_THAT(refusal([](QRPayload& p) { p.nonce = "%%%%"; }), HasSubstr("nonce"));
  // The all-zero point agrees on an all-zero secret whatever the private key.
  EXPECT_THAT(refusal([](QRPayload& p) { p.publicKey = base64Encode(Bytes(32, 0)); }),
              HasSubstr("X25519"));
}

class PhoneBondTest : public ::testing::Test {
 protected:
  phone::Bond sampleBond() const {
    phone::Bond bond;
    bond.phone = phone::Identity::generate("Ana's iPhone");
    bond.desktop.deviceUUID = Uuid::random().str();
    bond.desktop.displayName = "Booth Mac ü";
    const Bytes secret = secureRandomBytes(32);
    std::copy(secret.begin(), secret.end(), bond.desktop.sharedSecret.begin());
    bond.pairedAt = dateFromUnixSeconds(1772357400);
    return bond;
  }

  void writeJson(const Json& json) { std::ofstream(path_) << json.dump(); }

  test::TempDir dir_;
  std::filesystem::path path_ = dir_ / "phone-bond.json";
};

TEST_F(PhoneBondTest, RoundTripBringsBackTheSamePhone) {
  const phone::Bond bond = sampleBond();
  ASSERT_TRUE(phone::saveBond(path_, bond).ok());
  struct stat info {};
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600U);

  auto loaded = phone::loadBond(path_);
  ASSERT_TRUE(loaded.ok()) << loaded.error().message;
  EXPECT_EQ(loaded->phone.deviceUUID, bond.phone.deviceUUID);
  EXPECT_EQ(loaded->phone.displayName, bond.phone.displayName);
  EXPECT_EQ(loaded->phone.keyPair.privateKey, bond.phone.keyPair.privateKey);
  EXPECT_EQ(loaded->phone.keyPair.publicKey, bond.phone.keyPair.publicKey);
  EXPECT_EQ(loaded->desktop.deviceUUID, bond.desktop.deviceUUID);
  EXPECT_EQ(loaded->desktop.displayName, bond.desktop.displayName);
  EXPECT_EQ(loaded->desktop.sharedSecret, bond.desktop.sharedSecret);
  EXPECT_EQ(loaded->pairedAt, bond.pairedAt);

  // Saving again replaces the file.
  phone::Bond next = sampleBond();
  ASSERT_TRUE(phone::saveBond(path_, next).ok());
  EXPECT_EQ(phone::loadBond(path_)->desktop.sharedSecret, next.desktop.sharedSecret);
}

TEST_F(PhoneBondTest, RefusesDamagedFiles) {
  EXPECT_FALSE(phone::loadBond(path_).ok());  // missing
  ASSERT_TRUE(phone::saveBond(path_, sampleBond()).ok());
  const Json good = Json::parse(std::ifstream(path_));

  std::ofstream(path_) << "{\"phoneDeviceUUID\": ";
  EXPECT_THAT(errorOf(phone::loadBond(path_)), HasSubstr("not a JSON object"));

  auto refusal = [&](auto change) {
    Json json = good;
    change(json);
    writeJson(json);
    return errorOf(phone::loadBond(path_));
  };
  for (const char* key :
       {"phoneDeviceUUID", "phoneDisplayName", "phonePrivateKeyBase64", "desktopDeviceUUID",
        "desktopDisplayName", "sharedSecretBase64", "pairedAt"}) {
    EXPECT_THAT(refusal([&](Json& j) { j.erase(key); }), HasSubstr(key));
    EXPECT_THAT(refusal([&](Json& j) { j[key] = 7; }), HasSubstr("not a string"));
  }
  EXPECT_THAT(refusal([](Json& j) { j["sharedSecretBase64"] = base64Encode(Bytes(31, 1)); }),
              HasSubstr("\"sharedSecretBase64\" is not Base64 of 32 bytes"));
  EXPECT_THAT(refusal([](Json& j) { j["phonePrivateKeyBase64"] = "not base64"; }),
              HasSubstr("\"phonePrivateKeyBase64\" is not Base64 of 32 bytes"));
  EXPECT_THAT(refusal([](Json& j) { j["pairedAt"] = "yesterday"; }), HasSubstr("pairedAt"));
  EXPECT_EQ(refusal([](Json& j) { j["comment"] = "kept by a newer phone"; }), "no error");
}

}  // namespace
}  // namespace qm
