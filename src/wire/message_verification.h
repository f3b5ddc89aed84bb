#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "wire/sync_envelope.h"

namespace qm {

/// Why an incoming message was let through.
enum class MessageCheck {
  verified,      ///< its tag matches the bond's secret
  handshake,     ///< "pair.handshake" establishes the key and is not checked
  noUsableBond,  ///< no usable bond secret: accepted unchecked
};

struct CheckedMessage {
  SyncEnvelope envelope;
  MessageCheck check;
};

/// The shared secret of the bond with the phone, when there is a usable one.
using BondSecret = std::optional<std::span<const std::uint8_t>>;

/// Decodes a received message and checks its tag against the bond's secret.
/// Undecodable messages and, while a usable bond exists, messages with a
/// missing, non-Base64 or wrong tag are logged and dropped (nothing); nothing
/// is sent back. Message ids and timestamps are not examined, so a message
/// received twice passes twice.
std::optional<CheckedMessage> checkIncomingMessage(std::string_view bytes, BondSecret secret,
                                                   bool hasReadAhead = false);
/// As above for a frame kept in a string, parsed in place when its capacity
/// leaves `kJSONReadAhead` bytes past its end.
template <std::same_as<std::string> S>
std::optional<CheckedMessage> checkIncomingMessage(const S& frame, BondSecret secret) {
  return checkIncomingMessage(std::string_view(frame), secret,
                              frame.capacity() - frame.size() >= kJSONReadAhead);
}

}  // namespace qm
