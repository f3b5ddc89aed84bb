#include "drafting/mac_proxy_service.h"

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include <nlohmann/json.hpp>

#include "common/log.h"
#include "common/loopback_host.h"
#include "drafting/ai_reply_text.h"
#include "settings/app_settings.h"
#include "settings/keychain_store.h"

namespace qm {

namespace {

using Json = nlohmann::json;

template <auto release>
struct Releaser {
  template <class T>
  void operator()(T* handle) const {
    release(handle);
  }
};
using CurlHandle = std::unique_ptr<CURL, Releaser<curl_easy_cleanup>>;
using CurlURL = std::unique_ptr<CURLU, Releaser<curl_url_cleanup>>;
using HeaderList = std::unique_ptr<curl_slist, Releaser<curl_slist_free_all>>;

constexpr std::string_view kTooLargeText = "The AI endpoint's reply is larger than 8 MiB";

/// libcurl's global set-up is not safe to run while other threads use it, so
/// it runs once, on the main loop, before the first request thread starts.
void initialiseCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string lowercase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::optional<std::string> urlPart(CURLU* url, CURLUPart which) {
  char* text = nullptr;
  if (curl_url_get(url, which, &text, 0) != CURLUE_OK || text == nullptr) return std::nullopt;
  std::string part(text);
  curl_free(text);
  return part;
}

bool hasControlCharacters(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return true;
  }
  return false;
}

/// `error` with every occurrence of `secret` replaced, so that a server that
/// echoes the request's headers back cannot put the credential in front of
/// the user or in the log.
std::string redacted(std::string text, const std::optional<std::string>& secret) {
  if (!secret || secret->empty()) return text;
  for (auto at = text.find(*secret); at != std::string::npos; at = text.find(*secret, at)) {
    text.replace(at, secret->size(), "[credential]");
  }
  return text;
}
Error redacted(Error error, const std::optional<std::string>& secret) {
  error.message = redacted(std::move(error.message), secret);
  return error;
}

/// Everything one request needs, read on the main loop before it starts.
struct Request {
  std::string task;
  std::string host;
  std::string url;
  std::string body;
  std::optional<std::string> token;
  bool loopback = false;
  AIEndpointKind kind = AIEndpointKind::proxy;
  /// Who answered when the reply does not say: a chat-completions server's model.
  std::optional<std::string> model;
};

/// What one transfer collects, shared with libcurl's callbacks.
struct Transfer {
  std::string body;
  bool tooLarge = false;
  const std::atomic<bool>* stopping = nullptr;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (transfer.body.size() + bytes > kMaxAIReplyBytes) {
    transfer.tooLarge = true;
    return 0;  // anything but `bytes` ends the transfer
  }
  transfer.body.append(data, bytes);
  return bytes;
}

/// Called by libcurl several times a second, also while it waits for the
/// server: a non-zero answer ends the transfer when the client shuts down.
int checkStopping(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const Transfer*>(user)->stopping->load() ? 1 : 0;
}

}  // namespace

Result<std::string> checkAIEndpoint(std::string_view url) {
  if (url.empty()) return Error(ErrorCode::invalidArgument, "No AI endpoint is set");
  initialiseCurl();
  CurlURL parsed(curl_url());
  if (!parsed ||
      curl_url_set(parsed.get(), CURLUPART_URL, std::string(url).c_str(), 0) != CURLUE_OK) {
    return Error(ErrorCode::invalidArgument,
                 "The AI endpoint \"" + std::string(url) + "\" is not a valid address");
  }
  const std::string scheme = lowercase(urlPart(parsed.get(), CURLUPART_SCHEME).value_or(""));
  std::string host = urlPart(parsed.get(), CURLUPART_HOST).value_or("");
  if (scheme == "https" && !host.empty()) return host;
  if (scheme == "http" && isLoopbackHost(host)) return host;
  if (scheme == "http") {
    return Error(ErrorCode::invalidArgument,
                 "Refusing to send requests to " + host +
                     " over plain http://: use https://, or http:// only to this computer "
                     "(127.0.0.1, ::1 or localhost)");
  }
  return Error(ErrorCode::invalidArgument,
               "The AI endpoint \"" + std::string(url) + "\" is not an https:// address");
}

namespace {

/// Runs one request on the calling thread and reads its answer. Logs the
/// task, the host, the status and the provider; never the credential or the
/// prompt.
Result<AIReply> perform(const Request& request, const AIEndpointOptions& options,
                        const std::atomic<bool>& stopping) {
  const auto& [task, host, url, body, token, loopback, kind, model] = request;
  CurlHandle curl(curl_easy_init());
  if (!curl) return Error(ErrorCode::internal, "Cannot start a transfer");

  curl_slist* list = nullptr;
  auto append = [&list](const std::string& line) {
    if (curl_slist* longer = curl_slist_append(list, line.c_str())) list = longer;
  };
  append("Content-Type: application/json");
  append("Accept: application/json");
  append("Expect:");  // send the body at once, without waiting for "100 Continue"
  if (token) append("Authorization: Bearer " + *token);
  HeaderList headers(list);

  Transfer transfer;
  transfer.stopping = &stopping;
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxAIReplyBytes));
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, checkStopping);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(options.timeout.count()));
  // A redirect could carry the credential to another host: not followed.
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, options.caFile.c_str());
  // A request to this computer goes straight there, never through a proxy
  // named in the environment (it would see the plain-http credential).
  if (loopback) curl_easy_setopt(h, CURLOPT_NOPROXY, "*");

  const CURLcode code = curl_easy_perform(h);
  long status = 0;
  if (code == CURLE_OK) curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);

  Result<AIReply> result = [&]() -> Result<AIReply> {
    if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
      return Error(ErrorCode::unavailable, std::string(kTooLargeText));
    }
    if (code == CURLE_ABORTED_BY_CALLBACK && stopping) {
      return Error(ErrorCode::cancelled, "The AI request was stopped");
    }
    if (code == CURLE_OPERATION_TIMEDOUT) {
      return Error(ErrorCode::deadlineExceeded, curl_easy_strerror(code));
    }
    if (code != CURLE_OK) return Error(ErrorCode::unavailable, curl_easy_strerror(code));
    if (status == 0) return aiServerError("Invalid response");
    // The credential goes before the body is cut to length, so that no
    // part of it is left at the cut.
    if (status < 200 || status > 299)
      return aiStatusError(status, redacted(std::move(transfer.body), request.token));
    auto reply = QM_TRY(readAIReply(transfer.body, request.kind));
    if (!reply.provider) reply.provider = request.model;
    return reply;
  }();

  if (!result) {
    result = redacted(std::move(result).takeError(), token);
    if (status != 0) {
      log::proxy().warn("AI request {} to {}: HTTP {}, {}", task, host, status,
                        result.error().message);
    } else {
      log::proxy().warn("AI request {} to {} failed: {}", task, host, result.error().message);
    }
  } else {
    log::proxy().info("AI reply for {} from {}: HTTP {}, provider {}", task, host, status,
                      result->provider.value_or("not named"));
  }
  return result;
}

/// Reads the endpoint and the credential and builds the request, or tells
/// why nothing can be sent.
Result<Request> prepare(AppSettings& settings, KeychainStore& keychain, std::string task,
                        const std::vector<AIMessage>& messages, std::optional<int> maxTokens,
                        std::optional<double> temperature) {
  const std::string endpoint = settings.aiEndpoint();
  if (endpoint.empty()) return aiNotRegisteredError();
  std::string host = QM_TRY(checkAIEndpoint(endpoint));
  const AIEndpointKind kind = settings.aiEndpointKind();
  std::optional<std::string> token = keychain.load(kAIEndpointTokenKey);
  if (token && token->empty()) token.reset();
  if (kind == AIEndpointKind::proxy && !token) return aiNotRegisteredError();
  if (token && hasControlCharacters(*token)) {
    return Error(ErrorCode::failedPrecondition,
                 "The stored AI endpoint credential cannot be used: run quillmere ai login");
  }

  Json list = Json::array();
  for (const auto& message : messages) {
    list.push_back({{"role", message.role}, {"content", message.content}});
  }
  std::string base = endpoint;
  if (base.ends_with('/')) base.pop_back();
  Json body;
  std::string url;
  if (kind == AIEndpointKind::proxy) {
    url = base + "/api/proxy/ai";
    body = {{"task", task}, {"messages", std::move(list)}};
    if (maxTokens) body["maxTokens"] = *maxTokens;
    if (temperature) body["temperature"] = *temperature;
  } else {
    url = base + "/chat/completions";
    body = {{"model", settings.aiModel()}, {"messages", std::move(list)}};
    if (maxTokens) body["max_tokens"] = *maxTokens;
    if (temperature) body["temperature"] = *temperature;
  }
  const bool loopback = isLoopbackHost(host);
  // Text that is not UTF-8 (a note pasted from elsewhere) is sent with U+FFFD
  // in its place rather than failing the request.
  std::optional<std::string> model;
  if (kind == AIEndpointKind::chatCompletions && !settings.aiModel().empty())
    model = settings.aiModel();
  return Request{std::move(task),
                 std::move(host),
                 std::move(url),
                 body.dump(-1, ' ', false, Json::error_handler_t::replace),
                 std::move(token),
                 loopback,
                 kind,
                 std::move(model)};
}

}  // namespace

MacProxyService::MacProxyService(AppSettings& settings, KeychainStore& keychain, Poster post,
                                 AIEndpointOptions options)
    : settings_(settings),
      keychain_(keychain),
      options_(std::move(options)),
      workers_(std::move(post)) {
  initialiseCurl();
}

MacProxyService::~MacProxyService() = default;

bool MacProxyService::isConfigured() const {
  const std::string endpoint = settings_.aiEndpoint();
  if (endpoint.empty() || !checkAIEndpoint(endpoint)) return false;
  if (settings_.aiEndpointKind() == AIEndpointKind::chatCompletions) return true;
  const auto token = keychain_.load(kAIEndpointTokenKey);
  return token && !token->empty();
}

void MacProxyService::complete(std::string task, std::string prompt,
                               std::function<void(Result<AIReply>)> done) {
  std::vector<AIMessage> messages{{"user", std::move(prompt)}};
  requestCompletion(std::move(task), std::move(messages), std::nullopt, std::nullopt,
                    std::move(done));
}

void MacProxyService::requestCompletion(std::string task, std::vector<AIMessage> messages,
                                        std::optional<int> maxTokens,
                                        std::optional<double> temperature,
                                        std::function<void(Result<AIReply>)> done) {
  auto fail = [this, &done](Error error) {
    workers_.later([done = std::move(done), error = std::move(error)] { done(error); });
  };

  auto request = prepare(settings_, keychain_, task, messages, maxTokens, temperature);
  if (!request) {
    log::proxy().warn("AI request {} not sent: {}", task, request.error().message);
    fail(request.error());
    return;
  }
  log::proxy().info("AI request {} to {}", request->task, request->host);

  auto failed = workers_.start(
      [options = options_, request = std::move(*request), done](const std::atomic<bool>& stopping) {
        return std::function<void()>(
            [done, result = perform(request, options, stopping)] { done(result); });
      });
  if (!failed) return;
  log::proxy().error("Cannot start a thread for AI request {}: {}", task, *failed);
  fail(Error(ErrorCode::internal, "Cannot start the AI request: " + *failed));
}

}  // namespace qm
