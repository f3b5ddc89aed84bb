// The MCP server as the companion runs it: the endpoint served over loopback
// with the options it was given, sessions that end with the server, start
// and stop.
#include "mcp/mcp_server.h"

#include <gtest/gtest.h>

#include <asio.hpp>
#include <nlohmann/json.hpp>

#include "common/log.h"
#include "loop_thread.h"
#include "store/store.h"
#include "support/desktop_services.h"
#include "support/http_client.h"
#include "support/temp_dir.h"

namespace qm::mcp {
namespace {

using nlohmann::json;

const std::string kStatus =
    "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 59\r\n"
    "Access-Control-Allow-Origin: *\r\nAccess-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
    "Access-Control-Allow-Headers: Content-Type\r\nConnection: close\r\n\r\n"
    R"({"name":"Quillmere MCP","version":"1.0","status":"running"})";

std::string post(const json& body, const std::string& extraHeaders = {}) {
  const std::string text = body.dump();
  return "POST /mcp HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
         "Content-Length: " +
         std::to_string(text.size()) + "\r\n" + extraHeaders + "\r\n" + text;
}

class MCPServerTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::unique_ptr<Store> store = Store::open(dir / "QuillmereMac.store").value();
  test::DesktopServices services{dir.path()};
  asio::io_context io;
  MCPServerOptions options;
  std::unique_ptr<MCPServer> server;
  std::uint16_t port = 0;

  void SetUp() override {
    log::setLevel(spdlog::level::off);
    options.port = 0;
  }

  void TearDown() override {
    if (loop.running()) loop.onLoop([this] { server.reset(); });
    loop.join();
    log::setLevel(spdlog::level::info);
  }

  void startServer() {
    server = std::make_unique<MCPServer>(io, *store, services.settings, services.identity, options);
    server->start();
    ASSERT_TRUE(server->isRunning());
    port = server->port();
    ASSERT_NE(port, 0);
    loop.start();
  }

  test::HTTPReply exchange(std::string_view request) {
    auto raw = test::exchangeHTTP(port, request);
    EXPECT_TRUE(raw.ok()) << raw.error().message;
    auto reply = raw.ok() ? test::parseHTTPReply(*raw) : Result<test::HTTPReply>(raw.error());
    EXPECT_TRUE(reply.ok()) << reply.error().message;
    return reply.ok() ? *reply : test::HTTPReply{};
  }

  test::LoopThread loop{io};
};

TEST_F(MCPServerTest, ServesTheEndpointWithItsLimitsAndEndsSessionsWithTheServer) {
  options.maxBodyBytes = 1000;
  startServer();
  EXPECT_EQ(test::exchangeHTTP(port, "GET /mcp HTTP/1.1\r\n\r\n").value(), kStatus);
  EXPECT_EQ(exchange("GET /mcp HTTP/1.1\r\nOrigin: null\r\n\r\n").status, 403);
  EXPECT_EQ(exchange("POST /mcp HTTP/1.1\r\nContent-Length: 1001\r\n\r\n{").status, 413);

  const json initialize = {{"jsonrpc", "2.0"},
                           {"id", 1},
                           {"method", "initialize"},
                           {"params", {{"clientInfo", {{"name", "Restarted Client"}}}}}};
  const std::string session = exchange(post(initialize)).headers["mcp-session-id"];
  ASSERT_FALSE(session.empty());
  const std::string sessionHeader = "Mcp-Session-Id: " + session + "\r\n";
  const json ping = {{"jsonrpc", "2.0"}, {"id", 2}, {"method", "ping"}};
  EXPECT_EQ(exchange(post(ping, sessionHeader)).status, 200);

  loop.onLoop([this] {
    server->stop();
    server->start();
  });
  port = loop.onLoop([this] { return server->port(); });
  EXPECT_EQ(exchange(post(ping, sessionHeader)).status, 404);
}

TEST_F(MCPServerTest, StartIsIdempotentAndStopClosesTheListener) {
  startServer();
  loop.onLoop([this] { server->start(); });
  EXPECT_EQ(loop.onLoop([this] { return server->port(); }), port);

  loop.onLoop([this] { server->stop(); });
  EXPECT_FALSE(loop.onLoop([this] { return server->isRunning(); }));
  EXPECT_FALSE(test::HTTPConnection::open(port).ok());

  loop.onLoop([this] { server->stop(); });  // a second stop changes nothing
  loop.onLoop([this] { server->start(); });
  EXPECT_TRUE(loop.onLoop([this] { return server->isRunning(); }));
  port = loop.onLoop([this] { return server->port(); });
  EXPECT_EQ(test::exchangeHTTP(port, "GET /mcp HTTP/1.1\r\n\r\n").value(), kStatus);
}

}  // namespace
}  // namespace qm::mcp
