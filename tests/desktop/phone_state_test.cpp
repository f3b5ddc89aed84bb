// Where the phone stands is worded once: the toolbar, the tray, the pairing
// window and `quillmere status` say the same for each state, and the last
// sync outlives a restart of the companion.

#include <QLabel>

#include "desktop/main_window.h"
#include "desktop/pairing_window.h"
#include "desktop/tray_icon.h"
#include "desktop_fixture.h"

namespace qm::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kStateWaitMs = 15000;

class PhoneStateTest : public DesktopFixture {
 protected:
  /// True once the toolbar, the tray, the pairing window and the command line
  /// all say `line`.
  bool everywhereSays(desktop::MainWindow& window, desktop::TrayIcon& tray,
                      desktop::PairingWindow& pairing, const QString& line) {
    const bool shown = QTest::qWaitFor(
        [&] {
          return window.statusLabel()->text().startsWith(line + QStringLiteral(" · ")) &&
                 tray.toolTip().contains(line) && pairing.stateLabel()->text() == line;
        },
        kStateWaitMs);
    EXPECT_TRUE(shown) << "toolbar: " << window.statusLabel()->text().toStdString()
                       << "\ntray: " << tray.toolTip().toStdString()
                       << "\npairing: " << pairing.stateLabel()->text().toStdString();
    const std::string status = cli({"status"}).out;
    EXPECT_THAT(status, HasSubstr("Phone:    " + line.toStdString())) << status;
    return shown;
  }
};

TEST_F(PhoneStateTest, ToolbarTrayPairingWindowAndStatusWordEachStateAlike) {
  desktop::MainWindow window(context());
  desktop::TrayIcon tray(context(), &window);
  desktop::PairingWindow pairing(context(), nullptr);
  pairing.show();
  link_->subscribe();

  everywhereSays(window, tray, pairing, QStringLiteral("Not paired"));
  EXPECT_THAT(window.statusLabel()->text().toStdString(), HasSubstr("Never synced"));
  EXPECT_THAT(cli({"status"}).out, HasSubstr("  Never synced\n"));

  // Paired, but the phone is not there: never "Not paired" beside its name.
  const std::string port = pairPhone();
  ASSERT_FALSE(port.empty());
  everywhereSays(window, tray, pairing, QStringLiteral("Paired with Dana's phone, reconnecting"));
  EXPECT_THAT(window.statusLabel()->text().toStdString(), Not(HasSubstr("Not paired")));

  {
    Subprocess phone(PHONE_BINARY,
                     {"connect", "--port", port, "--bond", bondFile(), "--listen", "60"},
                     std::map<std::string, std::string>{}, outDir.path());
    everywhereSays(window, tray, pairing, QStringLiteral("Connected to Dana's phone"));
    phone.stop(SIGTERM, std::chrono::seconds(5));
  }
  everywhereSays(window, tray, pairing, QStringLiteral("Paired with Dana's phone, reconnecting"));

  ASSERT_EQ(cli({"pairing", "forget"}).exitCode, 0);
  everywhereSays(window, tray, pairing, QStringLiteral("Not paired"));
}

}  // namespace
}  // namespace qm::test
