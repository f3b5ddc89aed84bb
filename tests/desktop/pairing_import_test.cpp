// The pairing window and the import sheet over a running companion and the
// phone simulator: the code the window draws pairs the phone, and the sheet
// brings the phone's events into the store or says why it cannot.

#include <unistd.h>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/control_client.h"
#include "common/atomic_file.h"
#include "desktop/contact_list_model.h"
#include "desktop/contacts_view.h"
#include "desktop/event_sidebar.h"
#include "desktop/import_sheet.h"
#include "desktop/main_window.h"
#include "desktop/pairing_window.h"
#include "desktop/welcome_view.h"
#include "desktop_fixture.h"
#include "pairing/qr_code.h"
#include "store/contact.h"
#include "store/event.h"

namespace qm::test {
namespace {

using desktop::ImportSheet;
using desktop::PairingWindow;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace std::chrono_literals;

constexpr int kWaitMs = 20'000;

std::string text(const QLabel* label) {
  return label->text().toStdString();
}

class PairingImportTest : public DesktopFixture {
 protected:
  void SetUp() override {
    DesktopFixture::SetUp();
    link_->subscribe();
  }
  void TearDown() override {
    if (phone_) phone_->stop(SIGTERM, 5s);
    DesktopFixture::TearDown();
  }

  /// Pairs the simulator, then brings it back as the bonded phone with the
  /// demo events, staying connected.
  void connectPhone() {
    const std::string port = pairPhone();
    ASSERT_FALSE(port.empty());
    phone_ = std::make_unique<Subprocess>(
        PHONE_BINARY,
        std::vector<std::string>{"connect", "--port", port, "--bond", bondFile(), "--data",
                                 PHONE_DEMO_DATA, "--listen", "120"},
        std::map<std::string, std::string>{}, phoneOut.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return pairingStatus()["state"] == "paired"; }, kWaitMs))
        << pairingStatus().dump() << phone_->output() << phone_->errors();
  }

  /// The rows of the sheet's event list.
  static std::vector<QListWidgetItem*> rows(const ImportSheet& sheet) {
    std::vector<QListWidgetItem*> items;
    for (int row = 0; row < sheet.eventList()->count(); ++row)
      items.push_back(sheet.eventList()->item(row));
    return items;
  }
  static bool checkable(const QListWidgetItem* item) {
    return item->flags().testFlag(Qt::ItemIsUserCheckable) &&
           item->flags().testFlag(Qt::ItemIsEnabled);
  }

  TempDir phoneOut;
  std::unique_ptr<Subprocess> phone_;
};

TEST_F(PairingImportTest, ImportSheetImportsTheCheckedEventsAndMarksThoseAlreadyHere) {
  ASSERT_NO_FATAL_FAILURE(connectPhone());
  const auto data = nlohmann::json::parse(*readFile(PHONE_DEMO_DATA))["events"];
  ASSERT_EQ(data.size(), 3u);
  auto name = [&](std::size_t i) { return data[i]["event"]["name"].get<std::string>(); };
  auto id = [&](std::size_t i) { return data[i]["event"]["id"].get<std::string>(); };

  ImportSheet sheet(context(), nullptr);
  sheet.start();
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_TRUE(sheet.isModal());
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sheet.stage() != ImportSheet::Stage::asking; }, kWaitMs));
  ASSERT_EQ(sheet.stage(), ImportSheet::Stage::choosing) << text(sheet.detailLabel());
  auto items = rows(sheet);
  ASSERT_EQ(items.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string shown = items[i]->text().toStdString();
    EXPECT_THAT(shown, HasSubstr(name(i)));
    EXPECT_THAT(shown, HasSubstr(std::to_string(data[i]["contacts"].size()) + " contacts"));
    EXPECT_THAT(shown, Not(HasSubstr("Already on this computer")));
    EXPECT_TRUE(checkable(items[i]));
    EXPECT_EQ(items[i]->checkState(), Qt::Unchecked);
  }
  EXPECT_FALSE(sheet.importButton()->isEnabled());
  items[0]->setCheckState(Qt::Checked);
  EXPECT_TRUE(sheet.importButton()->isEnabled());

  sheet.importButton()->click();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sheet.stage() != ImportSheet::Stage::importing; }, kWaitMs));
  ASSERT_EQ(sheet.stage(), ImportSheet::Stage::complete) << text(sheet.detailLabel());
  EXPECT_EQ(text(sheet.headingLabel()), "Import Complete");
  EXPECT_EQ(text(sheet.detailLabel()), "Imported 1 event: " + name(0));
  ASSERT_TRUE(sheet.doneButton()->isVisible());
  auto first = store_->find<Event>(*Uuid::parse(id(0)));
  ASSERT_TRUE(first.ok() && first->has_value());
  EXPECT_EQ((*first)->name, name(0));
  EXPECT_EQ(*store_->count<Contact>(), static_cast<std::int64_t>(data[0]["contacts"].size()));
  EXPECT_FALSE(store_->find<Event>(*Uuid::parse(id(1)))->has_value());
  sheet.doneButton()->click();
  EXPECT_FALSE(sheet.isVisible());

  // Again: the imported event is marked and cannot be chosen; the other two
  // come in together, the bar following the phone's snapshots.
  sheet.start();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sheet.stage() == ImportSheet::Stage::choosing; }, kWaitMs))
      << text(sheet.detailLabel());
  items = rows(sheet);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_THAT(items[0]->text().toStdString(), HasSubstr("Already on this computer"));
  EXPECT_FALSE(checkable(items[0]));
  EXPECT_EQ(items[0]->checkState(), Qt::Unchecked);
  EXPECT_FALSE(sheet.importButton()->isEnabled());
  std::vector<int> shownProgress;
  QObject::connect(sheet.progressBar(), &QProgressBar::valueChanged,
                   [&](int value) { shownProgress.push_back(value); });
  items[1]->setCheckState(Qt::Checked);
  items[2]->setCheckState(Qt::Checked);
  sheet.importButton()->click();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sheet.stage() != ImportSheet::Stage::importing; }, kWaitMs));
  ASSERT_EQ(sheet.stage(), ImportSheet::Stage::complete) << text(sheet.detailLabel());
  EXPECT_THAT(text(sheet.detailLabel()), HasSubstr("Imported 2 events: "));
  EXPECT_THAT(text(sheet.detailLabel()), HasSubstr(name(1)));
  EXPECT_THAT(text(sheet.detailLabel()), HasSubstr(name(2)));
  EXPECT_EQ(sheet.progressBar()->maximum(), 2);
  EXPECT_THAT(shownProgress, Contains(1));  // one of two, from the progress line
  EXPECT_EQ(sheet.progressBar()->value(), 2);
  sheet.doneButton()->click();

  sheet.start();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sheet.stage() != ImportSheet::Stage::asking; }, kWaitMs));
  EXPECT_EQ(sheet.stage(), ImportSheet::Stage::nothingToImport);
  EXPECT_EQ(text(sheet.headingLabel()), "All events imported");
  EXPECT_EQ(text(sheet.detailLabel()),
            "Every event on the paired iPhone is already on this computer.");
  EXPECT_EQ(sheet.eventList()->count(), 3);
}

// A paired phone and nothing imported: the first step imports, the sheet
// counts the contacts as they arrive, and Done opens the first event's list.
TEST_F(PairingImportTest, DoneAfterAnImportOpensTheFirstImportedEvent) {
  ASSERT_NO_FATAL_FAILURE(connectPhone());
  const auto data = nlohmann::json::parse(*readFile(PHONE_DEMO_DATA))["events"];
  ASSERT_EQ(data.size(), 3u);
  const std::size_t first = data[1]["contacts"].size();
  const std::size_t both = first + data[2]["contacts"].size();
  ASSERT_GT(first, 0u);

  desktop::MainWindow window(context());
  window.show();
  desktop::WelcomeView* welcome = window.welcomeView();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return welcome->phoneButton()->text() == "Import Events…"; }, kWaitMs));
  EXPECT_EQ(window.shownPage(), welcome);
  welcome->phoneButton()->click();
  ImportSheet& sheet = *window.importSheet();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sheet.stage() == ImportSheet::Stage::choosing; }, kWaitMs))
      << text(sheet.detailLabel());
  auto items = rows(sheet);
  ASSERT_EQ(items.size(), 3u);
  items[1]->setCheckState(Qt::Checked);
  items[2]->setCheckState(Qt::Checked);
  sheet.importButton()->click();
  EXPECT_EQ(sheet.progressBar()->text().toStdString(),
            "Event 1 of 2 · 0 of " + std::to_string(both) + " contacts");
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sheet.stage() != ImportSheet::Stage::importing; }, kWaitMs));
  ASSERT_EQ(sheet.stage(), ImportSheet::Stage::complete) << text(sheet.detailLabel());
  EXPECT_EQ(sheet.progressBar()->text().toStdString(),
            "Event 2 of 2 · " + std::to_string(both) + " of " + std::to_string(both) + " contacts");

  sheet.doneButton()->click();
  EXPECT_FALSE(sheet.isVisible());
  ASSERT_TRUE(window.sidebar()->currentEvent().has_value());
  EXPECT_EQ(window.sidebar()->currentEvent()->str(), data[1]["event"]["id"]);
  EXPECT_EQ(window.mode(), desktop::MainWindow::Mode::contacts);
  EXPECT_EQ(window.shownPage(), window.contactsView());
  EXPECT_EQ(window.contactsView()->model()->rowCount(), static_cast<int>(first));
}

TEST_F(PairingImportTest, ClosingTheImportSheetEndsTheImportSoTheNextStartsAtOnce) {
  ASSERT_NO_FATAL_FAILURE(connectPhone());
  // An import that never ends: the phone has no such event.
  const int client = startEndlessImport();
  ASSERT_GE(client, 0);
  const auto syncing = [&] { return isSyncing(); };
  ASSERT_TRUE(QTest::qWaitFor(syncing, kWaitMs));

  ImportSheet sheet(context(), nullptr);
  sheet.start();
  EXPECT_EQ(text(sheet.detailLabel()), "Requesting events from iPhone...");
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sheet.stage() == ImportSheet::Stage::choosing; }, kWaitMs));
  sheet.cancelButton()->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !syncing(); }, kWaitMs));

  sheet.start();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sheet.stage() == ImportSheet::Stage::choosing; }, kWaitMs));
  rows(sheet)[0]->setCheckState(Qt::Checked);
  sheet.importButton()->click();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sheet.stage() != ImportSheet::Stage::importing; }, kWaitMs));
  EXPECT_EQ(sheet.stage(), ImportSheet::Stage::complete) << text(sheet.detailLabel());
  ::close(client);
}

TEST_F(PairingImportTest, ImportSheetShowsWhyItCannotAskAPhoneThatIsNotPaired) {
  ImportSheet sheet(context(), nullptr);
  sheet.start();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return sheet.stage() != ImportSheet::Stage::asking; }, kWaitMs));
  EXPECT_EQ(sheet.stage(), ImportSheet::Stage::failed);
  EXPECT_THAT(text(sheet.detailLabel()), HasSubstr("Cannot request event list — not paired"));
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_FALSE(sheet.importButton()->isVisible());
  sheet.cancelButton()->click();
  EXPECT_FALSE(sheet.isVisible());
}

TEST_F(PairingImportTest, PairingWindowDrawsTheCodeThePhonePairsWithThenForgetsThePhone) {
  PairingWindow window(context(), nullptr);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_FALSE(window.isModal());
  EXPECT_EQ(window.windowTitle(), "Pairing");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.stateLabel()->text().isEmpty(); }, kWaitMs));
  EXPECT_EQ(text(window.stateLabel()), "Not paired");
  EXPECT_EQ(window.pairButton()->text(), "Start Pairing");
  EXPECT_FALSE(window.forgetButton()->isEnabled());
  EXPECT_TRUE(window.qrImage().isNull());

  window.pairButton()->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.qrPayload().isEmpty(); }, kWaitMs))
      << text(window.errorLabel());
  const auto status = pairingStatus();
  ASSERT_EQ(status["state"], "advertising");
  const std::string payload = window.qrPayload().toStdString();
  EXPECT_EQ(payload, status["qrPayload"]);
  EXPECT_EQ(window.pairButton()->text(), "Stop Pairing");

  // The drawn code is the payload's: each module a square of whole pixels,
  // black on white, quiet zone included.
  const QImage image = window.qrImage();
  const auto modules = qrModules(payload);
  ASSERT_TRUE(modules.ok());
  ASSERT_FALSE(image.isNull());
  const int scale = image.width() / modules->size;
  ASSERT_GE(scale, 2);
  EXPECT_EQ(image.width(), modules->size * scale);
  EXPECT_EQ(image.height(), image.width());
  EXPECT_LE(image.width(), 240 * image.devicePixelRatio());
  int wrong = 0;
  for (int y = 0; y < modules->size; ++y) {
    for (int x = 0; x < modules->size; ++x) {
      const bool dark = modules->dark[static_cast<std::size_t>(y * modules->size + x)];
      for (const auto& [px, py] : {std::pair{x * scale, y * scale},
                                   std::pair{x * scale + scale - 1, y * scale + scale - 1}}) {
        if (qGray(image.pixel(px, py)) != (dark ? 0 : 255)) ++wrong;
      }
    }
  }
  EXPECT_EQ(wrong, 0);

  // The simulator scans it and stays.
  Subprocess phone(PHONE_BINARY,
                   {"pair", "--port", std::to_string(status["listeningPort"].get<int>()), "--qr",
                    payload, "--bond", bondFile(), "--name", "Dana's phone", "--listen", "60"},
                   {}, phoneOut.path());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return text(window.stateLabel()) == "Connected to Dana's phone" &&
               text(window.phoneLabel()) == "Dana's phone";
      },
      kWaitMs))
      << text(window.stateLabel()) << " " << text(window.errorLabel()) << phone.output()
      << phone.errors();
  // Paired, the code goes and the window offers to replace or forget the phone.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return window.forgetButton()->isEnabled() && window.pairButton()->text() == "Pair a Phone…";
      },
      kWaitMs))
      << window.pairButton()->text().toStdString();
  EXPECT_TRUE(window.qrPayload().isEmpty());
  EXPECT_TRUE(window.qrImage().isNull());
  EXPECT_TRUE(window.errorLabel()->isHidden());

  // Forget asks first, naming the phone and what forgetting it does.
  std::string asked;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    answer.stop();
    asked = (box->text() + " " + box->informativeText()).toStdString();
    for (QAbstractButton* button : box->buttons())
      if (button->text() == "Forget Phone") button->click();
  });
  answer.start(20);
  window.forgetButton()->click();
  EXPECT_THAT(asked, HasSubstr("Forget Dana's phone?"));
  EXPECT_THAT(asked, HasSubstr("stops syncing"));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return text(window.stateLabel()) == "Not paired" &&
               window.pairButton()->text() == "Start Pairing";
      },
      kWaitMs))
      << text(window.stateLabel()) << " " << window.pairButton()->text().toStdString();
  EXPECT_EQ(pairingStatus()["bonded"], false);
  EXPECT_FALSE(window.forgetButton()->isEnabled());
  phone.stop(SIGTERM, 5s);
}

}  // namespace
}  // namespace qm::test
