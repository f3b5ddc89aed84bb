// The window as a person starts it: `quillmere-desktop` with no companion
// running starts one of its own, and that companion keeps syncing after the
// window is gone, even when the window dies.

#include <gmock/gmock.h>
#include <signal.h>

#include <nlohmann/json.hpp>

#include "app/control_client.h"
#include "common/app_paths.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm::test {
namespace {

using namespace std::chrono_literals;

TEST(DesktopProcess, StartsTheCompanionWhichOutlivesACrashedWindow) {
  TempDir home;
  TempDir outDir;
  const AppPaths paths = AppPaths::under(home.path());
  const std::map<std::string, std::string> env{{"QUILLMERE_HOME", home.path().string()},
                                               {"QUILLMERE_PEER_PORT", "0"},
                                               {"QT_QPA_PLATFORM", "offscreen"}};
  ASSERT_FALSE(companionIsRunning(paths.controlSocket()));

  Subprocess window(DESKTOP_BINARY, {}, env, outDir.path());
  const auto status = [&] {
    auto s = sendControlRequest(paths.controlSocket(), {{"command", "status"}});
    return s.ok() ? *s : nlohmann::json::object();
  };
  // The window is up once it follows the companion's changes.
  ASSERT_TRUE(eventually([&] { return status().value("feedSubscribers", 0) == 1; }, 20s))
      << window.output() << window.errors();
  const long companionPid = status()["pid"].get<long>();
  EXPECT_NE(companionPid, static_cast<long>(window.pid()));

  window.stop(SIGKILL, 5s);
  EXPECT_TRUE(eventually([&] { return status().value("feedSubscribers", -1) == 0; }));
  EXPECT_EQ(status()["pid"].get<long>(), companionPid) << "the same companion still answers";

  ::kill(static_cast<pid_t>(companionPid), SIGTERM);
  EXPECT_TRUE(eventually([&] { return !companionIsRunning(paths.controlSocket()); }));
}

}  // namespace
}  // namespace qm::test
