// The MCP server as the companion runs it: the endpoint served over loopback
// with the options it was given, sessions that end with the server.
#include "mcp/mcp_server.h"

#include <asio.hpp>

#include "loop_thread.h"
#include "mcp_fixture.h"
#include "support/http_client.h"

namespace qm::mcp {
namespace {

std::string post(const JSONValue& body, const std::string& extraHeaders = {}) {
  const std::string text = body.dump();
  return "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
         "Content-Length: " +
         std::to_string(text.size()) + "\r\n" + extraHeaders + "\r\n" + text;
}

class MCPServerTest : public StoreTest {
 protected:
  void TearDown() override {
    if (loop.running()) loop.onLoop([this] { server.reset(); });
  }

  test::HTTPReply exchange(std::string_view request) {
    auto raw = test::exchangeHTTP(port, request);
    EXPECT_TRUE(raw.ok()) << raw.error().message;
    auto reply = raw.ok() ? test::parseHTTPReply(*raw) : Result<test::HTTPReply>(raw.error());
    EXPECT_TRUE(reply.ok()) << reply.error().message;
    return reply.ok() ? *reply : test::HTTPReply{};
  }
  std::uint16_t portOnLoop() {
    return loop.onLoop([this] { return server->isRunning() ? server->port() : 0; });
  }

  asio::io_context io;
  std::unique_ptr<MCPServer> server;
  std::uint16_t port = 0;
  test::LoopThread loop{io};
};

TEST_F(MCPServerTest, ServesTheEndpointWithItsLimitsAndEndsSessionsWithTheServer) {
  MCPServerOptions options;
  options.port = 0;
  options.maxBodyBytes = 1000;
  server = std::make_unique<MCPServer>(io, *store, services.settings, services.identity, options);
  server->start();
  port = server->port();
  ASSERT_NE(port, 0);
  loop.start();

  EXPECT_EQ(exchange("POST /mcp HTTP/1.1\r\nContent-Length: 1001\r\n\r\n{").status, 413);

  const JSONValue initialize = {{"jsonrpc", "2.0"},
                                {"id", 1},
                                {"method", "initialize"},
                                {"params", {{"clientInfo", {{"name", "Restarted Client"}}}}}};
  const std::string session = exchange(post(initialize)).headers["mcp-session-id"];
  ASSERT_FALSE(session.empty());
  const std::string sessionHeader = "Mcp-Session-Id: " + session + "\r\n";
  const JSONValue ping = {{"jsonrpc", "2.0"}, {"id", 2}, {"method", "ping"}};

  // Starting again while running changes nothing, the session included.
  loop.onLoop([this] { server->start(); });
  EXPECT_EQ(portOnLoop(), port);
  EXPECT_EQ(exchange(post(ping, sessionHeader)).status, 200);

  loop.onLoop([this] { server->stop(); });
  loop.onLoop([this] { server->start(); });
  port = portOnLoop();
  EXPECT_EQ(exchange(post(ping, sessionHeader)).status, 404);
}

}  // namespace
}  // namespace qm::mcp
