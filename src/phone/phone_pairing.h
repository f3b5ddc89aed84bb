#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "common/base64.h"
#include "common/date.h"
#include "common/result.h"
#include "crypto/pairing_crypto.h"
#include "wire/sync_envelope.h"

// The phone's end of pairing and signing: it scans the desktop's QR string,
// derives the shared secret from its own X25519 key and the desktop's public
// key, introduces itself with "pair.handshake", and from then on signs what it
// sends and checks what it receives with that secret. Used by tests and by the
// phone simulator that plays the phone over the network.

namespace qm {

struct PairHandshakePayload;
struct PairAckPayload;

namespace phone {

/// The 32-byte secret shared with the desktop; it keys every envelope's HMAC.
using SharedSecret = std::array<std::uint8_t, 32>;

/// Who the phone is. `deviceUUID` is also its name on the peer network, the
/// name under which the desktop recognises its bonded phone.
struct Identity {
  static constexpr std::string_view kDefaultDisplayName = "Quillmere Phone";

  std::string deviceUUID;
  std::string displayName;
  X25519KeyPair keyPair;

  /// A new phone: a fresh upper-case UUID text and a fresh key pair.
  static Identity generate(std::string displayName = std::string(kDefaultDisplayName));

  /// Base64 of the raw 32-byte public key, as sent in the handshake.
  std::string publicKeyBase64() const;
};

/// The desktop as the phone knows it once it has scanned its QR code.
struct Desktop {
  std::string deviceUUID;
  std::string displayName;
  SharedSecret sharedSecret{};
};

/// What scanning one QR string yields: the desktop and the session nonce.
struct ScannedQR {
  Desktop desktop;
  Bytes nonce;
};

/// Reads a QR string made by the desktop and derives the shared secret with
/// `phone`'s private key. Fails when the text is not a QR payload of version 1,
/// when the desktop's public key is not strict Base64 of 32 bytes, when the
/// nonce is not Base64, or when the key agreement fails.
Result<ScannedQR> scanQRString(const Identity& phone, std::string_view qrString);

/// The handshake's payload. `signedNonce` is Base64 of HMAC-SHA256 of the QR
/// nonce bytes under the shared secret: proof that the phone holds the secret
/// for this very QR session.
PairHandshakePayload handshakePayload(const Identity& phone, const ScannedQR& scanned);

/// The "pair.handshake" envelope, signed. The desktop does not check the tag of
/// a handshake (it has no secret yet); signing it keeps every envelope alike.
Result<SyncEnvelope> handshakeEnvelope(const Identity& phone, const ScannedQR& scanned);

/// `envelope` signed with `secret` and encoded for the wire.
Result<std::string> sealEnvelope(SyncEnvelope envelope, std::span<const std::uint8_t, 32> secret);

/// A new envelope of `type` carrying `payload`, signed and encoded for the wire.
template <WireRecordType P>
Result<std::string> sealMessage(SyncMessageType type, const P& payload,
                                std::span<const std::uint8_t, 32> secret) {
  auto envelope = SyncEnvelope::make(type, payload);
  if (!envelope) return envelope.error();
  return sealEnvelope(std::move(envelope).value(), secret);
}

/// A received message, decoded; fails unless it is a whole envelope whose tag
/// is the HMAC-SHA256 of its payload under `secret`.
Result<SyncEnvelope> openEnvelope(std::string_view bytes, std::span<const std::uint8_t, 32> secret);

/// The desktop's answer to the handshake: a "pair.ack" signed with the shared
/// secret (which shows that the desktop derived the same one), sent by
/// `desktop` and accepting the pairing.
Result<PairAckPayload> readPairAck(std::string_view bytes, const Desktop& desktop);

/// What the phone keeps after pairing, so that it can come back as the same
/// bonded phone: its own identity, the desktop and the shared secret.
struct Bond {
  Identity phone;
  Desktop desktop;
  Date pairedAt{};
};

/// Writes `bond` to `path` as JSON, atomically and readable by the owner only
/// (it holds the private key and the secret).
Status saveBond(const std::filesystem::path& path, const Bond& bond);

/// The bond stored at `path`. Fails, naming the file and the fault, when it is
/// missing, not JSON, lacks a field, or holds a key or secret that is not
/// Base64 of 32 bytes.
Result<Bond> loadBond(const std::filesystem::path& path);

}  // namespace phone
}  // namespace qm
