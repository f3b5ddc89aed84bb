// The AI endpoint client over real sockets and libcurl, against a local HTTPS
// server with a certificate made for the test and a plain HTTP one on
// 127.0.0.1.
#include "drafting/mac_proxy_service.h"

#include <gmock/gmock.h>

#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>

#include <nlohmann/json.hpp>

#include "common/log.h"
#include "drafting/ai_reply_text.h"
#include "settings/app_settings.h"
#include "settings/keychain_store.h"
#include "settings/user_defaults.h"
#include "support/local_http_server.h"
#include "support/log_capture.h"
#include "support/status_matchers.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::IsError;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr const char* kToken = "tok-7f3a9c1e5b";

/// The main loop as the service sees it: functions posted from any thread,
/// run on the test's thread.
class MainLoop {
 public:
  MacProxyService::Poster poster() {
    return [this](std::function<void()> job) {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
      ready_.notify_one();
    };
  }

  /// Runs posted functions until `finished` holds or `limit` passes.
  template <class F>
  bool runUntil(F finished, std::chrono::milliseconds limit = 10s) {
    const auto deadline = Clock::now() + limit;
    while (!finished()) {
      std::unique_lock lock(mutex_);
      if (!ready_.wait_until(lock, deadline, [&] { return !jobs_.empty(); })) return false;
      auto job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job();
    }
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
};

class MacProxyServiceTest : public ::testing::Test {
 protected:
  MacProxyServiceTest() {
    std::ofstream(caFile_) << certificate_.certificatePEM;
    settings_.setAiEndpoint(https_.url() + "/").value();
  }

  std::unique_ptr<MacProxyService> makeService(AIEndpointOptions options = {}) {
    if (options.caFile.empty()) options.caFile = caFile_;
    return std::make_unique<MacProxyService>(settings_, keychain_, loop_.poster(), options);
  }

  /// Sends `prompt` and runs the loop until its answer; checks that the
  /// answer comes through the loop, never inside the call.
  Result<AIReply> ask(MacProxyService& service, const std::string& prompt = "Hello") {
    std::optional<Result<AIReply>> answer;
    const auto caller = std::this_thread::get_id();
    service.complete("followup_plan", prompt, [&](Result<AIReply> reply) {
      EXPECT_EQ(std::this_thread::get_id(), caller);
      answer = std::move(reply);
    });
    EXPECT_FALSE(answer.has_value()) << "answered before the main loop ran";
    if (!loop_.runUntil([&] { return answer.has_value(); })) return Error("no answer in 10 s");
    return *answer;
  }

  test::TempDir dir_;
  std::filesystem::path caFile_ = dir_ / "ca.pem";
  UserDefaults defaults_{dir_ / "defaults.json"};
  AppSettings settings_{defaults_};
  FileKeychainBackend backend_{dir_ / "keychain.json"};
  KeychainStore keychain_{backend_};
  MainLoop loop_;
  test::LoopbackCertificate certificate_ = test::makeLoopbackCertificate().value();
  test::LocalHTTPServer https_{certificate_};
};

TEST_F(MacProxyServiceTest, ProxyRequestCarriesTaskMessagesAndCredential) {
  keychain_.save(kAIEndpointTokenKey, kToken);
  https_.setReply({200, R"({"data":{"text":"Dear Ada,"},"provider":"claude"})"});
  auto service = makeService();
  EXPECT_TRUE(service->isConfigured());

  auto reply = ask(*service, "Write to Ada");
  ASSERT_OK(reply);
  EXPECT_EQ(reply->text, "Dear Ada,");
  EXPECT_EQ(reply->provider, "claude");

  auto seen = https_.requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "POST");
  EXPECT_EQ(seen[0].target, "/api/proxy/ai");
  EXPECT_EQ(seen[0].headers["content-type"], "application/json");
  EXPECT_EQ(seen[0].headers["authorization"], std::string("Bearer ") + kToken);
  EXPECT_EQ(seen[0].body,
            R"({"messages":[{"content":"Write to Ada","role":"user"}],"task":"followup_plan"})");

  std::optional<Result<AIReply>> answer;
  service->requestCompletion("summary", {{"system", "Be brief"}, {"user", "Hi"}}, 300, 0.5,
                             [&](Result<AIReply> r) { answer = std::move(r); });
  ASSERT_TRUE(loop_.runUntil([&] { return answer.has_value(); }));
  const Json body = Json::parse(https_.requests().at(1).body);
  EXPECT_EQ(body["task"], "summary");
  EXPECT_EQ(body["maxTokens"], 300);
  EXPECT_EQ(body["temperature"], 0.5);
  EXPECT_EQ(body["messages"][0], Json({{"role", "system"}, {"content", "Be brief"}}));
}

// Each answer shape and status that reading the reply can get wrong.
TEST_F(MacProxyServiceTest, ReadsEachReplyShapeAndStatus) {
  keychain_.save(kAIEndpointTokenKey, kToken);
  auto service = makeService();
  struct Case {
    int status;
    std::string body;
    std::string text;  // the reply text, or the whole error message
    std::optional<std::string> provider = std::nullopt;
    std::optional<ErrorCode> code = std::nullopt;  // set for a failure
  };
  const std::vector<Case> cases = {
      {200,
       R"({"provider":"openai","data":{"text":"From data","choices":[{"message":{"content":"x"}}]}})",
       "From data", "openai"},
      {200, R"({"provider":"openai","choices":[{"message":{"content":"Whole object"}}]})",
       "Whole object", "openai"},
      {200, R"({"provider":"claude","data":"text","content":[{"text":"Top level"}]})", "Top level",
       "claude"},
      {200, R"({"provider":"claude","text":5,"content":[{"text":"Claude"}]})", "Claude", "claude"},
      {200, R"({"provider":"gemini","candidates":[{"content":{"parts":[{"text":"G"}]}}]})", "G",
       "gemini"},
      {200, R"({"candidates":[{"content":{"parts":[{"text":"Gemini shape"}]}}]})", "Gemini shape"},
      {200, R"({"provider":7,"content":[{"text":"Claude shape"}]})", "Claude shape"},
      {200, R"({"provider":"mistral","choices":[]})",
       "Failed to parse AI response: Could not parse mistral response", std::nullopt,
       ErrorCode::dataLoss},
      {200, R"({"provider":"claude","content":[{"type":"text"}]})",
       "Failed to parse AI response: Could not parse Claude response", std::nullopt,
       ErrorCode::dataLoss},
      {200, R"({"provider":"gemini","candidates":[{"content":{"parts":[]}}]})",
       "Failed to parse AI response: Could not parse Gemini response", std::nullopt,
       ErrorCode::dataLoss},
      {200, R"({"provider":"cohere","text":null})",
       "Failed to parse AI response: Unknown provider: cohere", std::nullopt, ErrorCode::dataLoss},
      {200, R"({"choices":[{"message":{"content":null}}]})",
       "Failed to parse AI response: Could not parse AI response (unknown format)", std::nullopt,
       ErrorCode::dataLoss},
      {200, R"(["text"])", "Failed to parse AI response: Response is not a JSON object",
       std::nullopt, ErrorCode::dataLoss},
      {500, "Upstream model overloaded", "Proxy server error: Upstream model overloaded",
       std::nullopt, ErrorCode::internal},
      {503, "\xff\xfe\x80 busy", "Proxy server error: HTTP 503", std::nullopt, ErrorCode::internal},
      {401, R"({"error":"bad token"})", "Proxy server error: Authentication failed (401)",
       std::nullopt, ErrorCode::permissionDenied},
  };
  for (const Case& c : cases) {
    https_.setReply({c.status, c.body});
    auto reply = ask(*service);
    if (c.code) {
      EXPECT_THAT(reply, IsError(*c.code, c.text)) << c.body;
    } else {
      ASSERT_OK(reply) << c.body;
      EXPECT_EQ(reply->text, c.text) << c.body;
      EXPECT_EQ(reply->provider, c.provider) << c.body;
    }
  }
  https_.setReply({200, "{not json"});
  EXPECT_THAT(ask(*service), IsError(ErrorCode::dataLoss,
                                     StartsWith("Failed to parse AI response: [json.exception")));
}

TEST_F(MacProxyServiceTest, ChatCompletionsServerOnThisComputerNeedsNoCredential) {
  test::LocalHTTPServer local;
  settings_.setAiEndpoint(local.url() + "/v1").value();
  settings_.setAiEndpointKind(AIEndpointKind::chatCompletions).value();
  settings_.setAiModel("llama3.1").value();
  local.setReply({200, R"({"choices":[{"message":{"role":"assistant","content":"Hi there"}}]})"});
  auto service = makeService();
  EXPECT_TRUE(service->isConfigured());

  auto reply = ask(*service);
  ASSERT_OK(reply);
  EXPECT_EQ(reply->text, "Hi there");
  EXPECT_EQ(reply->provider, "llama3.1");  // the model stands in for an unnamed provider
  auto seen = local.requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].target, "/v1/chat/completions");
  EXPECT_FALSE(seen[0].headers.contains("authorization"));
  EXPECT_EQ(Json::parse(seen[0].body),
            Json::parse(R"({"model":"llama3.1","messages":[{"role":"user","content":"Hello"}]})"));

  keychain_.save(kAIEndpointTokenKey, kToken);  // read again for the next request
  ASSERT_OK(ask(*service));
  EXPECT_EQ(local.requests().at(1).headers["authorization"], std::string("Bearer ") + kToken);

  // A gateway in front of the server may name whichever provider it chose:
  // the answer is still read by its shape, never refused as "Unknown provider".
  local.setReply({200, R"({"provider":"Fireworks","choices":[{"message":{"content":"Via gw"}}]})"});
  reply = ask(*service);
  ASSERT_OK(reply);
  EXPECT_EQ(reply->text, "Via gw");
  EXPECT_EQ(reply->provider, "Fireworks");
}

// An error page is shown to the user and logged: it reaches neither as a
// megabyte of text nor with the escape sequences that would drive a terminal.
TEST_F(MacProxyServiceTest, AServerErrorIsShownAsOneShortReadableLine) {
  test::LogCapture log(log::proxy());
  keychain_.save(kAIEndpointTokenKey, kToken);
  auto service = makeService();
  const std::string words = "Model overloaded retry later ";
  https_.setReply({502, "\x1b[31mModel\x1b[0m overloaded\r\n\tretry\x07 later \x1b]0;pwned\x07" +
                            std::string(4 << 20, 'x')});

  const std::string readable = words + std::string(kMaxServerTextLength - words.size(), 'x') + "…";
  EXPECT_THAT(ask(*service), IsError(ErrorCode::internal, "Proxy server error: " + readable));
  const std::string text = log.text();
  EXPECT_THAT(text, HasSubstr(readable));
  EXPECT_LT(text.size(), 2 * kMaxServerTextLength);
  EXPECT_EQ(text.find('\x1b'), std::string::npos);

  // Nothing readable left: the status tells instead.
  https_.setReply({502, "\x1b[2J\r\n"});
  EXPECT_THAT(ask(*service), IsError(ErrorCode::internal, "Proxy server error: HTTP 502"));
}

TEST_F(MacProxyServiceTest, SendsNothingWithoutCredentialOrTrust) {
  auto service = makeService();
  EXPECT_FALSE(service->isConfigured());
  EXPECT_THAT(ask(*service), IsError(ErrorCode::failedPrecondition,
                                     "No AI endpoint configured: run quillmere ai login"));
  settings_.setAiEndpoint("").value();
  keychain_.save(kAIEndpointTokenKey, kToken);
  EXPECT_FALSE(service->isConfigured());
  EXPECT_THAT(ask(*service), IsError(ErrorCode::failedPrecondition));

  // Plain http to another computer would show the prompt and the credential
  // to the network. Nobody listens at this address: the refusal comes first.
  settings_.setAiEndpoint("http://192.0.2.10:8080").value();
  EXPECT_FALSE(service->isConfigured());
  EXPECT_THAT(ask(*service), IsError(ErrorCode::invalidArgument, HasSubstr("plain http://")));

  // The server's certificate is checked: without the test's CA it is refused
  // during the handshake, before the request (and its credential) is sent.
  settings_.setAiEndpoint(https_.url()).value();
  auto systemTrust = std::make_unique<MacProxyService>(settings_, keychain_, loop_.poster());
  EXPECT_THAT(ask(*systemTrust), IsError(ErrorCode::unavailable));
  EXPECT_TRUE(https_.requests().empty());
}

TEST_F(MacProxyServiceTest, OnlyHttpsOrThisComputerIsAnAcceptableEndpoint) {
  for (const char* url : {"https://ai.example.com", "http://127.0.0.1:11434/v1",
                          "http://127.8.9.10/", "http://localhost:8080", "http://LocalHost",
                          "http://[::1]:8000/v1", "http://[::ffff:127.0.0.1]/"}) {
    EXPECT_OK(checkAIEndpoint(url)) << url;
  }
  for (const char* url :
       {"http://192.168.1.20:11434", "http://localhost.example.com", "http://127.0.0.1.nip.io",
        "http://[::2]", "http://128.0.0.1", "ftp://127.0.0.1", "ai.example.com", ""}) {
    EXPECT_THAT(checkAIEndpoint(url), IsError(ErrorCode::invalidArgument)) << url;
  }
  EXPECT_EQ(checkAIEndpoint("http://[::1]:8000/v1").value(), "[::1]");
}

TEST_F(MacProxyServiceTest, RefusesRepliesOver8MiBWithOrWithoutALength) {
  keychain_.save(kAIEndpointTokenKey, kToken);
  auto service = makeService();
  const std::string huge = R"({"text":")" + std::string(kMaxAIReplyBytes, 'a') + R"("})";
  for (bool sendLength : {true, false}) {
    https_.setReply({.status = 200, .body = huge, .sendLength = sendLength});
    EXPECT_THAT(ask(*service),
                IsError(ErrorCode::unavailable, "The AI endpoint's reply is larger than 8 MiB"))
        << "Content-Length sent: " << sendLength;
  }
  https_.setReply({.status = 200, .body = R"({"text":"short"})", .sendLength = false});
  EXPECT_OK(ask(*service));
}

TEST_F(MacProxyServiceTest, GivesUpAfterTheTimeOutAndStopsWhenDestroyed) {
  keychain_.save(kAIEndpointTokenKey, kToken);
  https_.setReply({.status = 200, .body = R"({"text":"late"})", .delay = 20s});
  auto service = makeService({.caFile = {}, .timeout = 300ms});
  const auto start = Clock::now();
  EXPECT_THAT(ask(*service), IsError(ErrorCode::deadlineExceeded, "Timeout was reached"));
  EXPECT_LT(Clock::now() - start, 5s);

  // A request still waiting for its answer ends with the service, whose
  // owner is gone by then: its `done` must not run.
  test::LocalHTTPServer slow;
  slow.setReply({.status = 200, .body = R"({"text":"late"})", .delay = 20s});
  settings_.setAiEndpoint(slow.url()).value();
  auto waiting = makeService();
  bool called = false;
  waiting->complete("followup_plan", "Hello", [&](Result<AIReply>) { called = true; });
  ASSERT_TRUE(test::eventually([&] { return slow.requests().size() == 1; }));
  const auto stopping = Clock::now();
  waiting.reset();
  EXPECT_LT(Clock::now() - stopping, 5s);
  loop_.runUntil([] { return false; }, 200ms);
  EXPECT_FALSE(called);
}

TEST_F(MacProxyServiceTest, CredentialAndPromptStayOutOfErrorsAndLogs) {
  test::LogCapture log(log::proxy());
  keychain_.save(kAIEndpointTokenKey, kToken);
  auto service = makeService();
  const std::string prompt = "Remind Ada Lovelace about booth 12";
  https_.setReply({500, std::string("Rejected header Authorization: Bearer ") + kToken});

  auto failed = ask(*service, prompt);
  ASSERT_THAT(failed, IsError(ErrorCode::internal,
                              HasSubstr("Proxy server error: Rejected header Authorization")));
  EXPECT_THAT(failed.error().message, Not(HasSubstr(kToken)));

  https_.setReply({200, R"({"data":{"text":"Dear Ada"},"provider":"claude"})"});
  ASSERT_OK(ask(*service, prompt));
  const std::string text = log.text();
  EXPECT_THAT(text, HasSubstr("followup_plan"));
  EXPECT_THAT(text, HasSubstr("127.0.0.1"));
  EXPECT_THAT(text, HasSubstr("HTTP 500"));
  EXPECT_THAT(text, HasSubstr("provider claude"));
  EXPECT_THAT(text, Not(HasSubstr(kToken)));
  EXPECT_THAT(text, Not(HasSubstr("Ada Lovelace")));
}

}  // namespace
}  // namespace qm
