// Help ▸ Check for Updates and the daily check at start: the window asks the
// real `quillmere update check --json` in a process of its own and says what
// it found; the daily check runs only with its setting on, once a day.

#include <QAction>
#include <QDateTime>
#include <QMessageBox>
#include <QSignalSpy>

#include "desktop/main_window.h"
#include "desktop/update_checker.h"
#include "desktop/window_state.h"
#include "desktop_fixture.h"

namespace qm::test {
namespace {

using desktop::UpdateChecker;
using desktop::UpdateOutcome;
using ::testing::HasSubstr;

class UpdateCheckTest : public DesktopFixture {};

UpdateOutcome waitForOutcome(UpdateChecker& checker) {
  QSignalSpy spy(&checker, &UpdateChecker::finished);
  EXPECT_TRUE(spy.wait(20000));
  if (spy.isEmpty()) return {};
  return spy.takeFirst().at(0).value<UpdateOutcome>();
}

TEST_F(UpdateCheckTest, TheMenuSaysABuildTreeUpdatesWithGit) {
  desktop::MainWindow window(context());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_NE(window.checkForUpdatesAction(), nullptr);
  // The tests run the quillmere of the build tree, not a packaged one.
  QSignalSpy spy(window.updateChecker(), &UpdateChecker::finished);
  window.checkForUpdatesAction()->trigger();
  EXPECT_TRUE(window.updateChecker()->isChecking());
  ASSERT_TRUE(spy.wait(20000));
  auto* box = window.findChild<QMessageBox*>(QStringLiteral("updateOutcome"));
  ASSERT_NE(box, nullptr);
  EXPECT_THAT(box->text().toStdString(), HasSubstr("runs from a build tree"));
  EXPECT_THAT(box->text().toStdString(), HasSubstr("git pull\nbash scripts/run.sh"));
}

TEST_F(UpdateCheckTest, TheDailyCheckRunsWithItsSettingOnceADay) {
  UpdateChecker checker(QStringLiteral(QUILLMERE_BINARY), paths);
  EXPECT_FALSE(checker.checkIfDue(false));
  EXPECT_FALSE(checker.isChecking());

  ASSERT_TRUE(checker.checkIfDue(true));
  const UpdateOutcome outcome = waitForOutcome(checker);
  EXPECT_EQ(outcome.state, UpdateOutcome::State::notFromPackage);
  EXPECT_TRUE(outcome.buildTree);
  // Checked a moment ago: not again today, even in a new window.
  UpdateChecker later(QStringLiteral(QUILLMERE_BINARY), paths);
  EXPECT_FALSE(later.checkIfDue(true));

  // A day later it is due again.
  desktop::rememberedState(paths)->setValue(QStringLiteral("updates/lastCheck"),
                                            QDateTime::currentSecsSinceEpoch() - 25 * 60 * 60);
  EXPECT_TRUE(later.checkIfDue(true));
  waitForOutcome(later);
}

TEST_F(UpdateCheckTest, AProgramThatCannotRunIsAFailureThatSaysSo) {
  UpdateChecker checker(desktop::qs((outDir / "no-such-quillmere").string()), paths);
  checker.check();
  const UpdateOutcome outcome = waitForOutcome(checker);
  EXPECT_EQ(outcome.state, UpdateOutcome::State::failed);
  EXPECT_THAT(desktop::updateOutcomeText(outcome).toStdString(),
              HasSubstr("no-such-quillmere could not be started"));

  // Output that is not the check's JSON is reported as received.
  const auto garbled = desktop::parseUpdateOutcome("E: Could not get lock");
  EXPECT_EQ(garbled.state, UpdateOutcome::State::failed);
  EXPECT_THAT(desktop::updateOutcomeText(garbled).toStdString(),
              HasSubstr("E: Could not get lock"));
}

}  // namespace
}  // namespace qm::test
