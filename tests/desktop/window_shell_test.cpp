// The window's shell: File ▸ Quit, Help ▸ About and Keyboard Shortcuts, and
// the window reopening on the event and list mode it was closed on, or where
// it is told to open.

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

#include "common/version.h"
#include "desktop/about_dialog.h"
#include "desktop/contact_list_model.h"
#include "desktop/contacts_view.h"
#include "desktop/dashboard_view.h"
#include "desktop/event_sidebar.h"
#include "desktop/main_window.h"
#include "desktop/shortcuts_dialog.h"
#include "desktop_fixture.h"

namespace qm::test {
namespace {

using desktop::MainWindow;
using ::testing::HasSubstr;

class WindowShellTest : public DesktopFixture {};

/// The dialog's rows, "action=keys".
QStringList rows(const QTableWidget& table) {
  QStringList out;
  for (int row = 0; row < table.rowCount(); ++row)
    out << table.item(row, 0)->text() + QLatin1Char('=') + table.item(row, 1)->text();
  return out;
}

TEST_F(WindowShellTest, QuitAboutAndShortcutsAreInTheMenusWithTheirKeys) {
  MainWindow window(context());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  EXPECT_EQ(window.quitAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
  window.aboutAction()->trigger();
  ASSERT_NE(window.aboutDialog(), nullptr);
  EXPECT_TRUE(window.aboutDialog()->isVisible());
  const std::string about = window.aboutDialog()->textLabel()->text().toStdString();
  EXPECT_THAT(about, HasSubstr("Version " + std::string(quillmereVersion())));
  EXPECT_THAT(about, HasSubstr(paths.storeFile().string()));
  EXPECT_THAT(about, HasSubstr(paths.logFile().string()));

  window.shortcutsAction()->trigger();
  desktop::ShortcutsDialog* shortcuts = window.shortcutsDialog();
  ASSERT_NE(shortcuts, nullptr);
  const QStringList listed = rows(*shortcuts->table());
  for (const char* row :
       {"Quit=Ctrl+Q", "Sync Now=Ctrl+R", "Import Events=Ctrl+I", "Contacts=Ctrl+2",
        "Reports=Ctrl+6", "Keyboard Shortcuts=Ctrl+/", "Undo=Ctrl+Z"})
    EXPECT_TRUE(listed.contains(QLatin1String(row))) << row << "\n"
                                                     << listed.join('\n').toStdString();
  // Read from the actions: a changed key is listed as it is now.
  window.quitAction()->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q));
  shortcuts->hide();
  window.shortcutsAction()->trigger();
  EXPECT_TRUE(rows(*shortcuts->table()).contains(QStringLiteral("Quit=Ctrl+Shift+Q")));
}

TEST_F(WindowShellTest, TheWindowReopensOnTheEventModeAndOrderingItWasClosedOn) {
  demoData(3, "Spring Expo");
  const auto autumn = demoData(3, "Autumn Expo");
  const auto autumnID = Uuid::parse(autumn["eventID"].get<std::string>());
  {
    MainWindow window(context());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_FALSE(window.sidebar()->currentEvent().has_value());
    window.sidebar()->choose(autumnID);
    // A click on the Company header orders by company, then a second click
    // turns it round; another event keeps that ordering.
    window.setMode(MainWindow::Mode::contacts);
    auto* header = window.contactsView()->table()->horizontalHeader();
    const int company = 1;
    ASSERT_EQ(window.contactsView()
                  ->model()
                  ->headerData(company, Qt::Horizontal, Qt::DisplayRole)
                  .toString(),
              "Company");
    for (int click = 0; click < 2; ++click)  // far enough apart not to be a double click
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                        QPoint(header->sectionViewportPosition(company) + 5, 5),
                        QApplication::doubleClickInterval() + 50);
    window.sidebar()->choose(std::nullopt);
    window.sidebar()->choose(autumnID);
    EXPECT_EQ(window.contactsView()->state().sortField, ContactSortField::company);
    EXPECT_FALSE(window.contactsView()->state().sortAscending);
    window.setMode(MainWindow::Mode::companies);
    window.close();
  }
  MainWindow again(context());
  again.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
  EXPECT_EQ(again.sidebar()->currentEvent(), autumnID);
  EXPECT_EQ(again.mode(), MainWindow::Mode::companies);
  EXPECT_EQ(again.contactsView()->state().sortField, ContactSortField::company);
  EXPECT_FALSE(again.contactsView()->state().sortAscending);
  // Only the list it reopened on read its records: not All Events' dashboard
  // it starts from, nor the event's dashboard on the way.
  EXPECT_EQ(again.dashboardView()->widget(), nullptr);
}

TEST_F(WindowShellTest, AnOpeningEventAndModeTakeThePlaceOfTheRememberedOnes) {
  const auto spring = demoData(4, "Spring Expo");
  const auto springID = Uuid::parse(spring["eventID"].get<std::string>());
  const auto autumn = demoData(3, "Autumn Expo");
  {
    MainWindow window(context());
    window.show();
    window.sidebar()->choose(Uuid::parse(autumn["eventID"].get<std::string>()));
    window.setMode(MainWindow::Mode::companies);
    window.close();
  }
  MainWindow::Opening opening;
  opening.event = springID;
  opening.mode = MainWindow::Mode::contacts;
  MainWindow window(context(), opening);
  EXPECT_EQ(window.sidebar()->currentEvent(), springID);
  EXPECT_EQ(window.mode(), MainWindow::Mode::contacts);
  EXPECT_EQ(window.contactsView()->model()->rowCount(), 4);
  EXPECT_EQ(window.dashboardView()->widget(), nullptr);

  // Either one alone: the other is the remembered one.
  MainWindow::Opening modeOnly;
  modeOnly.mode = MainWindow::Mode::dashboard;
  MainWindow dashboard(context(), modeOnly);
  EXPECT_EQ(dashboard.sidebar()->currentEvent(), Uuid::parse(autumn["eventID"].get<std::string>()));
  EXPECT_EQ(dashboard.mode(), MainWindow::Mode::dashboard);
  EXPECT_NE(dashboard.dashboardView()->widget(), nullptr);
}

TEST_F(WindowShellTest, AnOpenWindowSaysANewLanguageShowsWhenItIsReopened) {
  MainWindow window(context());
  window.show();
  link_->subscribe();
  ASSERT_TRUE(QTest::qWaitFor([&] { return link_->isFeedConnected(); }, 10000));
  EXPECT_FALSE(window.errorLabel()->isVisible());
  const auto changed = cli({"settings", "set", "appLanguage", "fr", "--yes"});
  ASSERT_EQ(changed.exitCode, 0) << changed.out << changed.err;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return window.errorLabel()->text() ==
               "The window shows the new language when it is reopened.";
      },
      15000))
      << window.errorLabel()->text().toStdString();
}

}  // namespace
}  // namespace qm::test
