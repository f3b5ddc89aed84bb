#pragma once

#include <memory>

#include "app/companion_module.h"

namespace qm {

namespace mcp {
class MCPServer;
}

/// The MCP server for AI assistants, running exactly while the
/// `mcpServerEnabled` setting is on (the companion calls `followSetting` when
/// that setting changes). Commands: "mcp.revoke" and "mcp.restore" {client}
/// cut a known client off or let it back in, "mcp.allowWrites" {client,
/// allowed} grants or takes back the write tools; each answers {client,
/// active, permissions}.
class McpModule final : public CompanionModule {
 public:
  explicit McpModule(CompanionContext context);
  ~McpModule() override;

  std::string_view name() const override { return "mcp"; }
  void registerCommands(ControlServer& control) override;
  Status start() override;
  void stop() override;
  void addStatus(nlohmann::json& status) const override;

  /// Starts or stops the server to match the setting.
  void followSetting();

 private:
  CompanionContext context_;
  std::unique_ptr<mcp::MCPServer> server_;
};

}  // namespace qm
