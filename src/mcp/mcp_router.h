#pragma once

#include <map>
#include <optional>
#include <string>

#include "common/uuid.h"
#include "mcp/json_rpc.h"

namespace qm::mcp {

class MCPToolHandlers;
class MCPAuthManager;

/// Turns one JSON-RPC request into at most one response: "initialize",
/// "notifications/initialized", "tools/list", "tools/call" and "ping".
/// Remembers, per connection, the client name given at "initialize".
class MCPRouter {
 public:
  static constexpr const char* kUnknownClient = "Unknown Client";

  MCPRouter(MCPToolHandlers& tools, MCPAuthManager& auth);

  /// Handles one request for connection `connectionID`; nothing for a notification.
  std::optional<JSONRPCResponse> handle(const JSONRPCRequest& request, const Uuid& connectionID);

  /// The client name recorded for a connection (by "initialize" or `bindClient`).
  std::optional<std::string> clientName(const Uuid& connectionID) const;
  /// Lets a connection run under a name learnt earlier (an MCP session).
  void bindClient(const Uuid& connectionID, std::string clientName);
  /// Forgets what was recorded for a connection that has been answered.
  void forgetConnection(const Uuid& connectionID) { initializedClients_.erase(connectionID); }
  /// How many connections have a client name recorded.
  std::size_t connectionCount() const { return initializedClients_.size(); }

 private:
  MCPToolHandlers& tools_;
  MCPAuthManager& auth_;
  std::map<Uuid, std::string> initializedClients_;
};

}  // namespace qm::mcp
