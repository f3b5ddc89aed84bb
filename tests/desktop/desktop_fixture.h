#pragma once

// The real window against a real companion: `quillmere run` in a home of its
// own, the window's views built in this process on the offscreen platform,
// reading the same store and talking over the same control socket.

#include <gmock/gmock.h>
#include <signal.h>

#include <QJsonObject>
#include <QTest>
#include <chrono>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/companion_fixture.h"
#include "app/control_client.h"
#include "common/app_paths.h"
#include "desktop/companion_link.h"
#include "desktop/contacts_view.h"
#include "desktop/desktop_context.h"
#include "desktop/event_sidebar.h"
#include "desktop/main_window.h"
#include "desktop/qt_text.h"
#include "store/contact.h"
#include "store/store.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace qm::test {

class DesktopFixture : public CompanionFixture {
 protected:
  void SetUp() override {
    CompanionFixture::SetUp();
    if (HasFatalFailure()) return;
    link_ = std::make_unique<desktop::CompanionLink>(desktop::qs(paths.controlSocket().string()),
                                                     QStringLiteral(QUILLMERE_BINARY));
    auto store = Store::open(paths.storeFile());
    ASSERT_TRUE(store.ok()) << store.error().message;
    store_ = std::move(*store);
    context_ =
        std::make_unique<desktop::DesktopContext>(desktop::DesktopContext{*link_, *store_, paths});
  }
  void TearDown() override {
    context_.reset();
    link_.reset();
    store_.reset();
    CompanionFixture::TearDown();
  }

  /// Adds a demo event with `contacts` made-up contacts; its ids.
  nlohmann::json demoData(int contacts, const std::string& eventName = "Demo Expo") {
    auto made = cli({"demo-data", "--json", "-n", std::to_string(contacts), "--event", eventName});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return nlohmann::json::parse(made.out, nullptr, false);
  }
  /// Pairs the phone simulator (bond in phoneDir) and returns the port the
  /// companion listens on for the bonded phone afterwards.
  std::string pairPhone() {
    Subprocess pair(QUILLMERE_BINARY, {"pair", "--timeout", "30"}, env, outDir.path());
    const auto offer = waitForPairingOffer(pair);
    EXPECT_TRUE(offer) << pair.output() << pair.errors();
    if (!offer) return {};
    auto paired = runCommand(PHONE_BINARY,
                             {"pair", "--port", offer->port, "--qr", offer->qrString, "--bond",
                              bondFile(), "--name", "Dana's phone"},
                             {});
    EXPECT_EQ(paired.exitCode, 0) << paired.out << paired.err;
    EXPECT_EQ(pair.wait(std::chrono::seconds(10)), 0) << pair.output() << pair.errors();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          auto s = pairingStatus();
          return s["state"] == "reconnecting" && s.contains("listeningPort");
        },
        10000));
    return std::to_string(pairingStatus()["listeningPort"].get<int>());
  }

  desktop::DesktopContext& context() { return *context_; }

  /// Chooses the contact in the window's contacts list, as a click on its
  /// row does, so that the detail pane shows it.
  void chooseContact(desktop::MainWindow& window, const Uuid& contactID) {
    auto contact = store_->find<Contact>(contactID);
    ASSERT_TRUE(contact.ok() && contact->has_value());
    window.sidebar()->choose((*contact)->eventID);
    window.setMode(desktop::MainWindow::Mode::contacts);
    window.contactsView()->reveal(contactID);
  }

  std::unique_ptr<desktop::CompanionLink> link_;
  std::unique_ptr<Store> store_;
  std::unique_ptr<desktop::DesktopContext> context_;
};

}  // namespace qm::test
