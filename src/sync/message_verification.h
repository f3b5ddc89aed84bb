#pragma once

#include <concepts>
#include <optional>
#include <string>
#include <string_view>

#include "pairing/pairing_bond.h"
#include "sync/sync_envelope.h"

namespace qm {

/// Why an incoming message was let through.
enum class MessageCheck {
  verified,      ///< its tag matches the bond's secret
  handshake,     ///< "pair.handshake" establishes the key and is not checked
  noUsableBond,  ///< no bond, or its secret is not Base64: accepted unchecked
};

struct CheckedMessage {
  SyncEnvelope envelope;
  MessageCheck check;
};

/// Decodes a received message and checks its tag against the stored bond.
/// Undecodable messages and, while a usable bond exists, messages with a
/// missing, non-Base64 or wrong tag are logged and dropped (nothing); nothing
/// is sent back. Message ids and timestamps are not examined, so a message
/// received twice passes twice.
std::optional<CheckedMessage> checkIncomingMessage(std::string_view bytes,
                                                   const std::optional<PairingBond>& bond,
                                                   bool hasReadAhead = false);
/// As above for a frame kept in a string, parsed in place when its capacity
/// leaves `kJSONReadAhead` bytes past its end.
template <std::same_as<std::string> S>
std::optional<CheckedMessage> checkIncomingMessage(const S& frame,
                                                   const std::optional<PairingBond>& bond) {
  return checkIncomingMessage(std::string_view(frame), bond,
                              frame.capacity() - frame.size() >= kJSONReadAhead);
}

}  // namespace qm
