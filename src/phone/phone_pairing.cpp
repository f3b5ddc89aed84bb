#include "phone/phone_pairing.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "common/uuid.h"
#include "pairing/qr_payload.h"
#include "sync/record_payloads.h"

namespace qm::phone {

namespace {

using Json = nlohmann::json;

// The QR payload layout this phone understands.
constexpr int kQRVersion = 1;

// Bond file keys.
constexpr const char* kPhoneDeviceUUID = "phoneDeviceUUID";
constexpr const char* kPhoneDisplayName = "phoneDisplayName";
constexpr const char* kPhonePrivateKey = "phonePrivateKeyBase64";
constexpr const char* kDesktopDeviceUUID = "desktopDeviceUUID";
constexpr const char* kDesktopDisplayName = "desktopDisplayName";
constexpr const char* kSharedSecret = "sharedSecretBase64";
constexpr const char* kPairedAt = "pairedAt";

std::optional<std::array<std::uint8_t, 32>> decode32(std::string_view base64) {
  auto bytes = base64Decode(base64);
  if (!bytes || bytes->size() != 32) return std::nullopt;
  std::array<std::uint8_t, 32> out{};
  std::copy(bytes->begin(), bytes->end(), out.begin());
  return out;
}

Error bondError(const std::filesystem::path& path, const std::string& fault) {
  return Error("Phone bond " + path.string() + ": " + fault);
}

}  // namespace

Identity Identity::generate(std::string displayName) {
  return Identity{Uuid::random().str(), std::move(displayName), X25519KeyPair::generate()};
}

std::string Identity::publicKeyBase64() const {
  return base64Encode(keyPair.publicKey);
}

Result<ScannedQR> scanQRString(const Identity& phone, std::string_view qrString) {
  auto payload = decodeQRString(qrString);
  if (!payload) return Error("The QR string is not a pairing QR payload");
  if (payload->version != kQRVersion) {
    return Error("The QR payload has version " + std::to_string(payload->version) +
                 ", this phone understands version " + std::to_string(kQRVersion));
  }
  auto desktopKey = decodePhonePublicKey(payload->publicKey);
  if (!desktopKey) return Error("The desktop's public key: " + desktopKey.error().message);
  auto nonce = base64Decode(payload->nonce);
  if (!nonce) return Error("The QR nonce is not Base64");
  auto secret = PairingCrypto::deriveSharedSecret(phone.keyPair.privateKey, *desktopKey);
  if (!secret) return secret.error();

  ScannedQR scanned;
  scanned.desktop.deviceUUID = std::move(payload->deviceUUID);
  scanned.desktop.displayName = std::move(payload->displayName);
  scanned.desktop.sharedSecret = *secret;
  scanned.nonce = std::move(*nonce);
  return scanned;
}

PairHandshakePayload handshakePayload(const Identity& phone, const ScannedQR& scanned) {
  PairHandshakePayload payload;
  payload.iPhoneDeviceUUID = phone.deviceUUID;
  payload.iPhoneDisplayName = phone.displayName;
  payload.publicKeyBase64 = phone.publicKeyBase64();
  payload.signedNonce = base64Encode(hmacSHA256(scanned.desktop.sharedSecret, scanned.nonce));
  return payload;
}

Result<SyncEnvelope> handshakeEnvelope(const Identity& phone, const ScannedQR& scanned) {
  auto envelope =
      SyncEnvelope::make(SyncMessageType::pairHandshake, handshakePayload(phone, scanned));
  if (!envelope) return envelope.error();
  return signEnvelope(std::move(envelope).value(),
                      std::span<const std::uint8_t>(scanned.desktop.sharedSecret));
}

Result<std::string> sealEnvelope(SyncEnvelope envelope, std::span<const std::uint8_t, 32> secret) {
  return encodeEnvelope(signEnvelope(std::move(envelope), std::span<const std::uint8_t>(secret)));
}

Result<SyncEnvelope> openEnvelope(std::string_view bytes,
                                  std::span<const std::uint8_t, 32> secret) {
  auto envelope = decodeEnvelope(bytes);
  if (!envelope) return Error("Undecodable message: " + envelope.error().message);
  if (!hasValidSignature(*envelope, secret)) {
    return Error("HMAC verification failed for message " + envelope->messageID.str());
  }
  return envelope;
}

Result<PairAckPayload> readPairAck(std::string_view bytes, const Desktop& desktop) {
  auto envelope = openEnvelope(bytes, desktop.sharedSecret);
  if (!envelope) return envelope.error();
  if (envelope->type != SyncMessageType::pairAck) {
    return Error("Expected \"pair.ack\", got \"" + std::string(rawValue(envelope->type)) + "\"");
  }
  auto ack = envelope->decodePayload<PairAckPayload>();
  if (!ack) return ack.error();
  if (ack->macDeviceUUID != desktop.deviceUUID) {
    return Error("The pairing acknowledgement comes from " + ack->macDeviceUUID +
                 ", not from the scanned desktop " + desktop.deviceUUID);
  }
  if (!ack->accepted) return Error("The desktop did not accept the pairing");
  return ack;
}

Status saveBond(const std::filesystem::path& path, const Bond& bond) {
  const Json json = {
      {kPhoneDeviceUUID, bond.phone.deviceUUID},
      {kPhoneDisplayName, bond.phone.displayName},
      {kPhonePrivateKey, base64Encode(bond.phone.keyPair.privateKey)},
      {kDesktopDeviceUUID, bond.desktop.deviceUUID},
      {kDesktopDisplayName, bond.desktop.displayName},
      {kSharedSecret, base64Encode(bond.desktop.sharedSecret)},
      {kPairedAt, formatISO8601(bond.pairedAt)},
  };
  // Names typed by people may hold invalid UTF-8; replace it rather than throw.
  return writeFileAtomically(path, json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n",
                             0600);
}

Result<Bond> loadBond(const std::filesystem::path& path) {
  auto text = readFile(path);
  if (!text) return text.error();
  const Json json = Json::parse(*text, nullptr, /*allow_exceptions=*/false);
  if (!json.is_object()) return bondError(path, "not a JSON object");

  // Each reader records the first fault and leaves the rest alone.
  std::optional<Error> fault;
  auto readString = [&](const char* key, std::string& out) {
    if (fault) return;
    auto found = json.find(key);
    if (found == json.end() || !found->is_string()) {
      fault = bondError(path, std::string("\"") + key + "\" is missing or not a string");
      return;
    }
    out = found->get<std::string>();
  };
  auto readKey = [&](const char* key, std::array<std::uint8_t, 32>& out) {
    std::string base64;
    readString(key, base64);
    if (fault) return;
    auto bytes = decode32(base64);
    if (!bytes) {
      fault = bondError(path, std::string("\"") + key + "\" is not Base64 of 32 bytes");
      return;
    }
    out = *bytes;
  };

  Bond bond;
  std::array<std::uint8_t, 32> privateKey{};
  std::string pairedAt;
  readString(kPhoneDeviceUUID, bond.phone.deviceUUID);
  readString(kPhoneDisplayName, bond.phone.displayName);
  readKey(kPhonePrivateKey, privateKey);
  readString(kDesktopDeviceUUID, bond.desktop.deviceUUID);
  readString(kDesktopDisplayName, bond.desktop.displayName);
  readKey(kSharedSecret, bond.desktop.sharedSecret);
  readString(kPairedAt, pairedAt);
  if (fault) return *fault;

  const auto date = parseISO8601(pairedAt);
  if (!date) return bondError(path, "\"pairedAt\" is not an ISO 8601 date");
  bond.pairedAt = *date;
  auto keyPair = X25519KeyPair::fromPrivateKey(privateKey);
  if (!keyPair) return bondError(path, keyPair.error().message);
  bond.phone.keyPair = *keyPair;
  return bond;
}

}  // namespace qm::phone
