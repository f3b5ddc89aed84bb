#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "common/base64.h"
#include "common/result.h"

namespace qm {

/// A Curve25519 key pair for X25519 key agreement (RFC 7748), both halves raw.
struct X25519KeyPair {
  std::array<std::uint8_t, 32> privateKey{};
  std::array<std::uint8_t, 32> publicKey{};

  /// A fresh key pair from the system's secure random source.
  static X25519KeyPair generate();
  /// The key pair belonging to a raw 32-byte private key.
  static Result<X25519KeyPair> fromPrivateKey(std::span<const std::uint8_t> raw32);
};

/// X25519 of our private key and the peer's raw public key. Fails when the peer
/// key is not 32 bytes or when the result is all zeros (a low-order point).
Result<std::array<std::uint8_t, 32>> x25519(std::span<const std::uint8_t, 32> privateKey,
                                            std::span<const std::uint8_t> peerPublicKey);

/// HKDF with SHA-256 (RFC 5869): `length` bytes, at most 255 * 32.
Result<Bytes> hkdfSHA256(std::span<const std::uint8_t> ikm, std::span<const std::uint8_t> salt,
                         std::span<const std::uint8_t> info, std::size_t length);

namespace PairingCrypto {

/// The HKDF salt that binds a shared secret to pairing with the phone.
inline constexpr std::string_view kBondSalt = "quillmere-bond-v1";

/// The secret shared with the phone: HKDF-SHA256 over the X25519 result with
/// `kBondSalt` as salt and no info, 32 bytes.
Result<std::array<std::uint8_t, 32>> deriveSharedSecret(
    const std::array<std::uint8_t, 32>& privateKey, std::span<const std::uint8_t> peerPublicKey);

}  // namespace PairingCrypto

/// The phone's public key as read from its QR code: strict Base64 of 32 bytes.
Result<std::array<std::uint8_t, 32>> decodePhonePublicKey(std::string_view base64);

/// HMAC-SHA256 (RFC 2104) of `message` under `key`: 32 bytes.
Bytes hmacSHA256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message);

/// True when `tag` is the HMAC-SHA256 of `message` under `key`, compared in
/// constant time; a tag of any other length is refused.
bool verifyHMACSHA256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message,
                      std::span<const std::uint8_t> tag);

/// `n` bytes from the system's secure random source. Aborts if none can be had.
Bytes secureRandomBytes(std::size_t n);

}  // namespace qm
