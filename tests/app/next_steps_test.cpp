// `quillmere run` in a terminal: after where its files are, what to do next
// while the store has no events or no phone is paired.
#include <gmock/gmock.h>
#include <signal.h>

#include "common/app_paths.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "support/terminal_process.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

class NextStepsTest : public ::testing::Test {
 protected:
  test::TempDir home;
  AppPaths paths = AppPaths::under(home.path());
  std::map<std::string, std::string> env{{"QUILLMERE_HOME", home.path().string()},
                                         {"QUILLMERE_PEER_PORT", "0"}};

  test::CommandResult cli(std::vector<std::string> args) {
    return test::runCommand(QUILLMERE_BINARY, args, env);
  }
  /// What the companion started with `args` in a terminal prints up to its
  /// "Press Ctrl-C to stop."; stopped again with Ctrl-C.
  std::string startUpLines(std::vector<std::string> args) {
    test::TerminalProcess run(QUILLMERE_BINARY, args, env);
    EXPECT_TRUE(run.waitForOutput("Press Ctrl-C to stop.\n")) << run.output();
    const std::string shown = run.output();
    EXPECT_EQ(run.stop(SIGINT, 10s), 0) << run.output();
    return shown.substr(0, shown.find("Press Ctrl-C to stop.\n"));
  }
};

TEST_F(NextStepsTest, ATerminalIsShownWhatToDoUntilThereAreEventsAndAnAssistant) {
  EXPECT_THAT(startUpLines({"run"}), EndsWith("  Control:  " + paths.controlSocket().string() +
                                              "\n"
                                              "Next steps (in another terminal):\n"
                                              "  Pair your phone:         quillmere pair\n"
                                              "  Try it with demo data:   quillmere demo-data\n"
                                              "  Connect an AI assistant: quillmere mcp enable && "
                                              "quillmere mcp install claude\n"));

  // The commands it names are the real ones.
  EXPECT_EQ(cli({"pair", "--help"}).exitCode, 0);
  EXPECT_EQ(cli({"mcp", "install", "claude", "--help"}).exitCode, 0);
  ASSERT_EQ(cli({"demo-data", "-n", "2"}).exitCode, 0);
  ASSERT_EQ(cli({"mcp", "enable", "--yes"}).exitCode, 0);

  // Plain `quillmere` runs the companion too; what is done is no longer shown.
  EXPECT_THAT(startUpLines({}), EndsWith("Next steps (in another terminal):\n"
                                         "  Pair your phone: quillmere pair\n"));
}

TEST_F(NextStepsTest, NothingIsSuggestedWhenNoPersonReadsTheOutput) {
  // As the window or a service starts it: the output is not a terminal.
  test::TempDir outDir;
  test::Subprocess companion(QUILLMERE_BINARY, {"run"}, env, outDir.path());
  ASSERT_TRUE(test::eventually([&] {
    return companion.output().find("Press Ctrl-C") != std::string::npos;
  })) << companion.errors();
  EXPECT_THAT(companion.output(), Not(HasSubstr("Next steps")));
  EXPECT_EQ(companion.stop(SIGTERM, 10s), 0);
}

}  // namespace
}  // namespace qm
