// Signing envelopes and checking received ones against the bond.
#include "wire/sync_envelope.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "common/log.h"
#include "crypto/pairing_crypto.h"
#include "support/log_capture.h"
#include "wire/message_verification.h"
#include "wire/sync_payloads.h"

namespace qm {
namespace {

using Json = nlohmann::json;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

SyncEnvelope sampleEnvelope() {
  return SyncEnvelope::make(SyncMessageType::error,
                            ErrorPayload{"busy", "Wants a demo in March", std::nullopt})
      .value();
}

std::string wire(const SyncEnvelope& envelope) {
  return encodeEnvelope(envelope).value();
}

class EnvelopeSigningTest : public ::testing::Test {
 protected:
  Bytes secret_ = secureRandomBytes(32);
  BondSecret bond_{secret_};
};

TEST_F(EnvelopeSigningTest, SignedEnvelopeCarriesTheTagOfItsPayloadOnly) {
  const SyncEnvelope unsigned_ = sampleEnvelope();
  const SyncEnvelope signed_ = signEnvelope(unsigned_, secret_);
  EXPECT_EQ(signed_.hmac, base64Encode(hmacSHA256(secret_, unsigned_.payload)));
  EXPECT_TRUE(hasValidSignature(signed_, secret_));

  // Type, id, correlation and time are not covered by the tag.
  SyncEnvelope changed = signed_;
  changed.type = SyncMessageType::deltaContact;
  changed.messageID = Uuid::random();
  changed.correlationID = Uuid::random();
  changed.timestamp += std::chrono::hours(5);
  EXPECT_TRUE(hasValidSignature(changed, secret_));

  // Every byte of the payload is.
  for (std::size_t i : {std::size_t{0}, signed_.payload.size() / 2, signed_.payload.size() - 1}) {
    SyncEnvelope tampered = signed_;
    tampered.payload[i] ^= 0x01;
    EXPECT_FALSE(hasValidSignature(tampered, secret_)) << "byte " << i;
  }
  EXPECT_FALSE(hasValidSignature(signed_, secureRandomBytes(32)));
  // Without a secret the envelope goes out unchanged.
  EXPECT_EQ(signEnvelope(unsigned_, std::nullopt), unsigned_);
}

TEST_F(EnvelopeSigningTest, SignedMessagesPassAndTamperedOnesAreDroppedWithALogLine) {
  test::LogCapture logged(log::sync());
  const SyncEnvelope signed_ = signEnvelope(sampleEnvelope(), secret_);

  auto accepted = checkIncomingMessage(wire(signed_), bond_);
  ASSERT_TRUE(accepted);
  EXPECT_EQ(accepted->check, MessageCheck::verified);
  EXPECT_EQ(accepted->envelope.messageID, signed_.messageID);
  EXPECT_EQ(accepted->envelope.payload, signed_.payload);
  EXPECT_THAT(logged.text(), IsEmpty());

  SyncEnvelope tampered = signed_;
  tampered.payload.back() = ' ';
  EXPECT_FALSE(checkIncomingMessage(wire(tampered), bond_));
  EXPECT_THAT(logged.text(),
              HasSubstr("HMAC verification failed for message " + tampered.messageID.str()));

  // Missing or non-Base64 tags are dropped the same way while a bond exists.
  for (const char* hmac : {"", "not base64!", "AAAA"}) {
    SyncEnvelope bad = signed_;
    bad.hmac = hmac;
    EXPECT_FALSE(checkIncomingMessage(wire(bad), bond_)) << hmac;
  }
  // Received twice, processed twice: no duplicate check.
  EXPECT_TRUE(checkIncomingMessage(wire(signed_), bond_));
}

TEST_F(EnvelopeSigningTest, HandshakesAndMessagesWithoutAUsableBondAreNotChecked) {
  PairHandshakePayload handshake{"PHONE-1", "Dana's phone", base64Encode(secureRandomBytes(32)),
                                 "nonce"};
  SyncEnvelope envelope = SyncEnvelope::make(SyncMessageType::pairHandshake, handshake).value();
  for (const char* hmac : {"", "garbage", "QUJD"}) {
    envelope.hmac = hmac;
    auto accepted = checkIncomingMessage(wire(envelope), bond_);
    ASSERT_TRUE(accepted) << hmac;
    EXPECT_EQ(accepted->check, MessageCheck::handshake);
  }

  for (const auto type : allCases<SyncMessageType>()) {
    if (type == SyncMessageType::pairHandshake) continue;
    auto noBond =
        checkIncomingMessage(wire(SyncEnvelope::make(type, Bytes{'{', '}'})), std::nullopt);
    ASSERT_TRUE(noBond) << rawValue(type);
    EXPECT_EQ(noBond->check, MessageCheck::noUsableBond);
  }
}

TEST_F(EnvelopeSigningTest, UndecodableMessagesAreDroppedWithTheReason) {
  test::LogCapture logged(log::sync());
  Json envelope = Json::parse(wire(signEnvelope(sampleEnvelope(), secret_)));
  envelope["type"] = "delta.unknown";
  EXPECT_FALSE(checkIncomingMessage(envelope.dump(), bond_));
  EXPECT_THAT(logged.text(), HasSubstr("type: unknown value \"delta.unknown\""));
  EXPECT_FALSE(checkIncomingMessage("hello", bond_));
}

}  // namespace
}  // namespace qm
