#pragma once

#include <functional>
#include <map>

#include "wire/message_verification.h"
#include "wire/sync_message_type.h"

namespace qm {

/// Hands each received, checked message to the one module that handles its
/// type. A type nobody handles is logged and dropped.
class MessageDispatcher {
 public:
  /// May take the message's envelope (move it away): a message has one handler.
  using Handler = std::function<void(CheckedMessage& message)>;

  /// Makes `handler` the handler of `type`; a type has at most one handler, so
  /// a second registration replaces the first (and says so in the log).
  void handle(SyncMessageType type, Handler handler);
  /// Forgets the handler of `type`.
  void remove(SyncMessageType type);
  /// Calls the handler of the message's type, or logs that none handles it.
  void dispatch(CheckedMessage message) const;

 private:
  std::map<SyncMessageType, Handler> handlers_;
};

}  // namespace qm
