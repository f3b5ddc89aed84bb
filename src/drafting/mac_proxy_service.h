#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/blocking_workers.h"
#include "common/result.h"
#include "drafting/completion_client.h"

namespace qm {

class AppSettings;
class KeychainStore;

/// The keychain item holding the AI endpoint's bearer credential.
inline constexpr std::string_view kAIEndpointTokenKey = "aiEndpointToken";

/// The largest reply accepted from the AI endpoint; a larger one is cut off.
inline constexpr std::size_t kMaxAIReplyBytes = 8 * 1024 * 1024;

/// Whether requests may go to the endpoint address `url`: an https:// address,
/// or an http:// one whose host is this computer (127.0.0.0/8, ::1,
/// "localhost"), since the prompt names people and the credential travels in
/// it. Gives the host; fails (`invalidArgument`) with the reason a person reads.
Result<std::string> checkAIEndpoint(std::string_view url);

/// One message of a chat request.
struct AIMessage {
  std::string role;  ///< "user", "system" or "assistant"
  std::string content;
};

/// What the AI endpoint client is built with besides the settings.
struct AIEndpointOptions {
  /// A PEM file of certificates to trust instead of the system's (tests use a
  /// self-signed one); empty means the system's certificate authorities.
  std::filesystem::path caFile;
  /// How long one request may take in all.
  std::chrono::milliseconds timeout = std::chrono::seconds(60);
};

/// Sends prompts to the AI endpoint the settings name, over HTTPS (or HTTP on
/// this computer), as the AI proxy's or the chat-completions protocol.
///
/// The endpoint (`aiEndpoint`, `aiEndpointKind`, `aiModel`) and the credential
/// (`kAIEndpointTokenKey`) are read at each request, so what `quillmere ai
/// login` changes applies to the next one. Each request runs on a thread of its
/// own; its result comes back through `post`, which runs a function on the
/// main loop (the companion posts to its io_context). Every other call is made
/// on the main loop. The failures and their codes are listed in
/// drafting/ai_reply_text.h. The credential appears in no log line and no
/// error text.
class MacProxyService final : public CompletionClient {
 public:
  using Poster = BlockingWorkers::Poster;

  MacProxyService(AppSettings& settings, KeychainStore& keychain, Poster post,
                  AIEndpointOptions options = {});
  /// Stops the requests still running (within about a second) and waits for
  /// their threads; their `done` functions are not called.
  ~MacProxyService() override;
  MacProxyService(const MacProxyService&) = delete;
  MacProxyService& operator=(const MacProxyService&) = delete;

  /// An endpoint is set and may be used, and the proxy has a credential (a
  /// chat-completions server may do without).
  bool isConfigured() const override;

  /// Sends `prompt` as the one user message, with neither a token limit nor a
  /// temperature.
  void complete(std::string task, std::string prompt,
                std::function<void(Result<AIReply>)> done) override;

  /// Sends `messages` for `task`, with a token limit and a temperature when
  /// given. `done` always runs later on the main loop, also for a failure found
  /// before anything is sent.
  void requestCompletion(std::string task, std::vector<AIMessage> messages,
                         std::optional<int> maxTokens, std::optional<double> temperature,
                         std::function<void(Result<AIReply>)> done);

 private:
  AppSettings& settings_;
  KeychainStore& keychain_;
  AIEndpointOptions options_;
  BlockingWorkers workers_;
};

}  // namespace qm
