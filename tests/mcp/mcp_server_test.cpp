// The MCP listener over real loopback sockets: exact response bytes, reading
// of split requests, JSON-RPC handling, refusal of foreign pages, sessions,
// limits, and start and stop.
#include <gmock/gmock.h>

#include <asio.hpp>
#include <chrono>
#include <future>
#include <nlohmann/json.hpp>
#include <thread>

#include "common/log.h"
#include "mcp/mcp_server.h"
#include "mcp/mcp_tool_handlers.h"
#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "settings/keychain_store.h"
#include "settings/user_defaults.h"
#include "store/mcp_records.h"
#include "store/store.h"
#include "support/desktop_services.h"
#include "support/temp_dir.h"

namespace qm::mcp {
namespace {

using asio::ip::tcp;
using nlohmann::json;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr std::string_view kCORSAndClose =
    "Access-Control-Allow-Origin: *\r\n"
    "Access-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
    "Access-Control-Allow-Headers: Content-Type\r\n"
    "Connection: close\r\n";

/// The exact bytes of a response without extra headers.
std::string expectedResponse(std::string_view statusLine, std::string_view body) {
  return std::string(statusLine) +
         "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n" + std::string(kCORSAndClose) + "\r\n" + std::string(body);
}

const std::string kStatus = expectedResponse(
    "HTTP/1.1 200 OK", R"({"name":"Quillmere MCP","version":"1.0","status":"running"})");
const std::string kNotFound = expectedResponse(
    "HTTP/1.1 404 Not Found", R"({"error":"Not found. Use POST /mcp for MCP requests."})");
const std::string kNoContent = expectedResponse("HTTP/1.1 204 No Content", "");
const std::string kForbidden = expectedResponse("HTTP/1.1 403 Error", R"({"error":"Forbidden"})");

const json kParseError = {{"jsonrpc", "2.0"},
                          {"error", {{"code", -32700}, {"message", "Parse error"}}}};

/// A response split into status, headers (names lower-cased) and body.
struct Response {
  int status = 0;
  std::map<std::string, std::string> headers;
  std::string body;

  json bodyJSON() const { return json::parse(body, nullptr, false); }
};

Response parseResponse(const std::string& raw) {
  Response response;
  const auto headEnd = raw.find("\r\n\r\n");
  if (!raw.starts_with("HTTP/1.1 ") || headEnd == std::string::npos) {
    ADD_FAILURE() << "not an HTTP response: " << raw;
    return response;
  }
  response.status = std::stoi(raw.substr(9, 3));
  response.body = raw.substr(headEnd + 4);
  std::size_t line = raw.find("\r\n") + 2;
  while (line < headEnd) {
    const auto end = raw.find("\r\n", line);
    const auto entry = raw.substr(line, end - line);
    const auto colon = entry.find(": ");
    std::string name = entry.substr(0, colon);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    response.headers[name] = entry.substr(colon + 2);
    line = end + 2;
  }
  EXPECT_EQ(response.headers["content-length"], std::to_string(response.body.size()));
  return response;
}

/// A blocking client on its own loop; every wait for the server is bounded.
class Client {
 public:
  explicit Client(std::uint16_t port) : socket_(io_) {
    socket_.connect(tcp::endpoint(asio::ip::address_v4::loopback(), port));
  }

  void send(std::string_view bytes) { asio::write(socket_, asio::buffer(bytes)); }
  void finishSending() { socket_.shutdown(tcp::socket::shutdown_send); }
  void close() { socket_.close(); }

  /// Everything the server sends until it closes the connection; nothing if it
  /// has not closed within `limit` (what arrived so far is kept for the next call).
  std::optional<std::string> readUntilClosed(std::chrono::milliseconds limit = 5s) {
    bool ended = false;
    asio::async_read(socket_, asio::dynamic_buffer(received_),
                     [&](std::error_code, std::size_t) { ended = true; });
    io_.restart();
    io_.run_for(limit);
    if (!ended) {
      socket_.cancel();
      io_.restart();
      io_.run();
      return std::nullopt;
    }
    return received_;
  }

 private:
  asio::io_context io_;
  tcp::socket socket_;
  std::string received_;
};

std::string postRequest(std::string_view body, std::string_view extraHeaders = {},
                        std::string_view path = "/mcp") {
  return "POST " + std::string(path) +
         " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
         "Content-Length: " +
         std::to_string(body.size()) + "\r\n" + std::string(extraHeaders) + "\r\n" +
         std::string(body);
}

json initializeRequest(int id, const std::string& clientName) {
  return {{"jsonrpc", "2.0"},
          {"id", id},
          {"method", "initialize"},
          {"params",
           {{"protocolVersion", "2025-03-26"},
            {"capabilities", json::object()},
            {"clientInfo", {{"name", clientName}, {"version", "1.0"}}}}}};
}

json toolCall(int id) {
  return {
      {"jsonrpc", "2.0"},
      {"id", id},
      {"method", "tools/call"},
      {"params", {{"name", MCPToolHandlers::tools().front().name}, {"arguments", json::object()}}}};
}

json ping(int id) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"method", "ping"}};
}

const json kInitialized = {{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}};

json result(int id, json value) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(value)}};
}

/// A server over a store in a temporary folder, its loop on a thread of its own.
class MCPServerTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::unique_ptr<Store> store;
  test::DesktopServices services{dir.path()};
  asio::io_context io;
  MCPServerOptions options;
  std::unique_ptr<MCPServer> server;
  std::uint16_t port = 0;

  void SetUp() override {
    log::setLevel(spdlog::level::off);
    auto opened = Store::open(dir / "QuillmereMac.store");
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    store = std::move(opened).value();
    options.port = 0;
  }

  /// Runs `f` on the server's loop and returns its result.
  template <class F>
  auto onLoop(F f) {
    std::packaged_task<decltype(f())()> task(std::move(f));
    auto result = task.get_future();
    asio::post(io, [&task] { task(); });
    return result.get();
  }

  void TearDown() override {
    if (loop_.joinable()) {
      onLoop([this] { server.reset(); });
      work_.reset();
      loop_.join();
    }
    log::setLevel(spdlog::level::info);
  }

  /// Starts the server (with `options` as the test set them) and its loop.
  void startServer() {
    server = std::make_unique<MCPServer>(io, *store, services.settings, services.identity, options);
    server->start();
    ASSERT_TRUE(server->isRunning());
    port = server->port();
    ASSERT_NE(port, 0);
    work_.emplace(io.get_executor());
    loop_ = std::thread([this] { io.run(); });
  }

  /// Sends `bytes` on a new connection and returns all the server answers.
  std::string exchange(std::string_view bytes) {
    Client client(port);
    client.send(bytes);
    auto answer = client.readUntilClosed();
    EXPECT_TRUE(answer) << "no answer to " << bytes;
    return answer.value_or("");
  }

  Response post(const json& body, std::string_view extraHeaders = {}) {
    return parseResponse(exchange(postRequest(body.dump(), extraHeaders)));
  }

  /// The access log rows of the client recorded under `clientName`.
  std::int64_t accessCount(const std::string& clientName) {
    return onLoop([&]() -> std::int64_t {
      auto clients =
          store->fetch<MCPClientAuthorization>({Match{"clientName", FieldValue(clientName)}});
      EXPECT_TRUE(clients.ok());
      if (!clients.ok() || clients->empty()) return 0;
      auto rows = store->count<MCPAccessLog>({Match{"clientID", FieldValue(clients->front().id)}});
      EXPECT_TRUE(rows.ok());
      return rows.ok() ? *rows : 0;
    });
  }

 private:
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
  std::thread loop_;
};

TEST_F(MCPServerTest, AnswersByMethodAndPathWithExactBytes) {
  startServer();
  EXPECT_EQ(exchange("GET /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"), kStatus);
  EXPECT_EQ(exchange("GET /mcp?x=1 HTTP/1.1\r\n\r\n"), kStatus);
  EXPECT_EQ(exchange("GET / HTTP/1.1\r\n\r\n"), kNotFound);
  EXPECT_EQ(exchange("GET /mcp/ HTTP/1.1\r\n\r\n"), kNotFound);
  EXPECT_EQ(exchange(postRequest(ping(1).dump(), {}, "/other")), kNotFound);
  EXPECT_EQ(exchange("get /mcp HTTP/1.1\r\n\r\n"), kNotFound);
  EXPECT_EQ(exchange("DELETE /mcp HTTP/1.1\r\n\r\n"), kNotFound);
  EXPECT_EQ(exchange("OPTIONS /anything HTTP/1.1\r\nAccess-Control-Request-Method: POST\r\n\r\n"),
            kNoContent);
}

TEST_F(MCPServerTest, ReadsTheHeadAndTheRestOfTheBodyWhenTheyArriveApart) {
  startServer();
  const std::string body = ping(7).dump();
  for (const char* lengthHeader : {"Content-Length", "CONTENT-LENGTH", "content-length"}) {
    Client client(port);
    client.send(std::string("POST /mcp HTTP/1.1\r\n") + lengthHeader + ": " +
                std::to_string(body.size()) + "\r\n\r\n" + body.substr(0, 5));
    std::this_thread::sleep_for(50ms);
    client.send(body.substr(5));
    auto answer = client.readUntilClosed();
    ASSERT_TRUE(answer) << lengthHeader;
    EXPECT_EQ(parseResponse(*answer).bodyJSON(), result(7, json::object())) << lengthHeader;
  }
  {
    // The head itself in two segments, the blank line cut in the middle.
    Client client(port);
    const std::string request = postRequest(body);
    const auto cut = request.find("\r\n\r\n") + 2;
    client.send(request.substr(0, cut));
    std::this_thread::sleep_for(50ms);
    client.send(request.substr(cut));
    auto answer = client.readUntilClosed();
    ASSERT_TRUE(answer);
    EXPECT_EQ(parseResponse(*answer).bodyJSON(), result(7, json::object()));
  }
}

TEST_F(MCPServerTest, RoutesWhatArrivedWhenTheLengthIsUnusableOrTheBodyShort) {
  startServer();
  const std::string body = ping(3).dump();
  // A length that is no number, or negative, is ignored: the request is routed
  // at once (waiting for more would run into the read limit of the client).
  for (const char* length : {"many", "-1", ""}) {
    auto answer = parseResponse(exchange(std::string("POST /mcp HTTP/1.1\r\nContent-Length: ") +
                                         length + "\r\n\r\n" + body));
    EXPECT_EQ(answer.status, 200) << length;
    EXPECT_EQ(answer.bodyJSON(), result(3, json::object())) << length;
  }
  {
    // No blank line at all: routed once the client has finished sending.
    Client client(port);
    client.send("POST /mcp HTTP/1.1\r\nContent-Length: 20");
    client.finishSending();
    auto answer = client.readUntilClosed();
    ASSERT_TRUE(answer);
    EXPECT_EQ(parseResponse(*answer).bodyJSON(), kParseError);
  }
  {
    // The body stays short after the second read: routed with what came.
    Client client(port);
    client.send("POST /mcp HTTP/1.1\r\nContent-Length: 100\r\n\r\n" + body.substr(0, 10));
    std::this_thread::sleep_for(20ms);
    client.send(body.substr(10));
    client.finishSending();
    auto answer = client.readUntilClosed();
    ASSERT_TRUE(answer);
    EXPECT_EQ(parseResponse(*answer).bodyJSON(), result(3, json::object()));
  }
  {
    // The second read brings nothing at all.
    Client client(port);
    client.send("POST /mcp HTTP/1.1\r\nContent-Length: 100\r\n\r\n{");
    client.finishSending();
    auto answer = client.readUntilClosed();
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer,
              expectedResponse("HTTP/1.1 400 Bad Request", R"({"error":"Invalid UTF-8 in body"})"));
  }
}

TEST_F(MCPServerTest, AnswersJSONRPCRequestsBatchesAndParseErrors) {
  startServer();
  for (const char* body : {"", "42", "\"text\"", "{\"foo\":1}", "[1,2]", "[]", "{\"jsonrpc\":",
                           "{\"jsonrpc\":\"2.0\",\"id\":1.5,\"method\":\"ping\"}"}) {
    auto answer = parseResponse(exchange(postRequest(body)));
    EXPECT_EQ(answer.status, 200) << body;
    EXPECT_EQ(answer.bodyJSON(), kParseError) << body;
  }
  EXPECT_EQ(parseResponse(exchange("POST /mcp HTTP/1.1\r\n\r\n")).bodyJSON(), kParseError);

  EXPECT_EQ(exchange(postRequest(kInitialized.dump())), kNoContent);
  EXPECT_EQ(exchange(postRequest(json::array({kInitialized, kInitialized}).dump())), kNoContent);

  auto single = post(ping(1));
  EXPECT_EQ(single.status, 200);
  EXPECT_EQ(single.bodyJSON(), result(1, json::object()));

  auto batch = post(json::array({ping(1), kInitialized, ping(2)}));
  EXPECT_EQ(batch.status, 200);
  EXPECT_EQ(batch.bodyJSON(), json::array({result(1, json::object()), result(2, json::object())}));
  EXPECT_EQ(batch.headers.count("mcp-session-id"), 0u);
}

TEST_F(MCPServerTest, ABatchRunsItsToolCallsUnderTheNameOfItsHandshake) {
  startServer();
  auto answer = post(json::array({initializeRequest(1, "Batch Client"), toolCall(2)}));
  ASSERT_EQ(answer.status, 200);
  auto replies = answer.bodyJSON();
  ASSERT_TRUE(replies.is_array());
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0]["result"]["serverInfo"]["name"], "Quillmere MCP");
  EXPECT_EQ(replies[1]["id"], 2);
  EXPECT_FALSE(replies[1]["result"].value("isError", false)) << replies[1];
  EXPECT_EQ(accessCount("Batch Client"), 1);
}

TEST_F(MCPServerTest, RefusesTextThatIsNotUTF8) {
  startServer();
  EXPECT_EQ(exchange("GET /mcp HTTP/1.1\r\nX-Name: caf\xE9\r\n\r\n"),
            expectedResponse("HTTP/1.1 400 Bad Request", R"({"error":"Invalid UTF-8"})"));
  EXPECT_EQ(exchange(postRequest("{\"jsonrpc\":\"2.0\",\"method\":\"\xC0\xAF\"}")),
            expectedResponse("HTTP/1.1 400 Bad Request", R"({"error":"Invalid UTF-8"})"));

  const std::string body = R"({"jsonrpc":"2.0","id":5,"method":"ping","params":{"x":"é"}})";
  const std::string request = postRequest(body);
  const auto inside = request.find("\xC3\xA9") + 1;  // between the two bytes of "é"
  {
    Client client(port);
    client.send(request.substr(0, inside));
    std::this_thread::sleep_for(50ms);
    client.send(request.substr(inside));
    auto answer = client.readUntilClosed();
    ASSERT_TRUE(answer);
    EXPECT_EQ(parseResponse(*answer).bodyJSON(), result(5, json::object()));
  }
  {
    Client client(port);
    client.send(request.substr(0, inside));
    std::this_thread::sleep_for(50ms);
    client.send("\xFF" + request.substr(inside + 1));
    auto answer = client.readUntilClosed();
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer,
              expectedResponse("HTTP/1.1 400 Bad Request", R"({"error":"Invalid UTF-8 in body"})"));
  }
}

TEST_F(MCPServerTest, RefusesRequestsOfWebPagesFromOtherSites) {
  startServer();
  for (const char* header : {"Origin: null", "Host: attacker.example:23816"}) {
    const std::string extra = std::string(header) + "\r\n";
    EXPECT_EQ(exchange("GET /mcp HTTP/1.1\r\n" + extra + "\r\n"), kForbidden) << header;
    EXPECT_EQ(exchange("OPTIONS /mcp HTTP/1.1\r\n" + extra + "\r\n"), kForbidden) << header;
    EXPECT_EQ(exchange(postRequest(initializeRequest(1, "Intruder").dump(), extra)), kForbidden)
        << header;
  }
  // The refused handshake never reached the router.
  auto intruders = onLoop([this] {
    return store->count<MCPClientAuthorization>(
        {Match{"clientName", FieldValue(std::string("Intruder"))}});
  });
  ASSERT_TRUE(intruders.ok());
  EXPECT_EQ(*intruders, 0);

  for (const char* header : {"Origin: http://localhost:3000", "Host: [::1]:23816"}) {
    EXPECT_EQ(exchange(std::string("GET /mcp HTTP/1.1\r\n") + header + "\r\n\r\n"), kStatus)
        << header;
  }
}

TEST_F(MCPServerTest, SessionsCarryTheClientNameAcrossConnections) {
  startServer();
  auto handshake = post(initializeRequest(1, "Session Client"));
  ASSERT_EQ(handshake.status, 200);
  const std::string session = handshake.headers["mcp-session-id"];
  ASSERT_TRUE(Uuid::parse(session)) << session;
  EXPECT_EQ(handshake.headers["access-control-expose-headers"], "Mcp-Session-Id");
  EXPECT_EQ(handshake.headers["access-control-allow-headers"], "Content-Type");
  EXPECT_NE(post(initializeRequest(1, "Session Client")).headers["mcp-session-id"], session);

  // Without the session a new connection is an unknown client, refused tools.
  auto anonymous = post(toolCall(2));
  EXPECT_TRUE(anonymous.bodyJSON()["result"].value("isError", false));
  EXPECT_EQ(anonymous.headers.count("access-control-expose-headers"), 0u);
  EXPECT_EQ(accessCount("Session Client"), 0);

  const std::string sessionHeader = "Mcp-Session-Id: " + session + "\r\n";
  auto call = post(toolCall(3), sessionHeader);
  EXPECT_EQ(call.status, 200);
  EXPECT_FALSE(call.bodyJSON()["result"].value("isError", false)) << call.body;
  EXPECT_EQ(call.headers.count("mcp-session-id"), 0u);
  EXPECT_EQ(accessCount("Session Client"), 1);
  EXPECT_EQ(exchange(postRequest(kInitialized.dump(), sessionHeader)), kNoContent);

  // An unknown session is answered 404, naming the request when it can.
  const std::string unknownHeader = "Mcp-Session-Id: " + Uuid::random().str() + "\r\n";
  auto unknown = post(toolCall(9), unknownHeader);
  EXPECT_EQ(unknown.status, 404);
  EXPECT_EQ(unknown.bodyJSON(),
            json({{"jsonrpc", "2.0"},
                  {"id", 9},
                  {"error", {{"code", -32001}, {"message", "Session not found"}}}}));
  auto unknownBatch = post(json::array({ping(1), ping(2)}), unknownHeader);
  EXPECT_EQ(unknownBatch.status, 404);
  EXPECT_EQ(
      unknownBatch.bodyJSON(),
      json({{"jsonrpc", "2.0"}, {"error", {{"code", -32001}, {"message", "Session not found"}}}}));
  EXPECT_EQ(accessCount("Session Client"), 1);
  EXPECT_EQ(parseResponse(exchange("GET /mcp HTTP/1.1\r\n" + unknownHeader + "\r\n")).status, 404);

  // A client may end its session.
  EXPECT_EQ(exchange("DELETE /mcp HTTP/1.1\r\n" + sessionHeader + "\r\n"), kNoContent);
  EXPECT_EQ(post(ping(4), sessionHeader).status, 404);
}

TEST_F(MCPServerTest, SessionsEndWithTheServer) {
  startServer();
  const std::string session =
      post(initializeRequest(1, "Restarted Client")).headers["mcp-session-id"];
  ASSERT_FALSE(session.empty());
  const std::string sessionHeader = "Mcp-Session-Id: " + session + "\r\n";
  EXPECT_EQ(post(ping(1), sessionHeader).status, 200);
  onLoop([this] {
    server->stop();
    server->start();
  });
  port = onLoop([this] { return server->port(); });
  EXPECT_EQ(post(ping(1), sessionHeader).status, 404);
}

TEST_F(MCPServerTest, RefusesAnOversizedBodyWithoutWaitingForIt) {
  options.maxBodyBytes = 1000;
  startServer();
  const std::string tooLarge =
      expectedResponse("HTTP/1.1 413 Error", R"({"error":"Request too large"})");
  for (const char* length : {"9999999999999", "1001", "123456789012345678901234567890"}) {
    Client client(port);
    const auto started = std::chrono::steady_clock::now();
    client.send(std::string("POST /mcp HTTP/1.1\r\nContent-Length: ") + length + "\r\n\r\n{");
    auto answer = client.readUntilClosed(2s);
    ASSERT_TRUE(answer) << length;
    EXPECT_EQ(*answer, tooLarge) << length;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
  }
  // At the limit the body is read and handled.
  const std::string body = ping(1).dump();
  const std::string padded =
      body.substr(0, body.size() - 1) + std::string(1000 - body.size(), ' ') + "}";
  EXPECT_EQ(parseResponse(exchange(postRequest(padded))).bodyJSON(), result(1, json::object()));
}

TEST_F(MCPServerTest, ClosesConnectionsThatStaySilent) {
  options.idleTimeout = 500ms;
  startServer();
  for (const char* sent : {"", "POST /mcp HTTP/1.1\r\nContent-Length: 10\r\n"}) {
    Client client(port);
    const auto started = std::chrono::steady_clock::now();
    client.send(sent);
    auto answer = client.readUntilClosed(5s);
    ASSERT_TRUE(answer) << sent;
    EXPECT_EQ(*answer, "") << sent;
    EXPECT_GE(std::chrono::steady_clock::now() - started, 450ms);
  }
  {
    // Each segment that arrives gives the client the full time again.
    Client client(port);
    const std::string request = "GET /mcp HTTP/1.1\r\nHost: localhost\r\nAccept: */*\r\n\r\n";
    for (std::size_t at = 0; at < request.size(); at += 15) {
      client.send(request.substr(at, 15));
      std::this_thread::sleep_for(250ms);
    }
    auto answer = client.readUntilClosed();
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, kStatus);
  }
}

TEST_F(MCPServerTest, ServesAtMostMaxConnectionsAtOnce) {
  options.maxConnections = 1;
  startServer();
  Client holder(port);
  std::this_thread::sleep_for(50ms);
  Client waiting(port);
  waiting.send("GET /mcp HTTP/1.1\r\n\r\n");
  EXPECT_EQ(waiting.readUntilClosed(300ms), std::nullopt);
  holder.close();
  EXPECT_EQ(waiting.readUntilClosed(), kStatus);
  // An answered client that keeps its socket open holds no place.
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(exchange("GET /mcp HTTP/1.1\r\n\r\n"), kStatus);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 700ms);
}

TEST_F(MCPServerTest, StartIsIdempotentAndStopClosesEverything) {
  startServer();
  onLoop([this] { server->start(); });
  EXPECT_EQ(onLoop([this] { return server->port(); }), port);
  EXPECT_EQ(exchange("GET /mcp HTTP/1.1\r\n\r\n"), kStatus);

  asio::io_context probeLoop;
  const auto portIsFree = [&] {
    tcp::acceptor probe(probeLoop);
    std::error_code ec;
    probe.open(tcp::v4(), ec);
    probe.set_option(tcp::acceptor::reuse_address(true), ec);
    probe.bind(tcp::endpoint(asio::ip::address_v4::loopback(), port), ec);
    if (!ec) probe.listen(1, ec);
    return !ec;
  };
  EXPECT_FALSE(portIsFree());

  Client idle(port);
  std::this_thread::sleep_for(50ms);
  onLoop([this] { server->stop(); });
  EXPECT_FALSE(onLoop([this] { return server->isRunning(); }));
  EXPECT_EQ(idle.readUntilClosed(2s), "");
  EXPECT_TRUE(portIsFree());
  EXPECT_THROW(Client{port}, std::system_error);

  onLoop([this] { server->stop(); });  // a second stop changes nothing
  onLoop([this] { server->start(); });
  EXPECT_TRUE(onLoop([this] { return server->isRunning(); }));
  port = onLoop([this] { return server->port(); });
  EXPECT_EQ(exchange("GET /mcp HTTP/1.1\r\n\r\n"), kStatus);
}

}  // namespace
}  // namespace qm::mcp
