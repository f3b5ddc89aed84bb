#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mcp/client_config/entry_edit.h"
#include "mcp/mcp_client_setup.h"

namespace qm::mcp {

/// How one client's file holds our entry: its format, where the entry goes
/// and what the entry says, over HTTP and through the bridge.
struct ClientFormat {
  const EntryEditor* editor = nullptr;
  EntryPlace place;
  /// The entry for the server at `url`; null for a client that only starts commands.
  OrderedJSON (*httpEntry)(const std::string& url) = nullptr;
  /// The entry that starts the bridge script at `bridge` with node.
  OrderedJSON (*stdioEntry)(const std::string& bridge) = nullptr;
};

/// The format of the client named `id` (one of `mcpClients`' ids).
const ClientFormat& clientFormat(std::string_view id);

/// The entry `connection` asks for, for the client `id`.
OrderedJSON clientEntry(std::string_view id, const MCPConnection& connection);

}  // namespace qm::mcp
