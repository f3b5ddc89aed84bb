// What the charts read from a real store file: the drafts and opportunity
// links of `loadChartExtras` reach the funnel, and the portfolio's rows carry
// each event's pipeline per currency.
#include <gmock/gmock.h>

#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/opportunity.h"
#include "store/store.h"
#include "support/temp_dir.h"
#include "ui/event_charts.h"
#include "ui/event_records.h"

namespace qm {
namespace {

using ::testing::ElementsAre;

class ChartRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto opened = Store::open(dir_ / "QuillmereMac.store");
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    store_ = std::move(*opened);
  }

  Event addEvent(const std::string& name, const char* start) {
    Event e = Event::create(name);
    e.startDate = parseISO8601(start);
    EXPECT_TRUE(store_->insert(e).ok());
    return e;
  }

  Opportunity addDeal(const Event& e, double value, const char* currency) {
    Opportunity o = Opportunity::create("Deal", "Co", e.id);
    o.value = value;
    o.currency = currency;
    EXPECT_TRUE(store_->insert(o).ok());
    return o;
  }

  test::TempDir dir_;
  std::unique_ptr<Store> store_;
};

TEST_F(ChartRecordsTest, StoredDraftsAndLinksReachTheFunnel) {
  const Event fair = addEvent("Fair", "2026-03-14T09:00:00Z");
  const Event other = addEvent("Other", "2026-01-14T09:00:00Z");
  std::vector<Contact> people;
  for (const char* name : {"Ana", "Ben", "Cleo"}) {
    Contact c = Contact::create(name, "X", "Co", fair.id);
    c.status = MeetingStatus::met;
    c.capturedBy = name;
    ASSERT_TRUE(store_->insert(c).ok());
    people.push_back(c);
  }
  Contact elsewhere = Contact::create("Dan", "X", "Co", other.id);
  ASSERT_TRUE(store_->insert(elsewhere).ok());
  FollowUpDraft sent = FollowUpDraft::create("Hi", "Body", people[0].id);
  sent.status = "sent";
  ASSERT_TRUE(store_->insert(sent).ok());
  ASSERT_TRUE(store_->insert(FollowUpDraft::create("Hi", "Body", people[1].id)).ok());
  ASSERT_TRUE(store_->insert(FollowUpDraft::create("Hi", "Body", elsewhere.id)).ok());
  const Opportunity deal = addDeal(fair, 100, "EUR");
  ASSERT_TRUE(store_->insert(OpportunityStakeholder::create(people[2].id, deal.id)).ok());
  // A link to a contact of another event does not count for this one.
  ASSERT_TRUE(store_->insert(OpportunityStakeholder::create(elsewhere.id, deal.id)).ok());

  const auto records = loadEventRecords(*store_, fair.id);
  ASSERT_TRUE(records.ok());
  const auto extras = loadChartExtras(*store_);
  ASSERT_TRUE(extras.ok());
  const EventCharts charts = eventCharts({records->contacts, records->opportunities, extras->drafts,
                                          extras->stakeholders, fair.startDate, fair.endDate},
                                         {}, [](std::int64_t) { return 0; });
  std::vector<std::int64_t> funnel;
  for (const ChartBar& bar : charts.funnel) funnel.push_back(bar.count);
  EXPECT_THAT(funnel, ElementsAre(3, 3, 0, 2, 1, 1));
  EXPECT_THAT(charts.funnel[5].contactIDs, ElementsAre(people[2].id));
  // The team comes from the list's own reading of the contacts.
  EXPECT_EQ(charts.team.size(), 3u);
}

TEST_F(ChartRecordsTest, ThePortfoliosRowsCarryEachEventsPipelinePerCurrency) {
  const Event spring = addEvent("Spring", "2026-03-14T09:00:00Z");
  const Event winter = addEvent("Winter", "2026-01-14T09:00:00Z");
  addDeal(spring, 100, "EUR");
  addDeal(spring, 50, "USD");
  addDeal(spring, 25, "EUR");
  Opportunity unvalued = Opportunity::create("Maybe", "Co", winter.id);
  ASSERT_TRUE(store_->insert(unvalued).ok());

  const auto summary = loadPortfolioSummary(*store_);
  ASSERT_TRUE(summary.ok());
  ASSERT_EQ(summary->events.size(), 2u);
  const PortfolioRow& first = summary->events[0];
  EXPECT_EQ(first.event.name, "Spring");
  ASSERT_EQ(first.pipeline.size(), 2u);
  EXPECT_EQ(first.pipeline[0].currency, "EUR");
  EXPECT_DOUBLE_EQ(first.pipeline[0].amount, 125);
  EXPECT_EQ(first.pipeline[1].currency, "USD");
  EXPECT_DOUBLE_EQ(first.pipeline[1].amount, 50);
  EXPECT_EQ(summary->events[1].opportunities, 1);
  ASSERT_EQ(summary->events[1].pipeline.size(), 1u);
  EXPECT_DOUBLE_EQ(summary->events[1].pipeline[0].amount, 0);
}

}  // namespace
}  // namespace qm
