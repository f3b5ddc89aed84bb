// Sending from the window over a running companion and a real mail server on
// this computer (aiosmtpd requiring STARTTLS and a login): the Mail tab signs
// in, the editor sends the draft as edited, and the drafts list sends the
// approved ones with its progress and summary.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "desktop/draft_editor.h"
#include "desktop/drafts_view.h"
#include "desktop/send_approved_panel.h"
#include "desktop/settings_window.h"
#include "desktop_fixture.h"
#include "store/follow_up_draft.h"
#include "support/local_smtp_server.h"

namespace qm::test {
namespace {

using desktop::SettingsWindow;
using ::testing::HasSubstr;
using ::testing::Not;

class MailSendingTest : public DesktopFixture {
 protected:
  Uuid addDraft(const Uuid& contactID, const std::string& status) {
    FollowUpDraft draft =
        FollowUpDraft::create("Valves at the show", "Hello,\n\nthanks.", contactID);
    draft.status = status;
    EXPECT_TRUE(store_->insert(draft).ok());
    return draft.id;
  }
  std::string statusOf(const Uuid& id) { return (*store_->find<FollowUpDraft>(id))->status; }
  template <class W>
  W* child(const QWidget& parent, const char* name) {
    auto* found = parent.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
};

TEST_F(MailSendingTest, TheMailTabSignsInAndDraftsGoFromTheEditorAndTheList) {
  LocalSMTPServer server;
  const auto ids = demoData(3, "Valve Expo");
  const Uuid eventID = *Uuid::parse(ids["eventID"].get<std::string>());
  std::vector<Uuid> contacts;
  for (const auto& id : ids["contactIDs"]) contacts.push_back(*Uuid::parse(id.get<std::string>()));
  ASSERT_EQ(cli({"settings", "set", "senderEmail", "dana@fairground.example"}).exitCode, 0);
  const Uuid edited = addDraft(contacts[0], "draft");
  const std::vector<Uuid> approved{addDraft(contacts[1], "approved"),
                                   addDraft(contacts[2], "approved")};

  SettingsWindow settings(context(), nullptr);
  settings.resize(1024, 640);
  settings.showTab(SettingsWindow::Tab::mail);
  settings.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
  child<QLineEdit>(settings, "smtpHost")->setText("localhost");
  child<QLineEdit>(settings, "smtpPort")->setText(QString::number(server.port()));
  child<QLineEdit>(settings, "smtpUser")->setText(LocalSMTPServer::kUser);
  child<QLineEdit>(settings, "smtpCAFile")->setText(desktop::qs(server.caFile().string()));
  auto* password = child<QLineEdit>(settings, "smtpPassword");
  password->setText("not-" + desktop::qs(server.password()));
  child<QPushButton>(settings, "mailSignIn")->click();
  auto* error = child<QLabel>(settings, "mailError");
  ASSERT_TRUE(QTest::qWaitFor([&] { return error->isVisible(); }, 10000));
  EXPECT_EQ(error->text(),
            "The mail server refused the login: 535 5.7.8 Authentication credentials invalid");
  password->setText(desktop::qs(server.password()));
  child<QPushButton>(settings, "mailSignIn")->click();
  auto* state = child<QLabel>(settings, "mailState");
  ASSERT_TRUE(QTest::qWaitFor([&] { return state->text().startsWith("Ready"); }, 10000))
      << error->text().toStdString();
  EXPECT_TRUE(password->text().isEmpty());
  EXPECT_EQ(password->placeholderText(), "Stored; type a new one to replace it");

  // The editor sends what it shows, saved first.
  desktop::DraftsView view(context());
  view.resize(1024, 640);
  view.show();
  view.setEvent(eventID);
  EXPECT_EQ(view.sendPanel()->sendButton()->text(), "Send 2 approved");
  view.reveal(edited);
  desktop::DraftEditor& editor = *view.editor();
  editor.subjectField()->setText("Valves, as promised");
  child<QPushButton>(editor, "send")->click();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return editor.feedback()->text() == "Sent to person0@example.com."; }, 15000))
      << editor.feedback()->text().toStdString();
  ASSERT_TRUE(server.waitForMessages(1));
  EXPECT_EQ(server.received()[0]["subject"], "Valves, as promised");
  EXPECT_EQ(statusOf(edited), "sent");
  EXPECT_EQ(editor.statusBox()->currentData(), "sent");

  // The list sends the approved ones after asking.
  QTimer::singleShot(0, [] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Send 2 Follow-Ups?");
    for (QAbstractButton* b : box->buttons())
      if (box->buttonRole(b) == QMessageBox::AcceptRole) b->click();
  });
  view.sendPanel()->sendButton()->click();
  desktop::SendApprovedPanel& panel = *view.sendPanel();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return panel.stateLabel()->text() == "Sent 2 of 2 drafts."; }, 20000))
      << panel.stateLabel()->text().toStdString();
  EXPECT_FALSE(panel.cancelButton()->isVisible());
  EXPECT_EQ(panel.progress()->value(), 2);
  for (const Uuid& id : approved) EXPECT_EQ(statusOf(id), "sent");
  EXPECT_EQ(server.received().size(), 3u);

  child<QPushButton>(settings, "mailSignOut")->click();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return child<QLabel>(settings, "mailResult")->text() == "Signed out."; }, 10000));
  EXPECT_TRUE(child<QLineEdit>(settings, "smtpHost")->text().isEmpty());
  EXPECT_THAT(fileText(paths.keychainFile()), Not(HasSubstr(server.password())));
}

}  // namespace
}  // namespace qm::test
