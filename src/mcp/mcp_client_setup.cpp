#include "mcp/mcp_client_setup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>

#include "common/atomic_file.h"
#include "common/date.h"
#include "mcp/client_config/client_table.h"
#include "mcp/client_config/entry_text.h"

namespace qm::mcp {

namespace fs = std::filesystem;

namespace {

/// The file a link points at (dotfile managers link configuration files):
/// the write replaces the target, never the link.
fs::path resolved(const fs::path& file) {
  std::error_code ec;
  if (!fs::is_symlink(file, ec)) return file;
  const fs::path target = fs::weakly_canonical(file, ec);
  return ec ? file : target;
}

Error refused(const MCPClientSetup& client, const fs::path& file, ErrorCode code,
              const std::string& why, const MCPConnection& connection) {
  return Error(code, file.string() + ": " + why +
                         "; it was not changed. Add this to it by hand:\n" +
                         mcpClientSnippet(client, connection));
}

/// Writes `text` over `file` (whose old content is `old`, with `st` its
/// status) after keeping the old content beside it. An empty `text` for a
/// file of our own removes it.
Status replaceFile(const fs::path& file, const std::string& old, const struct stat& st,
                   const std::string& text, bool removeWhenEmpty) {
  const mode_t mode = st.st_mode & 07777;
  const fs::path backup =
      file.parent_path() / (file.filename().string() + ".backup-" + fileTimestamp(now()));
  QM_TRY(writeFileAtomically(backup, old, mode));
  if (removeWhenEmpty && text.empty()) {
    std::error_code ec;
    fs::remove(file, ec);
    if (ec)
      return Error(ErrorCode::permissionDenied,
                   "Could not remove " + file.string() + ": " + ec.message());
    return {};
  }
  QM_TRY(writeFileAtomically(file, text, mode));
  // The new file is ours; give it back to whoever owned the old one (which
  // only root can do for another user, and then should).
  if (st.st_uid != geteuid() || st.st_gid != getegid()) {
    if (::chown(file.c_str(), st.st_uid, st.st_gid) != 0 && geteuid() == 0)
      return Error(ErrorCode::permissionDenied,
                   "Could not give " + file.string() + " back to its owner");
  }
  return {};
}

/// Whether the user made the file read-only (no write bit at all, which even
/// root respects here) or cannot write it.
bool readOnly(const fs::path& file, const struct stat& st) {
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(file.c_str(), W_OK) != 0;
}

/// The port of a loopback http URL; nullopt for another host or form.
std::optional<std::uint16_t> loopbackPort(const std::string& url) {
  static const std::regex form(
      R"(^http://(127\.0\.0\.1|localhost|\[::1\])(:([0-9]{1,5}))?(/.*)?$)");
  std::smatch m;
  if (!std::regex_match(url, m, form)) return std::nullopt;
  if (!m[3].matched) return std::uint16_t{80};
  const long port = std::strtol(m[3].str().c_str(), nullptr, 10);
  if (port <= 0 || port > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(port);
}

}  // namespace

std::uint16_t configuredMCPPort() {
  if (const char* port = std::getenv("QUILLMERE_MCP_PORT")) {
    const long value = std::strtol(port, nullptr, 10);
    if (value > 0 && value < 65536) return static_cast<std::uint16_t>(value);
  }
  return kDefaultMCPPort;
}

std::string mcpServerURL(std::uint16_t port) {
  return "http://127.0.0.1:" + std::to_string(port) + "/mcp";
}

std::string mcpClientSnippet(const MCPClientSetup& client, const MCPConnection& connection) {
  const ClientFormat& format = clientFormat(client.id);
  return format.editor->snippet(format.place, clientEntry(client.id, connection));
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

Result<InstallOutcome> installMCPClient(const MCPClientSetup& client,
                                        const MCPConnection& connection) {
  const ClientFormat& format = clientFormat(client.id);
  if (!format.editor) return Error(ErrorCode::invalidArgument, "No client is called " + client.id);
  const OrderedJSON entry = clientEntry(client.id, connection);
  const fs::path file = resolved(client.configFile);
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    std::error_code ec;
    createPrivateFolders(file.parent_path(), ec);
    if (ec)
      return Error(ErrorCode::permissionDenied,
                   "Could not create " + file.parent_path().string() + ": " + ec.message());
    auto text = format.editor->set("", format.place, entry);
    if (!text) return text.error();
    QM_TRY(writeFileAtomically(file, *text, 0600));
    return InstallOutcome::created;
  }
  auto old = readFile(file);
  if (!old) return old.error();
  auto current = format.editor->read(*old, format.place);
  if (!current)
    return refused(client, file, current.error().code, current.error().message, connection);
  if (*current && textual(**current) == textual(entry)) return InstallOutcome::unchanged;
  if (readOnly(file, st))
    return refused(client, file, ErrorCode::permissionDenied, "the file is read-only", connection);
  auto edited = format.editor->set(*old, format.place, entry);
  if (!edited)
    return refused(client, file, edited.error().code, edited.error().message, connection);
  QM_TRY(replaceFile(file, *old, st, *edited, false));
  return InstallOutcome::updated;
}

Result<bool> uninstallMCPClient(const MCPClientSetup& client) {
  const ClientFormat& format = clientFormat(client.id);
  if (!format.editor) return Error(ErrorCode::invalidArgument, "No client is called " + client.id);
  const fs::path file = resolved(client.configFile);
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return false;
  auto old = readFile(file);
  if (!old) return old.error();
  auto current = format.editor->read(*old, format.place);
  if (!current)
    return Error(current.error().code,
                 file.string() + ": " + current.error().message + "; it was not changed.");
  if (!*current) return false;
  if (readOnly(file, st))
    return Error(ErrorCode::permissionDenied,
                 file.string() + ": the file is read-only; it was not changed.");
  auto edited = format.editor->remove(*old, format.place);
  if (!edited)
    return Error(edited.error().code,
                 file.string() + ": " + edited.error().message + "; it was not changed.");
  QM_TRY(replaceFile(file, *old, st, *edited, format.editor == &yamlBlockFileEditor()));
  return true;
}

MCPClientState inspectMCPClient(const MCPClientSetup& client, std::uint16_t port) {
  using Kind = MCPClientState::Kind;
  MCPClientState state;
  const ClientFormat& format = clientFormat(client.id);
  std::error_code ec;
  const fs::path file = resolved(client.configFile);
  if (!format.editor || !fs::exists(file, ec)) return state;
  auto text = readFile(file);
  if (!text) return {Kind::unreadable, std::nullopt, false, text.error().message};
  auto entry = format.editor->read(*text, format.place);
  if (!entry) return {Kind::unreadable, std::nullopt, false, entry.error().message};
  if (!*entry) return {Kind::notInstalled, std::nullopt, false, {}};
  const OrderedJSON& e = **entry;
  state.kind = Kind::pointsElsewhere;
  if (!e.is_object()) return state;
  for (const char* key : {"url", "uri", "serverUrl", "httpUrl"}) {
    const auto it = e.find(key);
    if (it != e.end() && it->is_string()) state.port = loopbackPort(it->get<std::string>());
  }
  const auto args = e.find("args");
  if (!state.port && args != e.end() && args->is_array()) {
    for (const auto& arg : *args)
      if (arg.is_string() &&
          arg.get<std::string>().find("quillmere-mcp-bridge") != std::string::npos)
        state.throughBridge = true;
    if (state.throughBridge) {
      // The bridge forwards to QUILLMERE_MCP_PORT from its environment, else 23816.
      state.port = kDefaultMCPPort;
      const auto env = e.find("env");
      if (env != e.end() && env->is_object() && env->contains("QUILLMERE_MCP_PORT"))
        state.port = static_cast<std::uint16_t>(std::strtol(
            textual((*env)["QUILLMERE_MCP_PORT"]).get<std::string>().c_str(), nullptr, 10));
    }
  }
  if (state.port == port) state.kind = Kind::installed;
  return state;
}

}  // namespace qm::mcp
