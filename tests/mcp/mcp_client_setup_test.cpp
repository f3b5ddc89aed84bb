// The client table, the bridge's location, and installing into, inspecting
// and uninstalling from real files in a temporary home folder.
#include "mcp/mcp_client_setup.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "mcp/mcp_probe.h"
#include "support/temp_dir.h"

namespace qm::mcp {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Kind = MCPClientState::Kind;

MCPClientSetup client(const fs::path& home, const std::string& id) {
  for (auto& c : mcpClients(home))
    if (c.id == id) return c;
  ADD_FAILURE() << "no client " << id;
  return {};
}

TEST(MCPClients, KeepTheirFilesInTheHomeFolderAndCodexFollowsCodexHome) {
  ::unsetenv("CODEX_HOME");
  std::map<std::string, std::string> files;
  for (const auto& c : mcpClients("/home/ada")) files[c.id] = c.configFile.string();
  EXPECT_EQ(files.size(), 13u);
  EXPECT_EQ(files["claude-code"], "/home/ada/.claude.json");
  EXPECT_EQ(files["zed"], "/home/ada/.config/zed/settings.json");
  EXPECT_EQ(files["goose"], "/home/ada/.config/goose/config.yaml");
  EXPECT_EQ(files["continue"], "/home/ada/.continue/mcpServers/quillmere.yaml");
  EXPECT_EQ(files["codex"], "/home/ada/.codex/config.toml");
  ::setenv("CODEX_HOME", "/srv/codex", 1);
  EXPECT_EQ(client("/home/ada", "codex").configFile, "/srv/codex/config.toml");
  ::unsetenv("CODEX_HOME");
}

TEST(MCPClientSnippet, GivesEachClientsOwnShapeAndTheBridgeOnRequest) {
  const MCPConnection http{24001, "/opt/b/quillmere-mcp-bridge.mjs", false};
  const auto snippet = [&](const std::string& id, const MCPConnection& c) {
    return mcpClientSnippet(client("/h", id), c);
  };
  const auto parsed = [&](const std::string& id) {
    return nlohmann::json::parse(snippet(id, http));
  };
  EXPECT_EQ(parsed("gemini")["mcpServers"]["quillmere"],
            (nlohmann::json{{"httpUrl", "http://127.0.0.1:24001/mcp"}}));
  EXPECT_EQ(parsed("windsurf")["mcpServers"]["quillmere"],
            (nlohmann::json{{"serverUrl", "http://127.0.0.1:24001/mcp"}}));
  EXPECT_EQ(parsed("vscode")["servers"]["quillmere"]["type"], "http");
  EXPECT_EQ(parsed("cline")["mcpServers"]["quillmere"]["type"], "streamableHttp");
  EXPECT_EQ(snippet("codex", http),
            "[mcp_servers.quillmere]\nurl = \"http://127.0.0.1:24001/mcp\"");
  EXPECT_THAT(snippet("goose", http),
              HasSubstr("extensions:\n  quillmere:\n    type: streamable_http"));
  EXPECT_THAT(snippet("continue", http), HasSubstr("schema: v1\nmcpServers:\n  - name: quillmere\n"
                                                   "    type: streamable-http\n"));
  // The desktop chat apps only start commands; every other client may too.
  EXPECT_FALSE(client("/h", "claude").takesHTTP);
  EXPECT_EQ(parsed("claude")["mcpServers"]["quillmere"],
            (nlohmann::json{{"command", "node"}, {"args", {"/opt/b/quillmere-mcp-bridge.mjs"}}}));
  const MCPConnection stdio{24001, "/opt/b/o\"k.mjs", true};
  EXPECT_EQ(nlohmann::json::parse(snippet("cursor", stdio))["mcpServers"]["quillmere"]["args"][0],
            "/opt/b/o\"k.mjs");
  EXPECT_THAT(snippet("codex", stdio),
              HasSubstr("command = \"node\"\nargs = [\"/opt/b/o\\\"k.mjs\"]"));
}

TEST(BridgeScript, IsFoundInTheInstalledLayoutElseBesideTheProgram) {
  test::TempDir dir;
  const auto installed = dir / "share/quillmere/mcp-bridge/quillmere-mcp-bridge.mjs";
  EXPECT_EQ(findBridgeScript(dir / "bin/quillmere"),
            dir / "bin/mcp-bridge/quillmere-mcp-bridge.mjs")
      << "nothing installed yet";
  fs::create_directories(installed.parent_path());
  ASSERT_TRUE(writeFileAtomically(installed, "//", 0644).ok());
  EXPECT_EQ(findBridgeScript(dir / "bin/quillmere"), installed);
  EXPECT_EQ(findBridgeScript(dir / "build/quillmere"),
            dir / "build/mcp-bridge/quillmere-mcp-bridge.mjs");
}

class InstallMCPClient : public ::testing::Test {
 protected:
  test::TempDir home;
  MCPConnection here{23816, "/b/quillmere-mcp-bridge.mjs", false};

  std::vector<fs::path> backups(const fs::path& file) {
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(file.parent_path()))
      if (e.path().filename().string().find(".backup-") != std::string::npos)
        found.push_back(e.path());
    return found;
  }
  void write(const fs::path& file, const std::string& text, mode_t mode = 0600) {
    fs::create_directories(file.parent_path());
    ASSERT_TRUE(writeFileAtomically(file, text, mode).ok());
  }
};

TEST_F(InstallMCPClient, EveryClientGoesFromNoFileToInstalledToElsewhereAndBack) {
  for (const auto& c : mcpClients(home.path())) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(inspectMCPClient(c, 23816).kind, Kind::noFile);
    auto created = installMCPClient(c, here);
    ASSERT_TRUE(created.ok()) << created.error().message;
    EXPECT_EQ(*created, InstallOutcome::created);
    EXPECT_EQ(fs::status(c.configFile).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    const auto state = inspectMCPClient(c, 23816);
    EXPECT_EQ(state.kind, Kind::installed);
    EXPECT_EQ(state.throughBridge, !c.takesHTTP);
    EXPECT_EQ(*installMCPClient(c, here), InstallOutcome::unchanged);

    // The companion moved to another port: the entry now points elsewhere
    // until installed again.
    const auto moved = inspectMCPClient(c, 24000);
    EXPECT_EQ(moved.kind, Kind::pointsElsewhere);
    EXPECT_EQ(moved.port, std::optional<std::uint16_t>(23816));
    if (c.takesHTTP) {
      auto updated = installMCPClient(c, {24000, here.bridge, false});
      ASSERT_TRUE(updated.ok()) << updated.error().message;
      EXPECT_EQ(*updated, InstallOutcome::updated);
      EXPECT_EQ(inspectMCPClient(c, 24000).kind, Kind::installed);
      EXPECT_EQ(backups(c.configFile).size(), 1u);
    }

    auto removed = uninstallMCPClient(c);
    ASSERT_TRUE(removed.ok()) << removed.error().message;
    EXPECT_TRUE(*removed);
    const Kind after = inspectMCPClient(c, 24000).kind;
    EXPECT_EQ(after, c.id == "continue" ? Kind::noFile : Kind::notInstalled);
    EXPECT_FALSE(*uninstallMCPClient(c)) << "nothing left to remove";
  }
}

TEST_F(InstallMCPClient, MergesIntoAnExistingFileKeepingItsModeAndABackup) {
  const auto gemini = client(home.path(), "gemini");
  const std::string original =
      "{\n  \"theme\": \"GitHub\",\n  \"mcpServers\": {\n    \"other\": {\"command\": \"x\"}\n  "
      "}\n}\n";
  write(gemini.configFile, original, 0640);
  auto updated = installMCPClient(gemini, here);
  ASSERT_TRUE(updated.ok()) << updated.error().message;
  EXPECT_EQ(*updated, InstallOutcome::updated);
  const auto doc = nlohmann::ordered_json::parse(*readFile(gemini.configFile));
  EXPECT_EQ(
      doc.dump(),
      R"({"theme":"GitHub","mcpServers":{"other":{"command":"x"},"quillmere":{"httpUrl":"http://127.0.0.1:23816/mcp"}}})");
  EXPECT_EQ(fs::status(gemini.configFile).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const auto kept = backups(gemini.configFile);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(*readFile(kept[0]), original);
}

TEST_F(InstallMCPClient, WritesThroughALinkToTheFileItNames) {
  const auto cursor = client(home.path(), "cursor");
  const fs::path real = home / "dotfiles/cursor-mcp.json";
  write(real, "{}\n");
  fs::create_directories(cursor.configFile.parent_path());
  fs::create_symlink(real, cursor.configFile);
  ASSERT_TRUE(installMCPClient(cursor, here).ok());
  EXPECT_TRUE(fs::is_symlink(cursor.configFile));
  EXPECT_THAT(*readFile(real), HasSubstr("\"url\": \"http://127.0.0.1:23816/mcp\""));
}

TEST_F(InstallMCPClient, LeavesUnreadableAndReadOnlyFilesAloneAndSaysWhatToAddByHand) {
  const auto codex = client(home.path(), "codex");
  const std::string broken = "model = \"o3\"\n[mcp_servers.other\nurl = 1\n";
  write(codex.configFile, broken);
  auto refused = installMCPClient(codex, here);
  ASSERT_FALSE(refused.ok());
  EXPECT_THAT(refused.error().message, HasSubstr("not valid TOML at line 2"));
  EXPECT_THAT(refused.error().message,
              HasSubstr("it was not changed. Add this to it by hand:\n[mcp_servers.quillmere]\n"));
  EXPECT_EQ(*readFile(codex.configFile), broken);
  const auto state = inspectMCPClient(codex, 23816);
  EXPECT_EQ(state.kind, Kind::unreadable);
  EXPECT_THAT(state.detail, HasSubstr("line 2"));
  EXPECT_FALSE(uninstallMCPClient(codex).ok());

  const auto zed = client(home.path(), "zed");
  const std::string settings = "// mine\n{ \"vim_mode\": true }\n";
  write(zed.configFile, settings, 0444);
  auto readOnly = installMCPClient(zed, here);
  ASSERT_FALSE(readOnly.ok());
  EXPECT_THAT(readOnly.error().message, HasSubstr("read-only"));
  EXPECT_THAT(readOnly.error().message, HasSubstr("\"context_servers\""));
  EXPECT_EQ(*readFile(zed.configFile), settings);
  EXPECT_TRUE(backups(zed.configFile).empty());
}

TEST(MCPProbe, SaysWhenNothingOrSomethingElseAnswers) {
  // A port nobody listens on: bind one, take its number, close it.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  const auto port = ntohs(addr.sin_port);
  auto nothing = probeMCPServer(port);
  ASSERT_FALSE(nothing.ok());
  EXPECT_THAT(nothing.error().message, HasSubstr("nothing answers on 127.0.0.1:"));

  // A listener that never answers: the probe gives up in time.
  ASSERT_EQ(::listen(fd, 1), 0);
  auto silent = probeMCPServer(port, std::chrono::milliseconds(200));
  ASSERT_FALSE(silent.ok());
  EXPECT_EQ(silent.error().code, ErrorCode::deadlineExceeded);
  ::close(fd);
}

}  // namespace
}  // namespace qm::mcp
