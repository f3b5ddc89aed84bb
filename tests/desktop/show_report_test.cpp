// The post-show report: `quillmere report` has the window's program write the
// PDF without a display; poppler's pdftotext reads its text back, names in
// Chinese and with accents included; the paper follows the locale.
#include <QLocale>

#include <filesystem>
#include <fstream>

#include "desktop/locale_text.h"
#include "desktop/show_report.h"
#include "desktop_fixture.h"
#include "store/opportunity.h"
#include "ui/event_records.h"

namespace qm::test {
namespace {

using ::testing::HasSubstr;

class ShowReportTest : public DesktopFixture {
 protected:
  /// The PDF's text as pdftotext reads it, every run of white space made
  /// one space (how lines and boxes break is the reader's business).
  std::string pdfText(const std::filesystem::path& file) {
    auto text = runCommand("/usr/bin/pdftotext", {"-enc", "UTF-8", file.string(), "-"}, {});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    std::string flat;
    for (const char c : text.out) {
      const bool space = c == ' ' || c == '\n' || c == '\t' || c == '\f' || c == '\r';
      if (!space)
        flat += c;
      else if (!flat.empty() && flat.back() != ' ')
        flat += ' ';
    }
    return flat;
  }
};

TEST_F(ShowReportTest, TheCommandWritesAPdfWhoseTextReadsBack) {
  const auto made = demoData(12, "Messe München");
  const Uuid eventID = *Uuid::parse(made["eventID"].get<std::string>());
  const auto contactAt = [&](int i) {
    return **store_->find<Contact>(*Uuid::parse(made["contactIDs"][i].get<std::string>()));
  };
  // A Chinese and an accented name among the priority contacts (targets not met).
  Contact wang = contactAt(1);
  wang.firstName = "秀英";
  wang.lastName = "王";
  wang.company = "深圳华星光电";
  wang.isTarget = true;
  wang.status = MeetingStatus::notMet;
  wang.rank = 1;
  ASSERT_TRUE(store_->update(wang).ok());
  Contact zoe = contactAt(2);
  zoe.firstName = "Zoë";
  zoe.lastName = "Ångström";
  zoe.tier = "A";
  zoe.status = MeetingStatus::notMet;
  ASSERT_TRUE(store_->update(zoe).ok());
  Opportunity deal = Opportunity::create("Fleet pilot", "Acme Robotics", eventID);
  deal.value = 180000;
  deal.stage = "Interested";
  ASSERT_TRUE(store_->insert(deal).ok());
  const auto records = loadEventRecords(*store_, eventID);
  ASSERT_TRUE(records.ok());
  const std::int64_t met = metCount(records->contacts);
  ASSERT_GT(met, 0);

  const auto file = outDir.path() / "report.pdf";
  auto written = cli({"report", "münchen", "-o", file.string()});
  ASSERT_EQ(written.exitCode, 0) << written.out << written.err;
  EXPECT_THAT(written.out, HasSubstr("written to " + file.string()));
  EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  const std::string text = pdfText(file);
  EXPECT_THAT(text, HasSubstr("Messe München"));
  EXPECT_THAT(text, HasSubstr("Hall 4"));
  EXPECT_THAT(text, HasSubstr("秀英 王"));  // the CJK name, as real text
  EXPECT_THAT(text, HasSubstr("Zoë Ångström"));
  EXPECT_THAT(text, HasSubstr("深圳华星光电"));
  // The headline figures, read as their boxes are laid out: the row of
  // figures, then their captions; the amount in the session's locale, as the
  // window's program writes it.
  const auto rated = std::count_if(records->contacts.begin(), records->contacts.end(),
                                   [](const ListContact& c) { return c.interactionRating >= 4; });
  EXPECT_THAT(
      text, HasSubstr("12 " + std::to_string(met) + " " + std::to_string(rated) + " 0 1 " +
                      desktop::utf8(desktop::moneyText(180000, "EUR", desktop::CurrencyMark::symbol,
                                                       QLocale::system())) +
                      " contacts captured met ("));
  EXPECT_THAT(text, HasSubstr("Fleet pilot"));
  EXPECT_THAT(text, HasSubstr("From capture to opportunity"));
  EXPECT_THAT(text, HasSubstr("Follow-up status"));
  EXPECT_THAT(text, HasSubstr("Of " + std::to_string(met) +
                              " met contacts: " + std::to_string(met) + " without a draft"));
}

TEST_F(ShowReportTest, UnknownEventsAndAMissingWindowProgramAreSaidPlainly) {
  demoData(2, "Messe München");
  const auto file = outDir.path() / "none.pdf";
  auto unknown = cli({"report", "Nowhere Fair", "-o", file.string()});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_THAT(unknown.err, HasSubstr("Messe München"));  // the events there are
  EXPECT_FALSE(std::filesystem::exists(file));

  // The command alone, with no window program beside it or on PATH.
  TempDir lonely;
  const auto copy = lonely.path() / "quillmere";
  std::filesystem::copy_file(QUILLMERE_BINARY, copy);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
  auto envWithout = env;
  envWithout["PATH"] = lonely.path().string();
  auto missing = runCommand(copy, {"report", "Messe München", "-o", file.string()}, envWithout);
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_THAT(missing.err, HasSubstr("quillmere-desktop, which is not installed"));
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(ReportPaper, FollowsTheLocalesMeasurementSystem) {
  using desktop::reportPageSize;
  EXPECT_EQ(reportPageSize(QLocale(QLocale::English, QLocale::UnitedStates)), QPageSize::Letter);
  EXPECT_EQ(reportPageSize(QLocale(QLocale::French, QLocale::Canada)), QPageSize::Letter);
  EXPECT_EQ(reportPageSize(QLocale(QLocale::English, QLocale::UnitedKingdom)), QPageSize::A4);
  EXPECT_EQ(reportPageSize(QLocale(QLocale::German, QLocale::Germany)), QPageSize::A4);
}

}  // namespace
}  // namespace qm::test
