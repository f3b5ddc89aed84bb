// `quillmere export <format> EVENT` on a real store: the scope, where the file
// goes (-o FILE, -o DIR, the export folder setting), the notes and event a
// CRM file carries, and a failed write.
#include <sys/stat.h>

#include <gmock/gmock.h>

#include "common/app_paths.h"
#include "common/atomic_file.h"
#include "export/csv_contact_layouts.h"
#include "export_test_contacts.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/event.h"
#include "store/relationships.h"
#include "store/store.h"
#include "support/status_matchers.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class ContactExportCommand : public ::testing::Test {
 protected:
  test::TempDir home;
  test::TempDir out;
  AppPaths paths = AppPaths::under(home.path());
  std::map<std::string, std::string> env{{"QUILLMERE_HOME", home.path().string()},
                                         {"HOME", home.path().string()}};
  Event event = Event::create("Tech Expo 2026");

  void SetUp() override {
    ASSERT_OK(paths.createFolders());
    auto store = Store::open(paths.storeFile());
    ASSERT_OK(store);
    ASSERT_OK((*store)->insert(event));
    for (Contact c : test::sampleContacts()) {
      c.eventID = event.id;
      ASSERT_OK((*store)->insert(c));
      if (c.firstName != "Anna") continue;
      for (auto [at, text] : {std::pair{1772614800, "Asked about pricing"},
                              std::pair{1772729100, "Wants a pilot, \"soon\""}}) {
        ContactNote note = test::noteAbout(c, at);
        note.textContent = text;
        ASSERT_OK((*store)->insert(note));
      }
    }
    // A contact of another event is never exported with this one.
    Event other = Event::create("Other Show");
    ASSERT_OK((*store)->insert(other));
    Contact stranger = Contact::create("Zed", "Stranger", "Elsewhere", other.id);
    stranger.status = MeetingStatus::met;
    ASSERT_OK((*store)->insert(stranger));
  }

  test::CommandResult cli(std::vector<std::string> args) {
    return test::runCommand(QUILLMERE_BINARY, args, env);
  }

  std::vector<Contact> storedContacts() {
    auto store = Store::open(paths.storeFile());
    EXPECT_OK(store);
    auto contacts = contactsOf(**store, event.id);
    EXPECT_OK(contacts);
    return *contacts;
  }
};

TEST_F(ContactExportCommand, WritesTheScopeToTheExportFolderUnderTheProposedName) {
  UserDefaults defaults(paths.defaultsFile());
  ASSERT_OK(AppSettings(defaults).setDefaultExportFolder(out.path().string()));

  const auto result = cli({"export", "csv", "tech expo 2026", "--scope", "met"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const fs::path file = out / "Tech_Expo_2026_contacts.csv";
  EXPECT_EQ(result.out, "Exported 1 contact to " + file.string() + "\n");
  auto written = readFile(file);
  ASSERT_OK(written);
  std::vector<Contact> met;
  for (const auto& c : storedContacts())
    if (c.status == MeetingStatus::met) met.push_back(c);
  EXPECT_EQ(*written, genericCSV(met));
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "personal data, for the user only";
}

TEST_F(ContactExportCommand, WritesEachFormatToTheFileOrFolderGiven) {
  auto result = cli({"export", "hubspot", event.id.str(), "-o", out.path().string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(result.out, StartsWith("Exported 3 contacts to "));
  EXPECT_TRUE(fs::exists(out / "Tech_Expo_2026_hubspot.csv"));

  result = cli({"export", "vcard", event.id.str(), "--vcard3", "--scope", "favorites", "-o",
                (out / "cards.vcf").string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(result.out, StartsWith("Exported 1 contact to "));
  auto cards = readFile(out / "cards.vcf");
  ASSERT_OK(cards);
  EXPECT_THAT(*cards, HasSubstr("VERSION:3.0\r\nFN:Øystein Nguyễn\r\n"));

  result = cli(
      {"export", "xlsx", event.id.str(), "--scope", "targets", "-o", (out / "book.xlsx").string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  auto book = readFile(out / "book.xlsx");
  ASSERT_OK(book);
  EXPECT_THAT(*book, StartsWith("PK")) << "a zip container";

  for (std::string format : {"salesforce", "pipedrive"}) {
    result = cli({"export", format, event.id.str(), "-o", out.path().string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::exists(out / ("Tech_Expo_2026_" + format + ".csv")));
  }
}

TEST_F(ContactExportCommand, CarriesTheEventAndTheNotes) {
  const auto result = cli({"export", "salesforce", "Tech Expo 2026", "--scope", "met", "-o",
                           (out / "leads.csv").string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  auto leads = readFile(out / "leads.csv");
  ASSERT_OK(leads);
  EXPECT_THAT(*leads, HasSubstr(",\"Working - Contacted\",\"Tech Expo 2026\",\"Sam Lee\","
                                "\"2026-03-05: Wants a pilot, \"\"soon\"\" | 2026-03-04: Asked "
                                "about pricing | Summary: "));
}

TEST_F(ContactExportCommand, AFailedWriteIsOneClearLineAndAFailure) {
  const auto result =
      cli({"export", "csv", event.id.str(), "-o", (out / "missing" / "x.csv").string()});
  EXPECT_NE(result.exitCode, 0);
  EXPECT_THAT(result.err, StartsWith("Failed to save: "));
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  EXPECT_EQ(result.out, "");

  const auto unknown = cli({"export", "csv", "No Such Show", "-o", out.path().string()});
  EXPECT_NE(unknown.exitCode, 0);
  EXPECT_TRUE(fs::is_empty(out.path()));
}

}  // namespace
}  // namespace qm
