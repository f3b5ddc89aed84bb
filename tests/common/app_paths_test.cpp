#include "common/app_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// Sets environment variables for one test and puts the old values back after.
class ScopedEnvironment {
 public:
  ScopedEnvironment() {
    for (const char* name : {"QUILLMERE_HOME", "HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME",
                             "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name, value->c_str(), 1);
      } else {
        ::unsetenv(name);
      }
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  void set(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(AppPaths, FollowAbsoluteXdgVariablesAndQuillmereHome) {
  struct Case {
    std::vector<std::pair<const char*, std::string>> env;
    // application support, config, logs, runtime
    std::vector<fs::path> expected;
  };
  const Case cases[] = {
      {{},
       {"/home/ada/.local/share/quillmere", "/home/ada/.config/quillmere",
        "/home/ada/.local/state/quillmere", "/home/ada/.local/share/quillmere/run"}},
      {{{"XDG_DATA_HOME", "/xdg/data"},
        {"XDG_CONFIG_HOME", "/xdg/config"},
        {"XDG_STATE_HOME", "/xdg/state"},
        {"XDG_RUNTIME_DIR", "/run/user/1000"}},
       {"/xdg/data/quillmere", "/xdg/config/quillmere", "/xdg/state/quillmere",
        "/run/user/1000/quillmere"}},
      // Relative or empty values are ignored.
      {{{"QUILLMERE_HOME", ""},
        {"XDG_DATA_HOME", "relative/data"},
        {"XDG_CONFIG_HOME", ""},
        {"XDG_STATE_HOME", "state"},
        {"XDG_RUNTIME_DIR", "run"}},
       {"/home/ada/.local/share/quillmere", "/home/ada/.config/quillmere",
        "/home/ada/.local/state/quillmere", "/home/ada/.local/share/quillmere/run"}},
      // QUILLMERE_HOME relocates everything.
      {{{"XDG_DATA_HOME", "/xdg/data"},
        {"XDG_RUNTIME_DIR", "/run/user/1000"},
        {"QUILLMERE_HOME", "/srv/qm"}},
       {"/srv/qm/data", "/srv/qm/config", "/srv/qm/state", "/srv/qm/run"}},
  };
  for (const auto& c : cases) {
    ScopedEnvironment env;
    env.set("HOME", "/home/ada");
    for (const auto& [name, value] : c.env) env.set(name, value);
    const AppPaths paths = AppPaths::fromEnvironment();
    EXPECT_EQ(
        (std::vector<fs::path>{paths.applicationSupport, paths.config, paths.logs, paths.runtime}),
        c.expected);
    EXPECT_EQ(paths.documents, paths.applicationSupport / "documents");
  }
  ScopedEnvironment env;
  env.set("XDG_CONFIG_HOME", "/xdg/config");
  env.set("XDG_STATE_HOME", "/xdg/state");
  env.set("XDG_RUNTIME_DIR", "/run/user/1000");
  const AppPaths paths = AppPaths::fromEnvironment();
  EXPECT_EQ(paths.defaultsFile(), fs::path("/xdg/config/quillmere/defaults.json"));
  EXPECT_EQ(paths.logFile(), fs::path("/xdg/state/quillmere/quillmere.log"));
  EXPECT_EQ(paths.controlSocket(), fs::path("/run/user/1000/quillmere/control.sock"));
}

TEST(AppPaths, FallsBackToThePasswordEntryWithoutHome) {
  ScopedEnvironment env;
  const passwd* entry = ::getpwuid(::getuid());
  if (entry == nullptr || entry->pw_dir == nullptr) GTEST_SKIP() << "no password entry";
  const fs::path home = entry->pw_dir;
  const AppPaths paths = AppPaths::fromEnvironment();
  EXPECT_EQ(paths.applicationSupport, home / ".local/share/quillmere");
  EXPECT_EQ(paths.config, home / ".config/quillmere");
}

TEST(AppPaths, CreateFoldersMakesPrivateRuntimeAndConfig) {
  test::TempDir dir;
  const mode_t previous = ::umask(0022);
  const AppPaths paths = AppPaths::under(dir / "home");
  paths.createFolders();
  ::umask(previous);

  for (const fs::path& folder :
       {paths.applicationSupport, paths.documents, paths.config, paths.logs, paths.runtime}) {
    EXPECT_TRUE(fs::is_directory(folder)) << folder;
  }
  struct stat info {};
  ASSERT_EQ(::stat(paths.runtime.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(paths.config.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  // Running again over existing folders is fine and tightens a loosened runtime folder.
  fs::permissions(paths.runtime, fs::perms::all, fs::perm_options::replace);
  paths.createFolders();
  ASSERT_EQ(::stat(paths.runtime.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace qm
