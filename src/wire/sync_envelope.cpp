#include "wire/sync_envelope.h"

#include "crypto/pairing_crypto.h"
#include "wire/wire_codec.h"

namespace qm {

QM_DEFINE_WIRE_RECORD(SyncEnvelope, QM_SYNC_ENVELOPE_FIELDS)

SyncEnvelope SyncEnvelope::make(SyncMessageType type, Bytes payload) {
  SyncEnvelope envelope;
  envelope.type = type;
  envelope.messageID = Uuid::random();
  envelope.timestamp = now();
  envelope.payload = std::move(payload);
  return envelope;
}

Result<std::string> encodeEnvelope(const SyncEnvelope& envelope) {
  return encodeSyncJSON(envelope);
}

Result<SyncEnvelope> decodeEnvelope(std::string_view bytes, bool hasReadAhead) {
  return decodeSyncJSON<SyncEnvelope>(bytes, hasReadAhead);
}

SyncEnvelope signEnvelope(SyncEnvelope envelope,
                          std::optional<std::span<const std::uint8_t>> sharedSecret) {
  if (sharedSecret) envelope.hmac = base64Encode(hmacSHA256(*sharedSecret, envelope.payload));
  return envelope;
}

bool hasValidSignature(const SyncEnvelope& envelope, std::span<const std::uint8_t> sharedSecret) {
  const auto tag = base64Decode(envelope.hmac);
  if (!tag) return false;
  return verifyHMACSHA256(sharedSecret, envelope.payload, *tag);
}

}  // namespace qm
