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

// The desktop and the phone library sign through the same envelope code, so
// one signed message stands for both.
TEST_F(PairingCrossCheckTest, NodeVerifiesWhatTheCompanionSigns) {
  std::array<std::uint8_t, 32> secret{};
  const Bytes random = secureRandomBytes(32);
  std::copy(random.begin(), random.end(), secret.begin());
  const ErrorPayload error{"capture.failed", "Camera unavailable — retry", "code 7"};
  auto wire = phone::sealMessage(SyncMessageType::error, error, secret);
  ASSERT_TRUE(wire.ok()) << wire.error().message;
  auto [code, report] = nodeVerdict(*wire, secret);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(report["accepted"], true);
  EXPECT_EQ(report["type"], "error");
  EXPECT_EQ(report["payload"]["message"], error.message);

  EXPECT_EQ(nodeVerdict(test::withPayloadByteChanged(*wire), secret).first, 1);
  // A secret off by one bit is refused too.
  auto otherSecret = secret;
  otherSecret[0] ^= 0x80;
  EXPECT_EQ(nodeVerdict(*wire, otherSecret).first, 1);
}

}  // namespace
}  // namespace qm
