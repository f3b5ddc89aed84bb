// `quillmere service` with a stand-in systemctl on PATH that records how it was
// called, so the tests never reach the real user manager.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::fileText;
using ::testing::HasSubstr;
using ::testing::Not;

class ServiceCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "bin");
    fs::create_directories(dir_ / "empty");
  }

  /// A systemctl that logs its arguments and answers `script` (shell code).
  void fakeSystemctl(const std::string& script) {
    const auto path = dir_ / "bin" / "systemctl";
    std::ofstream(path) << "#!/bin/sh\necho \"$*\" >> '" << log().string() << "'\n" << script;
    fs::permissions(path, fs::perms::owner_all);
  }

  test::CommandResult service(const std::string& action, const std::string& path,
                              const std::string& home = "",
                              const fs::path& program = QUILLMERE_BINARY) {
    return test::runCommand(program, {"service", action},
                            {{"XDG_CONFIG_HOME", (dir_ / "config").string()},
                             {"PATH", path},
                             {"QUILLMERE_HOME", home}});
  }

  fs::path unit() const { return dir_ / "config/systemd/user/quillmere.service"; }
  fs::path log() const { return dir_ / "systemctl.log"; }
  std::string fakePath() const { return (dir_ / "bin").string() + ":/usr/bin:/bin"; }

  test::TempDir dir_;
};

TEST_F(ServiceCommandTest, InstallEnablesTheUnitAndUninstallRemovesIt) {
  fakeSystemctl("case \"$*\" in *is-active*) echo active;; esac\n");
  const auto home = (dir_ / "my data 100%").string();

  auto installed = service("install", fakePath(), home);
  ASSERT_EQ(installed.exitCode, 0) << installed.err;
  const auto program = fs::canonical(QUILLMERE_BINARY).string();
  EXPECT_EQ(fileText(unit()),
            "[Unit]\n"
            "Description=Quillmere companion: sync with the phone and MCP for AI assistants\n"
            "\n"
            "[Service]\n"
            "Type=simple\n"
            "ExecStart=\"" +
                program +
                "\" run\n"
                "Environment=\"QUILLMERE_HOME=" +
                (dir_ / "my data 100%%").string() +
                "\"\n"
                "Restart=on-failure\n"
                "RestartSec=5\n"
                "\n"
                "[Install]\n"
                "WantedBy=default.target\n");
  EXPECT_EQ(fileText(log()), "--user daemon-reload\n--user enable --now quillmere.service\n");

  auto status = service("status", fakePath());
  EXPECT_EQ(status.exitCode, 0);
  EXPECT_THAT(status.out, HasSubstr("Service: active"));
  EXPECT_THAT(status.out, Not(HasSubstr("not installed")));

  auto removed = service("uninstall", fakePath());
  ASSERT_EQ(removed.exitCode, 0) << removed.err;
  EXPECT_FALSE(fs::exists(unit()));
  EXPECT_THAT(fileText(log()), HasSubstr("--user disable --now quillmere.service\n"));
  EXPECT_THAT(service("status", fakePath()).out, HasSubstr("(not installed)"));
}

TEST_F(ServiceCommandTest, FailureToStartIsAnErrorNotASuccess) {
  fakeSystemctl(
      "case \"$*\" in *enable*) echo 'Failed to enable unit: Access denied' >&2; exit 1;; "
      "esac\n");
  auto installed = service("install", fakePath());
  EXPECT_EQ(installed.exitCode, 1);
  EXPECT_EQ(installed.err,
            "Cannot start quillmere.service: Failed to enable unit: Access denied\n");
}

TEST_F(ServiceCommandTest, WithoutSystemctlTheFileIsWrittenAndTheCommandsShown) {
  auto installed = service("install", (dir_ / "empty").string());
  ASSERT_EQ(installed.exitCode, 0) << installed.err;
  EXPECT_THAT(fileText(unit()), Not(HasSubstr("Environment=")));
  EXPECT_THAT(installed.out, HasSubstr("  systemctl --user daemon-reload\n"
                                       "  systemctl --user enable --now quillmere.service\n"));

  auto removed = service("uninstall", (dir_ / "empty").string());
  EXPECT_EQ(removed.exitCode, 0);
  EXPECT_FALSE(fs::exists(unit()));
}

// Installed from the package, the program has a unit beside it
// (<prefix>/lib/systemd/user): `service` enables and disables that one rather
// than writing a second copy, unless the data lives elsewhere (QUILLMERE_HOME).
TEST_F(ServiceCommandTest, APackagedUnitIsEnabledRatherThanCopied) {
  fakeSystemctl("case \"$*\" in *is-active*) echo active;; esac\n");
  const fs::path prefix = dir_ / "prefix";
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "lib/systemd/user");
  const fs::path program = prefix / "bin/quillmere";
  fs::copy_file(QUILLMERE_BINARY, program);
  const fs::path packaged = prefix / "lib/systemd/user/quillmere.service";
  std::ofstream(packaged) << "[Service]\nExecStart=/usr/bin/quillmere run\n";

  auto installed = service("install", fakePath(), "", program);
  ASSERT_EQ(installed.exitCode, 0) << installed.err;
  EXPECT_THAT(installed.out, HasSubstr("Using the unit of the package: " + packaged.string()));
  EXPECT_FALSE(fs::exists(unit()));
  EXPECT_THAT(fileText(log()), HasSubstr("--user enable --now quillmere.service"));

  auto status = service("status", fakePath(), "", program);
  EXPECT_THAT(status.out, HasSubstr("Unit file: " + packaged.string() + " (from the package)"));
  EXPECT_THAT(status.out, HasSubstr("Service: active"));

  auto removed = service("uninstall", fakePath(), "", program);
  ASSERT_EQ(removed.exitCode, 0) << removed.err;
  EXPECT_THAT(removed.out, HasSubstr("its unit stays with the package"));
  EXPECT_THAT(fileText(log()), HasSubstr("--user disable --now quillmere.service"));
  EXPECT_TRUE(fs::exists(packaged));

  // Data kept elsewhere needs a unit of its own that says where.
  const auto home = (dir_ / "elsewhere").string();
  auto ownUnit = service("install", fakePath(), home, program);
  ASSERT_EQ(ownUnit.exitCode, 0) << ownUnit.err;
  EXPECT_THAT(fileText(unit()), HasSubstr("Environment=\"QUILLMERE_HOME=" + home + "\""));
}

}  // namespace
}  // namespace qm
