// Editing at the desk: the contact editor's changes reach the store and the
// paired phone, the push outcome is shown, Ctrl+Z sends back what the edit
// replaced, and notes and opportunities are written through the companion.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>

#include "desktop/contact_edit_dialog.h"
#include "desktop/detail/contact_detail_view.h"
#include "desktop/detail/note_dialog.h"
#include "desktop/main_window.h"
#include "desktop/opportunity_edit_dialog.h"
#include "desktop_fixture.h"
#include "store/contact_note.h"
#include "store/opportunity.h"
#include "store/relationships.h"

namespace qm::test {
namespace {

using desktop::ContactDetailView;
using desktop::ContactEditDialog;
using desktop::MainWindow;
using desktop::NoteDialog;
using desktop::OpportunityEditDialog;
using ::testing::HasSubstr;

class EditingTest : public DesktopFixture {
 protected:
  /// Runs `fill` on the next modal dialog of type D once it is shown.
  template <class D>
  void whenShown(std::function<void(D&)> fill) {
    QTimer::singleShot(0, [fill] {
      auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      fill(*dialog);
    });
  }
  Contact stored(const Uuid& id) { return **context().store.find<Contact>(id); }
  QString editStatus(ContactDetailView& detail) { return detail.editStatusLabel()->text(); }
};

TEST_F(EditingTest, AnEditReachesTheStoreAndThePhoneAndCtrlZTakesItBack) {
  const auto ids = demoData(2);
  const Uuid id = *Uuid::parse(ids["contactIDs"][0].get<std::string>());
  const Contact before = stored(id);

  MainWindow window(context());
  window.show();
  ContactDetailView& detail = *window.detailView();
  chooseContact(window, id);

  // No phone has ever been paired: saved here, and the pane says why it went no further.
  whenShown<ContactEditDialog>([](ContactEditDialog& d) {
    d.textField("title")->setText("Chief Buyer");
    d.ratingBox()->setValue(5);
    d.accept();
  });
  detail.editContact();
  ASSERT_TRUE(QTest::qWaitFor([&] { return stored(id).title == "Chief Buyer"; }, 5000));
  EXPECT_EQ(stored(id).interactionRating, 5);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !editStatus(detail).isEmpty(); }, 5000));
  EXPECT_THAT(desktop::utf8(editStatus(detail)), HasSubstr("Not connected to iPhone"));

  ASSERT_TRUE(window.undoAction()->isEnabled());
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
  ASSERT_TRUE(QTest::qWaitFor([&] { return stored(id) == before; }, 5000))
      << desktop::utf8(window.statusLabel()->text());
  EXPECT_FALSE(window.undoAction()->isEnabled());

  // With the phone paired and listening, the next edit is sent to it.
  const std::string port = pairPhone();
  ASSERT_FALSE(port.empty());
  Subprocess phone(PHONE_BINARY,
                   {"connect", "--port", port, "--bond", bondFile(), "--listen", "20"}, {},
                   outDir.path());
  ASSERT_TRUE(QTest::qWaitFor([&] { return pairingStatus()["state"] == "paired"; }, 10000))
      << phone.output() << phone.errors();
  whenShown<ContactEditDialog>([](ContactEditDialog& d) {
    d.textField("email")->setText("buyer@example.org");
    d.favoriteBox()->setChecked(true);
    d.accept();
  });
  detail.editContact();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return phone.output().find("buyer@example.org") != std::string::npos; }, 10000))
      << phone.output();
  EXPECT_THAT(phone.output(), HasSubstr("received delta.contact"));
  EXPECT_EQ(stored(id).email, "buyer@example.org");
  EXPECT_TRUE(stored(id).isFavorite);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return editStatus(detail).contains("sent to the phone"); }, 5000));
}

TEST_F(EditingTest, TheEditorKeepsEverythingTypedUntilTheCompanionAcceptsIt) {
  const auto ids = demoData(2);
  const Uuid id = *Uuid::parse(ids["contactIDs"][0].get<std::string>());
  const Contact before = stored(id);
  MainWindow window(context());
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  chooseContact(window, id);
  ContactDetailView& detail = *window.detailView();

  bool corrected = false;
  whenShown<ContactEditDialog>([&](ContactEditDialog& d) {
    QLineEdit* title = d.textField("title");
    QLineEdit* email = d.textField("email");
    title->setText("Chief Buyer");
    email->setText("buyer at example.org");
    d.saveButton()->click();
    // Refused: still open, the field says why, and nothing typed is lost.
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.problemOf("email"), "Not an e-mail address");
    EXPECT_EQ(d.focusWidget(), email);
    EXPECT_EQ(title->text(), "Chief Buyer");
    EXPECT_EQ(email->text(), "buyer at example.org");
    EXPECT_EQ(stored(id), before);
    // Corrected: the reason goes, and the companion's yes closes the editor.
    email->selectAll();
    QTest::keyClicks(email, "buyer@example.org");
    EXPECT_EQ(d.problemOf("email"), "");
    d.saveButton()->click();
    corrected = QTest::qWaitFor([&] { return !d.isVisible(); }, 5000);
  });
  QTest::keyClick(window.contactsView()->table(), Qt::Key_F2);
  EXPECT_TRUE(corrected);
  EXPECT_EQ(stored(id).title, "Chief Buyer");
  EXPECT_EQ(stored(id).email, "buyer@example.org");
  EXPECT_FALSE(editStatus(detail).startsWith("Not saved"));
}

TEST_F(EditingTest, NotesAndOpportunitiesAreWrittenAndDeletingAsksFirst) {
  const auto ids = demoData(1);
  const Uuid id = *Uuid::parse(ids["contactIDs"][0].get<std::string>());
  MainWindow window(context());
  window.show();
  ContactDetailView& detail = *window.detailView();
  chooseContact(window, id);
  link_->subscribe();

  whenShown<NoteDialog>([](NoteDialog& d) {
    d.textField()->setPlainText("Asked for the **pricing** sheet");
    d.accept();
  });
  detail.addNote();
  auto myNotes = [&] {
    std::vector<ContactNote> mine;
    const auto notes = notesOf(context().store, id);
    for (const auto& note : *notes)
      if (note.textContent == "Asked for the **pricing** sheet") mine.push_back(note);
    return mine;
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return myNotes().size() == 1; }, 5000))
      << desktop::utf8(editStatus(detail));

  // The pane offers to delete the desktop note; declining keeps it.
  auto deleteButton = [&]() -> QPushButton* {
    for (auto* b : detail.findChildren<QPushButton*>())
      if (b->accessibleName() == "Delete note") return b;
    return nullptr;
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return deleteButton() != nullptr; }, 5000));
  whenShown<QMessageBox>([](QMessageBox& box) {
    for (auto* b : box.buttons())
      if (box.buttonRole(b) == QMessageBox::RejectRole) b->click();
  });
  deleteButton()->click();
  EXPECT_EQ(myNotes().size(), 1u);
  whenShown<QMessageBox>([](QMessageBox& box) {
    for (auto* b : box.buttons())
      if (box.buttonRole(b) == QMessageBox::DestructiveRole) b->click();
  });
  deleteButton()->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return myNotes().empty(); }, 5000));

  whenShown<OpportunityEditDialog>([](OpportunityEditDialog& d) {
    d.titleField()->setText("Pilot for 40 seats");
    d.valueBox()->setValue(18000);
    d.stageBox()->setCurrentIndex(2);
    d.accept();
  });
  detail.newOpportunity();
  auto opportunities = [&] { return *opportunitiesOf(context().store, *stored(id).eventID); };
  ASSERT_TRUE(QTest::qWaitFor([&] { return opportunities().size() == 1; }, 5000));
  const Opportunity made = opportunities().front();
  EXPECT_EQ(made.title, "Pilot for 40 seats");
  EXPECT_EQ(made.value, 18000);
  EXPECT_EQ(made.stage, "Committed");
  EXPECT_EQ(made.originContactID, id);
}

}  // namespace
}  // namespace qm::test
