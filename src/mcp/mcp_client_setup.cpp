#include "mcp/mcp_client_setup.h"

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "common/date.h"

namespace qm::mcp {

namespace fs = std::filesystem;

std::vector<MCPClientSetup> mcpClients(const fs::path& home) {
  return {
      {"claude", "Connect to Claude Desktop", home / ".config/Claude/claude_desktop_config.json",
       "~/.config/Claude/claude_desktop_config.json",
       "Restart Claude Desktop after saving. The 16 Quillmere tools will appear in the MCP tools "
       "menu (🔌 icon)."},
      {"chatgpt", "Connect to ChatGPT Desktop", home / ".chatgpt/mcp.json", "~/.chatgpt/mcp.json",
       "Restart ChatGPT Desktop after saving. Enable MCP tools in Settings → Beta Features → MCP "
       "Servers."},
      {"gemini", "Connect to Gemini CLI", home / ".gemini/settings.json", "~/.gemini/settings.json",
       "Run gemini with the --mcp flag or add the config to settings.json. Quillmere tools will be "
       "available in the session."},
  };
}

std::string mcpConfigSnippet(const fs::path& bridgePath) {
  // dump() of a string gives it quoted and escaped; the quotes are part of the layout.
  const std::string quotedPath = nlohmann::json(bridgePath.string()).dump();
  return "{\n  \"mcpServers\": {\n    \"quillmere\": {\n      \"command\": \"node\",\n"
         "      \"args\": [" +
         quotedPath + "]\n    }\n  }\n}";
}

fs::path findBridgeScript(const fs::path& executable) {
  const fs::path relative = fs::path("mcp-bridge") / "quillmere-mcp-bridge.mjs";
  const fs::path dir = executable.parent_path();
  std::error_code ec;
  if (dir.filename() == "bin") {
    fs::path installed = dir.parent_path() / "share" / "quillmere" / relative;
    if (fs::exists(installed, ec)) return installed;
  }
  return dir / relative;
}

Result<InstallOutcome> installMCPClient(const fs::path& configFile, const fs::path& bridgePath) {
  const nlohmann::json entry{{"command", "node"}, {"args", {bridgePath.string()}}};
  nlohmann::json config = nlohmann::json::object();
  std::error_code ec;
  const bool exists = fs::exists(configFile, ec);
  mode_t mode = 0600;
  if (exists) {
    auto text = readFile(configFile);
    if (!text) return text.error();
    config = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
    if (!config.is_object())
      return Error(configFile.string() + " is not a valid JSON object; it was not changed.");
    if (config.contains("mcpServers") && !config["mcpServers"].is_object())
      return Error(configFile.string() +
                   " has an \"mcpServers\" entry that is not an object; it was not changed.");
    if (config.contains("mcpServers") &&
        config["mcpServers"].value("quillmere", nlohmann::json()) == entry)
      return InstallOutcome::unchanged;
    struct stat st {};
    if (stat(configFile.c_str(), &st) == 0) mode = st.st_mode & 07777;
    // Keep the user's file as it was before we touch it.
    const fs::path backup = configFile.parent_path() /
                            (configFile.filename().string() + ".backup-" + fileTimestamp(now()));
    QM_TRY(writeFileAtomically(backup, *text, mode));
  } else {
    createPrivateFolders(configFile.parent_path(), ec);
    if (ec)
      return Error("Could not create " + configFile.parent_path().string() + ": " + ec.message());
  }
  config["mcpServers"]["quillmere"] = entry;
  QM_TRY(writeFileAtomically(configFile, config.dump(2) + "\n", mode));
  return exists ? InstallOutcome::updated : InstallOutcome::created;
}

}  // namespace qm::mcp
