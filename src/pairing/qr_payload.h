#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "crypto/pairing_crypto.h"

namespace qm {

class AppSettings;
class DeviceIdentity;

/// What the desktop's pairing QR code carries for the phone.
struct QRPayload {
  std::string deviceUUID;
  std::string displayName;
  std::string publicKey;  ///< Base64 of the 32 raw X25519 public key bytes
  std::string nonce;      ///< Base64 of 16 random bytes
  int version = 1;
};

/// Standard Base64 (padded) of the payload as compact UTF-8 JSON with the keys
/// "deviceUUID", "displayName", "publicKey", "nonce" (texts) and "version" (a number).
std::string encodeQRString(const QRPayload& payload);

/// The payload of a QR string; nothing unless it is strict Base64 of a JSON
/// object holding all five keys with the right types.
std::optional<QRPayload> decodeQRString(std::string_view qrString);

/// The name the phone shows for this desktop: the display name setting when it
/// is not empty, else the host name, else "Mac".
std::string pairingDisplayName(const AppSettings& settings);

/// One offer to pair: the key pair and nonce this desktop keeps, and the text
/// shown to the phone as a QR code.
struct QRSession {
  X25519KeyPair keyPair;
  std::array<std::uint8_t, 16> nonce{};
  std::string qrString;
};

/// A new offer with a fresh key pair and nonce from the secure random source.
QRSession makeQRSession(const AppSettings& settings, DeviceIdentity& identity);

}  // namespace qm
