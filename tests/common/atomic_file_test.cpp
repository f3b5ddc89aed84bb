#include "common/atomic_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/stat.h>

#include "support/status_matchers.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using test::IsError;

namespace fs = std::filesystem;
using ::testing::AllOf;
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
  EXPECT_THAT(namesIn(dir.path()), ::testing::ElementsAre("store.json"));
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

TEST(AtomicFile, FailsCleanlyIntoAMissingFolder) {
  test::TempDir dir;
  const fs::path file = dir / "missing" / "file.txt";
  EXPECT_THAT(writeFileAtomically(file, "data"),
              IsError(AllOf(HasSubstr(file.string()), HasSubstr("No such file or directory"))));
  EXPECT_THAT(readFile(file), IsError(HasSubstr(file.string())));
  EXPECT_TRUE(namesIn(dir.path()).empty());
}

TEST(AtomicFile, FailedRenameRemovesTheTemporaryFile) {
  test::TempDir dir;
  // A non-empty folder cannot be replaced by a file, so the final rename fails.
  fs::create_directories(dir / "taken" / "inside");
  EXPECT_THAT(writeFileAtomically(dir / "taken", "data"),
              IsError(HasSubstr((dir / "taken").string())));
  EXPECT_THAT(namesIn(dir.path()), ::testing::ElementsAre("taken"));
}

TEST(SetFileAside, MovesTheFileToAStampedName) {
  test::TempDir dir;
  const fs::path file = dir / "QuillmereMac.store";
  ASSERT_OK(writeFileAtomically(file, "old"));
  const auto aside = setFileAside(file, "corrupt");
  ASSERT_OK(aside);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(aside->parent_path(), dir.path());
  // The stamp is "YYYYMMDDTHHMMSSZ".
  EXPECT_THAT(aside->filename().string(),
              ::testing::MatchesRegex(R"(QuillmereMac\.store\.corrupt-[0-9]{8}T[0-9]{6}Z)"));
  EXPECT_EQ(*readFile(*aside), "old");
}

TEST(SetFileAside, NeverOverwritesAnEarlierAsideFile) {
  test::TempDir dir;
  const fs::path file = dir / "data.store";
  std::vector<fs::path> asides;
  // Several asides in quick succession share a stamp and must all survive.
  for (int i = 0; i < 4; ++i) {
    ASSERT_OK(writeFileAtomically(file, "v" + std::to_string(i)));
    asides.push_back(setFileAside(file, "old").value());
  }
  for (int i = 0; i < 4; ++i) EXPECT_EQ(*readFile(asides[i]), "v" + std::to_string(i));
  EXPECT_EQ(namesIn(dir.path()).size(), 4u);
}

TEST(SetFileAside, CountsPastNamesThatAreTaken) {
  test::TempDir dir;
  const fs::path file = dir / "a.store";
  ASSERT_OK(writeFileAtomically(file, "first"));
  const auto first = setFileAside(file, "bad");
  ASSERT_OK(first);

  // Occupy the "-2" name too (as if left from another run in the same second).
  // If the second elapsed meanwhile the stamp changes and the counter is not
  // needed; either way nothing may be overwritten.
  ASSERT_OK(writeFileAtomically(first->string() + "-2", "keep me"));
  ASSERT_OK(writeFileAtomically(file, "second"));
  const auto second = setFileAside(file, "bad");
  ASSERT_OK(second);

  EXPECT_EQ(*readFile(*first), "first");
  EXPECT_EQ(*readFile(first->string() + "-2"), "keep me");
  EXPECT_EQ(*readFile(*second), "second");
  if (second->filename().string().starts_with(first->filename().string())) {
    EXPECT_EQ(second->string(), first->string() + "-3");
  }
}

TEST(SetFileAside, FailsForAMissingFile) {
  test::TempDir dir;
  EXPECT_THAT(setFileAside(dir / "absent", "x"), IsError(HasSubstr((dir / "absent").string())));
  EXPECT_TRUE(namesIn(dir.path()).empty());
}

}  // namespace
}  // namespace qm
