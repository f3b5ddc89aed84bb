// The MCP endpoint without sockets: a parsed request in, the response out.
// Routing by method and path, JSON-RPC bodies, refusal of foreign pages and
// sessions across connections.
#include "mcp/mcp_endpoint.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "common/log.h"
#include "mcp/mcp_tool_handlers.h"
#include "store/mcp_records.h"
#include "store/store.h"
#include "support/desktop_services.h"
#include "support/temp_dir.h"

namespace qm::mcp {
namespace {

using nlohmann::json;

const json kParseError = {{"jsonrpc", "2.0"},
                          {"error", {{"code", -32700}, {"message", "Parse error"}}}};
const json kInitialized = {{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}};

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

json result(int id) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"result", json::object()}};
}

std::string postText(std::string_view body, std::string_view extraHeaders = {}) {
  return "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n" + std::string(extraHeaders) + "\r\n" + std::string(body);
}

class MCPEndpointTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { log::setLevel(spdlog::level::off); }
  static void TearDownTestSuite() { log::setLevel(spdlog::level::info); }

  /// What the listener would answer to `text` on a connection of its own.
  std::optional<HTTPResponse> serve(std::string_view text) {
    const HTTPRequest request = parseHTTPRequest(text);
    if (auto refused = endpoint.refuse(request)) return refused;
    return endpoint.respond(request, Uuid::random());
  }
  /// The same as the bytes that go on the wire.
  std::string wire(std::string_view text) {
    auto response = serve(text);
    if (!response) return "(no answer)";
    return buildHTTPResponse(response->status, response->body, response->extraHeaders);
  }
  HTTPResponse post(const json& body, std::string_view extraHeaders = {}) {
    auto response = serve(postText(body.dump(), extraHeaders));
    EXPECT_TRUE(response) << body;
    return response.value_or(HTTPResponse{});
  }
  static json bodyOf(const HTTPResponse& response) {
    return json::parse(response.body, nullptr, false);
  }
  /// The value of `name` among the response's extra headers.
  static std::string extraHeader(const HTTPResponse& response, std::string_view name) {
    const std::string prefix = std::string(name) + ": ";
    const auto at = response.extraHeaders.find(prefix);
    if (at == std::string::npos) return {};
    const auto end = response.extraHeaders.find("\r\n", at);
    return response.extraHeaders.substr(at + prefix.size(), end - at - prefix.size());
  }
  std::int64_t count(const std::string& clientName, bool accessRows) {
    auto clients =
        store->fetch<MCPClientAuthorization>({Match{"clientName", FieldValue(clientName)}});
    EXPECT_TRUE(clients.ok());
    if (!accessRows || !clients.ok() || clients->empty())
      return clients.ok() ? static_cast<std::int64_t>(clients->size()) : 0;
    return store->count<MCPAccessLog>({Match{"clientID", FieldValue(clients->front().id)}}).value();
  }

  test::TempDir dir;
  std::unique_ptr<Store> store = Store::open(dir / "QuillmereMac.store").value();
  test::DesktopServices services{dir.path()};
  MCPEndpoint endpoint{*store, services.settings, services.identity};
};

TEST_F(MCPEndpointTest, AnswersByMethodAndPathWithExactBytes) {
  const std::string status =
      buildHTTPResponse(200, R"({"name":"Quillmere MCP","version":"1.0","status":"running"})");
  const std::string notFound =
      buildHTTPResponse(404, R"({"error":"Not found. Use POST /mcp for MCP requests."})");
  const std::pair<std::string, std::string> cases[] = {
      {"GET /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", status},
      {"GET /mcp?x=1 HTTP/1.1\r\n\r\n", status},
      {"GET / HTTP/1.1\r\n\r\n", notFound},
      {"GET /mcp/ HTTP/1.1\r\n\r\n", notFound},
      {"POST /other HTTP/1.1\r\n\r\n" + ping(1).dump(), notFound},
      {"get /mcp HTTP/1.1\r\n\r\n", notFound},
      {"DELETE /mcp HTTP/1.1\r\n\r\n", notFound},
      {"OPTIONS /anything HTTP/1.1\r\nAccess-Control-Request-Method: POST\r\n\r\n",
       buildHTTPResponse(204, "")},
  };
  for (const auto& [request, expected] : cases) EXPECT_EQ(wire(request), expected) << request;
}

TEST_F(MCPEndpointTest, AnswersJSONRPCRequestsBatchesAndParseErrors) {
  for (const char* body : {"", "42", "\"text\"", "{\"foo\":1}", "[1,2]", "[]", "{\"jsonrpc\":",
                           "{\"jsonrpc\":\"2.0\",\"id\":1.5,\"method\":\"ping\"}"}) {
    auto answer = serve(postText(body));
    ASSERT_TRUE(answer) << body;
    EXPECT_EQ(answer->status, 200) << body;
    EXPECT_EQ(bodyOf(*answer), kParseError) << body;
  }
  EXPECT_EQ(bodyOf(*serve("POST /mcp HTTP/1.1\r\n\r\n")), kParseError);

  for (const json& notifications : {kInitialized, json::array({kInitialized, kInitialized})})
    EXPECT_EQ(wire(postText(notifications.dump())), buildHTTPResponse(204, ""));

  EXPECT_EQ(wire(postText(ping(1).dump())), buildHTTPResponse(200, result(1).dump()));
  auto batch = post(json::array({ping(1), kInitialized, ping(2)}));
  EXPECT_EQ(batch.status, 200);
  EXPECT_EQ(bodyOf(batch), json::array({result(1), result(2)}));
  EXPECT_EQ(batch.extraHeaders, "");
}

TEST_F(MCPEndpointTest, ABatchRunsItsToolCallsUnderTheNameOfItsHandshake) {
  auto answer = post(json::array({initializeRequest(1, "Batch Client"), toolCall(2)}));
  ASSERT_EQ(answer.status, 200);
  auto replies = bodyOf(answer);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0]["result"]["serverInfo"]["name"], "Quillmere MCP");
  EXPECT_EQ(replies[1]["id"], 2);
  EXPECT_FALSE(replies[1]["result"].value("isError", false)) << replies[1];
  EXPECT_EQ(count("Batch Client", true), 1);
}

TEST_F(MCPEndpointTest, RefusesRequestsOfWebPagesFromOtherSites) {
  const std::string forbidden = buildHTTPResponse(403, R"({"error":"Forbidden"})");
  for (const char* header : {"Origin: null", "Host: attacker.example:23816"}) {
    const std::string extra = std::string(header) + "\r\n";
    EXPECT_EQ(wire("GET /mcp HTTP/1.1\r\n" + extra + "\r\n"), forbidden) << header;
    EXPECT_EQ(wire("OPTIONS /mcp HTTP/1.1\r\n" + extra + "\r\n"), forbidden) << header;
    EXPECT_EQ(wire(postText(initializeRequest(1, "Intruder").dump(), extra)), forbidden) << header;
  }
  EXPECT_EQ(count("Intruder", false), 0);  // the handshake never reached the router
  for (const char* header : {"Origin: http://localhost:3000", "Host: [::1]:23816"}) {
    EXPECT_EQ(serve(std::string("GET /mcp HTTP/1.1\r\n") + header + "\r\n\r\n")->status, 200)
        << header;
  }
}

TEST_F(MCPEndpointTest, SessionsCarryTheClientNameAcrossConnections) {
  auto handshake = post(initializeRequest(1, "Session Client"));
  ASSERT_EQ(handshake.status, 200);
  const std::string session = extraHeader(handshake, "Mcp-Session-Id");
  ASSERT_TRUE(Uuid::parse(session)) << handshake.extraHeaders;
  EXPECT_EQ(extraHeader(handshake, "Access-Control-Expose-Headers"), "Mcp-Session-Id");
  EXPECT_NE(extraHeader(post(initializeRequest(1, "Session Client")), "Mcp-Session-Id"), session);

  // Without the session a new connection is an unknown client, refused tools.
  auto anonymous = post(toolCall(2));
  EXPECT_TRUE(bodyOf(anonymous)["result"].value("isError", false));
  EXPECT_EQ(anonymous.extraHeaders, "");
  EXPECT_EQ(count("Session Client", true), 0);

  const std::string sessionHeader = "Mcp-Session-Id: " + session + "\r\n";
  auto call = post(toolCall(3), sessionHeader);
  EXPECT_EQ(call.status, 200);
  EXPECT_FALSE(bodyOf(call)["result"].value("isError", false)) << call.body;
  EXPECT_EQ(call.extraHeaders, "");
  EXPECT_EQ(count("Session Client", true), 1);
  EXPECT_EQ(post(kInitialized, sessionHeader).status, 204);

  // An unknown session is answered 404, naming the request when it can.
  const std::string unknownHeader = "Mcp-Session-Id: " + Uuid::random().str() + "\r\n";
  const json notFound = {{"code", -32001}, {"message", "Session not found"}};
  auto unknown = post(toolCall(9), unknownHeader);
  EXPECT_EQ(unknown.status, 404);
  EXPECT_EQ(bodyOf(unknown), json({{"jsonrpc", "2.0"}, {"id", 9}, {"error", notFound}}));
  auto unknownBatch = post(json::array({ping(1), ping(2)}), unknownHeader);
  EXPECT_EQ(unknownBatch.status, 404);
  EXPECT_EQ(bodyOf(unknownBatch), json({{"jsonrpc", "2.0"}, {"error", notFound}}));
  EXPECT_EQ(count("Session Client", true), 1);
  EXPECT_EQ(serve("GET /mcp HTTP/1.1\r\n" + unknownHeader + "\r\n")->status, 404);

  // A client may end its session.
  EXPECT_EQ(wire("DELETE /mcp HTTP/1.1\r\n" + sessionHeader + "\r\n"), buildHTTPResponse(204, ""));
  EXPECT_EQ(post(ping(4), sessionHeader).status, 404);
}

}  // namespace
}  // namespace qm::mcp
