#include "common/atomic_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/stat.h>

#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

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
  ASSERT_TRUE(writeFileAtomically(file, std::string(100'000, 'x')).ok());
  ASSERT_TRUE(writeFileAtomically(file, contents).ok());
  const auto read = readFile(file);
  ASSERT_TRUE(read.ok()) << read.error().message;
  EXPECT_EQ(*read, contents);
  ASSERT_TRUE(writeFileAtomically(file, "").ok());
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
  ASSERT_TRUE(writeFileAtomically(dir / "secret", "s", 0640).ok());
  EXPECT_EQ(permissionsOf(dir / "secret"), 0640u);
}

TEST(AtomicFile, FailsCleanlyIntoAMissingFolder) {
  test::TempDir dir;
  const fs::path file = dir / "missing" / "file.txt";
  const Status status = writeFileAtomically(file, "data");
  ASSERT_FALSE(status.ok());
  EXPECT_THAT(status.error().message, HasSubstr(file.string()));
  EXPECT_THAT(status.error().message, HasSubstr("No such file or directory"));
  EXPECT_TRUE(namesIn(dir.path()).empty());
}

TEST(AtomicFile, FailedRenameRemovesTheTemporaryFile) {
  test::TempDir dir;
  // A non-empty folder cannot be replaced by a file, so the final rename fails.
  fs::create_directories(dir / "taken" / "inside");
  const Status status = writeFileAtomically(dir / "taken", "data");
  ASSERT_FALSE(status.ok());
  EXPECT_THAT(status.error().message, HasSubstr((dir / "taken").string()));
  EXPECT_THAT(namesIn(dir.path()), ::testing::ElementsAre("taken"));
}

TEST(AtomicFile, ReadingAMissingFileNamesThePath) {
  test::TempDir dir;
  const auto read = readFile(dir / "nothing-here");
  ASSERT_FALSE(read.ok());
  EXPECT_THAT(read.error().message, HasSubstr((dir / "nothing-here").string()));
}

TEST(SetFileAside, MovesTheFileToAStampedName) {
  test::TempDir dir;
  const fs::path file = dir / "QuillmereMac.store";
  ASSERT_TRUE(writeFileAtomically(file, "old").ok());

  const auto aside = setFileAside(file, "corrupt");
  ASSERT_TRUE(aside.ok()) << aside.error().message;
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(aside->parent_path(), dir.path());
  EXPECT_THAT(aside->filename().string(), StartsWith("QuillmereMac.store.corrupt-"));
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
    ASSERT_TRUE(writeFileAtomically(file, "v" + std::to_string(i)).ok());
    const auto aside = setFileAside(file, "old");
    ASSERT_TRUE(aside.ok()) << aside.error().message;
    asides.push_back(*aside);
  }
  for (int i = 0; i < 4; ++i) EXPECT_EQ(*readFile(asides[i]), "v" + std::to_string(i));
  EXPECT_EQ(namesIn(dir.path()).size(), 4u);
}

TEST(SetFileAside, CountsPastNamesThatAreTaken) {
  test::TempDir dir;
  const fs::path file = dir / "a.store";
  ASSERT_TRUE(writeFileAtomically(file, "first").ok());
  const auto first = setFileAside(file, "bad");
  ASSERT_TRUE(first.ok());

  // Occupy the "-2" name too (as if left from another run in the same second).
  // If the second elapsed meanwhile the stamp changes and the counter is not
  // needed; either way nothing may be overwritten.
  ASSERT_TRUE(writeFileAtomically(first->string() + "-2", "keep me").ok());
  ASSERT_TRUE(writeFileAtomically(file, "second").ok());
  const auto second = setFileAside(file, "bad");
  ASSERT_TRUE(second.ok());

  EXPECT_EQ(*readFile(*first), "first");
  EXPECT_EQ(*readFile(first->string() + "-2"), "keep me");
  EXPECT_EQ(*readFile(*second), "second");
  if (second->filename().string().starts_with(first->filename().string())) {
    EXPECT_EQ(second->string(), first->string() + "-3");
  }
}

TEST(SetFileAside, FailsForAMissingFile) {
  test::TempDir dir;
  const auto aside = setFileAside(dir / "absent", "x");
  ASSERT_FALSE(aside.ok());
  EXPECT_THAT(aside.error().message, HasSubstr((dir / "absent").string()));
  EXPECT_TRUE(namesIn(dir.path()).empty());
}

}  // namespace
}  // namespace qm
