#include "app/mcp_module.h"

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "app/application.h"
#include "app/control_server.h"
#include "mcp/mcp_auth_manager.h"
#include "mcp/mcp_client_setup.h"
#include "mcp/mcp_server.h"
#include "settings/app_settings.h"
#include "store/mcp_records.h"
#include "store/store.h"

namespace qm {

namespace {

/// Port 23816 unless QUILLMERE_MCP_PORT names another (tests, a second profile).
mcp::MCPServerOptions optionsFromEnvironment() {
  mcp::MCPServerOptions options;
  options.port = mcp::configuredMCPPort();
  return options;
}

/// The "client" of a request: the name a client gave at its handshake.
Result<std::string> clientIn(const nlohmann::json& request) {
  const auto client = request.find("client");
  if (client == request.end() || !client->is_string() ||
      client->get_ref<const std::string&>().empty())
    return Error(ErrorCode::invalidArgument, "\"client\" must name an MCP client");
  return client->get<std::string>();
}

/// What a client may do now, as the answer of the client commands.
Result<nlohmann::json> clientJSON(Store& store, const std::string& name) {
  auto clients = store.fetch<MCPClientAuthorization>();
  if (!clients) return clients.error();
  for (const auto& c : *clients) {
    if (c.clientName != name) continue;
    return nlohmann::json{
        {"client", name}, {"active", c.isActive()}, {"permissions", c.permissions}};
  }
  return Error(ErrorCode::notFound, "No MCP client is called \"" + name + "\"");
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

void McpModule::registerCommands(ControlServer& control) {
  // Every change is one write to the client's record; the server reads the
  // record before each tool call, so the next call already follows it.
  const auto clientCommand = [this, &control](const std::string& command, auto change) {
    control.handle(command, [this, change](const nlohmann::json& request,
                                           std::shared_ptr<ControlReply> reply) {
      QuillmereMacApp& app = context_.app;
      auto client = clientIn(request);
      if (!client) return reply->fail(client.error().message);
      if (!app.hasStore()) return reply->fail("The store is not open");
      if (Status changed = change(app.store(), *client, request); !changed)
        return reply->fail(changed.error().message);
      auto answer = clientJSON(app.store(), *client);
      if (!answer) return reply->fail(answer.error().message);
      reply->succeed(*answer);
    });
  };
  clientCommand("mcp.revoke", [](Store& store, const std::string& client, const nlohmann::json&) {
    return mcp::MCPAuthManager::revoke(store, client, now());
  });
  clientCommand("mcp.restore", [](Store& store, const std::string& client, const nlohmann::json&) {
    return mcp::MCPAuthManager::restore(store, client);
  });
  clientCommand("mcp.allowWrites", [](Store& store, const std::string& client,
                                      const nlohmann::json& request) {
    const auto allowed = request.find("allowed");
    if (allowed == request.end() || !allowed->is_boolean())
      return Status(Error(ErrorCode::invalidArgument, "\"allowed\" must be true or false"));
    return mcp::MCPAuthManager::allowWrites(store, client, allowed->get<bool>());
  });
}

void McpModule::addStatus(nlohmann::json& status) const {
  status["mcpServerEnabled"] = context_.app.settings().mcpServerEnabled();
  status["mcpServerRunning"] = server_ && server_->isRunning();
  status["mcpPort"] = server_ ? server_->port() : optionsFromEnvironment().port;
}

}  // namespace qm
