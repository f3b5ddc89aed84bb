#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/date.h"
#include "common/result.h"

namespace qm {
class Store;
}

namespace qm::mcp {

/// Remembers which AI clients connected (by their handshake name), decides
/// whether a client may run tools, and keeps a 30-day log of tool calls. A new
/// manager is made on every server start.
class MCPAuthManager {
 public:
  using Clock = std::function<Date()>;

  explicit MCPAuthManager(Store& store, Clock clock = now);

  /// Records a new client as allowed ("readOnly"), or moves an existing
  /// client's last access; a revoked client stays revoked. Store errors are logged.
  void authorizeClient(const std::string& clientName);
  /// Whether the first record with this exact name is active; false without one.
  bool isAuthorized(const std::string& clientName);
  /// Logs one tool call of a known client (unknown names log nothing) and, at most
  /// once an hour, deletes log rows older than 30 days.
  void logAccess(const std::string& clientName, const std::string& toolName,
                 std::optional<std::int64_t> resultCount);

  /// Cuts a client off (sets `revokedAt`), or lets it back (clears `revokedAt`
  /// and a "denied" permission). Fails for an unknown name.
  static Status revoke(Store& store, const std::string& clientName, Date at);
  static Status restore(Store& store, const std::string& clientName);

 private:
  Store& store_;
  Clock clock_;
  std::optional<Date> lastPurgeAt_;
};

}  // namespace qm::mcp
