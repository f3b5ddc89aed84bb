// The `quillmere mcp` commands against the real companion and files.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "app/control_client.h"
#include "common/app_paths.h"
#include "common/atomic_file.h"
#include "store/mcp_records.h"
#include "store/store.h"
#include "support/http_client.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::eventually;
using ::testing::HasSubstr;
using ::testing::Not;

bool listening(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

class McpCommandTest : public ::testing::Test {
 protected:
  test::TempDir home;
  test::TempDir outDir;
  AppPaths paths = AppPaths::under(home.path());
  int port = test::freeLoopbackPort();
  std::map<std::string, std::string> env{{"QUILLMERE_HOME", home.path().string()},
                                         {"HOME", home.path().string()},
                                         {"QUILLMERE_MCP_PORT", std::to_string(port)}};

  test::CommandResult cli(std::vector<std::string> args, const std::string& input = "") {
    return test::runCommand(QUILLMERE_BINARY, args, env, input);
  }
};

TEST_F(McpCommandTest, EnableAndDisableStartAndStopTheServerOfTheRunningCompanion) {
  test::Subprocess companion(QUILLMERE_BINARY, {"run"}, env, outDir.path());
  ASSERT_TRUE(eventually([&] { return companionIsRunning(paths.controlSocket()); }));
  EXPECT_FALSE(listening(port)) << "off by default";

  auto asked = cli({"mcp", "enable"}, "1\n");  // [1] Cancel
  EXPECT_THAT(asked.out, HasSubstr("Enable MCP Server?"));
  EXPECT_THAT(asked.out, HasSubstr("No data leaves your local network."));
  EXPECT_FALSE(listening(port));

  ASSERT_EQ(cli({"mcp", "enable", "--yes"}).exitCode, 0);
  ASSERT_TRUE(eventually([&] { return listening(port); }));
  auto status = cli({"mcp", "status"});
  EXPECT_THAT(status.out, HasSubstr("Active on localhost:" + std::to_string(port)));
  EXPECT_THAT(status.out, HasSubstr("Available Tools — Read-Only (12)"));
  EXPECT_THAT(status.out, HasSubstr("Available Tools — Write (4)"));
  EXPECT_THAT(status.out, HasSubstr("Set met/not-met and rating"));

  ASSERT_EQ(cli({"mcp", "disable"}).exitCode, 0);
  ASSERT_TRUE(eventually([&] { return !listening(port); }));
  EXPECT_THAT(cli({"mcp", "status"}).out, Not(HasSubstr("Active on localhost")));
  EXPECT_EQ(companion.stop(SIGTERM, 10s), 0);
}

TEST_F(McpCommandTest, StatusTellsWhenTheServerCannotListenAndItTriesAgain) {
  // Another program holds the port when the server is switched on.
  const int taken = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);  // not the companion's
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(taken, 1), 0);
  test::Subprocess companion(QUILLMERE_BINARY, {"run"}, env, outDir.path());
  ASSERT_TRUE(eventually([&] { return companionIsRunning(paths.controlSocket()); }));
  ASSERT_EQ(cli({"mcp", "enable", "--yes"}).exitCode, 0);
  EXPECT_TRUE(eventually([&] {
    return cli({"status"}).out.find("MCP server: on, but not listening") != std::string::npos;
  }));
  // Once the port is free the server comes up by itself.
  close(taken);
  EXPECT_TRUE(eventually(
      [&] { return cli({"status"}).out.find("MCP server: on\n") != std::string::npos; }, 15s));
  EXPECT_TRUE(listening(port));
  EXPECT_EQ(companion.stop(SIGTERM, 10s), 0);
}

TEST_F(McpCommandTest, RevokeAndRestoreAClient) {
  // A client that connected once (the handshake's record is the endpoint's to test).
  fs::create_directories(paths.config);
  ASSERT_TRUE(writeFileAtomically(paths.defaultsFile(), R"({"storeResetV1":true})", 0600).ok());
  {
    fs::create_directories(paths.applicationSupport);
    auto store = Store::open(paths.storeFile());
    ASSERT_TRUE(store.ok()) << store.error().message;
    ASSERT_TRUE((*store)
                    ->insert(MCPClientAuthorization{Uuid::random(), "Claude", now(), now(),
                                                    "readOnly", std::nullopt})
                    .ok());
  }
  EXPECT_THAT(cli({"mcp", "clients"}).out, HasSubstr("Claude  active, reads only  Last access: "));
  ASSERT_EQ(cli({"mcp", "revoke", "Claude"}).exitCode, 0);
  EXPECT_THAT(cli({"mcp", "clients"}).out, HasSubstr("Claude  revoked"));
  ASSERT_EQ(cli({"mcp", "restore", "Claude"}).exitCode, 0);
  EXPECT_THAT(cli({"mcp", "clients"}).out, HasSubstr("Claude  active"));
  auto unknown = cli({"mcp", "revoke", "Nobody"});
  EXPECT_NE(unknown.exitCode, 0);
  EXPECT_THAT(unknown.err, HasSubstr("Nobody"));
}

TEST_F(McpCommandTest, ConfigShowsEachClientsEntryAndStdioGivesTheBridgeBesideTheProgram) {
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/mcp";
  auto config = cli({"mcp", "config", "gemini"});
  EXPECT_EQ(config.exitCode, 0);
  EXPECT_EQ(config.out,
            "Connect to Gemini CLI  (quillmere mcp install gemini)\n~/.gemini/settings.json\n"
            "Add to your config file:\n  {\n    \"mcpServers\": {\n      \"quillmere\": {\n"
            "        \"httpUrl\": \"" +
                url +
                "\"\n      }\n    }\n  }\n"
                "Restart Gemini CLI. `gemini mcp list` shows whether it reaches Quillmere.\n\n");
  EXPECT_THAT(cli({"mcp", "config", "Codex CLI"}).out,
              HasSubstr("[mcp_servers.quillmere]\n  url = \"" + url + "\""));
  const fs::path bridge =
      fs::path(QUILLMERE_BINARY).parent_path() / "mcp-bridge" / "quillmere-mcp-bridge.mjs";
  ASSERT_TRUE(fs::exists(bridge)) << "the build puts the bridge beside the program";
  auto stdio = cli({"mcp", "config", "cursor", "--stdio"});
  EXPECT_THAT(stdio.out, HasSubstr("\"command\": \"node\""));
  EXPECT_THAT(stdio.out, HasSubstr(nlohmann::json(bridge.string()).dump()));
  auto all = cli({"mcp", "config"}).out;
  for (const char* id : {"claude-code", "cursor", "vscode", "zed", "goose", "lmstudio", "continue",
                         "cline", "windsurf", "codex", "gemini", "claude", "chatgpt"})
    EXPECT_THAT(all, HasSubstr(std::string("(quillmere mcp install ") + id + ")"));
  EXPECT_EQ(cli({"mcp", "config", "notepad"}).exitCode, 2);
}

TEST_F(McpCommandTest, InstallUninstallAndDoctorFollowTheFilesAndTheRunningServer) {
  fs::create_directories(paths.config);
  ASSERT_TRUE(writeFileAtomically(paths.defaultsFile(),
                                  R"({"storeResetV1":true,"mcpServerEnabled":true})", 0600)
                  .ok());
  const fs::path zed = home.path() / ".config/zed/settings.json";
  fs::create_directories(zed.parent_path());
  const std::string mine = "// my settings\n{\n  \"vim_mode\": true\n}\n";
  ASSERT_TRUE(writeFileAtomically(zed, mine, 0600).ok());
  ASSERT_EQ(cli({"mcp", "install", "zed"}).exitCode, 0);
  ASSERT_EQ(cli({"mcp", "install", "claude-code"}).exitCode, 0);
  EXPECT_THAT(cli({"mcp", "install", "zed"}).out, HasSubstr("is already set up"));
  EXPECT_THAT(*readFile(zed), HasSubstr("// my settings\n{\n  \"vim_mode\": true,\n"
                                        "  \"context_servers\": {\n"));

  // Nothing runs yet: the entries are right, the server does not answer.
  auto down = cli({"mcp", "doctor"});
  EXPECT_EQ(down.exitCode, 1);
  EXPECT_THAT(down.out, HasSubstr("  zed  ~/.config/zed/settings.json  installed\n"));
  EXPECT_THAT(down.out, HasSubstr("  cursor  ~/.cursor/mcp.json  no file\n"));
  EXPECT_THAT(down.out, HasSubstr("MCP server: does not answer: nothing answers on 127.0.0.1:"));

  test::Subprocess companion(QUILLMERE_BINARY, {"run"}, env, outDir.path());
  ASSERT_TRUE(eventually([&] { return listening(port); }));
  auto up = cli({"mcp", "doctor"});
  EXPECT_EQ(up.exitCode, 0) << up.out;
  EXPECT_THAT(up.out,
              HasSubstr("MCP server: answers on port " + std::to_string(port) + " (Quillmere"));

  // The companion moves to another port: the entries are listed with the
  // command that updates them, and installing again does.
  const int moved = test::freeLoopbackPort();
  env["QUILLMERE_MCP_PORT"] = std::to_string(moved);
  auto stale = cli({"mcp", "doctor"});
  EXPECT_EQ(stale.exitCode, 1);
  EXPECT_THAT(stale.out, HasSubstr("  claude-code  ~/.claude.json  points elsewhere (port " +
                                   std::to_string(port) +
                                   "); update it with: quillmere mcp install claude-code\n"));
  ASSERT_EQ(cli({"mcp", "install", "claude-code"}).exitCode, 0);
  EXPECT_THAT(cli({"mcp", "doctor"}).out, HasSubstr("  claude-code  ~/.claude.json  installed\n"));
  env["QUILLMERE_MCP_PORT"] = std::to_string(port);

  auto removed = cli({"mcp", "uninstall", "zed"});
  EXPECT_EQ(removed.exitCode, 0);
  EXPECT_THAT(removed.out, HasSubstr("Removed Quillmere from"));
  // Only the entry goes: the servers' object stays, empty, with the comment.
  EXPECT_EQ(*readFile(zed),
            "// my settings\n{\n  \"vim_mode\": true,\n  \"context_servers\": {\n  }\n}\n");
  EXPECT_THAT(cli({"mcp", "uninstall", "zed"}).out, HasSubstr("has no Quillmere entry"));
  EXPECT_EQ(companion.stop(SIGTERM, 10s), 0);
}

TEST_F(McpCommandTest, InstallRefusesAFileThatDoesNotParseAndPrintsTheEntry) {
  const fs::path goose = home.path() / ".config/goose/config.yaml";
  fs::create_directories(goose.parent_path());
  const std::string broken = "extensions:\n  developer: [1, 2\n";
  ASSERT_TRUE(writeFileAtomically(goose, broken, 0600).ok());
  auto refused = cli({"mcp", "install", "goose"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_THAT(refused.err, HasSubstr("not valid YAML at line"));
  EXPECT_THAT(refused.err, HasSubstr("Add this to it by hand:\nextensions:\n  quillmere:\n"));
  EXPECT_EQ(*readFile(goose), broken);
  EXPECT_THAT(cli({"mcp", "doctor"}).out,
              HasSubstr("  goose  ~/.config/goose/config.yaml  unreadable: "));
}

}  // namespace
}  // namespace qm
