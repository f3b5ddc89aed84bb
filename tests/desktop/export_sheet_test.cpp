// The export sheet over a running companion: it starts on the format setting,
// counts the contacts of the chosen scope, proposes the file name in the
// export folder, writes the file whole with the event and the notes, and keeps
// itself open when the file cannot be written or the save dialog is cancelled.

#include <sys/stat.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <filesystem>

#include "common/atomic_file.h"
#include "desktop/contact_list_model.h"
#include "desktop/contacts_view.h"
#include "desktop/event_sidebar.h"
#include "desktop/export_sheet.h"
#include "desktop/main_window.h"
#include "desktop/private_file.h"
#include "desktop_fixture.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/contact.h"
#include "store/relationships.h"

namespace qm::test {
namespace {

using desktop::ExportSheet;
using desktop::MainWindow;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class ExportSheetTest : public DesktopFixture {
 protected:
  /// The save dialog's stand-in: remembers what it was asked and answers `answer`.
  void answerSaveDialog(ExportSheet& sheet, QString answer) {
    sheet.setSaveDialog([this, answer](QWidget*, const ExportSheet::SaveRequest& request) {
      asked = request;
      ++dialogs;
      return answer;
    });
  }
  QPushButton* buttonNamed(QWidget& parent, const QString& name) {
    for (auto* button : parent.findChildren<QPushButton*>())
      if (button->objectName() == name) return button;
    return nullptr;
  }
  std::vector<Contact> eventContacts(const std::string& eventID) {
    return contactsOf(*store_, *Uuid::parse(eventID)).value();
  }

  ExportSheet::SaveRequest asked;
  int dialogs = 0;
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t from = 0;
  while (from <= text.size()) {
    const std::size_t end = text.find("\r\n", from);
    out.push_back(text.substr(from, end == std::string::npos ? std::string::npos : end - from));
    if (end == std::string::npos) break;
    from = end + 2;
  }
  return out;
}

TEST_F(ExportSheetTest, WritesTheChosenFormatAndScopeWhereTheDialogSays) {
  const auto ids = demoData(14, "Tech Expo 2026");
  const std::string eventID = ids["eventID"].get<std::string>();
  const std::filesystem::path folder = outDir.path() / "exports";
  std::filesystem::create_directory(folder);
  {
    UserDefaults defaults(paths.defaultsFile());
    AppSettings settings(defaults);
    ASSERT_TRUE(settings.setDefaultExportFormat(ExportFormat::hubspot).ok());
    ASSERT_TRUE(settings.setDefaultExportFolder(folder.string()).ok());
  }
  const std::vector<Contact> all = eventContacts(eventID);
  const auto met = std::count_if(all.begin(), all.end(),
                                 [](const Contact& c) { return c.status == MeetingStatus::met; });
  ASSERT_GT(met, 0);
  ASSERT_LT(met, 14);

  MainWindow window(context());
  window.show();
  window.sidebar()->setCurrentRow(1);
  window.setMode(MainWindow::Mode::contacts);
  ExportSheet& sheet = *window.exportSheet();
  const std::filesystem::path file = outDir.path() / "met.csv";
  answerSaveDialog(sheet, desktop::qs(file.string()));

  // "Export…" in the contacts list opens the sheet on the format setting, all contacts.
  QPushButton* open = buttonNamed(*window.contactsView(), "export-contacts");
  ASSERT_NE(open, nullptr);
  open->click();
  ASSERT_TRUE(sheet.isVisible());
  EXPECT_EQ(sheet.windowTitle(), "Export Contacts");
  EXPECT_EQ(sheet.formatBox()->count(), 7) << "six contact formats and the calendar";
  EXPECT_EQ(sheet.formatBox()->currentText(), "HubSpot CSV");
  EXPECT_EQ(sheet.scopeBox()->currentText(), "All Contacts");
  EXPECT_EQ(sheet.countLabel()->text(), "14 contacts will be exported");
  sheet.scopeBox()->setCurrentText("Met Only");
  EXPECT_EQ(sheet.countLabel()->text(), QString("%1 contacts will be exported").arg(met));

  sheet.exportButton()->click();
  EXPECT_EQ(asked.title, "Export Contacts");
  EXPECT_EQ(asked.proposedPath.toStdString(), (folder / "Tech_Expo_2026_hubspot.csv").string());
  EXPECT_THAT(asked.filter.toStdString(), HasSubstr("*.csv"));
  EXPECT_FALSE(sheet.isVisible()) << "a written export closes the sheet";
  const std::string csv = readFile(file).value();
  ASSERT_THAT(csv, StartsWith("\xEF\xBB\xBF"
                              "\"First Name\",\"Last Name\",Email,\"Phone Number\","));
  const auto rows = lines(csv);
  ASSERT_EQ(static_cast<long>(rows.size()), met + 1);
  for (const Contact& c : all)
    if (c.status == MeetingStatus::met) {
      EXPECT_TRUE(std::any_of(rows.begin() + 1, rows.end(), [&](const std::string& row) {
        return row.find(c.lastName) != std::string::npos;
      })) << c.fullName();
    }
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "an export names people: the user's only";

  // Two selected rows as vCards, through the File menu's shortcut.
  desktop::ContactsView& contacts = *window.contactsView();
  contacts.table()->selectRow(0);
  contacts.table()->selectionModel()->select(
      contacts.model()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  const std::string first = contacts.model()->contactAt(0)->lastName;
  const std::string fourth = contacts.model()->contactAt(3)->lastName;
  const std::filesystem::path cards = outDir.path() / "cards.vcf";
  answerSaveDialog(sheet, desktop::qs(cards.string()));
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_E, Qt::ControlModifier);
  ASSERT_TRUE(sheet.isVisible());
  EXPECT_EQ(sheet.countLabel()->text(), "14 contacts will be exported") << "all, again";
  sheet.formatBox()->setCurrentText("vCard");
  sheet.scopeBox()->setCurrentText("Selected Contacts");
  EXPECT_EQ(sheet.countLabel()->text(), "2 contacts will be exported");
  sheet.exportButton()->click();
  EXPECT_EQ(asked.proposedPath.toStdString(),
            (outDir.path() / "Tech_Expo_2026_contacts.vcf").string())
      << "in the folder of the last export";
  EXPECT_THAT(asked.filter.toStdString(), HasSubstr("*.vcf"));
  const std::string vcf = readFile(cards).value();
  std::size_t count = 0;
  for (std::size_t at = vcf.find("BEGIN:VCARD"); at != std::string::npos;
       at = vcf.find("BEGIN:VCARD", at + 1))
    ++count;
  EXPECT_EQ(count, 2u);
  EXPECT_THAT(vcf, HasSubstr(first));
  EXPECT_THAT(vcf, HasSubstr(fourth));
  EXPECT_THAT(vcf, HasSubstr("\r\nCATEGORIES:Tech Expo 2026\r\n")) << "the event";
  EXPECT_THAT(vcf, HasSubstr(": Met at the booth\\; interested in a pilot.\r\n"))
      << "the contact's note, after its date";
}

TEST_F(ExportSheetTest, AFailedOrCancelledSaveKeepsTheSheetOpen) {
  const auto ids = demoData(3, "Salon Lyon");
  MainWindow window(context());
  window.show();
  window.sidebar()->setCurrentRow(1);
  ExportSheet& sheet = *window.exportSheet();

  // A folder that is a file: no permission bits to rely on (tests may run as root).
  const std::filesystem::path notAFolder = outDir.path() / "plain-file";
  ASSERT_TRUE(writeFileAtomically(notAFolder, "x").ok());
  answerSaveDialog(sheet, desktop::qs((notAFolder / "out.csv").string()));
  window.exportContacts();
  ASSERT_TRUE(sheet.isVisible());
  EXPECT_EQ(sheet.formatBox()->currentText(), "Generic CSV") << "the format setting's default";
  sheet.exportButton()->click();
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_TRUE(sheet.errorLabel()->isVisible());
  EXPECT_THAT(sheet.errorLabel()->text().toStdString(), StartsWith("Failed to save: "));
  EXPECT_GT(sheet.errorLabel()->text().size(), QString("Failed to save: ").size());
  EXPECT_TRUE(sheet.exportButton()->isEnabled()) << "another try is possible";

  // Cancelling the dialog writes nothing and leaves the sheet as it was.
  const std::filesystem::path unused = outDir.path() / "Salon_Lyon_contacts.csv";
  answerSaveDialog(sheet, {});
  sheet.exportButton()->click();
  EXPECT_EQ(dialogs, 2);
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_FALSE(sheet.errorLabel()->isVisible()) << "the earlier error is cleared";
  EXPECT_FALSE(std::filesystem::exists(unused));

  // Without an export folder the name is proposed in a folder that exists.
  EXPECT_EQ(QFileInfo(asked.proposedPath).fileName(), "Salon_Lyon_contacts.csv");
  EXPECT_TRUE(QFileInfo(asked.proposedPath).dir().exists());
  sheet.cancelButton()->click();
  EXPECT_FALSE(sheet.isVisible());
}

// The name typed decides the format when it ends in one of the formats'
// extensions; the next export starts on that format in that folder, and the
// window says where the file went with a way to open its folder.
TEST_F(ExportSheetTest, TheFileNameDecidesTheFormatAndTheNextExportRemembersIt) {
  demoData(5, "Tech Expo 2026");
  const std::filesystem::path folder = outDir.path() / "chosen";
  std::filesystem::create_directory(folder);
  MainWindow window(context());
  window.show();
  window.sidebar()->setCurrentRow(1);
  ExportSheet& sheet = *window.exportSheet();
  QStringList opened;
  desktop::externalOpener() = [&](const QString& path, auto done) {
    opened << path;
    done(QString());
  };

  const std::filesystem::path workbook = folder / "leads.xlsx";
  answerSaveDialog(sheet, desktop::qs(workbook.string()));
  window.exportContacts();
  sheet.formatBox()->setCurrentText("Generic CSV");
  sheet.exportButton()->click();
  EXPECT_THAT(readFile(workbook).value(), StartsWith(std::string("PK\x03\x04", 4)))
      << "an .xlsx name gets a workbook";
  auto* done = window.findChild<QMessageBox*>("export-done");
  ASSERT_NE(done, nullptr);
  EXPECT_THAT(done->text().toStdString(), HasSubstr("Exported 5 contacts to "));
  for (auto* b : done->buttons())
    if (b->text() == "Show in Folder") b->click();
  EXPECT_EQ(opened, QStringList{desktop::qs(folder.string())});
  done->close();

  window.exportContacts();
  EXPECT_EQ(sheet.formatBox()->currentText(), "Excel (XLSX)");
  const std::filesystem::path cards = folder / "cards.vcf";
  answerSaveDialog(sheet, desktop::qs(cards.string()));
  sheet.exportButton()->click();
  EXPECT_EQ(QFileInfo(asked.proposedPath).absolutePath().toStdString(), folder.string())
      << "the last folder is proposed";
  EXPECT_THAT(readFile(cards).value(), StartsWith("BEGIN:VCARD"));
  desktop::externalOpener() = desktop::openWithXdgOpen;
}

// The follow-up calendar takes no scope: the sheet hides it, counts the
// to-dos, proposes an .ics name and writes one VTODO per met contact not yet
// written to and per next step.
TEST_F(ExportSheetTest, TheFollowUpCalendarCountsAndWritesTheToDos) {
  const auto ids = demoData(8, "Tech Expo 2026");
  const Uuid eventID = *Uuid::parse(ids["eventID"].get<std::string>());
  std::vector<Contact> met;
  for (const Contact& c : eventContacts(eventID.str()))
    if (c.status == MeetingStatus::met) met.push_back(c);
  ASSERT_GE(met.size(), 2u);
  FollowUpDraft sent = FollowUpDraft::create("Thanks", "…", met[0].id);
  sent.status = "sent";
  ASSERT_TRUE(store_->insert(sent).ok());
  Opportunity pilot = Opportunity::create("Pilot", "Acme", eventID);
  pilot.nextStep = "Send the pricing deck";
  ASSERT_TRUE(store_->insert(pilot).ok());
  const std::size_t expected = met.size() - 1 + 1;

  MainWindow window(context());
  window.show();
  window.sidebar()->setCurrentRow(1);
  ExportSheet& sheet = *window.exportSheet();
  const std::filesystem::path file = outDir.path() / "follow-ups.ics";
  answerSaveDialog(sheet, desktop::qs(file.string()));
  window.exportContacts();
  ASSERT_TRUE(sheet.isVisible());
  EXPECT_TRUE(sheet.scopeBox()->isVisible());
  sheet.formatBox()->setCurrentText("Follow-up calendar (.ics)");
  EXPECT_FALSE(sheet.scopeBox()->isVisible()) << "the calendar has no scope";
  EXPECT_EQ(sheet.countLabel()->text(),
            QString("%1 to-dos will be put in the calendar").arg(expected));
  sheet.exportButton()->click();
  EXPECT_EQ(QFileInfo(asked.proposedPath).fileName(), "Tech_Expo_2026_follow-ups.ics");
  EXPECT_THAT(asked.filter.toStdString(), HasSubstr("*.ics"));
  EXPECT_FALSE(sheet.isVisible());
  const std::string calendar = readFile(file).value();
  std::size_t todos = 0;
  for (auto at = calendar.find("BEGIN:VTODO"); at != std::string::npos;
       at = calendar.find("BEGIN:VTODO", at + 1))
    ++todos;
  EXPECT_EQ(todos, expected);
  EXPECT_THAT(calendar, HasSubstr("UID:nextstep-" + pilot.id.str() + "@quillmere\r\n"));
  EXPECT_EQ(calendar.find("UID:followup-" + met[0].id.str()), std::string::npos)
      << "written to already";
  auto* done = window.findChild<QMessageBox*>("export-done");
  ASSERT_NE(done, nullptr);
  EXPECT_THAT(done->text().toStdString(),
              HasSubstr("Put " + std::to_string(expected) + " to-dos in the calendar "));
  done->close();

  // The next export starts on the calendar again.
  window.exportContacts();
  EXPECT_EQ(sheet.formatBox()->currentText(), "Follow-up calendar (.ics)");
  EXPECT_FALSE(sheet.scopeBox()->isVisible());
  sheet.cancelButton()->click();
}

}  // namespace
}  // namespace qm::test
