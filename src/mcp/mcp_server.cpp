#include "mcp/mcp_server.h"

#include <memory>
#include <optional>
#include <utility>

#include "common/log.h"
#include "mcp/http_server.h"
#include "mcp/mcp_endpoint.h"

namespace qm::mcp {

namespace {

HTTPServerOptions httpOptions(const MCPServerOptions& options) {
  HTTPServerOptions http;
  http.port = options.port;
  http.maxBodyBytes = options.maxBodyBytes;
  http.idleTimeout = options.idleTimeout;
  http.maxConnections = options.maxConnections;
  http.restartDelay = options.restartDelay;
  http.name = "MCP";
  return http;
}

}  // namespace

/// Hands requests to the endpoint of the current run; between runs there is
/// none and connections are closed unanswered.
struct MCPServer::Impl final : HTTPHandler {
  Store& store;
  const AppSettings& settings;
  DeviceIdentity& identity;
  // Declared before the listener, which refers to this handler, so that the
  // listener is closed first.
  std::unique_ptr<MCPEndpoint> endpoint;
  HTTPServer http;

  Impl(asio::io_context& io, Store& s, const AppSettings& appSettings,
       DeviceIdentity& deviceIdentity, const MCPServerOptions& options)
      : store(s),
        settings(appSettings),
        identity(deviceIdentity),
        http(io, *this, httpOptions(options), log::mcp()) {}

  std::optional<HTTPResponse> refuse(const HTTPRequest& head) override {
    return endpoint ? endpoint->refuse(head) : std::nullopt;
  }
  std::optional<HTTPResponse> respond(const HTTPRequest& request,
                                      const Uuid& connectionID) override {
    return endpoint ? endpoint->respond(request, connectionID) : std::nullopt;
  }
};

MCPServer::MCPServer(asio::io_context& io, Store& store, const AppSettings& settings,
                     DeviceIdentity& identity, MCPServerOptions options)
    : impl_(std::make_unique<Impl>(io, store, settings, identity, options)) {}

MCPServer::~MCPServer() {
  stop();
}

void MCPServer::start() {
  if (impl_->http.isRunning()) return;
  impl_->endpoint.reset();
  impl_->endpoint = std::make_unique<MCPEndpoint>(impl_->store, impl_->settings, impl_->identity);
  impl_->http.start();
}

void MCPServer::stop() {
  impl_->http.stop();
  if (!impl_->endpoint) return;
  impl_->endpoint.reset();
  log::mcp().info("MCP server stopped");
}

bool MCPServer::isRunning() const {
  return impl_->http.isRunning();
}

std::uint16_t MCPServer::port() const {
  return impl_->http.port();
}

void MCPServer::setStillEnabled(std::function<bool()> stillEnabled) {
  impl_->http.setStillEnabled(std::move(stillEnabled));
}

}  // namespace qm::mcp
