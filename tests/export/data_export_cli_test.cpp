// `quillmere export eml`, `export all` and `restore` as a person runs them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "app/control_client.h"
#include "common/app_paths.h"
#include "common/atomic_file.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/contact.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/store.h"
#include "support/status_matchers.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct DataExportCli : ::testing::Test {
  test::TempDir home, otherHome, out;
  AppPaths paths = AppPaths::under(home.path());
  Event event = Event::create("Web Summit");
  FollowUpDraft draft;

  void SetUp() override {
    auto store = Store::open(paths.storeFile());
    ASSERT_OK(store);
    auto contact = Contact::create("Øystein", "Nguyễn", "Acme", event.id);
    contact.email = "oy@example.org";
    draft = FollowUpDraft::create("Grüße: next steps", "Hi **Øystein**", contact.id);
    auto dismissed = FollowUpDraft::create("Old", "x", contact.id);
    dismissed.status = "dismissed";
    ASSERT_OK((*store)->insert(event));
    ASSERT_OK((*store)->insert(contact));
    ASSERT_OK((*store)->insert(draft));
    ASSERT_OK((*store)->insert(dismissed));
  }

  test::CommandResult cli(const fs::path& homeDir, std::vector<std::string> args) {
    return test::runCommand(QUILLMERE_BINARY, args,
                            {{"QUILLMERE_HOME", homeDir.string()}, {"HOME", homeDir.string()}});
  }
};

TEST_F(DataExportCli, DraftsAsEmlFiles) {
  auto one = cli(home.path(), {"export", "eml", draft.id.str(), "-o", (out / "one.eml").string()});
  EXPECT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(one.out, "Wrote " + (out / "one.eml").string() + "\n");
  auto text = readFile(out / "one.eml");
  ASSERT_OK(text);
  EXPECT_THAT(*text, HasSubstr("\r\nTo: \"Øystein Nguyễn\" <oy@example.org>\r\n"));

  auto all = cli(home.path(),
                 {"export", "eml", "--event", "web summit", "--dir", (out / "drafts").string()});
  EXPECT_EQ(all.exitCode, 0) << all.err;
  const auto expected = out / "drafts" / "Øystein Nguyễn \u2014 Grüße- next steps.eml";
  EXPECT_THAT(all.out, HasSubstr("Wrote " + expected.string() + " (Øystein Nguyễn)\n"));
  EXPECT_THAT(all.out, HasSubstr("Exported 1 draft as .eml to "));
  EXPECT_TRUE(fs::exists(expected));

  auto failed = cli(home.path(), {"export", "eml", draft.id.str(), "-o",
                                  (out / "no-such-folder" / "x.eml").string()});
  EXPECT_NE(failed.exitCode, 0);
  EXPECT_THAT(failed.err, StartsWith("Failed to save: "));
  EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1);
}

// "~/…" in the export folder setting is the home folder, for the drafts and
// the data export as for the contact exports.
TEST_F(DataExportCli, TheExportFolderSettingMayStartWithTheHomeFolder) {
  ASSERT_OK(paths.createFolders());
  UserDefaults defaults(paths.defaultsFile());
  ASSERT_OK(AppSettings(defaults).setDefaultExportFolder("~/exports"));
  const fs::path folder = home / "exports";
  fs::create_directory(folder);

  auto eml = cli(home.path(), {"export", "eml", draft.id.str()});
  EXPECT_EQ(eml.exitCode, 0) << eml.err;
  EXPECT_EQ(eml.out,
            "Wrote " + (folder / "Øystein Nguyễn — Grüße- next steps.eml").string() + "\n");
  auto drafts = cli(home.path(), {"export", "eml", "--event", "web summit"});
  EXPECT_EQ(drafts.exitCode, 0) << drafts.err;
  EXPECT_THAT(drafts.out, HasSubstr("Exported 1 draft as .eml to " + folder.string()));
  auto all = cli(home.path(), {"export", "all"});
  EXPECT_EQ(all.exitCode, 0) << all.err;
  EXPECT_THAT(all.out, StartsWith("Wrote " + (folder / "Quillmere_Export_").string()));

  std::size_t written = 0;
  for (const auto& entry : fs::directory_iterator(folder)) written += entry.is_regular_file();
  EXPECT_EQ(written, 3u);
}

TEST_F(DataExportCli, ExportAllThenRestoreElsewhere) {
  const auto file = out / "data.json";
  auto exported = cli(home.path(), {"export", "all", "-o", file.string()});
  ASSERT_EQ(exported.exitCode, 0) << exported.err;
  EXPECT_THAT(exported.out, HasSubstr("Wrote " + file.string()));
  EXPECT_THAT(exported.out, HasSubstr("  FollowUpDraft: 2\n"));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  auto restored = cli(otherHome.path(), {"restore", file.string()});
  EXPECT_EQ(restored.exitCode, 0) << restored.err;
  EXPECT_THAT(restored.out, HasSubstr("Restored 4 records from"));
  auto reexported = cli(otherHome.path(), {"export", "all", "-o", (out / "again.json").string()});
  ASSERT_EQ(reexported.exitCode, 0);
  auto a = readFile(file), b = readFile(out / "again.json");
  ASSERT_OK(a);
  ASSERT_OK(b);
  // Equal but for the time of the export.
  EXPECT_EQ(a->substr(a->find("\"Event\"")), b->substr(b->find("\"Event\"")));

  auto refused = cli(otherHome.path(), {"restore", file.string()});
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_THAT(refused.err, HasSubstr("--merge"));
  auto merged = cli(otherHome.path(), {"restore", file.string(), "--merge"});
  EXPECT_EQ(merged.exitCode, 0) << merged.err;
  EXPECT_THAT(merged.out, HasSubstr("Restored 0 records"));
  EXPECT_THAT(merged.out, HasSubstr("Contact: 0 added, 1 already stored and kept"));
}

TEST_F(DataExportCli, RestoreWaitsForTheCompanionToStop) {
  const auto file = out / "data.json";
  ASSERT_EQ(cli(home.path(), {"export", "all", "-o", file.string()}).exitCode, 0);
  test::Subprocess companion(
      QUILLMERE_BINARY, {"run"},
      {{"QUILLMERE_HOME", otherHome.path().string()}, {"HOME", otherHome.path().string()}},
      out.path());
  const auto otherPaths = AppPaths::under(otherHome.path());
  ASSERT_TRUE(test::eventually([&] { return companionIsRunning(otherPaths.controlSocket()); }));
  auto refused = cli(otherHome.path(), {"restore", file.string()});
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_THAT(refused.err, HasSubstr("stop it first"));
  companion.stop(SIGTERM, std::chrono::seconds(10));
}

}  // namespace
}  // namespace qm
