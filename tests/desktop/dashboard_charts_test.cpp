// The dashboards' charts in the window: every bar opens the contacts it
// counts, by mouse and by keyboard; the portfolio's bars open their event;
// an event without contacts says so in a sentence.
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

#include "desktop/chart_widget.h"
#include "desktop/contact_list_model.h"
#include "desktop/dashboard_view.h"
#include "desktop/event_sidebar.h"
#include "desktop/main_window.h"
#include "desktop_fixture.h"
#include "store/event.h"
#include "ui/event_records.h"

namespace qm::test {
namespace {

using desktop::ChartWidget;
using desktop::MainWindow;

class DashboardChartsTest : public DesktopFixture {
 protected:
  ChartWidget* chartNamed(MainWindow& window, const QString& title) {
    for (auto* chart : window.dashboardView()->findChildren<ChartWidget*>())
      if (chart->accessibleName() == title) return chart;
    return nullptr;
  }

  /// Clicks bar `index` where the chart draws it.
  void clickBar(ChartWidget& chart, int index) {
    chart.grab();  // lays the bars out, as a paint does
    const QRectF bar = chart.barRect(index);
    ASSERT_FALSE(bar.isEmpty());
    QTest::mouseClick(&chart, Qt::LeftButton, {}, bar.center().toPoint());
  }

  std::vector<Uuid> shownContacts(MainWindow& window) {
    std::vector<Uuid> ids;
    const auto& model = *window.contactsView()->model();
    for (int row = 0; row < model.rowCount(); ++row) ids.push_back(model.contactAt(row)->id);
    return ids;
  }
};

TEST_F(DashboardChartsTest, ChoosingABarOpensTheContactsItCounts) {
  const auto made = demoData(24);
  const Uuid eventID = *Uuid::parse(made["eventID"].get<std::string>());
  // Three contacts rated 5, met on two days by two people.
  std::vector<Uuid> rated;
  for (int i = 0; i < 3; ++i) {
    Contact c = **store_->find<Contact>(*Uuid::parse(made["contactIDs"][i].get<std::string>()));
    c.status = MeetingStatus::met;
    c.interactionRating = 5;
    c.metAt = parseISO8601(i == 0 ? "2026-03-14T12:00:00Z" : "2026-03-15T12:00:00Z");
    c.capturedBy = i == 0 ? "Ana" : "Ben";
    ASSERT_TRUE(store_->update(c).ok());
    rated.push_back(c.id);
  }
  for (int i = 3; i < 24; ++i) {  // every other contact rated below 5
    Contact c = **store_->find<Contact>(*Uuid::parse(made["contactIDs"][i].get<std::string>()));
    if (c.interactionRating == 5) c.interactionRating = 4;
    ASSERT_TRUE(store_->update(c).ok());
  }

  MainWindow window(context());
  window.show();
  window.sidebar()->choose(eventID);
  window.setMode(MainWindow::Mode::dashboard);

  ChartWidget* ratings = chartNamed(window, "Ratings");
  ASSERT_NE(ratings, nullptr);
  ASSERT_EQ(ratings->chart().bars.size(), 5u);
  EXPECT_TRUE(ratings->accessibleDescription().contains("Rated 5 3"))
      << ratings->accessibleDescription().toStdString();
  clickBar(*ratings, 4);
  EXPECT_EQ(window.mode(), MainWindow::Mode::contacts);
  EXPECT_THAT(shownContacts(window), ::testing::UnorderedElementsAreArray(rated));

  // The meetings per day: the second day's bar, chosen from the keyboard.
  window.setMode(MainWindow::Mode::dashboard);
  ChartWidget* meetings = chartNamed(window, "Meetings per day");
  ASSERT_NE(meetings, nullptr);
  ASSERT_EQ(meetings->chart().bars.size(), 2u);
  meetings->setFocus();
  QTest::keyClick(meetings, Qt::Key_Right);
  QTest::keyClick(meetings, Qt::Key_Return);
  EXPECT_EQ(window.mode(), MainWindow::Mode::contacts);
  EXPECT_THAT(shownContacts(window), ::testing::UnorderedElementsAre(rated[1], rated[2]));

  // The team: Ben met two of them; "Show All" gives the whole list back.
  window.setMode(MainWindow::Mode::dashboard);
  ChartWidget* team = chartNamed(window, "Met by the team");
  ASSERT_NE(team, nullptr);
  ASSERT_EQ(team->chart().bars.front().label, "Ben");
  clickBar(*team, 0);
  EXPECT_THAT(shownContacts(window), ::testing::UnorderedElementsAre(rated[1], rated[2]));
  for (auto* button : window.contactsView()->findChildren<QPushButton*>())
    if (button->text() == "Show All") button->click();
  EXPECT_EQ(shownContacts(window).size(), 24u);

  // The funnel's first step counts every contact.
  window.setMode(MainWindow::Mode::dashboard);
  ChartWidget* funnel = chartNamed(window, "From capture to opportunity");
  ASSERT_NE(funnel, nullptr);
  EXPECT_EQ(funnel->chart().bars.at(0).valueText, "24");
  clickBar(*funnel, 1);  // met
  EXPECT_EQ(shownContacts(window).size(),
            static_cast<std::size_t>(metCount(loadEventRecords(*store_, eventID)->contacts)));
}

TEST_F(DashboardChartsTest, ThePortfolioOpensAnEventsContactsAndAnEmptyEventSaysSo) {
  const auto made = demoData(5, "Small Expo");
  const Event empty = Event::create("Empty Expo");
  ASSERT_TRUE(store_->insert(empty).ok());

  MainWindow window(context());
  window.show();
  window.sidebar()->choose(std::nullopt);
  window.setMode(MainWindow::Mode::dashboard);
  ChartWidget* events = chartNamed(window, "Events side by side");
  ASSERT_NE(events, nullptr);
  ASSERT_EQ(events->chart().bars.size(), 2u);
  int small = -1;
  for (std::size_t i = 0; i < events->chart().bars.size(); ++i)
    if (events->chart().bars[i].label == "Small Expo") small = static_cast<int>(i);
  ASSERT_GE(small, 0);
  EXPECT_TRUE(
      events->chart().bars[static_cast<std::size_t>(small)].valueText.startsWith("5 contacts · "));
  clickBar(*events, small);
  EXPECT_EQ(window.mode(), MainWindow::Mode::contacts);
  EXPECT_EQ(window.sidebar()->currentEvent(), Uuid::parse(made["eventID"].get<std::string>()));
  EXPECT_EQ(shownContacts(window).size(), 5u);

  // No contacts: no bars to choose, a sentence instead.
  window.sidebar()->choose(empty.id);
  window.setMode(MainWindow::Mode::dashboard);
  ChartWidget* funnel = chartNamed(window, "From capture to opportunity");
  ASSERT_NE(funnel, nullptr);
  EXPECT_TRUE(funnel->chart().bars.empty());
  EXPECT_EQ(funnel->accessibleDescription(), "From capture to opportunity: No contacts yet.");
  EXPECT_EQ(funnel->focusPolicy(), Qt::NoFocus);
  EXPECT_GT(funnel->heightForWidth(300), 0);
  funnel->grab();  // draws without a bar to divide by
}

}  // namespace
}  // namespace qm::test
