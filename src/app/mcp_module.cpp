#include "app/mcp_module.h"

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "app/application.h"
#include "mcp/mcp_server.h"
#include "settings/app_settings.h"

namespace qm {

namespace {

/// Port 23816 unless QUILLMERE_MCP_PORT names another (tests, a second profile).
mcp::MCPServerOptions optionsFromEnvironment() {
  mcp::MCPServerOptions options;
  if (const char* port = std::getenv("QUILLMERE_MCP_PORT")) {
    const long value = std::strtol(port, nullptr, 10);
    if (value > 0 && value < 65536) options.port = static_cast<std::uint16_t>(value);
  }
  return options;
}

}  // namespace

McpModule::McpModule(CompanionContext context) : context_(context) {}

McpModule::~McpModule() {
  stop();
}

Status McpModule::start() {
  followSetting();
  return {};
}

void McpModule::stop() {
  if (server_) server_->stop();
  server_.reset();
}

void McpModule::followSetting() {
  QuillmereMacApp& app = context_.app;
  const bool enabled = app.settings().mcpServerEnabled();
  if (enabled && !server_ && app.hasStore()) {
    server_ = std::make_unique<mcp::MCPServer>(context_.io, app.store(), app.settings(),
                                               app.deviceIdentity(), optionsFromEnvironment());
    server_->setStillEnabled([&app] { return app.settings().mcpServerEnabled(); });
    server_->start();
  } else if (!enabled && server_) {
    stop();
  }
}

void McpModule::addStatus(nlohmann::json& status) const {
  status["mcpServerEnabled"] = context_.app.settings().mcpServerEnabled();
  status["mcpServerRunning"] = server_ && server_->isRunning();
  status["mcpPort"] = server_ ? server_->port() : optionsFromEnvironment().port;
}

}  // namespace qm
