#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/base64.h"
#include "common/date.h"
#include "common/result.h"
#include "common/uuid.h"
#include "wire/sync_json.h"
#include "wire/sync_message_type.h"

namespace qm {

// clang-format off
#define QM_SYNC_ENVELOPE_FIELDS(F)               \
  F(SyncMessageType, type)                       \
  F(Uuid, messageID)                             \
  F(std::optional<Uuid>, correlationID)          \
  F(Date, timestamp)                             \
  F(std::string, hmac)                           \
  F(Bytes, payload)
// clang-format on

/// One message between the desktop and the phone: the payload record's JSON
/// bytes with the HMAC-SHA256 tag over exactly those bytes. The tag covers
/// nothing else, so `type`, `messageID`, `correlationID` and `timestamp` may
/// change without breaking it.
struct SyncEnvelope {
  QM_SYNC_ENVELOPE_FIELDS(QM_WIRE_MEMBER)

  /// A new, unsigned envelope: fresh random `messageID`, no `correlationID`,
  /// sent now, `hmac` empty.
  static SyncEnvelope make(SyncMessageType type, Bytes payload);

  /// As above with the sync JSON of `payload`.
  template <WireRecordType P>
  static Result<SyncEnvelope> make(SyncMessageType type, const P& payload) {
    auto json = encodeSyncJSON(payload);
    if (!json) return json.error();
    return make(type, Bytes(json->begin(), json->end()));
  }

  /// The payload decoded as record `P`.
  template <WireRecordType P>
  Result<P> decodePayload() const {
    return decodeSyncJSON<P>(payload);
  }
  /// As above, leniently: records of the payload's lists that do not decode
  /// are left out and described in `skipped`.
  template <WireRecordType P>
  Result<P> decodePayload(std::vector<SkippedRecord>& skipped) const {
    return decodeSyncJSON<P>(payload, skipped);
  }

  std::string_view payloadText() const {
    return {reinterpret_cast<const char*>(payload.data()), payload.size()};
  }

  friend bool operator==(const SyncEnvelope&, const SyncEnvelope&) = default;
};

QM_DECLARE_WIRE_RECORD(SyncEnvelope, "SyncEnvelope")

/// The envelope as it goes on the wire.
Result<std::string> encodeEnvelope(const SyncEnvelope& envelope);
/// A received message; fails for anything that is not a whole, valid envelope
/// (including an unknown `type` or a fractional `timestamp`).
Result<SyncEnvelope> decodeEnvelope(std::string_view bytes, bool hasReadAhead = false);
/// A received frame kept in a string: parsed in place, without a copy, when
/// its capacity leaves `kJSONReadAhead` bytes past its end.
template <std::same_as<std::string> S>
Result<SyncEnvelope> decodeEnvelope(const S& frame) {
  return decodeEnvelope(std::string_view(frame), frame.capacity() - frame.size() >= kJSONReadAhead);
}

/// `envelope` (a copy, or moved in) whose `hmac` is the Base64 HMAC-SHA256 tag of its
/// payload under `sharedSecret`. Without a secret the envelope is returned
/// unchanged.
SyncEnvelope signEnvelope(SyncEnvelope envelope,
                          std::optional<std::span<const std::uint8_t>> sharedSecret);

/// True when `envelope.hmac` is Base64 of the payload's tag under `sharedSecret`
/// (constant-time comparison). A non-Base64 `hmac` is false.
bool hasValidSignature(const SyncEnvelope& envelope, std::span<const std::uint8_t> sharedSecret);

}  // namespace qm
