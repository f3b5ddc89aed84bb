#include "common/app_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/atomic_file.h"
#include "support/status_matchers.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// Clears the variables the paths depend on for one test and puts them back after.
class ScopedEnvironment {
 public:
  ScopedEnvironment() {
    for (const char* name : {"QUILLMERE_HOME", "HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME",
                             "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
  }

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

mode_t modeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

TEST(AppPaths, FollowAbsoluteXdgVariablesAndQuillmereHome) {
  struct Case {
    std::vector<std::pair<const char*, const char*>> env;
    std::vector<fs::path> expected;  // application support, config, logs, runtime
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
    ::setenv("HOME", "/home/ada", 1);
    for (const auto& [name, value] : c.env) ::setenv(name, value, 1);
    const AppPaths paths = AppPaths::fromEnvironment();
    EXPECT_EQ(
        (std::vector<fs::path>{paths.applicationSupport, paths.config, paths.logs, paths.runtime}),
        c.expected);
    EXPECT_EQ(paths.documents, paths.applicationSupport / "documents");
  }
}

TEST(AppPaths, FallsBackToThePasswordEntryWithoutHome) {
  ScopedEnvironment env;
  const passwd* entry = ::getpwuid(::getuid());
  if (entry == nullptr || entry->pw_dir == nullptr) GTEST_SKIP() << "no password entry";
  const AppPaths paths = AppPaths::fromEnvironment();
  EXPECT_EQ(paths.applicationSupport, fs::path(entry->pw_dir) / ".local/share/quillmere");
  EXPECT_EQ(paths.config, fs::path(entry->pw_dir) / ".config/quillmere");
}

TEST(AppPaths, CreateFoldersMakesPrivateRuntimeAndConfig) {
  test::TempDir dir;
  const mode_t previous = ::umask(0022);
  const AppPaths paths = AppPaths::under(dir / "home");
  ASSERT_OK(paths.createFolders());
  ::umask(previous);

  for (const fs::path& folder :
       {paths.applicationSupport, paths.documents, paths.config, paths.logs, paths.runtime}) {
    EXPECT_TRUE(fs::is_directory(folder)) << folder;
  }
  EXPECT_EQ(modeOf(paths.runtime), 0700u);
  EXPECT_EQ(modeOf(paths.config), 0700u);
  EXPECT_EQ(modeOf(dir / "home"), 0700u);  // made on the way

  // Running again over existing folders is fine and tightens a loosened runtime folder.
  fs::permissions(paths.runtime, fs::perms::all, fs::perm_options::replace);
  ASSERT_OK(paths.createFolders());
  EXPECT_EQ(modeOf(paths.runtime), 0700u);
}

TEST(PrivateFolders, MakesEachMissingFolderPrivateAndLeavesTheOthersAlone) {
  test::TempDir dir;
  fs::create_directory(dir / "shared");
  fs::permissions(dir / "shared",
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  const mode_t previous = ::umask(0022);
  std::error_code ec;
  EXPECT_TRUE(createPrivateFolders(dir / "shared/a/b/", ec));
  EXPECT_FALSE(createPrivateFolders(dir / "shared/a/b", ec));
  ::umask(previous);
  EXPECT_FALSE(ec);
  EXPECT_EQ(modeOf(dir / "shared"), 0750u);
  EXPECT_EQ(modeOf(dir / "shared/a"), 0700u);
  EXPECT_EQ(modeOf(dir / "shared/a/b"), 0700u);

  ASSERT_OK(writeFileAtomically(dir / "file", "x"));
  EXPECT_FALSE(createPrivateFolders(dir / "file/c", ec));
  EXPECT_EQ(ec, std::errc::not_a_directory);
}

}  // namespace
}  // namespace qm
