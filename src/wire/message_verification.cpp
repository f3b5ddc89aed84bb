#include "wire/message_verification.h"

#include "common/log.h"

namespace qm {

std::optional<CheckedMessage> checkIncomingMessage(std::string_view bytes, BondSecret secret,
                                                   bool hasReadAhead) {
  auto envelope = decodeEnvelope(bytes, hasReadAhead);
  if (!envelope) {
    log::sync().error("Failed to decode incoming message: {}", envelope.error().message);
    return std::nullopt;
  }
  if (envelope->type == SyncMessageType::pairHandshake) {
    return CheckedMessage{std::move(envelope).value(), MessageCheck::handshake};
  }
  if (!secret) return CheckedMessage{std::move(envelope).value(), MessageCheck::noUsableBond};
  if (!hasValidSignature(*envelope, *secret)) {
    log::sync().error("HMAC verification failed for message {} — dropping",
                      envelope->messageID.str());
    return std::nullopt;
  }
  return CheckedMessage{std::move(envelope).value(), MessageCheck::verified};
}

}  // namespace qm
