// The companion as a user runs it: the real binary, its control socket and signals.
#include <gmock/gmock.h>
#include <signal.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "app/control_client.h"
#include "common/app_paths.h"
#include "common/atomic_file.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::eventually;
using ::testing::HasSubstr;

class CompanionTest : public ::testing::Test {
 protected:
  test::TempDir home;
  test::TempDir outDir;
  AppPaths paths = AppPaths::under(home.path());
  std::map<std::string, std::string> env{{"QUILLMERE_HOME", home.path().string()}};

  std::unique_ptr<test::Subprocess> start() {
    auto p = std::make_unique<test::Subprocess>(QUILLMERE_BINARY, std::vector<std::string>{"run"},
                                                env, outDir.path());
    return p;
  }
  bool answers() { return companionIsRunning(paths.controlSocket()); }
  test::CommandResult cli(std::vector<std::string> args, const std::string& input = "") {
    return test::runCommand(QUILLMERE_BINARY, args, env, input);
  }
  nlohmann::json status() {
    auto s = sendControlRequest(paths.controlSocket(), {{"command", "status"}});
    return s.ok() ? *s : nlohmann::json();
  }
};

TEST_F(CompanionTest, RunsAnswersStatusAndStopsCleanlyOnSigterm) {
  // Files left open to others (by an older build, a loose umask) are tightened.
  ASSERT_EQ(cli({"demo-data", "-n", "2"}).exitCode, 0);
  fs::permissions(paths.applicationSupport, fs::perms::all);
  fs::permissions(paths.storeFile(), fs::perms::all);
  auto companion = start();
  ASSERT_TRUE(eventually([&] { return answers(); })) << companion->errors();
  ASSERT_EQ(
      cli({"pair", "--show-qr", "--png", (paths.applicationSupport / "qr.png").string()}).exitCode,
      0);
  const auto modeOf = [](const fs::path& p) {
    return fs::status(p).permissions() & fs::perms::all;
  };
  for (const auto& folder : {paths.applicationSupport, paths.documents, paths.config, paths.logs})
    EXPECT_EQ(modeOf(folder), fs::perms::owner_all) << folder;
  for (const auto& file :
       {paths.storeFile(), fs::path(paths.storeFile().string() + "-wal"), paths.logFile(),
        paths.keychainFile(), paths.applicationSupport / "qr.png"})
    EXPECT_EQ(modeOf(file), fs::perms::owner_read | fs::perms::owner_write) << file;
  auto s = status();
  EXPECT_EQ(s["pid"], companion->pid());
  EXPECT_EQ(s["store"], paths.storeFile().string());
  EXPECT_THAT(companion->output(), HasSubstr(paths.storeFile().string()));
  EXPECT_THAT(companion->output(), HasSubstr(paths.logFile().string()));

  auto shown = cli({"status"});
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_THAT(shown.out, HasSubstr("Quillmere is running"));

  // A second companion on the same files is refused.
  auto second = cli({"run"});
  EXPECT_NE(second.exitCode, 0);
  EXPECT_THAT(second.err, HasSubstr("already running"));
  EXPECT_TRUE(answers());

  EXPECT_EQ(companion->stop(SIGTERM, 10s), 0);
  EXPECT_FALSE(fs::exists(paths.controlSocket()));
  auto after = cli({"status"});
  EXPECT_EQ(after.exitCode, 3);
  EXPECT_THAT(after.out, HasSubstr("Quillmere is not running."));
}

TEST_F(CompanionTest, SettingsReachTheRunningCompanionAndLanguageChangeRelaunches) {
  auto companion = start();
  ASSERT_TRUE(eventually([&] { return answers(); })) << companion->errors();

  auto set = cli({"settings", "set", "mcpServerEnabled", "true"});
  EXPECT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(status()["mcpServerEnabled"], true);

  auto refused = cli({"settings", "set", "density", "tiny"});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_THAT(refused.err,
              HasSubstr("\"tiny\" is not a value of density; use one of: compact, comfortable"));

  // The companion checks a request itself, whoever sends it.
  const auto raw = [&](nlohmann::json request) {
    request["command"] = "settings.set";
    return sendControlRequest(paths.controlSocket(), request);
  };
  for (const auto& bad : {nlohmann::json{{"key", "density"}, {"value", "tiny"}},
                          nlohmann::json{{"key", "nosuchsetting"}, {"value", "1"}},
                          nlohmann::json{{"key", 5}, {"value", "true"}},
                          nlohmann::json{{"key", "mcpServerEnabled"}, {"value", nullptr}},
                          nlohmann::json{{"key", "mcpServerEnabled"}, {"value", 5}},
                          nlohmann::json{{"value", "true"}}}) {
    EXPECT_FALSE(raw(bad).ok()) << bad.dump();
  }
  for (const auto& timeout : {nlohmann::json("x"), nlohmann::json(-1), nlohmann::json(2.5)}) {
    auto answer = sendControlRequest(paths.controlSocket(),
                                     {{"command", "pairing.start"}, {"timeoutSeconds", timeout}});
    ASSERT_FALSE(answer.ok()) << timeout.dump();
    EXPECT_THAT(answer.error().message, HasSubstr("timeoutSeconds must be a whole number"));
  }
  EXPECT_EQ(status()["running"], true) << "still answering";
  EXPECT_EQ(status()["mcpServerEnabled"], true);
  // Choosing the language already in force restarts nothing.
  auto same = raw({{"key", "appLanguage"}, {"value", "system"}});
  ASSERT_TRUE(same.ok()) << same.error().message;
  EXPECT_EQ((*same)["relaunching"], false);

  // Cancelling at the question changes nothing.
  auto cancelled = cli({"settings", "set", "appLanguage", "fr"}, "2\n");
  EXPECT_THAT(cancelled.out, HasSubstr("Change Language?"));
  EXPECT_THAT(cancelled.out, HasSubstr("Quillmere will restart to switch to Français"));
  EXPECT_EQ(cli({"settings", "get", "appLanguage"}).out, "system\n");

  const auto deviceBefore = status()["deviceID"];
  const auto launchBefore = status()["launchID"];
  auto changed = cli({"settings", "set", "appLanguage", "fr"}, "1\n");
  EXPECT_EQ(changed.exitCode, 0) << changed.err;
  // The command returns once the companion is back, and says so.
  EXPECT_THAT(changed.out, HasSubstr("appLanguage = fr\nRestarting Quillmere…\n"
                                     "Quillmere has restarted in Français.\n"));
  EXPECT_NE(status()["launchID"], launchBefore);
  // The same process started over (re-exec) with the same identity.
  EXPECT_NE(companion->output().find("Quillmere is running."),
            companion->output().rfind("Quillmere is running."));
  EXPECT_EQ(status()["pid"], companion->pid());
  EXPECT_EQ(status()["deviceID"], deviceBefore);
  auto defaults = nlohmann::json::parse(*readFile(paths.defaultsFile()));
  EXPECT_EQ(defaults["AppleLanguages"], nlohmann::json::array({"fr"}));
  EXPECT_EQ(companion->stop(SIGINT, 10s), 0);
}

TEST_F(CompanionTest, ResetThroughTheRunningCompanionStartsItAfresh) {
  auto companion = start();
  ASSERT_TRUE(eventually([&] { return answers(); })) << companion->errors();
  ASSERT_EQ(cli({"settings", "set", "displayName", "Sam"}).exitCode, 0);
  const auto deviceBefore = status()["deviceID"];

  auto declined = cli({"reset"}, "1\n");
  EXPECT_THAT(declined.out, HasSubstr("Reset All Data?"));
  EXPECT_THAT(declined.out, HasSubstr("You will need to re-pair with your iPhone"));
  EXPECT_EQ(cli({"settings", "get", "displayName"}).out, "Sam\n");

  auto reset = cli({"reset", "--yes"});
  EXPECT_EQ(reset.exitCode, 0) << reset.err;
  EXPECT_THAT(reset.out, HasSubstr("All local data was deleted. Restarting Quillmere…\n"
                                   "Quillmere has restarted.\n"));
  EXPECT_NE(status()["deviceID"], deviceBefore) << companion->errors();
  EXPECT_EQ(cli({"settings", "get", "displayName"}).out, "\n");
  EXPECT_EQ(companion->stop(SIGTERM, 10s), 0);
}

TEST_F(CompanionTest, ARestartThatFailsSaysHowToStartQuillmereAgain) {
  auto companion = start();
  ASSERT_TRUE(eventually([&] { return answers(); })) << companion->errors();
  // A store replaced while the companion ran: the relaunch cannot open it.
  ASSERT_TRUE(writeFileAtomically(paths.storeFile(), "not a store", 0600).ok());

  auto changed = cli({"settings", "set", "appLanguage", "en", "--yes"});
  EXPECT_EQ(changed.exitCode, 1);
  EXPECT_THAT(changed.out, HasSubstr("Restarting Quillmere…\n"));
  EXPECT_EQ(changed.err, "Quillmere stopped while restarting (its log: " +
                             paths.logFile().string() + "). Start it again with: quillmere run\n");
  EXPECT_EQ(companion->wait(10s), 1);
  EXPECT_THAT(companion->errors(), HasSubstr("file is not a database"));
}

TEST_F(CompanionTest, ADamagedStoreStopsStartUpWithTheMessageAndLeavesTheFile) {
  fs::create_directories(paths.applicationSupport);
  ASSERT_TRUE(writeFileAtomically(paths.storeFile(), "not a store", 0644).ok());
  // The settings already record the one-time wipe, so the file is looked at as is.
  fs::create_directories(paths.config);
  ASSERT_TRUE(writeFileAtomically(paths.defaultsFile(), R"({"storeResetV1":true})", 0600).ok());

  auto run = cli({"run"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, HasSubstr("ModelContainer failed: "));
  EXPECT_THAT(run.err, HasSubstr("Attempting recovery..."));
  EXPECT_THAT(run.err, HasSubstr("ModelContainer creation failed: file is not a database"));
  EXPECT_EQ(*readFile(paths.storeFile()), "not a store");
}

TEST_F(CompanionTest, FilesItMayNotWriteStopStartUpNamingThemAndWhatToDo) {
  // A store made with sudo, in a folder of the user's: the user may read it,
  // not write it. Only root can make files of another user.
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to another user";
  ASSERT_EQ(cli({"demo-data", "-n", "3"}).exitCode, 0);
  constexpr uid_t kNobody = 65534;
  for (const auto& entry : fs::recursive_directory_iterator(home.path()))
    ASSERT_EQ(::chown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
  ASSERT_EQ(::chown(home.path().c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chown(paths.storeFile().c_str(), 0, 0), 0);
  fs::permissions(paths.storeFile(), fs::perms(0644));
  const auto runAsNobody = [&] {
    return test::runCommand(
        "/usr/bin/setpriv",
        {"--reuid=65534", "--regid=65534", "--clear-groups", QUILLMERE_BINARY, "run"}, env);
  };

  auto run = runAsNobody();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, HasSubstr("Cannot write the file " + paths.storeFile().string() +
                                 ": Permission denied. Make it yours and writable"));
  EXPECT_THAT(run.err, HasSubstr("QUILLMERE_HOME"));

  // The same for a folder it may not write in.
  ASSERT_EQ(::chown(paths.storeFile().c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chown(paths.applicationSupport.c_str(), 0, 0), 0);
  run = runAsNobody();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err,
              HasSubstr("Cannot write in the folder " + paths.applicationSupport.string() + ":"));
  EXPECT_FALSE(answers());
}

TEST_F(CompanionTest, OfflineCommandsWorkOnTheFilesDirectly) {
  // Nothing runs that would restart: no question, and the next start reads it.
  EXPECT_EQ(cli({"settings", "set", "appLanguage", "en"}).out, "appLanguage = en\n");
  EXPECT_EQ(cli({"demo-data", "-n", "1"}).exitCode, 0);
  // Before the companion ever ran, what the commands made is this user's alone.
  for (const fs::path& folder : {paths.config, paths.applicationSupport})
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all) << folder;
  auto defaults = nlohmann::json::parse(*readFile(paths.defaultsFile()));
  EXPECT_EQ(defaults["AppleLanguages"], nlohmann::json::array({"en"}));
  auto list = cli({"settings", "list"});
  EXPECT_THAT(list.out, HasSubstr("appLanguage = en\n"));
  EXPECT_THAT(list.out, HasSubstr("density = comfortable  (default)"));

  auto reset = cli({"reset", "--yes"});
  EXPECT_EQ(reset.exitCode, 0);
  EXPECT_FALSE(fs::exists(paths.defaultsFile()));
  EXPECT_EQ(cli({"--help"}).exitCode, 0);
  EXPECT_THAT(cli({"settings", "set", "--help"}).out, HasSubstr("--yes"));
}

}  // namespace
}  // namespace qm
