// The companion's commands behind the settings window, through their real
// effect: a revoked MCP client is refused by the running server, an endpoint
// logged in through the companion gets the real test request with its token.
#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "app/companion_fixture.h"
#include "app/mcp_http_session.h"
#include "support/http_client.h"
#include "support/local_http_server.h"

namespace qm::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kDenied = "Access denied. Client has been revoked.";

class SettingsCommandsTest : public CompanionFixture {
 protected:
  void SetUp() override {
    env["QUILLMERE_MCP_PORT"] = std::to_string(port);
    CompanionFixture::SetUp();
  }
  Result<nlohmann::json> request(const nlohmann::json& message) {
    return sendControlRequest(paths.controlSocket(), message);
  }

  std::uint16_t port = freeLoopbackPort();
};

TEST_F(SettingsCommandsTest, RevokedClientsAreRefusedUntilRestoredThroughTheCompanionOrItsCli) {
  ASSERT_EQ(cli({"mcp", "enable", "--yes"}).exitCode, 0);
  McpHttpSession claude(port);
  ASSERT_TRUE(eventually([&] { return claude.initialize("Claude"); }));
  EXPECT_THAT(claude.callTool("list_events").value_or(kDenied), Not(HasSubstr(kDenied)));

  auto revoked = request({{"command", "mcp.revoke"}, {"client", "Claude"}});
  ASSERT_TRUE(revoked.ok()) << revoked.error().message;
  EXPECT_EQ(*revoked,
            (nlohmann::json{{"client", "Claude"}, {"active", false}, {"permissions", "readOnly"}}));
  EXPECT_THAT(claude.callTool("list_events").value_or(""), HasSubstr(kDenied));

  // The command line goes through the running companion too.
  auto restored = cli({"mcp", "restore", "Claude"});
  EXPECT_EQ(restored.exitCode, 0) << restored.err;
  EXPECT_THAT(claude.callTool("list_events").value_or(kDenied), Not(HasSubstr(kDenied)));
  ASSERT_EQ(cli({"mcp", "revoke", "Claude"}).exitCode, 0);
  EXPECT_THAT(claude.callTool("list_events").value_or(""), HasSubstr(kDenied));

  // Writes need an active client; a name nobody used is an error, as is none.
  auto writes = request({{"command", "mcp.allowWrites"}, {"client", "Claude"}, {"allowed", true}});
  EXPECT_FALSE(writes.ok());
  auto unknown = request({{"command", "mcp.revoke"}, {"client", "Nobody"}});
  ASSERT_FALSE(unknown.ok());
  EXPECT_THAT(unknown.error().message, HasSubstr("Nobody"));
  EXPECT_FALSE(request({{"command", "mcp.restore"}}).ok());
}

TEST_F(SettingsCommandsTest, LoginKeepsTheEndpointAndTokenAndTheTestSendsARealRequest) {
  LocalHTTPServer server;
  server.setReply({200, R"({"choices":[{"message":{"content":"OK"}}]})"});

  // A proxy without a token, or an address off this computer without TLS, is refused.
  EXPECT_FALSE(
      request({{"command", "ai.login"}, {"endpointKind", "proxy"}, {"endpoint", server.url()}})
          .ok());
  EXPECT_FALSE(request({{"command", "ai.login"},
                        {"endpointKind", "chatCompletions"},
                        {"endpoint", "http://192.168.1.20:11434/v1"}})
                   .ok());
  EXPECT_THAT(cli({"ai", "status"}).out, HasSubstr("endpoint: (none)"));

  auto login = request({{"command", "ai.login"},
                        {"endpointKind", "chatCompletions"},
                        {"endpoint", server.url()},
                        {"model", "tiny-model"},
                        {"token", "s3cret-token"}});
  ASSERT_TRUE(login.ok()) << login.error().message;
  EXPECT_EQ((*login)["credential"], true);
  const auto status = cli({"ai", "status"}).out;
  EXPECT_THAT(status, HasSubstr("endpoint: " + server.url()));
  EXPECT_THAT(status, HasSubstr("model: tiny-model"));
  EXPECT_THAT(status, HasSubstr("credential: stored"));

  auto tested = request({{"command", "ai.test"}});
  ASSERT_TRUE(tested.ok()) << tested.error().message;
  EXPECT_EQ((*tested)["reply"], "OK");
  ASSERT_EQ(server.requests().size(), 1u);
  const RecordedRequest sent = server.requests()[0];
  EXPECT_EQ(sent.headers.at("authorization"), "Bearer s3cret-token");
  EXPECT_EQ(nlohmann::json::parse(sent.body)["model"], "tiny-model");

  // What the endpoint says when it refuses is what the test answers.
  server.setReply({401, "no"});
  auto refused = request({{"command", "ai.test"}});
  ASSERT_FALSE(refused.ok());
  EXPECT_THAT(refused.error().message, HasSubstr("Authentication failed (401)"));

  auto logout = request({{"command", "ai.logout"}});
  ASSERT_TRUE(logout.ok()) << logout.error().message;
  EXPECT_EQ((*logout)["removed"], true);
  EXPECT_THAT(cli({"ai", "status"}).out, HasSubstr("credential: none"));
  server.setReply({200, R"({"choices":[{"message":{"content":"OK"}}]})"});
  ASSERT_TRUE(request({{"command", "ai.test"}}).ok());
  EXPECT_EQ(server.requests().back().headers.count("authorization"), 0u);
}

}  // namespace
}  // namespace qm::test
