#pragma once

#include <functional>
#include <optional>
#include <string>

#include "common/result.h"

namespace qm {

/// The text a model answered and which provider answered, when known.
struct AIReply {
  std::string text;
  std::optional<std::string> provider;
};

/// Somewhere a prompt can be sent for a model to answer (the AI proxy, or a
/// chat-completions server). Requests run off the main loop; their results
/// come back on it.
class CompletionClient {
 public:
  virtual ~CompletionClient() = default;

  /// Whether a request can be sent at all: an endpoint is set and, where the
  /// endpoint needs one, a credential is held.
  virtual bool isConfigured() const = 0;

  /// Sends `prompt` as the one user message of a request for `task`
  /// ("followup_plan" for follow-up e-mails); `done` runs later on the main
  /// loop with the reply text, or the error whose message is the user's text.
  virtual void complete(std::string task, std::string prompt,
                        std::function<void(Result<AIReply>)> done) = 0;
};

}  // namespace qm
