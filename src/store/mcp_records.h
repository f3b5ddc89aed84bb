#pragma once

#include <string>

#include "store/field.h"

namespace qm {

// clang-format off
#define QM_MCP_CLIENT_AUTHORIZATION_FIELDS(F)                         \
  F(Uuid, id, {}, kUnique)                                            \
  F(std::string, clientName, {}, {})                                  \
  F(Date, firstAuthorizedAt, {}, {})                                  \
  F(Date, lastAccessedAt, {}, {})                                     \
  F(std::string, permissions, "readOnly", {})                         \
  F(std::optional<Date>, revokedAt, {}, {})
// clang-format on

/// An AI client known to the MCP server by its handshake name.
struct MCPClientAuthorization {
  QM_MCP_CLIENT_AUTHORIZATION_FIELDS(QM_RECORD_MEMBER)

  /// Allowed while not revoked and not "denied".
  bool isActive() const { return !revokedAt && permissions != "denied"; }
  friend bool operator==(const MCPClientAuthorization&, const MCPClientAuthorization&) = default;
};

template <>
struct RecordInfo<MCPClientAuthorization> {
  static constexpr std::string_view table = "MCPClientAuthorization";
  static const std::vector<Field<MCPClientAuthorization>>& fields();
};

// clang-format off
/// `clientID` is the `id` of the client's authorisation record (a plain value).
#define QM_MCP_ACCESS_LOG_FIELDS(F)                                   \
  F(Uuid, id, {}, kUnique)                                            \
  F(Uuid, clientID, {}, {})                                           \
  F(std::string, method, {}, {})                                      \
  F(Date, timestamp, {}, {})                                          \
  F(std::optional<std::int64_t>, resultCount, {}, {})
// clang-format on

/// One tool call by an MCP client.
struct MCPAccessLog {
  QM_MCP_ACCESS_LOG_FIELDS(QM_RECORD_MEMBER)
  friend bool operator==(const MCPAccessLog&, const MCPAccessLog&) = default;
};

template <>
struct RecordInfo<MCPAccessLog> {
  static constexpr std::string_view table = "MCPAccessLog";
  static const std::vector<Field<MCPAccessLog>>& fields();
};

}  // namespace qm
