// Every export read back by an independent reader: Python's csv module for
// the four CSV layouts, vobject for vCard 3.0 and 4.0, openpyxl for the
// workbook (cell types included), with the notes and the event they carry. A reader that is not
// installed fails its test: scripts/setup.sh installs them all.
#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "export/contact_export.h"
#include "export/csv_contact_layouts.h"
#include "export/vcard_contact_export.h"
#include "export/xlsx_contact_export.h"
#include "export_test_contacts.h"
#include "support/status_matchers.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using nlohmann::json;

class ExportReaders : public ::testing::Test {
 protected:
  test::TempDir dir;

  /// What the reader of `kind` finds in `document`; nothing, and the test
  /// failed, when the reader is missing or cannot read it.
  std::optional<json> readBack(const std::string& kind, const std::string& document) {
    const auto file = dir / ("export." + kind);
    EXPECT_OK(writeFileAtomically(file, document));
    const auto result = test::runCommand(QM_PYTHON3, {QM_READ_EXPORTS, kind, file.string()}, {});
    if (result.exitCode == 3) {
      ADD_FAILURE() << result.err << "; scripts/setup.sh installs it";
      return std::nullopt;
    }
    EXPECT_EQ(result.exitCode, 0) << result.err;
    if (result.exitCode != 0) return std::nullopt;
    return json::parse(result.out);
  }
};

#define READ_BACK(var, kind, document)       \
  auto var##Read = readBack(kind, document); \
  if (!var##Read) return;                    \
  const json& var = *var##Read

TEST_F(ExportReaders, CsvModuleReadsEveryLayoutBackToTheSameFields) {
  const auto contacts = test::sampleContacts();
  const ContactExportMeeting meeting = test::sampleMeeting(contacts[0]);
  // One field each, whatever the notes hold; a line break inside a note is a space.
  const std::string notes = test::sampleNotesText(" | ");
  const std::string flatNotes =
      notes.substr(0, notes.find('\n')) + " " + notes.substr(notes.find('\n') + 1);
  const std::string summary =
      "Summary: Runs growth; budget in Q3 needs a demo soon | Why Meet: Budget, timing | "
      "Priority: A";
  READ_BACK(generic, "csv", genericCSV(contacts));
  ASSERT_EQ(generic.size(), 4u);
  for (const auto& row : generic) EXPECT_EQ(row.size(), kGenericColumns.size());
  EXPECT_EQ(generic[0][0], "First Name") << "the byte order mark is not part of the header";
  EXPECT_EQ(generic[1][1], "Müller");
  EXPECT_EQ(generic[1][2], "Acme, Inc.");
  EXPECT_EQ(generic[1][3], "Head of \"Growth\"");
  EXPECT_EQ(generic[1][8], "New York");
  EXPECT_EQ(generic[1][23], "Runs growth; budget in Q3 needs a demo soon");
  EXPECT_EQ(generic[1][26], "=HYPERLINK(\"x\")");
  EXPECT_EQ(generic[2][0], "田中");
  EXPECT_EQ(generic[3][1], "Nguyễn");

  READ_BACK(hubspot, "csv", hubspotCSV(contacts));
  ASSERT_EQ(hubspot.size(), 4u);
  for (const auto& row : hubspot) EXPECT_EQ(row.size(), 16u);
  EXPECT_EQ(hubspot[1][15], summary);

  READ_BACK(salesforce, "csv", salesforceCSV(contacts, meeting));
  ASSERT_EQ(salesforce.size(), 4u);
  for (const auto& row : salesforce) {
    EXPECT_EQ(row.size(), 16u);
    EXPECT_NE(row[1], "") << "Last Name";
    EXPECT_NE(row[2], "") << "Company";
    EXPECT_EQ(row[13], row == salesforce[0] ? "Lead Source" : "Tech Expo, Berlin");
  }
  EXPECT_EQ(salesforce[1][14], "Sam Lee") << "Follow-Up Owner";
  EXPECT_EQ(salesforce[1][15],
            flatNotes + " | " + summary + " | LinkedIn: https://www.linkedin.com/in/anna-mueller")
      << "Description";
  EXPECT_EQ(salesforce[2][14], "") << "no owner";
  EXPECT_EQ(salesforce[2][15], "") << "nothing to describe";

  READ_BACK(pipedrive, "csv", pipedriveCSV(contacts, meeting));
  ASSERT_EQ(pipedrive.size(), 4u);
  for (const auto& row : pipedrive) {
    EXPECT_EQ(row.size(), 10u);
    EXPECT_NE(row[0], "") << "Name";
  }
  EXPECT_EQ(pipedrive[1][0], "Anna Müller");
  EXPECT_EQ(pipedrive[1][7], "Tech Expo, Berlin") << "Label";
  EXPECT_EQ(pipedrive[1][8], "Sam Lee") << "Follow-Up Owner";
  EXPECT_EQ(pipedrive[1][9], flatNotes + " | " + summary) << "Note";
  EXPECT_EQ(pipedrive[3][7], "Tech Expo, Berlin");
  EXPECT_EQ(pipedrive[3][9], "") << "no notes, no summary";
}

TEST_F(ExportReaders, VobjectReadsBothVCardVersions) {
  Contact longNote = test::annaMuller();
  longNote.aiSummary =
      std::string(60, 'x') + " Grüße aus München, 東京; 田中さん\\ " + std::string(90, 'y');
  for (auto version : {VCardVersion::v4, VCardVersion::v3}) {
    SCOPED_TRACE(version == VCardVersion::v4 ? "vCard 4.0" : "vCard 3.0");
    READ_BACK(cards, "vcard",
              exportContacts(ExportFormat::vcard, {longNote, test::tanaka(), test::oystein()},
                             test::sampleMeeting(longNote), {.vcard3 = version == VCardVersion::v3})
                  .value());
    ASSERT_EQ(cards.size(), 3u);
    EXPECT_EQ(cards[0]["version"], version == VCardVersion::v4 ? "4.0" : "3.0");
    EXPECT_EQ(cards[0]["fn"], "Anna Müller");
    EXPECT_EQ(cards[0]["n"], json({"Müller", "Anna"}));
    EXPECT_EQ(cards[0]["org"], json({"Acme, Inc."}));
    EXPECT_EQ(cards[0]["title"], "Head of \"Growth\"");
    EXPECT_EQ(cards[0]["email"], "anna.mueller@acme.example");
    EXPECT_EQ(cards[0]["adr"], json({"New York", "NY", "10001", "Germany"}));
    EXPECT_EQ(cards[0]["categories"], json({"Tech Expo, Berlin"})) << "one category";
    EXPECT_EQ(cards[0]["note"], test::sampleNotesText("\n") +
                                    "\nFollow-Up Owner: Sam Lee\nSummary: " + *longNote.aiSummary +
                                    "\nWhy Meet: Budget, timing\nPriority: A");
    EXPECT_EQ(cards[1]["fn"], "田中");
    EXPECT_EQ(cards[1]["categories"], json({"Tech Expo, Berlin"}));
    EXPECT_FALSE(cards[1].contains("note"));
    EXPECT_EQ(cards[2]["n"], json({"Nguyễn", "Øystein"}));
  }
}

TEST_F(ExportReaders, OpenpyxlReadsTheWorkbookWithItsTypes) {
  Contact preHistoric = test::oystein();
  preHistoric.metAt = dateFromUnixSeconds(-2300000000);  // 1897, before Excel's dates
  const Contact anna = test::annaMuller();
  READ_BACK(book, "xlsx",
            exportContacts(ExportFormat::xlsx, {anna, test::tanaka(), preHistoric},
                           test::sampleMeeting(anna))
                .value());
  EXPECT_EQ(book["sheet"], "Contacts");
  EXPECT_EQ(book["freeze"], "A2");
  const json& rows = book["rows"];
  ASSERT_EQ(rows.size(), 4u);
  ASSERT_EQ(rows[0].size(), kWorkbookColumns.size());
  for (std::size_t col = 0; col < kWorkbookColumns.size(); ++col)
    EXPECT_EQ(rows[0][col][1], std::string(kWorkbookColumns[col]));
  EXPECT_EQ(rows[0][28], json({"s", "Event"}));
  EXPECT_EQ(rows[0][29], json({"s", "Follow-Up Owner"}));
  EXPECT_EQ(rows[0][30], json({"s", "Notes"}));
  const json& annaRow = rows[1];
  EXPECT_EQ(annaRow[1], json({"s", "Müller"}));
  EXPECT_EQ(annaRow[2], json({"s", "Acme, Inc."}));
  EXPECT_EQ(annaRow[11], json({"number", 8, "0.0"})) << "Overall Score";
  EXPECT_EQ(annaRow[12], json({"s", "Met"})) << "Meeting Status";
  EXPECT_EQ(annaRow[13], json({"bool", true})) << "Is Target";
  EXPECT_EQ(annaRow[14], json({"bool", false})) << "Is Favorite";
  EXPECT_EQ(annaRow[15][0], "number") << "Interaction Rating";
  EXPECT_EQ(annaRow[15][1], 4);
  EXPECT_EQ(annaRow[17], json({"date", "2026-03-05T14:30:00", "yyyy-mm-dd hh:mm:ss"})) << "Met At";
  EXPECT_EQ(annaRow[23][1], "Runs growth;\nbudget in Q3\nneeds a demo\nsoon")
      << "line breaks kept in a cell, as line feeds";
  EXPECT_EQ(annaRow[26], json({"s", "=HYPERLINK(\"x\")"})) << "text, never a formula";
  EXPECT_EQ(annaRow[28], json({"s", "Tech Expo, Berlin"})) << "Event";
  EXPECT_EQ(annaRow[29], json({"s", "Sam Lee"})) << "Follow-Up Owner";
  EXPECT_EQ(annaRow[30], json({"s", test::sampleNotesText("\n")}))
      << "Notes: newest first, one per line, the note's own line break kept";
  EXPECT_EQ(rows[2][0], json({"s", "田中"}));
  EXPECT_EQ(rows[2][11], json({"empty"})) << "no score";
  EXPECT_EQ(rows[2][12], json({"s", "Not met"}));
  EXPECT_EQ(rows[2][28], json({"s", "Tech Expo, Berlin"}));
  EXPECT_EQ(rows[2][29], json({"empty"})) << "no owner";
  EXPECT_EQ(rows[2][30], json({"empty"})) << "no notes";
  EXPECT_EQ(rows[3][12], json({"s", "Declined"}));
  EXPECT_EQ(rows[3][11][1], 7.25);
  EXPECT_EQ(rows[3][17], json({"s", "1897-02-11T15:06:40Z"}));

  // Every column's width is declared by exactly one <col> range.
  std::vector<double> width(kWorkbookColumns.size() + 1, 0);
  for (const json& range : book["cols"]) {
    for (int col = range[0]; col <= range[1]; ++col) {
      ASSERT_LT(col, std::ssize(width));
      EXPECT_EQ(width[col], 0) << "column " << col << " is in two <col> ranges";
      width[col] = range[2];
    }
  }
  const auto widthOf = [&](std::string_view header) {
    const auto at = std::find(kWorkbookColumns.begin(), kWorkbookColumns.end(), header);
    return width[at - kWorkbookColumns.begin() + 1];
  };
  for (std::size_t col = 1; col < width.size(); ++col)
    EXPECT_GT(width[col], 0) << kWorkbookColumns[col - 1] << " has a width";
  EXPECT_GT(widthOf("Company"), 0);
  EXPECT_GT(widthOf("Met At"), widthOf("Company"));
  EXPECT_GT(widthOf("AI Summary"), widthOf("Met At"));
  EXPECT_EQ(widthOf("Watch Outs"), widthOf("AI Summary"));
  EXPECT_EQ(widthOf("Verified Phone"), widthOf("Company"));
  EXPECT_GT(widthOf("Notes"), widthOf("AI Summary"));
}

}  // namespace
}  // namespace qm
