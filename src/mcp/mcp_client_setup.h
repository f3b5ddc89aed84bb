#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace qm::mcp {

/// An AI desktop client that can start the bridge script: where its
/// configuration lives and what the user is told about it.
struct MCPClientSetup {
  std::string id;     ///< "claude", "chatgpt", "gemini": the command-line name
  std::string title;  ///< "Connect to Claude Desktop"
  std::filesystem::path configFile;
  std::string displayPath;  ///< the file as shown to the user ("~/.gemini/settings.json")
  std::string note;
};

/// The three supported clients, with configuration files under `home`.
std::vector<MCPClientSetup> mcpClients(const std::filesystem::path& home);

/// The JSON to add to a client's configuration, with the bridge path filled in
/// (escaped as a JSON string, so any path gives valid JSON).
std::string mcpConfigSnippet(const std::filesystem::path& bridgePath);

/// Where the bridge script is, for a program at `executable`: an installed layout
/// (<prefix>/bin/quillmere → <prefix>/share/quillmere/mcp-bridge/…), else the
/// program's own folder (<dir>/mcp-bridge/…, which is where a build tree has it).
std::filesystem::path findBridgeScript(const std::filesystem::path& executable);

/// What installing into a client's file did.
enum class InstallOutcome { created, updated, unchanged };

/// Adds (or replaces) the "quillmere" entry under "mcpServers" in `configFile`,
/// keeping everything else. Creates the file (and folder) when missing; keeps a
/// copy of an existing file as "<name>.backup-<UTC stamp>" before changing it;
/// leaves the file alone when the entry is already right. A file that is not a
/// JSON object is refused and left untouched.
Result<InstallOutcome> installMCPClient(const std::filesystem::path& configFile,
                                        const std::filesystem::path& bridgePath);

}  // namespace qm::mcp
