#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace asio {
class io_context;
}

namespace qm {
class AppSettings;
class DeviceIdentity;
class Store;
}  // namespace qm

namespace qm::mcp {

/// Limits and timings of the MCP listener; tests shorten them.
struct MCPServerOptions {
  std::uint16_t port = 23816;
  /// The largest real request is a write tool's call with a long note: a
  /// megabyte is hundreds of pages of text.
  std::size_t maxBodyBytes = 1024 * 1024;
  std::chrono::milliseconds idleTimeout{10'000};
  std::size_t maxConnections = 128;
  std::chrono::milliseconds restartDelay{2'000};
};

/// The MCP server: an `MCPEndpoint` served by an `HTTPServer` (HTTP/1.1 on
/// 127.0.0.1, one request per connection, JSON-RPC bodies posted to "/mcp").
/// Lives on the main loop (`io`). Each start makes a fresh endpoint (router,
/// tool set and authorisation manager, no sessions); stop() ends every session.
///
/// Requests whose Origin or Host names another site get 403, bodies over
/// `maxBodyBytes` get 413 unread, connections silent for `idleTimeout` are
/// closed, and at most `maxConnections` are served at once.
class MCPServer {
 public:
  MCPServer(asio::io_context& io, Store& store, const AppSettings& settings,
            DeviceIdentity& identity, MCPServerOptions options = {});
  ~MCPServer();
  MCPServer(const MCPServer&) = delete;
  MCPServer& operator=(const MCPServer&) = delete;

  /// Opens the listener (no-op while running). A listener that fails later is
  /// restarted after `restartDelay` while `stillEnabled` says so.
  void start();
  /// Closes the listener and every connection (no-op unless running).
  void stop();
  bool isRunning() const;
  /// The bound port (useful when the options asked for port 0).
  std::uint16_t port() const;

  /// Asked before a restart after a listener failure; defaults to "yes".
  void setStillEnabled(std::function<bool()> stillEnabled);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qm::mcp
