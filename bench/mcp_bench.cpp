// MCP server benchmarks at trade-show scale: a store with one event of 10,000
// contacts, served by the companion's MCP listener on 127.0.0.1 exactly as AI
// clients reach it, one HTTP request per TCP connection.
//
// - Latency: list_contacts (100 contacts) and search_contacts (a company
//   substring, a name with and without its accent, a CJK company, a text
//   nobody has), each sent 500 times in a row after 50 warm-up requests, every
//   request on a fresh connection, beside "ping" sent the same way (the
//   listener's own cost, the baseline). Timed from opening the connection
//   until the server has closed it; checking the reply is not timed.
// - Throughput: "ping" from 8 client threads at once, each request on a fresh
//   connection, in three rounds of one second.
// - Baseline: nginx (started by scripts/bench.sh) serving a 64-byte JSON file
//   to the same 8-thread client with `Connection: close`, its rounds alternating
//   with the ping rounds, so the MCP figure can be read as a ratio that does not
//   depend on how fast this machine happens to be.
//
// The server runs on one thread of its own, which opens and fills the store,
// owns the settings and the listener and runs its io_context; the clients are
// plain blocking sockets on other threads. Every socket operation has a time
// limit, and the load rounds are bounded by time and by request count.
#include <algorithm>
#include <array>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <iomanip>
#include <iostream>
#include <latch>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "bench_contacts.h"
#include "bench_support.h"
#include "common/log.h"
#include "common/result.h"
#include "common/uuid.h"
#include "mcp/mcp_server.h"
#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "settings/keychain_store.h"
#include "settings/user_defaults.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/store.h"
#include "support/http_client.h"
#include "support/temp_dir.h"

namespace qm::bench {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using JSON = nlohmann::json;

constexpr std::size_t kContacts = 10'000;
constexpr int kWarmupRequests = 50;
constexpr int kTimedRequests = 500;
constexpr int kListLimit = 100;
constexpr int kClientThreads = 8;
constexpr int kLoadRounds = 3;
constexpr auto kRoundDuration = 1s;
constexpr std::int64_t kMaxLoadRequests = 200'000;  ///< per server, over all rounds
constexpr int kMaxFailuresPerThread = 100;
constexpr auto kSocketTimeout = 5s;
/// Timed requests of one tool stop early past this (after at least kMinTimedRequests).
constexpr auto kLatencyTimeLimit = 180s;
constexpr std::size_t kMinTimedRequests = 50;
constexpr auto kServerStartTimeout = 120s;
constexpr auto kServerStopTimeout = 10s;

constexpr double kP50TargetMs = 3.0;
constexpr double kP99TargetMs = 10.0;
constexpr double kPingTargetPerSecond = 4'000;

// ---------------------------------------------------------------------------
// Records

/// Every sixth contact works for a Japanese, Chinese or Korean company.
/// (Their names stay Latin: CJK last names sort after Latin ones, beyond the
/// 5,000 contacts search_contacts looks at in a store of 10,000.)
constexpr std::array<std::string_view, 4> kEastAsianCompanies{"株式会社クモ", "東京精機",
                                                              "北京光电", "서울로보틱스"};

/// What search_contacts is asked: a company substring, a name with its accent
/// and without it (found folded), a CJK company, and a text no contact holds
/// (every contact of the search window is looked at).
constexpr std::array<std::string_view, 5> kSearchQueries{kSearchQuery, "müller", "muller", "クモ",
                                                         "zqxw"};

/// The benchmark's event with its contacts: varied names, companies, e-mail
/// addresses, titles, ranks, meeting statuses and target flags.
struct Dataset {
  Event event;
  std::vector<Contact> contacts;
};

Dataset makeDataset() {
  Dataset d;
  d.event = Event::create("Hannover Industrial Expo");
  d.event.location = "Hannover";
  d.contacts.reserve(kContacts);
  Rng rng(20'251);
  for (std::size_t i = 0; i < kContacts; ++i) {
    d.contacts.push_back(benchContact(rng, i, d.event.id));
    if (i % 6 == 0) d.contacts.back().company = std::string(kEastAsianCompanies[i % 4]);
  }
  return d;
}

// ---------------------------------------------------------------------------
// The server, on a thread of its own

/// What the server thread tells the clients once it listens.
struct ServerReady {
  std::uint16_t port = 0;
  Uuid eventID;
  double seedSeconds = 0;
};

/// Runs the MCP server on its own thread. That thread opens the store, fills
/// it, builds the settings, identity and server, runs the io_context and, on
/// `stop`, tears everything down again: no object of the server is touched
/// from any other thread.
class ServerThread {
 public:
  explicit ServerThread(fs::path folder) : folder_(std::move(folder)), guard_(io_.get_executor()) {}
  ~ServerThread() { stop(); }
  ServerThread(const ServerThread&) = delete;
  ServerThread& operator=(const ServerThread&) = delete;

  Result<ServerReady> start() {
    std::future<Result<ServerReady>> ready = ready_.get_future();
    finished_ = finishedPromise_.get_future();
    thread_ = std::thread([this] { run(); });
    if (ready.wait_for(kServerStartTimeout) != std::future_status::ready)
      return Error("the server did not start within " +
                   std::to_string(kServerStartTimeout.count()) + " s");
    return ready.get();
  }

  /// Stops the listener on its own thread and lets the io_context run out.
  void stop() {
    if (!thread_.joinable()) return;
    asio::post(io_, [this] {
      if (server_) server_->stop();
      guard_.reset();
    });
    if (finished_.wait_for(kServerStopTimeout) != std::future_status::ready) {
      std::cerr << "mcp_bench: the server had work left after stopping; stopping its loop\n";
      io_.stop();
    }
    thread_.join();
  }

 private:
  void run() {
    // Declared before the server so they outlive it.
    std::unique_ptr<Store> store;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<FileKeychainBackend> keychainBackend;
    std::unique_ptr<KeychainStore> keychain;
    std::unique_ptr<DeviceIdentity> identity;
    bool listening = false;
    try {
      auto opened = Store::open(folder_ / "QuillmereMac.store");
      if (!opened) throw std::runtime_error("open store: " + opened.error().message);
      store = std::move(opened).value();

      const Dataset data = makeDataset();
      const auto seedStart = Clock::now();
      Status seeded = store->transaction([&]() -> Status {
        QM_TRY(store->insert(data.event));
        for (const Contact& c : data.contacts) QM_TRY(store->insert(c));
        return {};
      });
      const double seedSeconds = std::chrono::duration<double>(Clock::now() - seedStart).count();
      if (!seeded) throw std::runtime_error("fill store: " + seeded.error().message);
      auto stored = store->count<Contact>();
      if (!stored || *stored != static_cast<std::int64_t>(kContacts))
        throw std::runtime_error("the store does not hold every contact");

      defaults = std::make_unique<UserDefaults>(folder_ / "defaults.json");
      settings = std::make_unique<AppSettings>(*defaults);
      keychainBackend = std::make_unique<FileKeychainBackend>(folder_ / "keychain.json");
      keychain = std::make_unique<KeychainStore>(*keychainBackend);
      identity = std::make_unique<DeviceIdentity>(*keychain);

      mcp::MCPServerOptions options;
      options.port = 0;
      server_ = std::make_unique<mcp::MCPServer>(io_, *store, *settings, *identity, options);
      server_->start();
      if (!server_->isRunning() || server_->port() == 0)
        throw std::runtime_error("the MCP listener did not open");
      listening = true;
      ready_.set_value(ServerReady{server_->port(), data.event.id, seedSeconds});
      io_.run();
    } catch (const std::exception& e) {
      if (!listening)
        ready_.set_value(Error(e.what()));
      else
        std::cerr << "mcp_bench: the server thread failed: " << e.what() << "\n";
    }
    server_.reset();
    // Handlers released by the server's destruction still run here.
    io_.restart();
    io_.poll();
    identity.reset();
    keychain.reset();
    keychainBackend.reset();
    settings.reset();
    defaults.reset();
    store.reset();
    finishedPromise_.set_value();
  }

  fs::path folder_;
  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> guard_;
  std::unique_ptr<mcp::MCPServer> server_;
  std::thread thread_;
  std::promise<Result<ServerReady>> ready_;
  std::promise<void> finishedPromise_;
  std::future<void> finished_;
};

// ---------------------------------------------------------------------------
// HTTP/1.1 requests, one per connection, through the tests' loopback client

using Reply = test::HTTPReply;

/// Sends `request` on a fresh connection to 127.0.0.1:`port` and reads until the
/// server closes; connecting, sending and reading are each limited to kSocketTimeout.
Result<std::string> roundTrip(std::uint16_t port, std::string_view request) {
  return test::exchangeHTTP(port, request, kSocketTimeout);
}

std::string postRequest(const std::string& body, const std::string& sessionID) {
  std::string request =
      "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
      "Accept: application/json, text/event-stream\r\n";
  if (!sessionID.empty()) request += "Mcp-Session-Id: " + sessionID + "\r\n";
  request += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  return request;
}

std::string getRequest(std::string_view path) {
  return "GET " + std::string(path) + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
}

/// A 200 reply whose body is one JSON document.
Result<JSON> jsonReply(const Reply& reply) {
  if (reply.status != 200)
    return Error("HTTP " + std::to_string(reply.status) + ": " + reply.body.substr(0, 200));
  JSON json = JSON::parse(reply.body, nullptr, false);
  if (json.is_discarded()) return Error("the body is not JSON: " + reply.body.substr(0, 200));
  return json;
}

Result<JSON> postJSON(std::uint16_t port, const JSON& message, const std::string& sessionID,
                      Reply* rawReply = nullptr) {
  auto text = roundTrip(port, postRequest(message.dump(), sessionID));
  if (!text) return text.error();
  auto reply = test::parseHTTPReply(*text);
  if (!reply) return reply.error();
  if (rawReply) *rawReply = *reply;
  return jsonReply(*reply);
}

/// The JSON-RPC result of a response with `id`; an error response fails.
Result<JSON> rpcResult(const JSON& response, std::int64_t id) {
  if (!response.is_object()) return Error("the response is not an object");
  if (auto error = response.find("error"); error != response.end())
    return Error("JSON-RPC error " + error->dump());
  auto responseID = response.find("id");
  if (responseID == response.end() || *responseID != id)
    return Error("the response has the wrong id: " + response.dump().substr(0, 200));
  auto result = response.find("result");
  if (result == response.end() || !result->is_object()) return Error("the response has no result");
  return *result;
}

/// How many records a tool's result document lists: the length of an array, or
/// of the first array member of an object; nothing when it lists none.
std::optional<std::size_t> listedCount(const JSON& document) {
  if (document.is_array()) return document.size();
  if (document.is_object()) {
    for (const auto& [key, value] : document.items()) {
      if (value.is_array()) return value.size();
    }
  }
  return std::nullopt;
}

/// The tool's own document inside a tools/call response; an error result fails.
Result<JSON> toolDocument(const JSON& response, std::int64_t id) {
  auto result = rpcResult(response, id);
  if (!result) return result.error();
  const auto content = result->find("content");
  if (content == result->end() || !content->is_array() || content->empty() ||
      !(*content)[0].contains("text") || !(*content)[0]["text"].is_string())
    return Error("the tool result has no text: " + result->dump().substr(0, 200));
  const std::string& text = (*content)[0]["text"].get_ref<const std::string&>();
  if (result->value("isError", false)) return Error("the tool failed: " + text.substr(0, 200));
  JSON document = JSON::parse(text, nullptr, false);
  if (document.is_discarded()) return Error("the tool text is not JSON: " + text.substr(0, 200));
  return document;
}

// ---------------------------------------------------------------------------
// The client's session

JSON initializeMessage(bool withClientInfo) {
  JSON params = {{"protocolVersion", "2025-03-26"}, {"capabilities", JSON::object()}};
  if (withClientInfo) params["clientInfo"] = {{"name", "bench"}, {"version", "1.0"}};
  return {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", std::move(params)}};
}

JSON toolCall(std::string_view name, JSON arguments) {
  return {{"jsonrpc", "2.0"},
          {"id", 2},
          {"method", "tools/call"},
          {"params", {{"name", name}, {"arguments", std::move(arguments)}}}};
}

/// How the benchmark's requests are attributed to a client.
struct Session {
  std::string id;  ///< the Mcp-Session-Id to send; empty when the server gave none
  std::string clientName;
};

/// Shakes hands as client "bench" and keeps the session the server hands out.
/// A server that hands out none gets a handshake without client information,
/// which lets later connections run as the unknown client.
Result<Session> openSession(std::uint16_t port) {
  Reply reply;
  auto response = postJSON(port, initializeMessage(true), {}, &reply);
  if (!response) return Error("initialize: " + response.error().message);
  auto result = rpcResult(*response, 1);
  if (!result) return Error("initialize: " + result.error().message);
  if (!result->contains("serverInfo")) return Error("initialize: the result has no serverInfo");
  if (auto header = reply.headers.find("mcp-session-id");
      header != reply.headers.end() && !header->second.empty())
    return Session{header->second, "bench"};

  auto anonymous = postJSON(port, initializeMessage(false), {});
  if (!anonymous)
    return Error("initialize without client information: " + anonymous.error().message);
  if (auto r = rpcResult(*anonymous, 1); !r)
    return Error("initialize without client information: " + r.error().message);
  return Session{{}, "Unknown Client"};
}

// ---------------------------------------------------------------------------
// Latency

struct Latency {
  std::vector<double> millis;  ///< sorted
  std::size_t listed = 0;      ///< records listed by the last reply
  bool cutShort = false;       ///< stopped at kLatencyTimeLimit
  std::optional<Error> error;

  /// Nearest-rank percentile.
  double percentile(double p) const {
    const auto rank =
        static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(millis.size())));
    return millis[std::max<std::size_t>(rank, 1) - 1];
  }
  double mean() const {
    double sum = 0;
    for (double m : millis) sum += m;
    return sum / static_cast<double>(millis.size());
  }
};

/// Sends `message` kWarmupRequests + kTimedRequests times, one connection each,
/// one after the other; every reply must be a tool result listing at least
/// `minimumListed` records, or for a ping an empty result.
Latency measureLatency(std::uint16_t port, const Session& session, const JSON& message,
                       std::size_t minimumListed) {
  const bool ping = message.value("method", "") == "ping";
  Latency latency;
  const std::string request = postRequest(message.dump(), session.id);
  const auto phaseStart = Clock::now();
  for (int i = 0; i < kWarmupRequests + kTimedRequests; ++i) {
    if (latency.millis.size() >= kMinTimedRequests &&
        Clock::now() - phaseStart > kLatencyTimeLimit) {
      latency.cutShort = true;
      break;
    }
    const auto start = Clock::now();
    auto text = roundTrip(port, request);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    auto reply = text ? test::parseHTTPReply(*text) : Result<Reply>(text.error());
    auto json = reply ? jsonReply(*reply) : Result<JSON>(reply.error());
    if (ping) {
      auto result = json ? rpcResult(*json, 1) : Result<JSON>(json.error());
      if (!result || !result->empty()) {
        latency.error = Error("ping " + std::to_string(i + 1) + " was not answered");
        return latency;
      }
      if (i >= kWarmupRequests) latency.millis.push_back(ms);
      continue;
    }
    auto document = json ? toolDocument(*json, 2) : Result<JSON>(json.error());
    if (!document) {
      latency.error = Error("request " + std::to_string(i + 1) + ": " + document.error().message);
      return latency;
    }
    const auto listed = listedCount(*document);
    if (!listed || *listed < minimumListed) {
      latency.error = Error("request " + std::to_string(i + 1) + " listed " +
                            std::to_string(listed.value_or(0)) + " records, expected at least " +
                            std::to_string(minimumListed));
      return latency;
    }
    latency.listed = *listed;
    if (i >= kWarmupRequests) latency.millis.push_back(ms);
  }
  std::sort(latency.millis.begin(), latency.millis.end());
  return latency;
}

// ---------------------------------------------------------------------------
// Throughput

using Check = std::function<Status(const Reply&)>;

struct Round {
  std::int64_t succeeded = 0;
  std::int64_t failed = 0;
  double seconds = 0;
  std::optional<std::string> firstError;
  double perSecond() const { return seconds > 0 ? static_cast<double>(succeeded) / seconds : 0; }
};

/// kClientThreads threads send `request` for kRoundDuration, or until
/// `budget` requests have been sent, each request on a fresh connection.
Round loadRound(std::uint16_t port, const std::string& request, const Check& check,
                std::int64_t budget) {
  std::atomic<std::int64_t> issued{0};
  std::atomic<std::int64_t> succeeded{0};
  std::atomic<std::int64_t> failed{0};
  std::mutex errorMutex;
  std::optional<std::string> firstError;
  std::latch ready(kClientThreads + 1);
  Clock::time_point deadline;
  std::atomic<bool> go{false};

  auto client = [&] {
    ready.arrive_and_wait();
    while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
    int failures = 0;
    while (Clock::now() < deadline && issued.fetch_add(1, std::memory_order_relaxed) < budget) {
      auto text = roundTrip(port, request);
      auto reply = text ? test::parseHTTPReply(*text) : Result<Reply>(text.error());
      Status status = reply ? check(*reply) : Status(reply.error());
      if (status) {
        succeeded.fetch_add(1, std::memory_order_relaxed);
        continue;
      }
      failed.fetch_add(1, std::memory_order_relaxed);
      {
        std::lock_guard lock(errorMutex);
        if (!firstError) firstError = status.error().message;
      }
      if (++failures >= kMaxFailuresPerThread) break;
    }
  };

  std::vector<std::thread> threads;
  threads.reserve(kClientThreads);
  for (int i = 0; i < kClientThreads; ++i) threads.emplace_back(client);
  ready.arrive_and_wait();
  const auto start = Clock::now();
  deadline = start + kRoundDuration;
  go.store(true, std::memory_order_release);
  for (auto& t : threads) t.join();

  Round round;
  round.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  round.succeeded = succeeded.load();
  round.failed = failed.load();
  round.firstError = std::move(firstError);
  return round;
}

struct Load {
  std::vector<Round> rounds;
  std::int64_t succeeded() const {
    std::int64_t n = 0;
    for (const auto& r : rounds) n += r.succeeded;
    return n;
  }
  std::int64_t failed() const {
    std::int64_t n = 0;
    for (const auto& r : rounds) n += r.failed;
    return n;
  }
  double seconds() const {
    double s = 0;
    for (const auto& r : rounds) s += r.seconds;
    return s;
  }
  double perSecond() const {
    return seconds() > 0 ? static_cast<double>(succeeded()) / seconds() : 0;
  }
  double minPerSecond() const {
    double m = rounds.empty() ? 0 : rounds.front().perSecond();
    for (const auto& r : rounds) m = std::min(m, r.perSecond());
    return m;
  }
  double maxPerSecond() const {
    double m = 0;
    for (const auto& r : rounds) m = std::max(m, r.perSecond());
    return m;
  }
  std::optional<std::string> firstError() const {
    for (const auto& r : rounds) {
      if (r.firstError) return r.firstError;
    }
    return std::nullopt;
  }
};

Status checkPing(const Reply& reply) {
  auto json = jsonReply(reply);
  if (!json) return json.error();
  auto result = rpcResult(*json, 1);
  if (!result) return result.error();
  if (!result->empty()) return Error("ping answered " + result->dump());
  return {};
}

Status checkStaticFile(const Reply& reply) {
  auto json = jsonReply(reply);
  if (!json) return json.error();
  return {};
}

// ---------------------------------------------------------------------------
// Summary

class SummaryTable : public SummaryTableBase {
 public:
  /// p50, p99 and mean of one tool's latencies against the targets.
  void latency(const std::string& label, const Latency& l, bool judged = true) {
    if (l.error) {
      error(label, l.error->message);
      return;
    }
    const double lo = l.millis.front();
    const double hi = l.millis.back();
    const double p50 = l.percentile(50);
    const double p99 = l.percentile(99);
    row(label + ": p50", ms(p50), ms(lo), ms(hi), judged ? "<= " + ms(kP50TargetMs) : "baseline",
        judged ? verdict(p50 <= kP50TargetMs) : "");
    row(label + ": p99", ms(p99), "", "", judged ? "<= " + ms(kP99TargetMs) : "",
        judged ? verdict(p99 <= kP99TargetMs) : "");
    row(label + ": mean", ms(l.mean()), "", "", "", "");
  }

  /// Requests per second over every round; min and max are single rounds.
  void throughput(const std::string& label, const Load& load, std::optional<double> target) {
    if (load.failed() > 0) {
      error(label, std::to_string(load.failed()) + " of " +
                       std::to_string(load.failed() + load.succeeded()) +
                       " requests failed; first: " + load.firstError().value_or("?"));
      return;
    }
    row(label, rate(load.perSecond()), rate(load.minPerSecond()), rate(load.maxPerSecond()),
        target ? ">= " + fixed(*target, 0) + " req/s" : "baseline",
        target ? verdict(load.perSecond() >= *target) : "");
  }

  void ratio(const std::string& label, double value) {
    row(label, fixed(value, 2) + "x", "", "", "", "");
  }

  void missing(const std::string& label, const std::string& why) {
    notRunRow(label, "missing");
    std::cout << "    " << why << "\n";
  }

  void error(const std::string& label, const std::string& message) { errorRow(label, message); }

 private:
  static std::string ms(double v) { return fixed(v, 3) + " ms"; }
  static std::string rate(double v) { return fixed(v, 0) + " /s"; }
};

struct Options {
  std::optional<std::uint16_t> nginxPort;
};

Result<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--nginx-port" && i + 1 < argc) {
      const int port = std::atoi(argv[++i]);
      if (port <= 0 || port > 65535) return Error("--nginx-port needs a port number");
      options.nginxPort = static_cast<std::uint16_t>(port);
    } else if (arg == "--help" || arg == "-h") {
      return Error(
          "usage: mcp_bench [--nginx-port N]\n"
          "  --nginx-port N  port of an nginx on 127.0.0.1 serving /ping.json, the baseline");
    } else {
      return Error("unknown argument: " + std::string(arg));
    }
  }
  return options;
}

int runBenchmarks(const Options& options) {
  test::TempDir folder;
  ServerThread server(folder.path());
  std::cout << "Filling the store with one event of " << kContacts
            << " contacts and starting the MCP server..." << std::endl;
  auto ready = server.start();
  if (!ready) {
    std::cerr << "mcp_bench: " << ready.error().message << "\n";
    return 1;
  }
  const std::uint16_t port = ready->port;
  std::cout << "Store filled in " << SummaryTable::fixed(ready->seedSeconds, 3)
            << " s; MCP server listening on 127.0.0.1:" << port << "\n";

  auto session = openSession(port);
  if (!session) {
    std::cerr << "mcp_bench: " << session.error().message << "\n";
    return 1;
  }
  std::cout << (session->id.empty()
                    ? "The server handed out no Mcp-Session-Id; requests run as \"Unknown Client\"."
                    : "Requests carry the Mcp-Session-Id of client \"bench\".")
            << "\n";

  std::cout << "Latency: ping (baseline)..." << std::endl;
  const Latency pingLatency =
      measureLatency(port, *session, {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "ping"}}, 0);
  std::cout << "Latency: list_contacts..." << std::endl;
  const Latency list = measureLatency(
      port, *session,
      toolCall("list_contacts", {{"event_id", ready->eventID.str()}, {"limit", kListLimit}}),
      kListLimit);
  std::vector<Latency> searches;
  for (std::string_view query : kSearchQueries) {
    std::cout << "Latency: search_contacts \"" << query << "\"..." << std::endl;
    searches.push_back(measureLatency(port, *session,
                                      toolCall("search_contacts", {{"query", std::string(query)}}),
                                      query == "zqxw" ? 0 : 1));
  }

  std::cout << "Throughput: ping" << (options.nginxPort ? " and nginx" : "") << ", "
            << kClientThreads << " clients, " << kLoadRounds << " rounds of "
            << std::chrono::duration<double>(kRoundDuration).count() << " s each..." << std::endl;
  const std::string ping = postRequest(R"({"jsonrpc":"2.0","id":1,"method":"ping"})", session->id);
  const std::string fetch = getRequest("/ping.json");
  Load mcpLoad, nginxLoad;
  for (int r = 0; r < kLoadRounds; ++r) {
    const std::int64_t mcpBudget =
        (kMaxLoadRequests - mcpLoad.succeeded() - mcpLoad.failed()) / (kLoadRounds - r);
    mcpLoad.rounds.push_back(loadRound(port, ping, checkPing, mcpBudget));
    if (options.nginxPort) {
      const std::int64_t nginxBudget =
          (kMaxLoadRequests - nginxLoad.succeeded() - nginxLoad.failed()) / (kLoadRounds - r);
      nginxLoad.rounds.push_back(
          loadRound(*options.nginxPort, fetch, checkStaticFile, nginxBudget));
    }
  }
  server.stop();

  std::cout << "\nMCP server benchmark summary: one event of " << kContacts
            << " contacts; HTTP/1.1 on 127.0.0.1, one request per connection.\n"
            << "Latency: " << kTimedRequests << " requests in a row per tool after "
            << kWarmupRequests
            << " warm-up, timed from connect until the server closed (reply checked untimed).\n"
            << "Throughput: " << kClientThreads << " client threads, " << kLoadRounds
            << " rounds of " << std::chrono::duration<double>(kRoundDuration).count()
            << " s alternating with nginx; value = all rounds, min/max = single rounds.\n"
            << "Requests run as client \"" << session->clientName << "\""
            << (session->id.empty() ? " (no session handed out)" : " via its Mcp-Session-Id")
            << ".\n\n";

  SummaryTable table;
  table.header();
  table.latency("ping (baseline)", pingLatency, false);
  const auto versusPing = [&](const Latency& l) {
    if (!l.error && !pingLatency.error && pingLatency.percentile(50) > 0)
      table.ratio("  p50 / ping p50", l.percentile(50) / pingLatency.percentile(50));
  };
  table.latency("list_contacts, limit " + std::to_string(kListLimit), list);
  versusPing(list);
  for (std::size_t q = 0; q < kSearchQueries.size(); ++q) {
    table.latency("search_contacts \"" + std::string(kSearchQueries[q]) + "\"", searches[q]);
    versusPing(searches[q]);
  }
  table.throughput("ping, " + std::to_string(kClientThreads) + " clients", mcpLoad,
                   kPingTargetPerSecond);
  const std::string nginxLabel =
      "nginx GET 64-byte file, " + std::to_string(kClientThreads) + " clients";
  if (!options.nginxPort) {
    table.missing(nginxLabel, "baseline missing: nginx was not started (no --nginx-port given)");
    table.missing("ping / nginx", "no ratio without the baseline");
  } else {
    table.throughput(nginxLabel, nginxLoad, std::nullopt);
    if (nginxLoad.failed() == 0 && mcpLoad.failed() == 0 && nginxLoad.perSecond() > 0)
      table.ratio("ping / nginx", mcpLoad.perSecond() / nginxLoad.perSecond());
    else
      table.missing("ping / nginx", "no ratio: a load run failed");
  }
  auto timed = [](const Latency& l) {
    return std::to_string(l.millis.size()) + " timed" +
           (l.cutShort ? " (stopped at the time limit)" : "");
  };
  std::cout << "\nlist_contacts listed " << list.listed << " contacts per reply, " << timed(list)
            << "; search_contacts \"" << kSearchQuery << "\" listed " << searches[0].listed << ", "
            << timed(searches[0]) << ". ping: " << mcpLoad.succeeded() << " requests in "
            << SummaryTable::fixed(mcpLoad.seconds(), 2) << " s";
  if (options.nginxPort)
    std::cout << "; nginx: " << nginxLoad.succeeded() << " requests in "
              << SummaryTable::fixed(nginxLoad.seconds(), 2) << " s";
  std::cout << ".\n\n" << table.closingLine("the nginx baseline is missing") << "\n";
  return table.anyError() ? 1 : 0;
}

}  // namespace
}  // namespace qm::bench

int main(int argc, char** argv) {
  qm::log::setLevel(spdlog::level::warn);
  auto options = qm::bench::parseOptions(argc, argv);
  if (!options) {
    std::cerr << options.error().message << "\n";
    return 2;
  }
  return qm::bench::runBenchmarks(*options);
}
