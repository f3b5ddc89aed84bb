// Snippets for AI clients, the bridge's location and merging into client files.
#include "mcp/mcp_client_setup.h"

#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "support/temp_dir.h"

namespace qm::mcp {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

TEST(MCPConfigSnippet, StaysValidJSONForAnyPath) {
  const std::string awkward = "/home/o\"brien/back\\slash/ünï/bridge.mjs";
  EXPECT_EQ(json::parse(mcpConfigSnippet(awkward), nullptr, false),
            (json{{"mcpServers", {{"quillmere", {{"command", "node"}, {"args", {awkward}}}}}}}));
}

TEST(MCPClients, KeepTheirConfigFilesInTheGivenHome) {
  std::vector<fs::path> files;
  for (const auto& client : mcpClients("/home/ada")) files.push_back(client.configFile);
  EXPECT_EQ(files, (std::vector<fs::path>{"/home/ada/.config/Claude/claude_desktop_config.json",
                                          "/home/ada/.chatgpt/mcp.json",
                                          "/home/ada/.gemini/settings.json"}));
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
  test::TempDir dir;
  fs::path file = dir / "cfg/claude_desktop_config.json";
  std::vector<std::string> backups() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(file.parent_path()))
      if (e.path().filename().string().find(".backup-") != std::string::npos)
        names.push_back(e.path().filename().string());
    return names;
  }
  fs::perms permissions() { return fs::status(file).permissions() & fs::perms::all; }
};

TEST_F(InstallMCPClient, CreatesThenLeavesAnUpToDateFileAlone) {
  auto created = installMCPClient(file, "/b/bridge.mjs");
  ASSERT_TRUE(created.ok()) << created.error().message;
  EXPECT_EQ(*created, InstallOutcome::created);
  EXPECT_EQ(json::parse(*readFile(file))["mcpServers"]["quillmere"],
            (json{{"command", "node"}, {"args", {"/b/bridge.mjs"}}}));
  EXPECT_EQ(permissions(), fs::perms::owner_read | fs::perms::owner_write);

  auto again = installMCPClient(file, "/b/bridge.mjs");
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(*again, InstallOutcome::unchanged);
  EXPECT_TRUE(backups().empty());
}

TEST_F(InstallMCPClient, MergesIntoAnExistingFileAndKeepsABackup) {
  fs::create_directories(file.parent_path());
  const std::string original =
      R"({"theme":"dark","mcpServers":{"other":{"command":"x"},"quillmere":{"command":"old"}}})";
  ASSERT_TRUE(writeFileAtomically(file, original, 0640).ok());

  auto updated = installMCPClient(file, "/b/bridge.mjs");
  ASSERT_TRUE(updated.ok()) << updated.error().message;
  EXPECT_EQ(*updated, InstallOutcome::updated);
  auto doc = json::parse(*readFile(file));
  EXPECT_EQ(doc["theme"], "dark");
  EXPECT_EQ(doc["mcpServers"]["other"]["command"], "x");
  EXPECT_EQ(doc["mcpServers"]["quillmere"]["args"][0], "/b/bridge.mjs");
  EXPECT_EQ(permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  auto kept = backups();
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(*readFile(file.parent_path() / kept[0]), original);
}

TEST_F(InstallMCPClient, RefusesAFileThatIsNotAJSONObject) {
  fs::create_directories(file.parent_path());
  for (std::string bad : {"{ \"mcpServers\": ", "[1,2]", R"({"mcpServers":"nope"})"}) {
    ASSERT_TRUE(writeFileAtomically(file, bad, 0600).ok());
    auto refused = installMCPClient(file, "/b/bridge.mjs");
    ASSERT_FALSE(refused.ok()) << bad;
    EXPECT_THAT(refused.error().message, ::testing::HasSubstr("was not changed"));
    EXPECT_EQ(*readFile(file), bad);
  }
  EXPECT_TRUE(backups().empty());
}

}  // namespace
}  // namespace qm::mcp
