#include "settings/user_defaults.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "common/log.h"
#include "support/log_capture.h"
#include "support/status_matchers.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using test::LogCapture;

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Strings = std::vector<std::string>;

TEST(UserDefaultsTest, ValuesAreSavedAtOnceAndReadBackByAnotherInstance) {
  test::TempDir dir;
  const fs::path file = dir / "config" / "defaults.json";  // the folder does not exist yet
  UserDefaults defaults(file);
  ASSERT_OK(defaults.set("flag", true));
  ASSERT_OK(defaults.set("name", std::string("Ada")));
  ASSERT_OK(defaults.set("list", Strings{"fr", "en"}));
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  UserDefaults reopened(file);
  EXPECT_EQ(reopened.boolean("flag"), true);
  EXPECT_EQ(reopened.string("name"), "Ada");
  EXPECT_EQ(reopened.value("list"), DefaultsValue(Strings{"fr", "en"}));
  EXPECT_THAT(reopened.keys(), ElementsAre("flag", "list", "name"));
  EXPECT_EQ(reopened.string("flag"), std::nullopt);  // typed readers answer for their type only
  EXPECT_EQ(reopened.boolean("name"), std::nullopt);
  ASSERT_OK(reopened.remove("name"));
  EXPECT_EQ(UserDefaults(file).value("name"), std::nullopt);
}

TEST(UserDefaultsTest, RewritingLosesNothing) {
  test::TempDir dir;
  const fs::path file = dir / "defaults.json";
  ASSERT_OK(writeFileAtomically(file, R"({"count": 3, "nested": {"a": [1, "x"]}})"));
  UserDefaults defaults(file);
  EXPECT_EQ(defaults.value("count"), std::nullopt);
  ASSERT_OK(defaults.set("name", std::string("Ada")));
  EXPECT_EQ(nlohmann::json::parse(*readFile(file)),
            nlohmann::json::parse(R"({"count": 3, "nested": {"a": [1, "x"]}, "name": "Ada"})"));

  // Text that is not UTF-8 cannot be saved; the previous value stays, on disk and in memory.
  EXPECT_FALSE(defaults.set("name", std::string("\xff\xfe")).ok());
  EXPECT_EQ(defaults.string("name"), "Ada");
  EXPECT_EQ(UserDefaults(file).string("name"), "Ada");
}

TEST(UserDefaultsTest, UnreadableFileIsSetAsideAndDefaultsAreUsed) {
  for (const std::string original : {"{\"name\": \"Ada\"", "[\"not an object\"]", ""}) {
    SCOPED_TRACE(original);
    test::TempDir dir;
    const fs::path file = dir / "defaults.json";
    ASSERT_OK(writeFileAtomically(file, original));

    LogCapture logged(log::data());
    UserDefaults defaults(file);

    EXPECT_TRUE(defaults.keys().empty());
    EXPECT_FALSE(fs::exists(file));
    std::vector<fs::path> aside{fs::directory_iterator(dir.path()), {}};
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_THAT(aside[0].filename().string(), HasSubstr("unreadable"));
    EXPECT_EQ(*readFile(aside[0]), original);
    EXPECT_THAT(logged.text(), HasSubstr(aside[0].string()));

    ASSERT_OK(defaults.set("flag", false));  // a fresh file
    EXPECT_EQ(UserDefaults(file).boolean("flag"), false);
  }
}

TEST(UserDefaultsTest, ObserversHearOnlyRealChanges) {
  test::TempDir dir;
  UserDefaults defaults(dir / "defaults.json");
  Strings heard;
  auto observing = defaults.observe([&](const std::string& key) { heard.push_back(key); });

  ASSERT_OK(defaults.set("name", std::string("Ada")));
  ASSERT_OK(defaults.set("name", std::string("Ada")));
  ASSERT_OK(defaults.set("flag", true));
  ASSERT_OK(defaults.remove("name"));
  ASSERT_OK(defaults.remove("name"));
  ASSERT_OK(defaults.removeDomain());
  EXPECT_THAT(heard, ElementsAre("name", "flag", "name", "flag"));
  EXPECT_FALSE(fs::exists(dir / "defaults.json"));
  EXPECT_TRUE(defaults.keys().empty());
  EXPECT_TRUE(defaults.removeDomain().ok());  // no file left is fine

  observing.reset();
  ASSERT_OK(defaults.set("name", std::string("Grace")));
  EXPECT_EQ(heard.size(), 4u);
}

TEST(UserDefaultsTest, ReloadSeesAnotherWriterAndReportsChangedKeys) {
  test::TempDir dir;
  UserDefaults writer(dir / "defaults.json");
  ASSERT_OK(writer.set("kept", true));
  ASSERT_OK(writer.set("changed", std::string("old")));
  ASSERT_OK(writer.set("removed", std::string("x")));

  UserDefaults reader(dir / "defaults.json");
  Strings heard;
  auto observing = reader.observe([&](const std::string& key) { heard.push_back(key); });
  ASSERT_OK(writer.set("changed", std::string("new")));
  ASSERT_OK(writer.remove("removed"));
  ASSERT_OK(writer.set("added", Strings{"a"}));

  EXPECT_EQ(reader.string("changed"), "old");
  reader.reload();
  EXPECT_EQ(reader.string("changed"), "new");
  EXPECT_EQ(reader.value("removed"), std::nullopt);
  EXPECT_THAT(heard, ElementsAre("added", "changed", "removed"));
}

}  // namespace
}  // namespace qm
