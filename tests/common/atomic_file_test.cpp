#include "common/atomic_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "support/status_matchers.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::IsError;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

mode_t permissionsOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_mode & 0777;
}

TEST(AtomicFile, ReplacesExistingContentAndLeavesNoTemporaryFiles) {
  test::TempDir dir;
  const fs::path file = dir / "store.json";
  const char binary[] = "{\"a\":1}\n\0binary\xff";
  const std::string contents(binary, sizeof binary - 1);  // keeps the embedded NUL
  ASSERT_OK(writeFileAtomically(file, std::string(100'000, 'x')));
  ASSERT_OK(writeFileAtomically(file, contents));
  EXPECT_EQ(readFile(file).value(), contents);
  ASSERT_OK(writeFileAtomically(file, ""));
  EXPECT_EQ(*readFile(file), "");
  EXPECT_THAT(namesIn(dir.path()), ElementsAre("store.json"));
}

TEST(AtomicFile, SetsTheRequestedModeRegardlessOfUmask) {
  test::TempDir dir;
  const mode_t previous = ::umask(0077);
  const Status a = writeFileAtomically(dir / "public", "p", 0644);
  const Status b = writeFileAtomically(dir / "secret", "s", 0600);
  ::umask(previous);
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_EQ(permissionsOf(dir / "public"), 0644u);
  EXPECT_EQ(permissionsOf(dir / "secret"), 0600u);

  // Rewriting gives the new mode, not the old file's.
  ASSERT_OK(writeFileAtomically(dir / "secret", "s", 0640));
  EXPECT_EQ(permissionsOf(dir / "secret"), 0640u);
}

TEST(AtomicFile, FailuresNameThePathAndTheirKindAndLeaveNothingBehind) {
  test::TempDir dir;
  ASSERT_OK(writeFileAtomically(dir / "plain", "x"));
  for (const fs::path& file : {dir / "missing" / "file.txt", dir / "plain" / "file.txt"}) {
    SCOPED_TRACE(file);
    EXPECT_THAT(writeFileAtomically(file, "data"),
                IsError(ErrorCode::notFound, HasSubstr(file.string())));
    EXPECT_THAT(readFile(file), IsError(ErrorCode::notFound, HasSubstr(file.string())));
    EXPECT_THAT(setFileAside(file, "x"), IsError(ErrorCode::notFound, HasSubstr(file.string())));
  }
  EXPECT_THAT(namesIn(dir.path()), ElementsAre("plain"));
  EXPECT_EQ(*readFile(dir / "plain"), "x");

  // A non-empty folder cannot be replaced by a file, so the final rename fails.
  fs::create_directories(dir / "taken" / "inside");
  EXPECT_THAT(writeFileAtomically(dir / "taken", "data"),
              IsError(HasSubstr((dir / "taken").string())));
  EXPECT_THAT(namesIn(dir / "taken"), ElementsAre("inside"));
  EXPECT_EQ(namesIn(dir.path()).size(), 2u);
}

TEST(AtomicFile, AFolderThatCannotBeWrittenIsPermissionDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
  test::TempDir dir;
  ASSERT_OK(writeFileAtomically(dir / "kept", "old"));
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec,
                  fs::perm_options::replace);
  const Status written = writeFileAtomically(dir / "kept", "new");
  fs::permissions(dir.path(), fs::perms::owner_all, fs::perm_options::replace);
  EXPECT_THAT(written, IsError(ErrorCode::permissionDenied, HasSubstr((dir / "kept").string())));
  EXPECT_EQ(*readFile(dir / "kept"), "old");
  EXPECT_THAT(namesIn(dir.path()), ElementsAre("kept"));
}

TEST(SetFileAside, MovesToStampedNamesAndNeverOverwritesAnEarlierOne) {
  test::TempDir dir;
  const fs::path file = dir / "QuillmereMac.store";
  ASSERT_OK(writeFileAtomically(file, "v0"));
  const fs::path first = setFileAside(file, "corrupt").value();
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(first.parent_path(), dir.path());
  // The stamp is "YYYYMMDDTHHMMSSZ".
  EXPECT_THAT(first.filename().string(),
              ::testing::MatchesRegex(R"(QuillmereMac\.store\.corrupt-[0-9]{8}T[0-9]{6}Z)"));

  // Occupy the "-2" name (as if left by another run in the same second); asides in
  // quick succession share a stamp and must count past it without overwriting.
  ASSERT_OK(writeFileAtomically(first.string() + "-2", "keep me"));
  std::vector<fs::path> asides{first};
  for (int i = 1; i < 4; ++i) {
    ASSERT_OK(writeFileAtomically(file, "v" + std::to_string(i)));
    asides.push_back(setFileAside(file, "corrupt").value());
  }
  for (int i = 0; i < 4; ++i) EXPECT_EQ(*readFile(asides[i]), "v" + std::to_string(i));
  EXPECT_EQ(*readFile(first.string() + "-2"), "keep me");
  EXPECT_EQ(namesIn(dir.path()).size(), 5u);
  // Unless the second elapsed meanwhile (a new stamp), the next free name is "-3".
  if (asides[1].filename().string().starts_with(first.filename().string())) {
    EXPECT_EQ(asides[1].string(), first.string() + "-3");
  }
}

}  // namespace
}  // namespace qm
