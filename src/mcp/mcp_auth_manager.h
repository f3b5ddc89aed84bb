#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "common/date.h"
#include "common/result.h"

namespace qm {
class Store;
}

namespace qm::mcp {

/// What an AI client may do.
enum class ClientAccess {
  none,       ///< unknown, revoked or denied
  read,       ///< the read tools ("readOnly", what every new client gets)
  readWrite,  ///< every tool ("readWrite", granted by the user)
};

/// Remembers which AI clients connected (by their handshake name), decides
/// what a client may do, and keeps a 30-day log of tool calls. A new manager
/// is made on every server start.
class MCPAuthManager {
 public:
  using Clock = std::function<Date()>;

  explicit MCPAuthManager(Store& store, Clock clock = now);

  /// Records a new client as allowed to read ("readOnly"), or moves an existing
  /// client's last access; a revoked client stays revoked. Store errors are
  /// logged; a new client that could not be recorded may still read until the
  /// server stops (the fault is the store's, not the client's).
  void authorizeClient(const std::string& clientName);
  /// What the first record with this exact name allows; `none` without one.
  /// Fails when the store cannot be read.
  Result<ClientAccess> access(const std::string& clientName);
  /// Logs one tool call of a known client (unknown names log nothing) and, at most
  /// once an hour, deletes log rows older than 30 days.
  void logAccess(const std::string& clientName, const std::string& toolName,
                 std::optional<std::int64_t> resultCount);

  /// Cuts a client off (sets `revokedAt`), or lets it back (clears `revokedAt`
  /// and a "denied" permission). Fails for an unknown name.
  static Status revoke(Store& store, const std::string& clientName, Date at);
  static Status restore(Store& store, const std::string& clientName);
  /// Lets an active client use the write tools too, or takes that back.
  static Status allowWrites(Store& store, const std::string& clientName, bool allowed);

 private:
  Store& store_;
  Clock clock_;
  std::optional<Date> lastPurgeAt_;
  std::set<std::string> unrecorded_;
};

}  // namespace qm::mcp
