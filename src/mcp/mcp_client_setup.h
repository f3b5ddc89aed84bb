#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace qm::mcp {

/// The port of the MCP server when nothing else is said.
inline constexpr std::uint16_t kDefaultMCPPort = 23816;

/// The port the companion's MCP server listens on: QUILLMERE_MCP_PORT when it
/// names one (tests, a second profile), else 23816.
std::uint16_t configuredMCPPort();

/// "http://127.0.0.1:<port>/mcp", the address clients reach the server at.
std::string mcpServerURL(std::uint16_t port);

/// An AI client that Quillmere can be added to: where its configuration lives
/// and what the user is told about it.
struct MCPClientSetup {
  std::string id;     ///< "claude-code", "goose": the command-line name
  std::string name;   ///< "Claude Code"
  std::string title;  ///< "Connect to Claude Code"
  std::filesystem::path configFile;
  std::string displayPath;  ///< the file as shown to the user ("~/.gemini/settings.json")
  std::string note;
  bool takesHTTP = true;  ///< reaches the server over HTTP; else only through the bridge
};

/// Every supported client, with configuration files under `home` (Codex's
/// under $CODEX_HOME when that is set).
std::vector<MCPClientSetup> mcpClients(const std::filesystem::path& home);

/// How a client reaches the server: over HTTP at `port`, or (`stdio`) by
/// starting the bridge script with node, which forwards to the same server.
struct MCPConnection {
  std::uint16_t port = kDefaultMCPPort;
  std::filesystem::path bridge;
  bool stdio = false;
};

/// The entry as a person would add it to the client's file by hand.
std::string mcpClientSnippet(const MCPClientSetup& client, const MCPConnection& connection);

/// Where the bridge script is, for a program at `executable`: an installed layout
/// (<prefix>/bin/quillmere → <prefix>/share/quillmere/mcp-bridge/…), else the
/// program's own folder (<dir>/mcp-bridge/…, which is where a build tree has it).
std::filesystem::path findBridgeScript(const std::filesystem::path& executable);

/// What installing into a client's file did.
enum class InstallOutcome { created, updated, unchanged };

/// Adds (or replaces) the "quillmere" entry in the client's file and changes
/// nothing else in it: other servers, keys, their order and comments stay.
/// Creates the file (and folder) when missing; keeps a copy of an existing
/// file as "<name>.backup-<UTC stamp>" before changing it; keeps its mode and
/// owner; writes atomically; leaves the file alone when the entry is already
/// right. A file that does not parse, or is read-only, is not touched: the
/// error says where it fails and carries the entry to add by hand.
Result<InstallOutcome> installMCPClient(const MCPClientSetup& client,
                                        const MCPConnection& connection);

/// Removes the "quillmere" entry (and nothing else) from the client's file,
/// with a backup as for install. False when there was nothing to remove.
Result<bool> uninstallMCPClient(const MCPClientSetup& client);

/// What a client's file says about Quillmere.
struct MCPClientState {
  enum class Kind {
    noFile,           ///< the client's file does not exist
    notInstalled,     ///< the file has no quillmere entry
    installed,        ///< the entry reaches this companion's server
    pointsElsewhere,  ///< the entry names another port or address
    unreadable,       ///< the file does not parse (or cannot be read)
  };
  Kind kind = Kind::noFile;
  std::optional<std::uint16_t> port;  ///< the port the entry names (the bridge's for stdio)
  bool throughBridge = false;         ///< the entry starts the bridge script
  std::string detail;                 ///< why it is unreadable
};

/// Reads the client's file (never writes it) and says what its entry does.
MCPClientState inspectMCPClient(const MCPClientSetup& client, std::uint16_t port);

}  // namespace qm::mcp
