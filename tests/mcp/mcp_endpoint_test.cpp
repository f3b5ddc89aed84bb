// The MCP endpoint without sockets: a parsed request in, the response out.
// Routing by method and path, JSON-RPC, the handshake and tool calls,
// refusal of foreign pages and of revoked clients, sessions across connections.
#include "mcp/mcp_endpoint.h"

#include "mcp/mcp_auth_manager.h"
#include "mcp_fixture.h"
#include "store/mcp_records.h"

namespace qm::mcp {
namespace {

using json = JSONValue;

const json kParseError = {{"jsonrpc", "2.0"},
                          {"error", {{"code", -32700}, {"message", "Parse error"}}}};
const json kInitialized = {{"jsonrpc", "2.0"}, {"method", "notifications/initialized"}};
const json kDenied = {{"error", "Access denied. Client has been revoked."}};

json rpc(int id, const std::string& method, const json& params = nullptr) {
  json request = {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}};
  if (!params.is_null()) request["params"] = params;
  return request;
}
json initialize(int id, const std::string& clientName) {
  return rpc(id, "initialize",
             {{"protocolVersion", "2025-03-26"},
              {"capabilities", json::object()},
              {"clientInfo", {{"name", clientName}, {"version", "1.0"}}}});
}
json toolCall(int id, const std::string& tool = "list_events") {
  return rpc(id, "tools/call", {{"name", tool}, {"arguments", json::object()}});
}
json result(int id, const json& value = json::object()) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"result", value}};
}
/// The bytes of a response carrying `body` and no extra headers.
std::string reply(int status, const json& body) {
  return buildHTTPResponse(status, body.dump());
}
/// A tool call's result: its document as text content.
json toolResult(const json& document, bool isError = false) {
  json value = {{"content", json::array({{{"type", "text"}, {"text", document.dump()}}})}};
  if (isError) value["isError"] = true;
  return value;
}

std::string postText(std::string_view body, std::string_view extraHeaders = {}) {
  return "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n" + std::string(extraHeaders) + "\r\n" + std::string(body);
}

class MCPEndpointTest : public StoreTest {
 protected:
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
  /// The bytes answering a POST of `body` to /mcp.
  std::string wirePost(const json& body, std::string_view extraHeaders = {}) {
    return wire(postText(body.dump(), extraHeaders));
  }
  HTTPResponse post(const json& body, std::string_view extraHeaders = {}) {
    auto response = serve(postText(body.dump(), extraHeaders));
    EXPECT_TRUE(response) << body;
    return response.value_or(HTTPResponse{});
  }
  /// The answer's body; null when there is none.
  json answer(const json& body, std::string_view extraHeaders = {}) {
    return json::parse(post(body, extraHeaders).body, nullptr, false);
  }
  /// The value of `name` among the response's extra headers.
  static std::string extraHeader(const HTTPResponse& response, std::string_view lowerCaseName) {
    const auto head = parseHTTPRequest("HTTP/1.1 200\r\n" + response.extraHeaders + "\r\n");
    return std::string(head.header(lowerCaseName).value_or(""));
  }
  std::vector<MCPClientAuthorization> clients() {
    return store->fetch<MCPClientAuthorization>().value();
  }
  std::vector<MCPAccessLog> accessLog() { return store->fetch<MCPAccessLog>().value(); }

  MCPEndpoint endpoint{*store, services.settings, services.identity};
};

TEST_F(MCPEndpointTest, AnswersByMethodAndPathWithExactBytes) {
  const std::string status =
      buildHTTPResponse(200, R"({"name":"Quillmere MCP","version":"1.0","status":"running"})");
  const std::string notFound =
      buildHTTPResponse(404, R"({"error":"Not found. Use POST /mcp for MCP requests."})");
  const std::pair<std::string, std::string> cases[] = {
      {"GET /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", status},
      {"GET /mcp/ HTTP/1.1\r\n\r\n", notFound},
      {"POST /other HTTP/1.1\r\n\r\n" + rpc(1, "ping").dump(), notFound},
      {"get /mcp HTTP/1.1\r\n\r\n", notFound},
      {"DELETE /mcp HTTP/1.1\r\n\r\n", notFound},
      {"OPTIONS /anything HTTP/1.1\r\nAccess-Control-Request-Method: POST\r\n\r\n",
       buildHTTPResponse(204, "")},
  };
  for (const auto& [request, expected] : cases) EXPECT_EQ(wire(request), expected) << request;
}

TEST_F(MCPEndpointTest, AnswersJSONRPCRequestsBatchesAndParseErrors) {
  for (const char* body : {"", "42", "\"text\"", "{\"foo\":1}", "[1,2]",
                           "{\"jsonrpc\":", "{\"jsonrpc\":\"2.0\",\"id\":1.5,\"method\":\"ping\"}"})
    EXPECT_EQ(wire(postText(body)), reply(200, kParseError)) << body;
  EXPECT_EQ(serve("POST /mcp HTTP/1.1\r\n\r\n")->body, kParseError.dump());

  // Nothing to answer: notifications, or a batch of none.
  for (const json& notifications :
       {kInitialized, json::array({kInitialized, kInitialized}), json::array()})
    EXPECT_EQ(wirePost(notifications), buildHTTPResponse(204, "")) << notifications;

  EXPECT_EQ(wirePost(rpc(1, "ping")), reply(200, result(1)));
  json noID = {{"jsonrpc", "2.0"}, {"method", "ping"}};
  EXPECT_EQ(answer(noID), json({{"jsonrpc", "2.0"}, {"result", json::object()}}));
  EXPECT_EQ(wirePost(json::array({rpc(1, "ping"), kInitialized, rpc(2, "ping")})),
            reply(200, json::array({result(1), result(2)})));

  const json methodNotFound = {{"code", -32601}, {"message", "Method not found"}};
  EXPECT_EQ(answer(rpc(9, "resources/list"))["error"], methodNotFound);
  EXPECT_EQ(answer(rpc(9, "Ping"))["error"], methodNotFound);

  // A long batch is cut off: the first hundred are answered, the rest refused.
  json many = json::array();
  for (int id = 1; id <= 150; ++id) many.push_back(rpc(id, "ping"));
  const json answers = answer(many);
  ASSERT_EQ(answers.size(), 150u);
  EXPECT_EQ(answers[99], result(100));
  EXPECT_EQ(answers[100]["id"], 101);
  EXPECT_EQ(answers[100]["error"]["code"], -32002);
}

TEST_F(MCPEndpointTest, HandshakeAnswersTheServerAndRegistersTheClientByAWellFormedName) {
  EXPECT_EQ(answer(rpc(1, "initialize")), result(1, json::parse(R"({
      "capabilities":{"tools":{"listChanged":false}},
      "protocolVersion":"2025-03-26",
      "serverInfo":{"name":"Quillmere MCP","version":"1.0"}})")));
  for (const char* params : {R"({"clientInfo":{"name":42}})", R"({"clientInfo":"Cursor"})",
                             R"({"client":{"name":"Cursor"}})", R"(["Cursor"])"}) {
    post(rpc(1, "initialize", json::parse(params)));
  }
  post(initialize(1, "Claude Desktop"));
  std::vector<std::string> names;
  for (const auto& c : clients()) names.push_back(c.clientName);
  EXPECT_EQ(names, (std::vector<std::string>{"Unknown Client", "Claude Desktop"}));
}

TEST_F(MCPEndpointTest, ToolCallsOfABatchRunUnderItsHandshakeAndAreLogged) {
  auto replies = answer(json::array(
      {initialize(1, "Batch Client"), toolCall(2), toolCall(3, "no_such_tool"),
       rpc(4, "tools/call", json::array({"list_events"})), rpc(5, "tools/call", {{"name", 42}})}));
  ASSERT_EQ(replies.size(), 5u);
  EXPECT_EQ(replies[1], result(2, toolResult(json::array())));
  EXPECT_EQ(replies[2]["result"]["isError"], true);
  const json invalidParams = {{"code", -32602}, {"message", "Invalid params"}};
  EXPECT_EQ(replies[3]["error"], invalidParams);
  EXPECT_EQ(replies[4]["error"], invalidParams);

  auto rows = accessLog();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(std::tie(rows[0].clientID, rows[0].method, rows[0].resultCount),
            std::tuple(clients()[0].id, "list_events", 0));
  EXPECT_EQ(std::tie(rows[1].method, rows[1].resultCount),
            std::tuple("no_such_tool", std::nullopt));
}

TEST_F(MCPEndpointTest, ClientsChangeRecordsOnlyOnceAllowedAndNothingIsWrittenBefore) {
  auto handshake = post(initialize(1, "Careful Client"));
  const std::string session =
      "Mcp-Session-Id: " + extraHeader(handshake, "mcp-session-id") + "\r\n";
  const json createEvent =
      rpc(2, "tools/call",
          {{"name", "create_opportunity"},
           {"arguments",
            {{"event_id", Uuid::random().str()}, {"title", "Pilot"}, {"company_name", "Acme"}}}});
  const json refused = answer(createEvent, session);
  EXPECT_EQ(refused["result"]["isError"], true);
  EXPECT_EQ(json::parse(refused["result"]["content"][0]["text"].get<std::string>()),
            json({{"error",
                   "Careful Client may only read. To let it change records, run: "
                   "quillmere mcp allow-writes \"Careful Client\""}}));
  EXPECT_TRUE(accessLog().empty());

  // Once allowed, the same call reaches the tool (which finds no such event).
  ASSERT_TRUE(MCPAuthManager::allowWrites(*store, "Careful Client", true).ok());
  const json ran = answer(createEvent, session);
  EXPECT_NE(ran["result"]["content"][0]["text"].get<std::string>().find("Event not found"),
            std::string::npos);
  EXPECT_EQ(accessLog().size(), 1u);
}

TEST_F(MCPEndpointTest, RefusesRequestsOfWebPagesFromOtherSites) {
  const std::string forbidden = buildHTTPResponse(403, R"({"error":"Forbidden"})");
  // Which origins and hosts are foreign is the request checks' to test.
  const std::string extra = "Origin: null\r\n";
  EXPECT_EQ(wire("GET /mcp HTTP/1.1\r\n" + extra + "\r\n"), forbidden);
  EXPECT_EQ(wire("OPTIONS /mcp HTTP/1.1\r\n" + extra + "\r\n"), forbidden);
  EXPECT_EQ(wirePost(initialize(1, "Intruder"), extra), forbidden);
  EXPECT_TRUE(clients().empty());  // the handshake never reached the router
}

TEST_F(MCPEndpointTest, SessionsCarryTheClientNameAcrossConnectionsUntilRevoked) {
  auto handshake = post(initialize(1, "Session Client"));
  ASSERT_EQ(handshake.status, 200);
  const std::string session = extraHeader(handshake, "mcp-session-id");
  ASSERT_TRUE(Uuid::parse(session)) << handshake.extraHeaders;
  EXPECT_EQ(extraHeader(handshake, "access-control-expose-headers"), "Mcp-Session-Id");
  const std::string other = extraHeader(post(initialize(1, "Other Client")), "mcp-session-id");
  EXPECT_NE(other, session);

  // Without a session a connection is the unknown client, never authorised here.
  EXPECT_EQ(wirePost(toolCall(2)), reply(200, result(2, toolResult(kDenied, true))));

  const std::string sessionHeader = "Mcp-Session-Id: " + session + "\r\n";
  EXPECT_EQ(wirePost(toolCall(3), sessionHeader), reply(200, result(3, toolResult(json::array()))));
  ASSERT_EQ(accessLog().size(), 1u);
  EXPECT_EQ(accessLog()[0].clientID, clients()[0].id);
  EXPECT_EQ(post(kInitialized, sessionHeader).status, 204);

  // A revoked client is refused without a log row; others carry on.
  ASSERT_TRUE(MCPAuthManager::revoke(*store, "Session Client", Date{}).ok());
  EXPECT_EQ(answer(toolCall(4), sessionHeader), result(4, toolResult(kDenied, true)));
  EXPECT_EQ(answer(toolCall(5), "Mcp-Session-Id: " + other + "\r\n"),
            result(5, toolResult(json::array())));
  EXPECT_EQ(accessLog().size(), 2u);

  // An unknown session is answered 404, naming the request when it can.
  const std::string unknownHeader = "Mcp-Session-Id: " + Uuid::random().str() + "\r\n";
  const json notFound = {{"code", -32001}, {"message", "Session not found"}};
  EXPECT_EQ(wirePost(toolCall(9), unknownHeader),
            reply(404, {{"jsonrpc", "2.0"}, {"id", 9}, {"error", notFound}}));
  EXPECT_EQ(wirePost(json::array({rpc(1, "ping"), rpc(2, "ping")}), unknownHeader),
            reply(404, {{"jsonrpc", "2.0"}, {"error", notFound}}));
  EXPECT_EQ(serve("GET /mcp HTTP/1.1\r\n" + unknownHeader + "\r\n")->status, 404);
  EXPECT_EQ(accessLog().size(), 2u);

  // A client may end its session.
  EXPECT_EQ(wire("DELETE /mcp HTTP/1.1\r\n" + sessionHeader + "\r\n"), buildHTTPResponse(204, ""));
  EXPECT_EQ(post(rpc(6, "ping"), sessionHeader).status, 404);
  // Every answered connection is forgotten; only the sessions stay.
  EXPECT_EQ(endpoint.connectionsInMemory(), 0u);
}

}  // namespace
}  // namespace qm::mcp
