// The AI clients on Linux that Quillmere can be added to: their files and the
// entry each one documents for a Streamable HTTP server or a local command.
#include "mcp/client_config/client_table.h"

#include <cstdlib>
#include <map>

namespace qm::mcp {

namespace fs = std::filesystem;

namespace {

/// goose shows an extension's description, and some of its versions require one.
constexpr const char* kDescription = "Quillmere: your trade-show contacts, events and notes";

OrderedJSON nodeCommand(const std::string& bridge) {
  return {{"command", "node"}, {"args", {bridge}}};
}

OrderedJSON typedNodeCommand(const std::string& bridge) {
  return {{"type", "stdio"}, {"command", "node"}, {"args", {bridge}}};
}

OrderedJSON plainURL(const std::string& url) {
  return {{"url", url}};
}

OrderedJSON typedHTTP(const std::string& url) {
  return {{"type", "http"}, {"url", url}};
}

/// One row of the table: the client, its file under the home folder and its format.
struct Row {
  const char* id;
  const char* name;
  const char* file;  ///< under the home folder
  const char* note;
  ClientFormat format;
};

const std::vector<Row>& rows() {
  static const std::vector<Row> table = {
      {"claude-code",
       "Claude Code",
       ".claude.json",
       "Restart Claude Code. `claude mcp list` shows whether it reaches Quillmere.",
       {&jsonEntryEditor(), {"mcpServers"}, typedHTTP, typedNodeCommand}},
      {"cursor",
       "Cursor",
       ".cursor/mcp.json",
       "Restart Cursor. The Quillmere tools appear in its settings under MCP.",
       {&jsonEntryEditor(), {"mcpServers"}, plainURL, nodeCommand}},
      {"vscode",
       "VS Code",
       ".config/Code/User/mcp.json",
       "Reload VS Code. The Quillmere tools appear in the chat's agent mode.",
       {&jsonEntryEditor(), {"servers"}, typedHTTP, typedNodeCommand}},
      {"zed",
       "Zed",
       ".config/zed/settings.json",
       "Zed reads the change at once. The Quillmere tools appear in the Agent Panel.",
       {&jsonEntryEditor(), {"context_servers"}, plainURL, nodeCommand}},
      {"goose",
       "goose",
       ".config/goose/config.yaml",
       "Restart goose. Quillmere appears among its extensions.",
       {&yamlEntryEditor(),
        {"extensions"},
        [](const std::string& url) {
          return OrderedJSON{{"type", "streamable_http"},
                             {"name", "quillmere"},
                             {"description", kDescription},
                             {"uri", url},
                             {"enabled", true},
                             {"timeout", 300}};
        },
        [](const std::string& bridge) {
          return OrderedJSON{
              {"type", "stdio"}, {"name", "quillmere"}, {"description", kDescription},
              {"cmd", "node"},   {"args", {bridge}},    {"enabled", true},
              {"timeout", 300}};
        }}},
      {"lmstudio",
       "LM Studio",
       ".lmstudio/mcp.json",
       "Restart LM Studio. The Quillmere tools appear with its integrations.",
       {&jsonEntryEditor(), {"mcpServers"}, plainURL, nodeCommand}},
      {"continue",
       "Continue",
       ".continue/mcpServers/quillmere.yaml",
       "Reload your editor. Continue reads every file in ~/.continue/mcpServers.",
       {&yamlBlockFileEditor(),
        {"mcpServers"},
        [](const std::string& url) {
          return OrderedJSON{{"name", "quillmere"}, {"type", "streamable-http"}, {"url", url}};
        },
        [](const std::string& bridge) {
          return OrderedJSON{
              {"name", "quillmere"}, {"type", "stdio"}, {"command", "node"}, {"args", {bridge}}};
        }}},
      {"cline",
       "Cline",
       ".config/Code/User/globalStorage/saoudrizwan.claude-dev/settings/cline_mcp_settings.json",
       "Open Cline's MCP Servers view in VS Code; Quillmere is listed as installed.",
       {&jsonEntryEditor(),
        {"mcpServers"},
        [](const std::string& url) {
          return OrderedJSON{{"type", "streamableHttp"}, {"url", url}};
        },
        typedNodeCommand}},
      {"windsurf",
       "Windsurf",
       ".codeium/windsurf/mcp_config.json",
       "Press Refresh in the MCP panel of Cascade (the plug icon).",
       {&jsonEntryEditor(),
        {"mcpServers"},
        [](const std::string& url) {
          return OrderedJSON{{"serverUrl", url}};
        },
        nodeCommand}},
      {"codex",
       "Codex CLI",
       ".codex/config.toml",
       "Restart Codex. `codex mcp list` shows the server.",
       {&tomlEntryEditor(), {"mcp_servers"}, plainURL, nodeCommand}},
      {"gemini",
       "Gemini CLI",
       ".gemini/settings.json",
       "Restart Gemini CLI. `gemini mcp list` shows whether it reaches Quillmere.",
       {&jsonEntryEditor(),
        {"mcpServers"},
        [](const std::string& url) {
          return OrderedJSON{{"httpUrl", url}};
        },
        nodeCommand}},
      {"claude",
       "Claude Desktop",
       ".config/Claude/claude_desktop_config.json",
       "Restart Claude Desktop after saving. The 16 Quillmere tools will appear in the MCP tools "
       "menu (🔌 icon).",
       {&jsonEntryEditor(), {"mcpServers"}, nullptr, nodeCommand}},
      {"chatgpt",
       "ChatGPT Desktop",
       ".chatgpt/mcp.json",
       "Restart ChatGPT Desktop after saving. Enable MCP tools in Settings → Beta Features → MCP "
       "Servers.",
       {&jsonEntryEditor(), {"mcpServers"}, nullptr, nodeCommand}},
  };
  return table;
}

}  // namespace

std::vector<MCPClientSetup> mcpClients(const fs::path& home) {
  std::vector<MCPClientSetup> clients;
  for (const Row& row : rows()) {
    MCPClientSetup c;
    c.id = row.id;
    c.name = row.name;
    c.title = std::string("Connect to ") + row.name;
    c.configFile = home / row.file;
    c.displayPath = std::string("~/") + row.file;
    c.note = row.note;
    c.takesHTTP = row.format.httpEntry != nullptr;
    if (c.id == "codex") {
      if (const char* codexHome = std::getenv("CODEX_HOME"); codexHome && *codexHome) {
        c.configFile = fs::path(codexHome) / "config.toml";
        c.displayPath = "$CODEX_HOME/config.toml";
      }
    }
    clients.push_back(std::move(c));
  }
  return clients;
}

const ClientFormat& clientFormat(std::string_view id) {
  for (const Row& row : rows())
    if (id == row.id) return row.format;
  static const ClientFormat none;
  return none;
}

OrderedJSON clientEntry(std::string_view id, const MCPConnection& connection) {
  const ClientFormat& format = clientFormat(id);
  if (connection.stdio || !format.httpEntry) return format.stdioEntry(connection.bridge.string());
  return format.httpEntry(mcpServerURL(connection.port));
}

}  // namespace qm::mcp
