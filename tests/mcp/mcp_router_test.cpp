#include "mcp/mcp_router.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/log.h"
#include "mcp/mcp_auth_manager.h"
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

constexpr const char* kDenied = R"({"error":"Access denied. Client has been revoked."})";

std::unique_ptr<Store> openStore(const test::TempDir& dir) {
  auto opened = Store::open(dir / "QuillmereMac.store");
  if (!opened) ADD_FAILURE() << opened.error().message;
  return std::move(opened).value();
}

JSONRPCRequest request(std::string method, std::optional<JSONValue> params = std::nullopt,
                       std::optional<JSONRPCId> id = JSONRPCId{1}) {
  return JSONRPCRequest{"2.0", std::move(id), std::move(method), std::move(params)};
}

JSONValue toolCall(const std::string& name) {
  return {{"name", name}, {"arguments", JSONValue::object()}};
}

JSONValue textContent(const std::string& text) {
  return JSONValue::array({{{"type", "text"}, {"text", text}}});
}

class MCPRouterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { log::setLevel(spdlog::level::off); }
  static void TearDownTestSuite() { log::setLevel(spdlog::level::info); }

  /// The encoded answer to `req` on `connection`; null when there is none.
  JSONValue send(const JSONRPCRequest& req, const Uuid& connection) {
    auto response = router_.handle(req, connection);
    return response ? encodeResponse(*response) : JSONValue();
  }
  JSONValue initialize(const Uuid& connection, const std::string& clientName) {
    return send(request("initialize", JSONValue{{"clientInfo", {{"name", clientName}}}}),
                connection);
  }
  JSONValue callTool(const Uuid& connection, const std::string& name) {
    return send(request("tools/call", toolCall(name)), connection);
  }
  std::vector<MCPClientAuthorization> clients() {
    return store_->fetch<MCPClientAuthorization>().value();
  }
  std::vector<MCPAccessLog> accessLog() { return store_->fetch<MCPAccessLog>().value(); }

  test::TempDir dir_;
  std::unique_ptr<Store> store_ = openStore(dir_);
  test::DesktopServices services_{dir_.path()};
  Date clock_ = dateFromUnixSeconds(1'780'000'000);
  MCPToolHandlers tools_{*store_, services_.settings, services_.identity,
                         [this] { return clock_; }};
  MCPAuthManager auth_{*store_, [this] { return clock_; }};
  MCPRouter router_{tools_, auth_};
  Uuid connection_ = Uuid::random();
};

TEST_F(MCPRouterTest, InitializeWithoutParamsRegistersTheUnknownClient) {
  JSONValue response = send(request("initialize", std::nullopt, JSONRPCId{"init"}), connection_);
  EXPECT_EQ(response, JSONValue::parse(R"({"jsonrpc":"2.0","id":"init","result":{
      "capabilities":{"tools":{"listChanged":false}},
      "protocolVersion":"2025-03-26",
      "serverInfo":{"name":"Quillmere MCP","version":"1.0"}}})"));
  EXPECT_EQ(router_.clientName(connection_), "Unknown Client");
  ASSERT_EQ(clients().size(), 1u);
  EXPECT_EQ(clients()[0].clientName, "Unknown Client");
}

TEST_F(MCPRouterTest, ClientNameIsTakenOnlyFromAWellFormedClientInfo) {
  initialize(connection_, "Claude Desktop");
  EXPECT_EQ(router_.clientName(connection_), "Claude Desktop");

  const Uuid other = Uuid::random();
  for (const char* params : {R"({"clientInfo":{"name":42}})", R"({"clientInfo":"Cursor"})",
                             R"({"client":{"name":"Cursor"}})", R"(["Cursor"])"}) {
    send(request("initialize", JSONValue::parse(params)), other);
    EXPECT_EQ(router_.clientName(other), "Unknown Client") << params;
  }
  EXPECT_EQ(clients().size(), 2u);
  EXPECT_FALSE(router_.clientName(Uuid::random()));
}

TEST_F(MCPRouterTest, PingAndNotificationsFollowTheRequestId) {
  EXPECT_EQ(send(request("ping", std::nullopt, std::nullopt), connection_),
            JSONValue::parse(R"({"jsonrpc":"2.0","result":{}})"));
  EXPECT_EQ(send(request("ping", std::nullopt, JSONRPCId{"p"}), connection_),
            JSONValue::parse(R"({"jsonrpc":"2.0","id":"p","result":{}})"));

  EXPECT_FALSE(router_.handle(request("notifications/initialized"), connection_));
  EXPECT_FALSE(router_.handle(request("notifications/initialized", std::nullopt, std::nullopt),
                              connection_));
}

TEST_F(MCPRouterTest, UnknownMethodsAndMalformedToolCallsAreErrors) {
  EXPECT_EQ(
      send(request("resources/list", std::nullopt, JSONRPCId{9}), connection_),
      JSONValue::parse(
          R"({"jsonrpc":"2.0","id":9,"error":{"code":-32601,"message":"Method not found"}})"));
  EXPECT_EQ(send(request("Ping"), connection_)["error"]["code"], kMethodNotFound);

  initialize(connection_, "Claude Desktop");
  for (const char* params : {"null", R"(["list_events"])", R"({"arguments":{}})", R"({"name":42})",
                             R"({"name":null})"}) {
    JSONValue response = send(request("tools/call", JSONValue::parse(params)), connection_);
    EXPECT_EQ(response["error"], JSONValue::parse(R"({"code":-32602,"message":"Invalid params"})"))
        << params;
    EXPECT_EQ(response["id"], 1);
  }
  EXPECT_TRUE(accessLog().empty());
}

TEST_F(MCPRouterTest, ToolsListShowsTheCatalogueInOrder) {
  JSONValue listed = send(request("tools/list"), connection_)["result"]["tools"];
  const auto& catalogue = MCPToolHandlers::tools();
  ASSERT_EQ(listed.size(), catalogue.size());
  for (std::size_t i = 0; i < catalogue.size(); ++i) {
    EXPECT_EQ(listed[i], (JSONValue{{"name", catalogue[i].name},
                                    {"description", catalogue[i].description},
                                    {"inputSchema", catalogue[i].inputSchema}}));
  }
}

TEST_F(MCPRouterTest, ToolCallsAnswerWithTextContentAndAreLogged) {
  initialize(connection_, "Claude Desktop");
  const Uuid clientID = clients()[0].id;

  JSONValue listed = callTool(connection_, "list_events");
  EXPECT_EQ(listed["result"], (JSONValue{{"content", textContent("[]")}}));

  JSONValue failed = callTool(connection_, "no_such_tool");
  EXPECT_EQ(failed["result"]["isError"], true);
  ASSERT_EQ(failed["result"]["content"].size(), 1u);
  JSONValue errorDocument =
      JSONValue::parse(failed["result"]["content"][0]["text"].get<std::string>());
  EXPECT_TRUE(errorDocument.contains("error"));

  auto rows = accessLog();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].clientID, clientID);
  EXPECT_EQ(rows[0].method, "list_events");
  EXPECT_EQ(rows[0].resultCount, 0);
  EXPECT_EQ(rows[1].method, "no_such_tool");
  EXPECT_FALSE(rows[1].resultCount);
}

TEST_F(MCPRouterTest, RevokedClientsAreRefusedWithoutALogRow) {
  initialize(connection_, "Claude Desktop");
  ASSERT_TRUE(MCPAuthManager::revoke(*store_, "Claude Desktop", clock_).ok());

  JSONValue response = callTool(connection_, "list_events");
  EXPECT_EQ(response["result"], (JSONValue{{"content", textContent(kDenied)}, {"isError", true}}));
  EXPECT_TRUE(accessLog().empty());
}

TEST_F(MCPRouterTest, ConnectionsWithoutHandshakeRunAsTheUnknownClient) {
  const Uuid silent = Uuid::random();
  EXPECT_EQ(callTool(silent, "list_events")["result"]["content"], textContent(kDenied));

  send(request("initialize"), connection_);  // another connection authorises "Unknown Client"
  EXPECT_EQ(callTool(silent, "list_events")["result"]["content"], textContent("[]"));
  ASSERT_EQ(accessLog().size(), 1u);
  EXPECT_EQ(accessLog()[0].clientID, clients()[0].id);
}

TEST_F(MCPRouterTest, BoundConnectionsRunUnderTheGivenName) {
  initialize(connection_, "Cursor");
  initialize(Uuid::random(), "Zed");
  const Uuid session = Uuid::random();
  router_.bindClient(session, "Zed");
  EXPECT_EQ(router_.clientName(session), "Zed");

  callTool(session, "list_events");
  ASSERT_EQ(accessLog().size(), 1u);
  EXPECT_EQ(accessLog()[0].clientID, clients()[1].id);

  ASSERT_TRUE(MCPAuthManager::revoke(*store_, "Zed", clock_).ok());
  EXPECT_EQ(callTool(session, "list_events")["result"]["content"], textContent(kDenied));
  EXPECT_EQ(callTool(connection_, "list_events")["result"]["content"], textContent("[]"));
}

}  // namespace
}  // namespace qm::mcp
