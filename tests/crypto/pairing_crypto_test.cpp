#include "crypto/pairing_crypto.h"

#include <algorithm>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/base64.h"
#include "support/status_matchers.h"

namespace qm {
namespace {

using test::IsError;
using ::testing::HasSubstr;

Bytes fromHex(std::string_view hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

Bytes bytesOf(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

Bytes range(std::uint8_t first, std::size_t count) {
  Bytes out(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(first + i);
  return out;
}

std::array<std::uint8_t, 32> key32(std::string_view hex) {
  const Bytes bytes = fromHex(hex);
  std::array<std::uint8_t, 32> key{};
  EXPECT_EQ(bytes.size(), key.size());
  std::copy_n(bytes.begin(), std::min(bytes.size(), key.size()), key.begin());
  return key;
}

Bytes toBytes(const std::array<std::uint8_t, 32>& a) {
  return Bytes(a.begin(), a.end());
}

// RFC 7748 §6.1.
constexpr std::string_view kAlicePrivate =
    "77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a";
constexpr std::string_view kAlicePublic =
    "8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a";
constexpr std::string_view kBobPrivate =
    "5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb";
constexpr std::string_view kBobPublic =
    "de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f";
constexpr std::string_view kSharedK =
    "4a5d9d5ba4ce2de1728e3bf480350f25e07e21c947d19e3376f09b3c1e161742";

TEST(X25519Test, AliceAndBobFromRFC7748) {
  auto alice = X25519KeyPair::fromPrivateKey(fromHex(kAlicePrivate));
  auto bob = X25519KeyPair::fromPrivateKey(fromHex(kBobPrivate));
  ASSERT_TRUE(alice.ok() && bob.ok());
  EXPECT_EQ(toBytes(alice->publicKey), fromHex(kAlicePublic));
  EXPECT_EQ(toBytes(bob->publicKey), fromHex(kBobPublic));

  auto aliceShared = x25519(alice->privateKey, bob->publicKey);
  auto bobShared = x25519(bob->privateKey, alice->publicKey);
  ASSERT_TRUE(aliceShared.ok() && bobShared.ok());
  EXPECT_EQ(toBytes(*aliceShared), fromHex(kSharedK));
  EXPECT_EQ(toBytes(*bobShared), fromHex(kSharedK));
}

TEST(X25519Test, RefusesBadPeerKeysAndPrivateKeysOfTheWrongSize) {
  const auto priv = key32(kAlicePrivate);
  Bytes one(32, 0);
  one[0] = 1;
  // Points of small order (u = 0 and u = 1) give an all-zero result.
  for (const Bytes& peer : {Bytes(31, 0x42), Bytes(33, 0x42), Bytes{}, Bytes(32, 0), one}) {
    EXPECT_FALSE(x25519(priv, peer).ok()) << peer.size();
    EXPECT_FALSE(PairingCrypto::deriveSharedSecret(priv, peer).ok()) << peer.size();
  }
  EXPECT_FALSE(X25519KeyPair::fromPrivateKey(Bytes(31, 1)).ok());
  EXPECT_FALSE(X25519KeyPair::fromPrivateKey(Bytes(33, 1)).ok());
}

TEST(HkdfTest, TestCasesFromRFC5869) {
  struct Case {
    Bytes ikm, salt, info;
    std::string_view okm;
  };
  const Case cases[] = {
      {Bytes(22, 0x0b), range(0x00, 13), range(0xf0, 10),
       "3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56ecc4c5bf34007208d5b887185865"},
      {Bytes(22, 0x0b), Bytes{}, Bytes{},
       "8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d9d201395faa4b61a96c8"},
  };
  for (const auto& c : cases) {
    const Bytes expected = fromHex(c.okm);
    auto okm = hkdfSHA256(c.ikm, c.salt, c.info, expected.size());
    ASSERT_TRUE(okm.ok()) << okm.error().message;
    EXPECT_EQ(*okm, expected);
  }
}

TEST(DeriveSharedSecretTest, IsHkdfOfTheAgreementWithTheBondSalt) {
  auto secret = PairingCrypto::deriveSharedSecret(key32(kAlicePrivate), fromHex(kBobPublic));
  ASSERT_OK(secret);
  EXPECT_EQ(toBytes(*secret),
            hkdfSHA256(fromHex(kSharedK), bytesOf("quillmere-bond-v1"), {}, 32).value());
}

TEST(DecodePhonePublicKeyTest, AcceptsBase64OfThirtyTwoBytesOnly) {
  const std::string good = base64Encode(fromHex(kBobPublic));  // 44 characters, one "="
  EXPECT_EQ(toBytes(decodePhonePublicKey(good).value()), fromHex(kBobPublic));
  // Which texts are canonical base64 is the base64 decoder's to test.
  for (const std::string& input : {good.substr(0, good.size() - 1), std::string("A===")}) {
    EXPECT_THAT(decodePhonePublicKey(input),
                IsError(std::string("Invalid key data — could not decode base64 public key")))
        << input;
  }
  EXPECT_THAT(decodePhonePublicKey(base64Encode(Bytes(31, 9))),
              IsError(std::string("Invalid key data — the public key has 31 bytes, expected 32")));
  EXPECT_THAT(decodePhonePublicKey(base64Encode(Bytes(33, 9))), IsError(HasSubstr("33 bytes")));
}

TEST(HmacTest, TestCasesFromRFC4231) {
  struct Case {
    Bytes key, data;
    std::string_view mac;
  };
  const Case cases[] = {
      {Bytes(20, 0x0b), bytesOf("Hi There"),
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {Bytes(131, 0xaa), bytesOf("Test Using Larger Than Block-Size Key - Hash Key First"),
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
  };
  for (const auto& c : cases) {
    const Bytes expected = fromHex(c.mac);
    EXPECT_EQ(hmacSHA256(c.key, c.data), expected) << c.mac;
    EXPECT_TRUE(verifyHMACSHA256(c.key, c.data, expected)) << c.mac;
  }
}

TEST(HmacTest, VerifyRefusesAlteredTags) {
  const Bytes key = secureRandomBytes(32);
  const Bytes message = bytesOf(R"({"type":"contact.upsert","id":"42"})");
  const Bytes tag = hmacSHA256(key, message);
  ASSERT_TRUE(verifyHMACSHA256(key, message, tag));

  for (std::size_t bit = 0; bit < tag.size() * 8; bit += 37) {
    Bytes flipped = tag;
    flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    EXPECT_FALSE(verifyHMACSHA256(key, message, flipped)) << bit;
  }
  Bytes longer = tag;
  longer.push_back(0);
  EXPECT_FALSE(verifyHMACSHA256(key, message, Bytes(tag.begin(), tag.end() - 1)));
  EXPECT_FALSE(verifyHMACSHA256(key, message, longer));

  EXPECT_FALSE(verifyHMACSHA256(key, bytesOf("{}"), tag));
  EXPECT_FALSE(verifyHMACSHA256(secureRandomBytes(32), message, tag));
}

TEST(SecureRandomTest, KeysAndBytesAreFresh) {
  const auto a = X25519KeyPair::generate();
  EXPECT_NE(a.privateKey, X25519KeyPair::generate().privateKey);
  EXPECT_EQ(X25519KeyPair::fromPrivateKey(a.privateKey).value().publicKey, a.publicKey);
  const Bytes bytes = secureRandomBytes(32);
  EXPECT_EQ(bytes.size(), 32u);
  EXPECT_NE(bytes, secureRandomBytes(32));
}

}  // namespace
}  // namespace qm
