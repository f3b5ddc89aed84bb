// The follow-up calendar read back by Python's icalendar: which contacts and
// next steps become to-dos, their texts through escaping and folding, the due
// days in the local time zone, and how UIDs, SEQUENCE and time stamps behave
// across exports of a real store.
#include <stdlib.h>
#include <time.h>

#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "common/text.h"
#include "export/calendar_history.h"
#include "export/content_line.h"
#include "export/follow_up_calendar.h"
#include "export/follow_up_tasks.h"
#include "store/store.h"
#include "support/status_matchers.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using ::testing::HasSubstr;
using ::testing::SizeIs;

/// 2026-03-05T20:00:00Z: already the 6th in Tokyo, where the tests' days are.
Date meetingTime() {
  return dateFromUnixSeconds(1772740800);
}

std::string uidOf(const char* prefix, const Uuid& id) {
  return std::string(prefix) + id.str() + "@quillmere";
}

class FollowUpCalendarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* zone = getenv("TZ");
    if (zone != nullptr) savedZone_ = zone;
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
  }
  void TearDown() override {
    if (savedZone_) {
      setenv("TZ", savedZone_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

  /// What icalendar finds in `document`; nothing, and the test failed, when
  /// it is missing or cannot read the file.
  std::optional<json> readBack(const std::string& document) {
    const fs::path file = dir / "calendar.ics";
    EXPECT_OK(writeFileAtomically(file, document));
    const auto result = test::runCommand(QM_PYTHON3, {QM_READ_EXPORTS, "ics", file.string()}, {});
    if (result.exitCode == 3) {
      ADD_FAILURE() << result.err << "; scripts/setup.sh installs it";
      return std::nullopt;
    }
    EXPECT_EQ(result.exitCode, 0) << result.err;
    if (result.exitCode != 0) return std::nullopt;
    return json::parse(result.out);
  }

  /// An event with a met contact who has an unsent draft, a met contact with
  /// a long name in several scripts, one already written to, one not met, one
  /// declined, and two opportunities (one with a next step).
  FollowUpSources sources() {
    FollowUpSources s;
    s.event = Event::create("Tech Expo 2026");
    Contact anna = Contact::create("Anna", "Müller", "Acme; Widgets, Inc. \\ Ltd", s.event.id);
    anna.status = MeetingStatus::met;
    anna.metAt = meetingTime();
    anna.email = "anna@acme.example";
    s.contacts.push_back(anna);
    Contact tanaka =
        Contact::create("太郎", "田中・山本・渡辺・高橋・小林・中村・伊藤・加藤・吉田・山田",
                        "Ñandú Élégance 株式会社", s.event.id);
    tanaka.status = MeetingStatus::met;
    tanaka.metAt = meetingTime();
    tanaka.verifiedEmail = "tanaka@kabushiki.example";
    tanaka.email = "old@kabushiki.example";
    s.contacts.push_back(tanaka);
    Contact written = Contact::create("Sent", "Already", "Done Co", s.event.id);
    written.status = MeetingStatus::met;
    written.metAt = meetingTime();
    s.contacts.push_back(written);
    Contact unmet = Contact::create("Never", "Met", "Missed Co", s.event.id);
    s.contacts.push_back(unmet);
    Contact declined = Contact::create("No", "Thanks", "Declined Co", s.event.id);
    declined.status = MeetingStatus::declined;
    s.contacts.push_back(declined);

    FollowUpDraft older = FollowUpDraft::create("An older draft", "…", anna.id);
    older.generatedAt = meetingTime();
    FollowUpDraft newer =
        FollowUpDraft::create("Next steps, pricing;\nand a demo \\ pilot", "…", anna.id);
    newer.generatedAt = meetingTime() + std::chrono::hours(1);
    newer.recipientEmail = "anna.private@example.org";
    FollowUpDraft sent = FollowUpDraft::create("Thanks", "…", written.id);
    sent.status = "sent";
    s.drafts = {newer, older, sent};

    Opportunity pilot = Opportunity::create("Pilot for 40 sites", "Acme", s.event.id);
    pilot.nextStep = "  Send the pricing deck, then call  ";
    pilot.createdAt = meetingTime() + std::chrono::hours(30);
    pilot.timeline = "This quarter";
    pilot.originContactID = anna.id;
    s.opportunities.push_back(pilot);
    Opportunity idle = Opportunity::create("Someday", "Idle Co", s.event.id);
    idle.nextStep = " \t ";
    s.opportunities.push_back(idle);
    return s;
  }

  test::TempDir dir;

 private:
  std::optional<std::string> savedZone_;
};

#define READ_BACK(var, document)       \
  auto var##Read = readBack(document); \
  if (!var##Read) return;              \
  const json& var = *var##Read

TEST_F(FollowUpCalendarTest, IcalendarReadsEachFollowUpAndNextStepBackWithItsTexts) {
  const FollowUpSources s = sources();
  const Date exportedAt = dateFromUnixSeconds(1772800000, 250000);
  CalendarHistory history;
  const std::string text = followUpCalendar(followUpTasks(s, 2, exportedAt), history, exportedAt);

  READ_BACK(calendar, text);
  EXPECT_EQ(calendar["version"], "2.0");
  EXPECT_THAT(calendar["prodid"].get<std::string>(), HasSubstr("Quillmere"));
  const json& todos = calendar["todos"];
  ASSERT_THAT(todos, SizeIs(3)) << "two met contacts not yet written to, one next step";
  EXPECT_TRUE(calendar["others"].empty());

  const json& anna = todos[0];
  EXPECT_EQ(anna["uid"], uidOf("followup-", s.contacts[0].id));
  EXPECT_EQ(anna["summary"], "Follow up with Anna Müller (Acme; Widgets, Inc. \\ Ltd)");
  EXPECT_EQ(anna["description"],
            "Anna Müller\nCompany: Acme; Widgets, Inc. \\ Ltd\n"
            "E-mail: anna.private@example.org\n"
            "Draft subject: Next steps, pricing;\nand a demo \\ pilot\n"
            "Met at Tech Expo 2026 on 2026-03-06")
      << "the newest draft, and the address chosen for it";
  EXPECT_EQ(anna["contact"], "Anna Müller <anna.private@example.org>");
  EXPECT_EQ(anna["due"], json::array({"date", "2026-03-08"}))
      << "two days after the meeting's day in the local time zone";
  EXPECT_EQ(anna["status"], "NEEDS-ACTION");
  EXPECT_EQ(anna["sequence"], 0);
  EXPECT_EQ(anna["dtstamp"], json::array({"date-time", "2026-03-06T12:26:40+00:00"}));
  EXPECT_EQ(anna["last-modified"], anna["dtstamp"]);

  const json& tanaka = todos[1];
  const Contact& t = s.contacts[1];
  EXPECT_EQ(tanaka["uid"], uidOf("followup-", t.id));
  EXPECT_EQ(tanaka["summary"], "Follow up with " + t.fullName() + " (Ñandú Élégance 株式会社)");
  EXPECT_THAT(tanaka["description"].get<std::string>(),
              HasSubstr(t.fullName() + "\nCompany: Ñandú Élégance 株式会社\n"
                                       "E-mail: tanaka@kabushiki.example\n"))
      << "the verified address";

  const json& step = todos[2];
  EXPECT_EQ(step["uid"], uidOf("nextstep-", s.opportunities[0].id));
  EXPECT_EQ(step["summary"], "Send the pricing deck, then call");
  EXPECT_EQ(step["description"],
            "Anna Müller\nCompany: Acme; Widgets, Inc. \\ Ltd\n"
            "E-mail: anna.private@example.org\n"
            "Draft subject: Next steps, pricing;\nand a demo \\ pilot\n"
            "Opportunity: Pilot for 40 sites\nStage: Exploring\nTimeline: This quarter\n"
            "Event: Tech Expo 2026");
  EXPECT_EQ(step["due"], json::array({"date", "2026-03-09"}))
      << "two days after the day it was recorded, in Tokyo the 7th";
}

TEST_F(FollowUpCalendarTest, LinesAreFoldedAt75OctetsBetweenCharactersWithCRLF) {
  const Date at = meetingTime();
  CalendarHistory history;
  const std::string text = followUpCalendar(followUpTasks(sources(), 2, at), history, at);
  ASSERT_TRUE(text.ends_with("END:VCALENDAR\r\n"));
  std::size_t folds = 0;
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t end = text.find("\r\n", from);
    ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
    const std::string_view line(text.data() + from, end - from);
    EXPECT_LE(line.size(), kContentLineOctets) << line;
    EXPECT_TRUE(isValidUTF8(line)) << "a fold split a character: " << line;
    EXPECT_EQ(line.find_first_of("\r\n"), std::string_view::npos) << "no bare CR or LF";
    if (line.starts_with(' ')) ++folds;
    from = end + 2;
  }
  EXPECT_GE(folds, 4u) << "the long names and descriptions were folded";
}

TEST_F(FollowUpCalendarTest, TheDueDayIsTheSettingsDaysAfterTheMeeting) {
  FollowUpSources s = sources();
  // Without a meeting time, the event's start is the meeting's day.
  s.contacts[1].metAt.reset();
  s.event.startDate = dateFromUnixSeconds(1772582400);  // 2026-03-04T00:00Z, the 4th in Tokyo
  for (int days : {0, 7, 365}) {
    const auto tasks = followUpTasks(s, days, meetingTime());
    ASSERT_THAT(tasks, SizeIs(3));
    const std::chrono::sys_days met{std::chrono::year{2026} / 3 / 6};
    EXPECT_EQ(tasks[0].due, std::chrono::year_month_day{met + std::chrono::days{days}}) << days;
    const std::chrono::sys_days started{std::chrono::year{2026} / 3 / 4};
    EXPECT_EQ(tasks[1].due, std::chrono::year_month_day{started + std::chrono::days{days}}) << days;
  }
}

/// Exports from a real store through `exportFollowUpCalendar`.
class FollowUpCalendarExport : public FollowUpCalendarTest {
 protected:
  void SetUp() override {
    FollowUpCalendarTest::SetUp();
    auto opened = Store::open(dir / "QuillmereMac.store");
    ASSERT_OK(opened);
    store = std::move(*opened);
    data = sources();
    ASSERT_OK(store->insert(data.event));
    for (const auto& c : data.contacts) ASSERT_OK(store->insert(c));
    for (const auto& d : data.drafts) ASSERT_OK(store->insert(d));
    for (const auto& o : data.opportunities) ASSERT_OK(store->insert(o));
  }

  Result<CalendarExportSummary> exportAt(Date at, const fs::path& file) {
    return exportFollowUpCalendar(*store, data.event.id,
                                  {.dueDays = 2, .historyFile = historyFile, .now = at}, file);
  }

  std::unique_ptr<Store> store;
  FollowUpSources data;
  fs::path historyFile = dir / "calendar_history.json";
};

TEST_F(FollowUpCalendarExport, AnUnchangedToDoIsWrittenAgainAsItWasAndAChangedOneMovesOn) {
  const Date first = dateFromUnixSeconds(1772800000);
  const Date later = first + std::chrono::hours(26);
  auto summary = exportAt(first, dir / "one.ics");
  ASSERT_OK(summary);
  EXPECT_EQ(summary->followUps, 2u);
  EXPECT_EQ(summary->nextSteps, 1u);
  EXPECT_TRUE(summary->warnings.empty());
  ASSERT_OK(exportAt(later, dir / "two.ics"));
  EXPECT_EQ(readFile(dir / "one.ics").value(), readFile(dir / "two.ics").value())
      << "nothing changed: the same UIDs, SEQUENCE and time stamps";

  Contact anna = data.contacts[0];
  anna.company = "Acme Group";
  ASSERT_OK(store->update(anna));
  ASSERT_OK(exportAt(later, dir / "three.ics"));
  READ_BACK(before, readFile(dir / "one.ics").value());
  READ_BACK(after, readFile(dir / "three.ics").value());
  ASSERT_THAT(after["todos"], SizeIs(3));
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_EQ(after["todos"][i]["uid"], before["todos"][i]["uid"]) << "stable UIDs";
  const json& changed = after["todos"][0];
  EXPECT_EQ(changed["sequence"], 1);
  EXPECT_EQ(changed["summary"], "Follow up with Anna Müller (Acme Group)");
  EXPECT_EQ(changed["last-modified"], json::array({"date-time", "2026-03-07T14:26:40+00:00"}));
  EXPECT_EQ(changed["dtstamp"], changed["last-modified"]);
  const json& untouched = after["todos"][1];
  EXPECT_EQ(untouched["sequence"], 0);
  EXPECT_EQ(untouched["dtstamp"], before["todos"][1]["dtstamp"]);
  EXPECT_EQ(after["todos"][2]["sequence"], 1) << "the next step names Anna's company too";

  // Once the follow-up is sent, the contact has no to-do any more; the next
  // step stays.
  FollowUpDraft reply = FollowUpDraft::create("Sent at last", "…", anna.id);
  reply.status = "sent";
  ASSERT_OK(store->insert(reply));
  summary = exportAt(later, dir / "four.ics");
  ASSERT_OK(summary);
  EXPECT_EQ(summary->followUps, 1u);
  READ_BACK(sent, readFile(dir / "four.ics").value());
  ASSERT_THAT(sent["todos"], SizeIs(2));
  EXPECT_EQ(sent["todos"][0]["uid"], uidOf("followup-", data.contacts[1].id));
}

TEST_F(FollowUpCalendarExport, AnEventWithNothingToFollowUpGivesAnEmptyCalendar) {
  Event quiet = Event::create("Quiet Fair");
  ASSERT_OK(store->insert(quiet));
  Contact unmet = Contact::create("Not", "Met", "Co", quiet.id);
  ASSERT_OK(store->insert(unmet));
  auto summary =
      exportFollowUpCalendar(*store, quiet.id, {.historyFile = historyFile}, dir / "quiet.ics");
  ASSERT_OK(summary);
  EXPECT_EQ(summary->total(), 0u);
  READ_BACK(calendar, readFile(dir / "quiet.ics").value());
  EXPECT_EQ(calendar["version"], "2.0");
  EXPECT_TRUE(calendar["todos"].empty());
}

TEST_F(FollowUpCalendarExport, AFailedWriteLeavesTheFileAndTheHistoryAsTheyWere) {
  ASSERT_OK(writeFileAtomically(dir / "plain-file", "x"));
  auto failed = exportAt(meetingTime(), dir / "plain-file" / "calendar.ics");
  ASSERT_FALSE(failed.ok());
  EXPECT_FALSE(fs::exists(historyFile)) << "no revision recorded for a file never written";
  auto missing = exportFollowUpCalendar(*store, Uuid::random(), {.historyFile = historyFile},
                                        dir / "none.ics");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().code, ErrorCode::notFound);
  EXPECT_FALSE(fs::exists(dir / "none.ics"));
}

TEST_F(FollowUpCalendarExport, AnUnreadableHistoryIsSetAsideAndTheCalendarStillWritten) {
  ASSERT_OK(writeFileAtomically(historyFile, "{\"version\": 1, \"tasks\": {\"x\": 3}}"));
  auto summary = exportAt(meetingTime(), dir / "calendar.ics");
  ASSERT_OK(summary);
  ASSERT_THAT(summary->warnings, SizeIs(1));
  EXPECT_THAT(summary->warnings[0], HasSubstr("Cannot read the calendar history"));
  EXPECT_THAT(summary->warnings[0], HasSubstr("set aside"));
  EXPECT_TRUE(fs::exists(dir / "calendar.ics"));
  auto history = CalendarHistory::load(historyFile);
  ASSERT_OK(history) << "a new history in its place";
  int aside = 0;
  for (const auto& entry : fs::directory_iterator(dir.path()))
    if (entry.path().filename().string().starts_with("calendar_history.json.unreadable")) ++aside;
  EXPECT_EQ(aside, 1);
}

}  // namespace
}  // namespace qm
