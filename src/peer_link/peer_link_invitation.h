#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/result.h"

// The two messages that open a peer link connection: the phone's invitation
// and the companion's answer. Both are JSON objects in one frame each.
//
//   {"type":"invite","peerName":"<phone's device identifier>"}
//   {"type":"invite.reply","accepted":true,"peerName":"<desktop's device identifier>"}
//
// Members other than these are ignored, so either side may add some later.

namespace qm {

/// An invitation frame larger than this ends the connection: before it is
/// accepted a peer is a stranger, and a stranger gets no 64 MiB buffer.
inline constexpr std::size_t kMaxInvitationBytes = 64 * 1024;

std::string encodeInvitation(std::string_view peerName);
/// The inviting peer's name; fails unless `frame` is a JSON object with
/// "type" "invite" and a non-empty string "peerName".
Result<std::string> decodeInvitation(std::string_view frame);

struct InvitationReply {
  bool accepted = false;
  std::string peerName;
};

std::string encodeInvitationReply(const InvitationReply& reply);
/// Fails unless `frame` is a JSON object with "type" "invite.reply", a boolean
/// "accepted" and a string "peerName".
Result<InvitationReply> decodeInvitationReply(std::string_view frame);

}  // namespace qm
