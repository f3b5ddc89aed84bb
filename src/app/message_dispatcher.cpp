#include "app/message_dispatcher.h"

#include "common/log.h"

namespace qm {

void MessageDispatcher::handle(SyncMessageType type, Handler handler) {
  if (handlers_.contains(type))
    log::sync().error("A second handler for {} replaces the first", rawValue(type));
  handlers_[type] = std::move(handler);
}

void MessageDispatcher::remove(SyncMessageType type) {
  handlers_.erase(type);
}

void MessageDispatcher::dispatch(CheckedMessage message) const {
  const SyncEnvelope& envelope = message.envelope;
  auto found = handlers_.find(envelope.type);
  if (found == handlers_.end()) {
    log::sync().info("Received {} ({} bytes), not handled yet", rawValue(envelope.type),
                     envelope.payload.size());
    return;
  }
  found->second(message);
}

}  // namespace qm
