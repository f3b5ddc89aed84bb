// The contacts list as a person works it: many contacts marked at once are
// asked about first and come back with one undo, the selection bar says what
// its buttons will do, the column headers order the list and keep their
// layout for the next window, and the count beside the search.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <map>

#include "desktop/contact_list_header.h"
#include "desktop/contact_list_model.h"
#include "desktop/contacts_view.h"
#include "desktop/event_sidebar.h"
#include "desktop/main_window.h"
#include "desktop_fixture.h"
#include "store/contact.h"

namespace qm::test {
namespace {

using desktop::ContactListModel;
using desktop::ContactsView;
using desktop::MainWindow;

class ContactsListTest : public DesktopFixture {
 protected:
  void SetUp() override {
    DesktopFixture::SetUp();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }
  void TearDown() override {
    QLocale::setDefault(QLocale::c());
    DesktopFixture::TearDown();
  }
  /// The window on the first event's contacts.
  std::unique_ptr<MainWindow> openContacts() {
    auto window = std::make_unique<MainWindow>(context());
    window->show();
    window->sidebar()->setCurrentRow(1);
    window->setMode(MainWindow::Mode::contacts);
    return window;
  }
  QPushButton* button(QWidget& parent, const QString& text) {
    for (auto* b : parent.findChildren<QPushButton*>())
      if (b->text() == text) return b;
    return nullptr;
  }
  QPushButton* buttonStarting(QWidget& parent, const QString& text) {
    for (auto* b : parent.findChildren<QPushButton*>())
      if (b->text().startsWith(text)) return b;
    return nullptr;
  }
  /// Answers the next question with the button of `role`, keeping its text.
  void answerQuestion(QMessageBox::ButtonRole role) {
    QTimer::singleShot(0, [this, role] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      asked = box->text();
      for (auto* b : box->buttons())
        if (box->buttonRole(b) == role) b->click();
    });
  }
  std::map<Uuid, bool> storedTargets() {
    std::map<Uuid, bool> targets;
    const auto contacts = store_->fetch<Contact>();
    for (const Contact& c : contacts.value()) targets[c.id] = c.isTarget;
    return targets;
  }
  void clickHeader(QHeaderView& header, int column) {
    QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                      QPoint(header.sectionViewportPosition(column) + 5, header.height() / 2));
  }

  QString asked;
};

TEST_F(ContactsListTest, ABulkMarkOfManyAsksFirstAndOneUndoRestoresEveryContact) {
  demoData(8);
  const auto before = storedTargets();
  ASSERT_TRUE(std::any_of(before.begin(), before.end(), [](auto& t) { return t.second; }));
  ASSERT_TRUE(std::any_of(before.begin(), before.end(), [](auto& t) { return !t.second; }));
  auto window = openContacts();
  ContactsView& contacts = *window->contactsView();

  contacts.table()->selectAll();
  QPushButton* mark = button(contacts, "Mark as Target");
  ASSERT_NE(mark, nullptr);
  answerQuestion(QMessageBox::RejectRole);
  mark->click();
  EXPECT_EQ(asked, "Mark 8 contacts as targets?");
  QTest::qWait(300);
  EXPECT_EQ(storedTargets(), before) << "Cancel changes nothing";
  EXPECT_EQ(contacts.state().selection.size(), 8u) << "and keeps the selection";

  answerQuestion(QMessageBox::AcceptRole);
  mark->click();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const auto now = storedTargets();
        return std::all_of(now.begin(), now.end(), [](auto& t) { return t.second; });
      },
      5000));
  QAction* undo = window->undoAction();
  ASSERT_TRUE(undo->isEnabled());
  EXPECT_EQ(undo->text(), "Undo Mark as Target");
  undo->trigger();
  EXPECT_TRUE(QTest::qWaitFor([&] { return storedTargets() == before; }, 5000))
      << "every contact has its own value back";

  // A handful is marked without a question.
  contacts.table()->selectRow(0);
  const Uuid first = contacts.model()->contactAt(0)->id;
  button(contacts, "Mark as Met")->click();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return store_->find<Contact>(first).value()->status == MeetingStatus::met; }, 5000));
}

// Figures are grouped, and a met mark's undo gives back the status and the
// meeting time each contact had.
TEST_F(ContactsListTest, LargeListsGroupTheirFiguresAndUndoAMetMarkWhole) {
  demoData(1200);
  const auto stored = [&] {
    std::map<Uuid, std::pair<MeetingStatus, std::optional<Date>>> out;
    const auto contacts = store_->fetch<Contact>();
    for (const Contact& c : contacts.value()) out[c.id] = {c.status, c.metAt};
    return out;
  };
  const auto before = stored();
  auto window = openContacts();
  ContactsView& contacts = *window->contactsView();
  EXPECT_EQ(contacts.findChild<QLabel*>("shown-count")->text(), "1,200 of 1,200");

  contacts.table()->selectAll();
  answerQuestion(QMessageBox::AcceptRole);
  button(contacts, "Mark as Met")->click();
  EXPECT_EQ(asked, "Mark 1,200 contacts as met?");
  ASSERT_TRUE(QTest::qWaitFor([&] { return stored() != before; }, 10000));
  window->undoAction()->trigger();
  EXPECT_TRUE(QTest::qWaitFor([&] { return stored() == before; }, 20000));
}

TEST_F(ContactsListTest, TheSelectionBarSaysWhatItsButtonsWillDo) {
  demoData(14);
  auto window = openContacts();
  ContactsView& contacts = *window->contactsView();
  auto summary = [&]() -> QLabel* {
    for (auto* label : contacts.findChildren<QLabel*>())
      if (label->text().endsWith("selected")) return label;
    return nullptr;
  };
  contacts.table()->selectRow(0);
  ASSERT_NE(summary(), nullptr);
  EXPECT_EQ(summary()->text(), "1 contact selected");
  EXPECT_NE(buttonStarting(contacts, "Generate Draft for 1"), nullptr);
  contacts.table()->selectionModel()->select(
      contacts.model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  EXPECT_EQ(summary()->text(), "2 contacts selected");
  EXPECT_NE(button(contacts, "Generate Drafts for 2"), nullptr);
  contacts.table()->selectAll();
  EXPECT_EQ(summary()->text(), "14 contacts selected");
  EXPECT_NE(button(contacts, "Generate 10 Drafts"), nullptr) << "a batch writes ten";
}

TEST_F(ContactsListTest, HeadersOrderTheListAndTheCountFollowsTheSearch) {
  demoData(25);
  auto window = openContacts();
  ContactsView& contacts = *window->contactsView();
  ContactListModel& model = *contacts.model();
  QHeaderView& header = *contacts.table()->horizontalHeader();
  auto* sort = contacts.findChild<QComboBox*>();
  auto companies = [&] {
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
      values << model.data(model.index(row, ContactListModel::company), Qt::DisplayRole).toString();
    return values;
  };

  clickHeader(header, ContactListModel::company);
  EXPECT_EQ(sort->currentText(), "Company");
  QStringList sorted = companies();
  std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
    return QString::localeAwareCompare(a, b) < 0;
  });
  EXPECT_EQ(companies(), sorted);
  EXPECT_EQ(header.sortIndicatorSection(), ContactListModel::company);
  clickHeader(header, ContactListModel::company);
  EXPECT_FALSE(contacts.state().sortAscending) << "a second click turns it round";
  std::reverse(sorted.begin(), sorted.end());
  EXPECT_EQ(companies(), sorted);

  clickHeader(header, ContactListModel::title);
  EXPECT_EQ(sort->currentText(), "Title");
  EXPECT_EQ(header.sortIndicatorSection(), ContactListModel::title);
  // An ordering chosen under "Sort:" shows on its column.
  sort->setCurrentText("Highest Rated");
  EXPECT_EQ(header.sortIndicatorSection(), ContactListModel::rating);

  auto* count = contacts.findChild<QLabel*>("shown-count");
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count->text(), "25 of 25");
  QTest::keyClicks(contacts.searchField(), model.contactAt(0)->firstName.c_str());
  EXPECT_EQ(count->text(), QString("%1 of 25").arg(model.rowCount()));
  EXPECT_LT(model.rowCount(), 25);
}

TEST_F(ContactsListTest, TheColumnsChosenComeBackInTheNextWindow) {
  demoData(3);
  {
    auto window = openContacts();
    QTableView& table = *window->contactsView()->table();
    auto* header = table.findChild<desktop::ContactListHeader*>();
    ASSERT_NE(header, nullptr);
    const auto menu = header->columnsMenu();
    for (QAction* action : menu->actions())
      if (action->text() == "Title") action->trigger();
    EXPECT_TRUE(table.horizontalHeader()->isSectionHidden(ContactListModel::title));
    table.horizontalHeader()->moveSection(
        table.horizontalHeader()->visualIndex(ContactListModel::score), 1);
    table.horizontalHeader()->resizeSection(ContactListModel::company, 210);
  }
  auto window = openContacts();
  QHeaderView& header = *window->contactsView()->table()->horizontalHeader();
  EXPECT_TRUE(header.isSectionHidden(ContactListModel::title));
  EXPECT_EQ(header.visualIndex(ContactListModel::score), 1);
  EXPECT_EQ(header.sectionSize(ContactListModel::company), 210);
}

}  // namespace
}  // namespace qm::test
