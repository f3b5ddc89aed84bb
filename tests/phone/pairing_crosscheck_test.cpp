// Pairing and signing checked against node's crypto module playing the phone
// (tests/interop/pairing_crosscheck.mjs): an implementation of X25519, HKDF and
// HMAC that shares no code with the companion's.

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "pairing/qr_payload.h"
#include "phone/phone_pairing.h"
#include "phone/tampering.h"
#include "support/desktop_services.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "sync/record_payloads.h"
#include "wire/message_verification.h"

namespace qm {
namespace {

using Json = nlohmann::json;

test::CommandResult runScript(const std::vector<std::string>& args, const std::string& input = "") {
  std::vector<std::string> all{QM_CROSSCHECK_SCRIPT};
  all.insert(all.end(), args.begin(), args.end());
  return test::runCommand(QM_NODE_PROGRAM, all, {}, input);
}

class PairingCrossCheckTest : public ::testing::Test {
 protected:
  /// Node's verdict on `envelope` under `secret`: its exit code and report.
  std::pair<int, Json> nodeVerdict(const std::string& envelope,
                                   std::span<const std::uint8_t> secret) {
    const auto run = runScript({"verify", base64Encode(secret)}, envelope);
    EXPECT_THAT(run.exitCode, ::testing::AnyOf(0, 1)) << run.err;
    return {run.exitCode, Json::parse(run.out, nullptr, false)};
  }

  test::TempDir dir_;
  test::DesktopServices desktop_{dir_.path()};
};

TEST_F(PairingCrossCheckTest, DesktopPairsWithNodeAndVerifiesItsMessages) {
  const QRSession session = makeQRSession(desktop_.settings, desktop_.identity);
  const auto run = runScript({"phone", session.qrString});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Json node = Json::parse(run.out);

  // The desktop's side of the handshake.
  const auto handshakeMessage =
      checkIncomingMessage(node["handshake"].get<std::string>(), std::nullopt);
  ASSERT_TRUE(handshakeMessage.has_value());
  auto handshake = handshakeMessage->envelope.decodePayload<PairHandshakePayload>();
  ASSERT_TRUE(handshake.ok()) << handshake.error().message;
  EXPECT_EQ(handshake->iPhoneDeviceUUID, node["phoneDeviceUUID"].get<std::string>());
  auto phoneKey = decodePhonePublicKey(handshake->publicKeyBase64);
  ASSERT_TRUE(phoneKey.ok()) << phoneKey.error().message;
  auto secret = PairingCrypto::deriveSharedSecret(session.keyPair.privateKey, *phoneKey);
  ASSERT_TRUE(secret.ok()) << secret.error().message;
  EXPECT_EQ(base64Encode(*secret), node["sharedSecretBase64"].get<std::string>());
  EXPECT_EQ(handshake->signedNonce, base64Encode(hmacSHA256(*secret, session.nonce)));

  // Node's signed note passes the desktop's check and decodes as built.
  const BondSecret bond{*secret};
  const std::string noteWire = node["note"].get<std::string>();
  const auto noteMessage = checkIncomingMessage(noteWire, bond);
  ASSERT_TRUE(noteMessage.has_value());
  EXPECT_EQ(noteMessage->check, MessageCheck::verified);
  auto note = noteMessage->envelope.decodePayload<DeltaNotePayload>();
  ASSERT_TRUE(note.ok()) << note.error().message;
  EXPECT_EQ(Json::parse(encodeSyncJSON(*note).value()), node["notePayload"]);

  EXPECT_FALSE(checkIncomingMessage(test::withPayloadByteChanged(noteWire), bond).has_value());
}

TEST_F(PairingCrossCheckTest, NodeVerifiesWhatTheCompanionSigns) {
  // Pair the phone library with the desktop, so both ends of the C++ code sign.
  const QRSession session = makeQRSession(desktop_.settings, desktop_.identity);
  const auto phone = phone::Identity::generate("Ana's iPhone");
  auto scanned = phone::scanQRString(phone, session.qrString);
  ASSERT_TRUE(scanned.ok()) << scanned.error().message;
  const auto& secret = scanned->desktop.sharedSecret;

  const PairAckPayload ack{desktop_.identity.current(), "Booth Mac", true};
  auto ackEnvelope = SyncEnvelope::make(SyncMessageType::pairAck, ack);
  ASSERT_TRUE(ackEnvelope.ok());
  const std::string desktopWire =
      encodeEnvelope(signEnvelope(*ackEnvelope, std::span<const std::uint8_t>(secret))).value();
  auto [ackCode, ackReport] = nodeVerdict(desktopWire, secret);
  EXPECT_EQ(ackCode, 0);
  EXPECT_EQ(ackReport["accepted"], true);
  EXPECT_EQ(ackReport["type"], "pair.ack");
  EXPECT_EQ(ackReport["payload"]["macDeviceUUID"], ack.macDeviceUUID);
  EXPECT_EQ(ackReport["payload"]["accepted"], true);

  const ErrorPayload error{"capture.failed", "Camera unavailable — retry", "code 7"};
  auto phoneWire = phone::sealMessage(SyncMessageType::error, error, secret);
  ASSERT_TRUE(phoneWire.ok()) << phoneWire.error().message;
  auto [errorCode, errorReport] = nodeVerdict(*phoneWire, secret);
  EXPECT_EQ(errorCode, 0);
  EXPECT_EQ(errorReport["type"], "error");
  EXPECT_EQ(errorReport["payload"]["message"], error.message);

  for (const std::string& signedWire : {desktopWire, *phoneWire}) {
    auto [code, report] = nodeVerdict(test::withPayloadByteChanged(signedWire), secret);
    EXPECT_EQ(code, 1) << signedWire;
    EXPECT_EQ(report["accepted"], false);
  }
  // A secret off by one bit is refused too.
  auto otherSecret = secret;
  otherSecret[0] ^= 0x80;
  EXPECT_EQ(nodeVerdict(*phoneWire, otherSecret).first, 1);
}

}  // namespace
}  // namespace qm
