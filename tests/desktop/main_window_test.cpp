// The main window over a running companion: it opens on the store's events,
// the contacts list follows its chips, search and ordering, and a contact the
// phone sends shows up in the open list by itself.

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

#include "common/atomic_file.h"
#include "desktop/contact_list_model.h"
#include "desktop/contacts_view.h"
#include "desktop/dashboard_view.h"
#include "desktop/event_sidebar.h"
#include "desktop/main_window.h"
#include "desktop/pairing_window.h"
#include "desktop/welcome_view.h"
#include "desktop_fixture.h"
#include "store/contact.h"
#include "store/event.h"
#include "sync/record_payloads.h"
#include "sync/sync_test_records.h"

namespace qm::test {
namespace {

using desktop::ContactListModel;
using desktop::MainWindow;
using ::testing::HasSubstr;

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
  // Name order, A to Z, by default; the direction toggle reverses it.
  const QStringList names = column(model, ContactListModel::name);
  EXPECT_EQ(names.front(), "Ada Berg");
  EXPECT_TRUE(names.back().startsWith("Yuki ")) << names.back().toStdString();
  QToolButton* direction = nullptr;
  QToolButton* metChip = nullptr;
  for (auto* b : contacts->findChildren<QToolButton*>()) {
    if (b->accessibleName() == "Sort direction") direction = b;
    if (b->text() == "Met") metChip = b;
  }
  ASSERT_NE(direction, nullptr);
  ASSERT_NE(metChip, nullptr);
  direction->click();
  QStringList reversed = column(model, ContactListModel::name);
  std::reverse(reversed.begin(), reversed.end());
  EXPECT_EQ(reversed, names);
  direction->click();

  // The "Met" chip keeps contacts met by the user or a teammate.
  metChip->click();
  EXPECT_LT(model.rowCount(), 25);
  EXPECT_GT(model.rowCount(), 0);
  for (const QString& meeting : column(model, ContactListModel::meeting))
    EXPECT_TRUE(meeting == "Met" || meeting == "Met by team") << meeting.toStdString();
  metChip->click();
  EXPECT_EQ(model.rowCount(), 25);

  // Search: a word of one contact's company, typed in lower case.
  const ListContact* first = model.contactAt(0);
  const QString company = desktop::qs(first->company).toLower();
  QTest::keyClicks(contacts->searchField(), company);
  ASSERT_GE(model.rowCount(), 1);
  for (int row = 0; row < model.rowCount(); ++row) {
    const ListContact* c = model.contactAt(row);
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

  // "Highest Rated" puts the best-rated first.
  auto* sort = contacts->findChild<QComboBox*>();
  sort->setCurrentText("Highest Rated");
  std::vector<std::int64_t> ratings;
  for (int row = 0; row < model.rowCount(); ++row)
    ratings.push_back(model.contactAt(row)->interactionRating.value_or(0));
  EXPECT_TRUE(std::is_sorted(ratings.rbegin(), ratings.rend()));

  // Two contacts that are not targets, selected and marked: the companion
  // writes it and the list shows it.
  sort->setCurrentText("Targets First");
  direction->click();  // non-targets first
  const Uuid a = model.contactAt(0)->id;
  const Uuid b = model.contactAt(1)->id;
  ASSERT_FALSE(model.contactAt(0)->isTarget || model.contactAt(1)->isTarget);
  contacts->table()->selectRow(0);
  contacts->table()->selectionModel()->select(
      model.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  QPushButton* markTarget = nullptr;
  for (auto* button : contacts->findChildren<QPushButton*>()) {
    if (button->text() == "Mark as Target") markTarget = button;
  }
  ASSERT_NE(markTarget, nullptr);
  EXPECT_TRUE(markTarget->isVisible());
  markTarget->click();
  const auto isTarget = [&](const Uuid& id) {
    const int row = model.rowOf(id);
    return row >= 0 && model.contactAt(row)->isTarget;
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return isTarget(a) && isTarget(b); }, 5000));
  EXPECT_TRUE(contacts->state().selection.empty());
  EXPECT_TRUE(store_->find<Contact>(a).value()->isTarget);

  // A next action of the dashboard opens the contacts it counts.
  window.setMode(MainWindow::Mode::dashboard);
  QLabel* action = nullptr;
  for (auto* label : window.dashboardView()->findChildren<QLabel*>())
    if (label->accessibleName().startsWith("Assign owners to ")) action = label;
  ASSERT_NE(action, nullptr);
  const int counted = action->accessibleName().section(' ', 3, 3).toInt();
  ASSERT_GT(counted, 0);
  Q_EMIT action->linkActivated("go");
  EXPECT_EQ(window.mode(), MainWindow::Mode::contacts);
  EXPECT_EQ(model.rowCount(), counted);
  for (int row = 0; row < model.rowCount(); ++row) EXPECT_FALSE(model.contactAt(row)->ownedBy);
}

// Each column shows its own field of the row's record: the expected texts come
// from values written here, one distinct value per contact and field, so a
// column that read another field (or another row's record) would differ.
TEST_F(MainWindowTest, EveryColumnShowsItsOwnFieldOfTheRowsRecord) {
  const auto ids = demoData(6);
  struct Expected {
    QString name, company, title, tier, score, rating;
  };
  std::map<QString, Expected> expected;
  int i = 0;
  for (const auto& id : ids["contactIDs"]) {
    auto found = store_->find<Contact>(*Uuid::parse(id.get<std::string>()));
    ASSERT_TRUE(found.ok() && found->has_value());
    Contact c = **found;
    c.title = "Title " + std::to_string(i);
    c.tier = "Tier " + std::to_string(i);
    c.overallScore = 10 + i + 0.5;
    c.interactionRating = 1 + i % 5;
    c.isFavorite = false;
    c.isTarget = false;
    ASSERT_TRUE(store_->update(c).ok());
    expected[desktop::qs(id.get<std::string>())] = {desktop::qs(c.fullName()),
                                                    desktop::qs(c.company),
                                                    desktop::qs(*c.title),
                                                    desktop::qs(*c.tier),
                                                    QStringLiteral("%1.5").arg(10 + i),
                                                    QString(1 + i % 5, QChar(0x2605))};
    ++i;
  }

  MainWindow window(context());
  window.show();
  window.sidebar()->setCurrentRow(1);
  window.setMode(MainWindow::Mode::contacts);
  ContactListModel& model = *window.contactsView()->model();
  ASSERT_EQ(model.rowCount(), 6);
  auto cell = [&](int row, int column) {
    return model.data(model.index(row, column), Qt::DisplayRole).toString();
  };
  for (int row = 0; row < model.rowCount(); ++row) {
    const QString id = model.data(model.index(row, 0), ContactListModel::kIDRole).toString();
    ASSERT_TRUE(expected.count(id)) << id.toStdString();
    const Expected& e = expected[id];
    EXPECT_EQ(cell(row, ContactListModel::name), e.name);
    EXPECT_EQ(cell(row, ContactListModel::company), e.company);
    EXPECT_EQ(cell(row, ContactListModel::title), e.title);
    EXPECT_EQ(cell(row, ContactListModel::tier), e.tier);
    EXPECT_EQ(cell(row, ContactListModel::score), e.score);
    EXPECT_EQ(cell(row, ContactListModel::rating), e.rating);
  }
}

TEST_F(MainWindowTest, TheFeedConnectingCatchesUpOnlyWhenTheStoreChanged) {
  demoData(4);
  MainWindow window(context());
  window.show();
  window.sidebar()->setCurrentRow(1);
  window.setMode(MainWindow::Mode::contacts);
  ContactListModel& model = *window.contactsView()->model();
  ASSERT_EQ(model.rowCount(), 4);
  int resets = 0;
  QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });

  link_->subscribe();
  ASSERT_TRUE(QTest::qWaitFor([&] { return link_->isFeedConnected(); }, 5000));
  EXPECT_EQ(resets, 0);  // nothing was written since the window read the store
}

TEST_F(MainWindowTest, TheFeedConnectingCatchesUpOnWhatChangedBeforeIt) {
  demoData(4);
  MainWindow window(context());
  window.show();
  ASSERT_EQ(window.sidebar()->count(), 2);
  // Written while the window had no feed: no one tells it.
  demoData(2, "Late Expo");
  QTest::qWait(300);
  ASSERT_EQ(window.sidebar()->count(), 2);

  link_->subscribe();
  EXPECT_TRUE(QTest::qWaitFor([&] { return window.sidebar()->count() == 3; }, 5000));
}

TEST_F(MainWindowTest, AContactFromThePhoneAppearsInTheOpenList) {
  const auto ids = demoData(3);
  const std::string port = pairPhone();
  ASSERT_FALSE(port.empty());
  MainWindow window(context());
  window.show();
  link_->subscribe();
  window.sidebar()->setCurrentRow(1);
  window.setMode(MainWindow::Mode::contacts);
  ContactListModel& model = *window.contactsView()->model();
  ASSERT_EQ(model.rowCount(), 3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return link_->isFeedConnected(); }, 5000));

  const ContactSyncModel lan = wireContact("Lan", "Nguyễn Thị", "Điện Quang");
  const auto delta = SyncEnvelope::make(
      SyncMessageType::deltaContact,
      DeltaContactPayload{*Uuid::parse(ids["eventID"].get<std::string>()), lan, "Dana", "PHONE-1"});
  const auto file = phoneDir.path() / "delta.json";
  ASSERT_TRUE(writeFileAtomically(file, encodeEnvelope(*delta).value()));
  Subprocess phone(
      PHONE_BINARY,
      {"connect", "--port", port, "--bond", bondFile(), "--send", file.string(), "--listen", "3"},
      {}, outDir.path());

  // Nothing is clicked: the change feed brings the new row.
  EXPECT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 4; }, 10000))
      << phone.output() << phone.errors();
  EXPECT_TRUE(column(model, ContactListModel::name).contains("Lan Nguyễn Thị"));
  EXPECT_EQ(phone.wait(std::chrono::seconds(10)), 0);
}

// A new user's empty store: the first step on the Dashboard, words instead of
// empty lists elsewhere, and the demo event the companion adds, opened.
TEST_F(MainWindowTest, AnEmptyStoreShowsTheFirstStepAndTheDemoDataOpensItsEvent) {
  MainWindow window(context());
  window.show();
  desktop::WelcomeView* welcome = window.welcomeView();
  EXPECT_EQ(window.shownPage(), welcome);
  EXPECT_EQ(welcome->headingLabel()->text(), "Welcome to Quillmere");
  EXPECT_EQ(welcome->phoneButton()->text(), "Pair Your Phone…");
  welcome->phoneButton()->click();
  EXPECT_TRUE(window.pairingWindow()->isVisible());
  window.pairingWindow()->close();

  window.setMode(MainWindow::Mode::contacts);
  EXPECT_EQ(window.shownPage(), window.noEventHeading()->parentWidget());
  EXPECT_TRUE(window.noEventHeading()->isVisible());
  EXPECT_EQ(window.noEventHeading()->text(), "No events yet");
  EXPECT_THAT(window.noEventText()->text().toStdString(), HasSubstr("import its events"));
  window.setMode(MainWindow::Mode::dashboard);
  EXPECT_EQ(window.shownPage(), welcome);

  welcome->demoButton()->click();
  EXPECT_FALSE(welcome->demoButton()->isEnabled());  // until the companion answers
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.sidebar()->currentEvent().has_value(); }, 10000))
      << welcome->errorLabel()->text().toStdString();
  const Uuid eventID = *window.sidebar()->currentEvent();
  auto event = store_->find<Event>(eventID);
  ASSERT_TRUE(event.ok() && event->has_value());
  EXPECT_EQ((*event)->name, "Demo Expo");
  EXPECT_EQ(*store_->count<Contact>({Match{"eventID", eventID}}), 25);
  EXPECT_EQ(window.shownPage(), window.dashboardView());
  EXPECT_TRUE(welcome->demoButton()->isEnabled());
  EXPECT_TRUE(welcome->errorLabel()->isHidden());

  // With an event, the other lists ask for a choice instead.
  window.sidebar()->setCurrentRow(0);
  window.setMode(MainWindow::Mode::contacts);
  EXPECT_TRUE(window.noEventHeading()->isHidden());
  EXPECT_EQ(window.noEventText()->text(), "Choose an event in the sidebar to see its lists.");
}

TEST_F(MainWindowTest, TheFirstStepSaysWhyTheDemoDataFailedAndGivesWayToRecordsFromElsewhere) {
  MainWindow window(context());
  window.show();
  link_->subscribe();
  ASSERT_TRUE(QTest::qWaitFor([&] { return link_->isFeedConnected(); }, 5000));
  desktop::WelcomeView* welcome = window.welcomeView();

  ASSERT_EQ(companion_->stop(SIGTERM, std::chrono::seconds(10)), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !link_->isFeedConnected(); }, 5000));
  welcome->demoButton()->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return welcome->errorLabel()->isVisible(); }, 5000));
  EXPECT_EQ(welcome->errorLabel()->text(), "Cannot add the demo data: Quillmere is not running.");
  EXPECT_TRUE(welcome->demoButton()->isEnabled());
  EXPECT_EQ(window.shownPage(), welcome);

  // Records another program writes replace the first step, nothing clicked.
  companion_ = std::make_unique<Subprocess>(QUILLMERE_BINARY, std::vector<std::string>{"run"}, env,
                                            outDir.path());
  ASSERT_TRUE(QTest::qWaitFor([&] { return link_->isFeedConnected(); }, 20000));
  EXPECT_EQ(window.shownPage(), welcome);
  demoData(2, "Salon Lyon");
  EXPECT_TRUE(QTest::qWaitFor([&] { return window.shownPage() == window.dashboardView(); }, 10000));
  EXPECT_EQ(window.sidebar()->count(), 2);
}

}  // namespace
}  // namespace qm::test
