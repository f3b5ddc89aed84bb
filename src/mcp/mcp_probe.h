#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "common/result.h"

namespace qm::mcp {

/// Asks the MCP server on 127.0.0.1:`port` to initialise, with a real HTTP
/// POST to /mcp, as a client would. Gives "name version" from its answer,
/// or why it did not answer (nothing listening, not an MCP server, too slow).
/// The handshake names the client "Quillmere doctor".
Result<std::string> probeMCPServer(std::uint16_t port,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(3));

}  // namespace qm::mcp
