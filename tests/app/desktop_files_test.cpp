// The launcher, icon and metainfo: accepted by the validators desktops use, and
// installed where a desktop looks for them.
#include <gmock/gmock.h>
#include <unistd.h>

#include <cstdlib>
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

const fs::path kData = fs::path(QUILLMERE_SOURCE_DIR) / "data";

fs::path onPath(const std::string& program) {
  std::stringstream path(std::getenv("PATH") ? std::getenv("PATH") : "");
  for (std::string dir; std::getline(path, dir, ':');)
    if (!dir.empty() && access((fs::path(dir) / program).c_str(), X_OK) == 0)
      return fs::path(dir) / program;
  return {};
}

TEST(DesktopFiles, LauncherPassesDesktopFileValidate) {
  const auto validate = onPath("desktop-file-validate");
  if (validate.empty())
    GTEST_SKIP() << "desktop-file-validate not found (Debian package desktop-file-utils)";
  auto result =
      test::runCommand(validate, {(kData / "com.quillmere.Quillmere.desktop").string()}, {});
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_EQ(result.out, "");
}

TEST(DesktopFiles, MetainfoPassesAppstreamValidate) {
  const auto appstream = onPath("appstreamcli");
  if (appstream.empty()) GTEST_SKIP() << "appstreamcli not found (Debian package appstream)";
  auto result = test::runCommand(
      appstream,
      {"validate", "--no-net", (kData / "com.quillmere.Quillmere.metainfo.xml").string()}, {});
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
}

TEST(DesktopFiles, InstallPutsThemWhereDesktopsLook) {
  test::TempDir destDir;
  auto result =
      test::runCommand(CMAKE_PROGRAM, {"--install", QUILLMERE_BUILD_DIR, "--prefix", "/usr"},
                       {{"DESTDIR", destDir.path().string()}});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const auto usr = destDir / "usr";
  for (const char* installed : {"bin/quillmere", "bin/quillmere-desktop",
                                "share/applications/com.quillmere.Quillmere.desktop",
                                "share/icons/hicolor/scalable/apps/com.quillmere.Quillmere.svg",
                                "share/metainfo/com.quillmere.Quillmere.metainfo.xml"})
    EXPECT_TRUE(fs::exists(usr / installed)) << installed;
  // The phone simulator is for tests and demos, never installed.
  EXPECT_FALSE(fs::exists(usr / "bin/quillmere-phone"));

  // The launcher's icon name and the metainfo's launchable name the installed files.
  EXPECT_THAT(fileText(usr / "share/applications/com.quillmere.Quillmere.desktop"),
              HasSubstr("\nIcon=com.quillmere.Quillmere\n"));
  EXPECT_THAT(fileText(usr / "share/metainfo/com.quillmere.Quillmere.metainfo.xml"),
              HasSubstr(">com.quillmere.Quillmere.desktop</launchable>"));
}

}  // namespace
}  // namespace qm
