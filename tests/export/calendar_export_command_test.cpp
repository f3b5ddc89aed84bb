// `quillmere export ics EVENT` on a real store: where the file goes, what the
// command says, the followUpDueDays setting as `quillmere settings` sets it,
// and an event with nothing to follow up.
#include <sys/stat.h>

#include <gmock/gmock.h>

#include "common/app_paths.h"
#include "common/atomic_file.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/event.h"
#include "store/store.h"
#include "support/status_matchers.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class CalendarExportCommand : public ::testing::Test {
 protected:
  test::TempDir home;
  test::TempDir out;
  AppPaths paths = AppPaths::under(home.path());
  // Los Angeles: the meeting at 01:30 UTC on the 6th was on the 5th there.
  std::map<std::string, std::string> env{{"QUILLMERE_HOME", home.path().string()},
                                         {"HOME", home.path().string()},
                                         {"TZ", "America/Los_Angeles"}};
  Event event = Event::create("Tech Expo 2026");
  Event quiet = Event::create("Quiet Fair");
  Contact ana = Contact::create("Ana", "Ruiz", "Acme", event.id);

  void SetUp() override {
    ASSERT_OK(paths.createFolders());
    auto store = Store::open(paths.storeFile());
    ASSERT_OK(store);
    ASSERT_OK((*store)->insert(event));
    ASSERT_OK((*store)->insert(quiet));
    ana.status = MeetingStatus::met;
    ana.metAt = dateFromUnixSeconds(1772760600);  // 2026-03-06T01:30:00Z
    ASSERT_OK((*store)->insert(ana));
    Contact unmet = Contact::create("Not", "Met", "Elsewhere", quiet.id);
    ASSERT_OK((*store)->insert(unmet));
  }

  test::CommandResult cli(std::vector<std::string> args) {
    return test::runCommand(QUILLMERE_BINARY, args, env);
  }
};

TEST_F(CalendarExportCommand, WritesTheProposedFileInTheExportFolderWithTheDueDaysSetting) {
  UserDefaults defaults(paths.defaultsFile());
  ASSERT_OK(AppSettings(defaults).setDefaultExportFolder(out.path().string()));
  auto set = cli({"settings", "set", "followUpDueDays", "400"});
  EXPECT_EQ(set.exitCode, 2);
  EXPECT_THAT(set.err, HasSubstr("Expected a number of days from 0 to 365"));
  set = cli({"settings", "set", "followUpDueDays", "5"});
  ASSERT_EQ(set.exitCode, 0) << set.err;

  const auto result = cli({"export", "ics", "tech expo"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const fs::path file = out / "Tech_Expo_2026_follow-ups.ics";
  EXPECT_EQ(result.out, "Exported 1 follow-up to " + file.string() + "\n");
  const std::string calendar = readFile(file).value();
  EXPECT_THAT(calendar, HasSubstr("\r\nUID:followup-" + ana.id.str() + "@quillmere\r\n"));
  EXPECT_THAT(calendar, HasSubstr("\r\nDUE;VALUE=DATE:20260310\r\n"))
      << "five days after the 5th, the meeting's day where the computer is";
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "it names people: the user's only";
}

TEST_F(CalendarExportCommand, SaysSoWhenThereIsNothingToFollowUp) {
  const fs::path file = out / "quiet.ics";
  const auto result = cli({"export", "ics", quiet.id.str(), "-o", file.string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            "No follow-ups to put in the calendar for Quiet Fair: wrote an empty "
            "calendar to " +
                file.string() + "\n");
  EXPECT_EQ(readFile(file).value().substr(0, 28), "BEGIN:VCALENDAR\r\nVERSION:2.0");

  const auto unknown = cli({"export", "ics", "No Such Show", "-o", file.string()});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_THAT(unknown.err, HasSubstr("No Such Show"));
}

}  // namespace
}  // namespace qm
