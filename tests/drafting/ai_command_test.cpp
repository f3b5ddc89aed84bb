// `quillmere ai login|status|logout` run as a program on a fresh home folder.
#include <gmock/gmock.h>

#include <fstream>

#include "common/app_paths.h"
#include "drafting/mac_proxy_service.h"
#include "settings/app_settings.h"
#include "settings/keychain_store.h"
#include "settings/user_defaults.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kToken = "qm-proxy-9d2c41f7";

class AiCommandTest : public ::testing::Test {
 protected:
  test::CommandResult cli(std::vector<std::string> args, const std::string& input = "") {
    return test::runCommand(QUILLMERE_BINARY, args, env_, input);
  }
  std::optional<std::string> storedToken() {
    FileKeychainBackend backend(paths_.keychainFile());
    return KeychainStore(backend).load(kAIEndpointTokenKey);
  }

  test::TempDir home_;
  AppPaths paths_ = AppPaths::under(home_.path());
  std::map<std::string, std::string> env_{{"QUILLMERE_HOME", home_.path().string()},
                                          {"HOME", home_.path().string()}};
};

TEST_F(AiCommandTest, LoginStoresTheTokenFromStandardInputAndNoOutputShowsIt) {
  auto login = cli({"ai", "login", "--endpoint", "https://proxy.example.com/", "--kind", "proxy"},
                   std::string(kToken) + "\n");
  ASSERT_EQ(login.exitCode, 0) << login.err;
  EXPECT_EQ(storedToken(), kToken);
  UserDefaults defaults(paths_.defaultsFile());
  EXPECT_EQ(AppSettings(defaults).aiEndpoint(), "https://proxy.example.com/");

  auto status = cli({"ai", "status"});
  EXPECT_THAT(status.out, HasSubstr("endpoint: https://proxy.example.com/"));
  EXPECT_THAT(status.out, HasSubstr("credential: stored"));
  EXPECT_THAT(status.out, HasSubstr("usable: yes"));
  for (const auto& shown : {login.out, login.err, status.out, status.err}) {
    EXPECT_THAT(shown, Not(HasSubstr(kToken)));
  }

  ASSERT_EQ(cli({"ai", "logout"}).exitCode, 0);
  EXPECT_EQ(storedToken(), std::nullopt);
  status = cli({"ai", "status"});
  EXPECT_THAT(status.out, HasSubstr("credential: none"));
  EXPECT_THAT(status.out, HasSubstr("usable: no, the AI proxy needs a token"));
}

TEST_F(AiCommandTest, ProxyNeedsATokenAndPlainHttpOnlyReachesThisComputer) {
  auto empty = cli({"ai", "login", "--endpoint", "https://proxy.example.com", "--kind", "proxy"});
  EXPECT_EQ(empty.exitCode, 2);
  EXPECT_THAT(empty.err, HasSubstr("The AI proxy needs a token"));

  auto remote = cli(
      {"ai", "login", "--endpoint", "http://192.168.1.20:11434/v1", "--kind", "chatCompletions"});
  EXPECT_EQ(remote.exitCode, 2);
  EXPECT_THAT(remote.err, HasSubstr("plain http://"));
  EXPECT_THAT(cli({"ai", "status"}).out, HasSubstr("endpoint: (none)"));

  // A local model server with no token: one stored earlier is removed.
  std::ofstream(home_ / "token.txt") << kToken << "\nsecond line\n";
  ASSERT_EQ(cli({"ai", "login", "--endpoint", "https://proxy.example.com", "--token-file",
                 (home_ / "token.txt").string()})
                .exitCode,
            0);
  EXPECT_EQ(storedToken(), kToken);
  auto local = cli({"ai", "login", "--kind", "chatCompletions", "--endpoint",
                    "http://127.0.0.1:11434/v1", "--model", "llama3.1"});
  ASSERT_EQ(local.exitCode, 0) << local.err;
  EXPECT_EQ(storedToken(), std::nullopt);
  EXPECT_THAT(local.out, HasSubstr("model: llama3.1"));
  EXPECT_THAT(local.out, HasSubstr("usable: yes"));
}

}  // namespace
}  // namespace qm
