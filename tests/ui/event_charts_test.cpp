// The figures behind an event's charts: meetings binned over the show, the
// funnel, the pipeline by stage, tiers, ratings and the team.
#include "ui/event_charts.h"

#include <gmock/gmock.h>

#include "common/date.h"

namespace qm {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const Uuid kEvent = Uuid::random();

Contact attendee(const std::string& first) {
  return Contact::create(first, "X", "Co", kEvent);
}

Contact metAttendee(const std::string& first, const std::string& when) {
  Contact c = attendee(first);
  c.status = MeetingStatus::met;
  c.metAt = parseISO8601(when);
  return c;
}

UtcOffset fixedOffset(std::int64_t seconds) {
  return [seconds](std::int64_t) { return seconds; };
}

EventCharts chartsOf(const std::vector<ListContact>& contacts,
                     const std::vector<Opportunity>& opportunities = {},
                     const std::vector<FollowUpDraft>& drafts = {},
                     const std::vector<OpportunityStakeholder>& links = {},
                     const std::vector<PipelineStage>& stages = {},
                     const UtcOffset& offset = fixedOffset(0)) {
  ChartRecords r;
  r.contacts = contacts;
  r.opportunities = opportunities;
  r.drafts = drafts;
  r.stakeholders = links;
  return eventCharts(r, stages, offset);
}

std::vector<std::string> keys(const std::vector<ChartBar>& bars) {
  std::vector<std::string> out;
  for (const ChartBar& b : bars) out.push_back(b.key);
  return out;
}

std::vector<std::int64_t> counts(const std::vector<ChartBar>& bars) {
  std::vector<std::int64_t> out;
  for (const ChartBar& b : bars) out.push_back(b.count);
  return out;
}

TEST(EventCharts, AnEventWithoutContactsHasNoBarsAnywhere) {
  const EventCharts charts = chartsOf({});
  EXPECT_THAT(charts.meetings, IsEmpty());
  EXPECT_THAT(charts.funnel, IsEmpty());
  EXPECT_THAT(charts.pipeline, IsEmpty());
  EXPECT_THAT(charts.tiers, IsEmpty());
  EXPECT_THAT(charts.ratings, IsEmpty());
  EXPECT_THAT(charts.team, IsEmpty());
}

TEST(EventCharts, MeetingsOverSeveralDaysAreBinnedPerLocalDayWithoutGaps) {
  const std::vector<ListContact> contacts{metAttendee("a", "2026-03-14T09:00:00Z"),
                                          metAttendee("b", "2026-03-14T23:30:00Z"),
                                          metAttendee("c", "2026-03-16T10:00:00Z"), attendee("d")};
  const EventCharts utc = chartsOf(contacts);
  EXPECT_EQ(utc.meetingBins, MeetingBins::days);
  EXPECT_THAT(keys(utc.meetings), ElementsAre("2026-03-14", "2026-03-15", "2026-03-16"));
  EXPECT_THAT(counts(utc.meetings), ElementsAre(2, 0, 1));
  EXPECT_THAT(utc.meetings[0].contactIDs, ElementsAre(contacts[0].id, contacts[1].id));

  // Two hours east, the late meeting falls on the next day.
  const EventCharts east = chartsOf(contacts, {}, {}, {}, {}, fixedOffset(2 * 3600));
  EXPECT_THAT(counts(east.meetings), ElementsAre(1, 1, 1));
  EXPECT_THAT(east.meetings[1].contactIDs, ElementsAre(contacts[1].id));
}

TEST(EventCharts, AOneDayShowIsBinnedPerHourAndOneMeetingIsOneBar) {
  const EventCharts one = chartsOf({metAttendee("a", "2026-03-14T09:10:00Z")});
  EXPECT_EQ(one.meetingBins, MeetingBins::hours);
  EXPECT_THAT(keys(one.meetings), ElementsAre("9"));
  EXPECT_THAT(counts(one.meetings), ElementsAre(1));

  const EventCharts day =
      chartsOf({metAttendee("a", "2026-03-14T09:10:00Z"), metAttendee("b", "2026-03-14T11:59:59Z"),
                metAttendee("c", "2026-03-14T09:59:00Z")});
  EXPECT_THAT(keys(day.meetings), ElementsAre("9", "10", "11"));
  EXPECT_THAT(counts(day.meetings), ElementsAre(2, 0, 1));
  EXPECT_EQ(day.meetings[0].localStart,
            unixMicros(*parseISO8601("2026-03-14T09:00:00Z")) / 1'000'000);
}

TEST(EventCharts, AShowOfSeveralDaysStaysPerDayEvenWithMeetingsOnOneDay) {
  ChartRecords r;
  const std::vector<ListContact> contacts{metAttendee("a", "2026-03-14T09:00:00Z")};
  r.contacts = contacts;
  r.eventStart = parseISO8601("2026-03-14T08:00:00Z");
  r.eventEnd = parseISO8601("2026-03-16T18:00:00Z");
  const EventCharts charts = eventCharts(r, {}, fixedOffset(0));
  EXPECT_EQ(charts.meetingBins, MeetingBins::days);
  EXPECT_THAT(keys(charts.meetings), ElementsAre("2026-03-14"));
}

TEST(EventCharts, MeetingsFarApartKeepOnlyTheDaysWithMeetings) {
  const EventCharts charts =
      chartsOf({metAttendee("a", "2026-03-14T09:00:00Z"), metAttendee("b", "2026-06-01T09:00:00Z")});
  EXPECT_THAT(keys(charts.meetings), ElementsAre("2026-03-14", "2026-06-01"));
}

TEST(EventCharts, TheFunnelCountsEachStepsContacts) {
  std::vector<ListContact> c{attendee("captured"), metAttendee("met", "2026-03-14T09:00:00Z"),
                             metAttendee("rated", "2026-03-14T09:00:00Z"),
                             metAttendee("drafted", "2026-03-14T09:00:00Z"),
                             metAttendee("sent", "2026-03-14T09:00:00Z")};
  c[2].interactionRating = 4;
  c[3].interactionRating = 3;
  c[4].interactionRating = 5;
  FollowUpDraft draft = FollowUpDraft::create("s", "b", c[3].id);
  FollowUpDraft sent = FollowUpDraft::create("s", "b", c[4].id);
  sent.status = "sent";
  FollowUpDraft elsewhere = FollowUpDraft::create("s", "b", Uuid::random());
  elsewhere.status = "approved";
  Opportunity deal = Opportunity::create("Deal", "Co", kEvent);
  deal.originContactID = c[4].id;
  const auto link = OpportunityStakeholder::create(c[1].id, deal.id);

  const EventCharts charts = chartsOf(c, {deal}, {draft, sent, elsewhere}, {link});
  EXPECT_THAT(keys(charts.funnel),
              ElementsAre("captured", "met", "rated", "drafted", "approved", "opportunity"));
  EXPECT_THAT(counts(charts.funnel), ElementsAre(5, 4, 2, 2, 1, 2));
  EXPECT_THAT(charts.funnel[2].contactIDs, ElementsAre(c[2].id, c[4].id));
  EXPECT_THAT(charts.funnel[4].contactIDs, ElementsAre(c[4].id));
  EXPECT_THAT(charts.funnel[5].contactIDs, ElementsAre(c[1].id, c[4].id));
}

TEST(EventCharts, ThePipelineHasOneBarPerStageWithAmountsPerCurrency) {
  const std::vector<PipelineStage> stages{{Uuid::random(), "Exploring", 0, "8E8E93"},
                                          {Uuid::random(), "Committed", 1, "34C759"}};
  const std::vector<ListContact> contacts{attendee("a"), attendee("b")};
  auto deal = [&](const std::string& stage, std::optional<double> value, const char* currency) {
    Opportunity o = Opportunity::create("Deal", "Co", kEvent);
    o.stage = stage;
    o.value = value;
    o.currency = currency;
    return o;
  };
  std::vector<Opportunity> deals{deal("committed", 1000, "EUR"), deal("Committed", 500, "USD"),
                                 deal("Committed", 250, "EUR"), deal("Lost", std::nullopt, "EUR")};
  deals[0].originContactID = contacts[1].id;
  const EventCharts charts = chartsOf(contacts, deals, {}, {}, stages);
  EXPECT_THAT(keys(charts.pipeline), ElementsAre("Exploring", "Committed", "Lost"));
  EXPECT_THAT(counts(charts.pipeline), ElementsAre(0, 3, 1));
  EXPECT_EQ(charts.pipeline[1].colorHex, "34C759");
  EXPECT_EQ(charts.pipeline[2].colorHex, "");
  ASSERT_EQ(charts.pipeline[1].amounts.size(), 2u);
  EXPECT_EQ(charts.pipeline[1].amounts[0].currency, "EUR");
  EXPECT_DOUBLE_EQ(charts.pipeline[1].amounts[0].amount, 1250);
  EXPECT_EQ(charts.pipeline[1].amounts[1].currency, "USD");
  EXPECT_DOUBLE_EQ(charts.pipeline[1].amounts[1].amount, 500);
  EXPECT_THAT(charts.pipeline[2].amounts, IsEmpty());
  EXPECT_THAT(charts.pipeline[1].contactIDs, ElementsAre(contacts[1].id));

  EXPECT_THAT(chartsOf(contacts, {}, {}, {}, stages).pipeline, IsEmpty());
}

TEST(EventCharts, TiersRatingsAndTeamShowWhatOccurs) {
  std::vector<ListContact> c{attendee("a"), attendee("b"), attendee("c"), attendee("d")};
  c[0].tier = "b";
  c[1].tier = "A";
  c[2].tier = " ";
  c[3].tier = "A";
  const EventCharts untouched = chartsOf(c);
  EXPECT_THAT(keys(untouched.tiers), ElementsAre("A", "B", ""));
  EXPECT_THAT(counts(untouched.tiers), ElementsAre(2, 1, 1));
  EXPECT_THAT(untouched.ratings, IsEmpty());
  EXPECT_THAT(untouched.team, IsEmpty());

  c[0].interactionRating = 5;
  c[1].interactionRating = 2;
  c[2].interactionRating = 9;  // out of range: not counted
  c[0].status = MeetingStatus::met;
  c[0].capturedBy = "Ana";
  c[0].alsoMetBy = {"Ben", "Ana"};
  c[1].capturedBy = "Ben";  // captured but not met
  c[3].alsoMetBy = {"Ben"};
  const EventCharts charts = chartsOf(c);
  EXPECT_THAT(keys(charts.ratings), ElementsAre("1", "2", "3", "4", "5"));
  EXPECT_THAT(counts(charts.ratings), ElementsAre(0, 1, 0, 0, 1));
  EXPECT_THAT(keys(charts.team), ElementsAre("Ben", "Ana"));
  EXPECT_THAT(counts(charts.team), ElementsAre(2, 1));
  EXPECT_THAT(charts.team[0].contactIDs, ElementsAre(c[0].id, c[3].id));

  c[0].alsoMetBy.clear();
  c[3].alsoMetBy.clear();
  EXPECT_THAT(chartsOf(c).team, IsEmpty());  // one person only
}

}  // namespace
}  // namespace qm
