// The dashboard's next actions, pipeline total and the portfolio's attention items.
#include "ui/dashboard.h"

#include <gmock/gmock.h>

namespace qm {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::Field;

Contact contact(const Uuid& eventID) {
  return Contact::create("A", "B", "C", eventID);
}

std::vector<std::string> texts(const std::vector<DashboardItem>& items) {
  std::vector<std::string> out;
  for (const auto& i : items) out.push_back(i.text);
  return out;
}

TEST(NextActions, NothingPendingIsAllCaughtUp) {
  const auto items = nextActions({});
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].text, "All caught up — no pending actions");
  EXPECT_EQ(items[0].icon, "checkmark.seal.fill");
}

TEST(NextActions, EachActionShowsWithItsCountTextAndIconInOrder) {
  const auto one = nextActions({1, 1, 1, 1, 1, 1});
  EXPECT_THAT(texts(one),
              ElementsAre("Review 1 draft", "Fix 1 missing email",
                          "Follow up with 1 high-priority contact", "Export 1 CRM-ready contact",
                          "Review 1 contact with data issues", "Assign owners to 1 contact"));
  std::vector<std::string> icons;
  for (const auto& i : one) icons.push_back(i.icon);
  EXPECT_THAT(icons, ElementsAre("envelope.fill", "at", "flame.fill", "arrow.up.right",
                                 "exclamationmark.triangle", "person.badge.key"));
  EXPECT_THAT(texts(nextActions({0, 2, 0, 0, 3, 0})),
              ElementsAre("Fix 2 missing emails", "Review 3 contacts with data issues"));
}

TEST(NextActions, CountsFollowTheContactsAndDrafts) {
  const Uuid event = Uuid::random();
  std::vector<ListContact> cs(8, contact(event));
  for (auto& c : cs) {
    c.id = Uuid::random();
    c.email = "x@example.com";
    c.ownedBy = "Sam";
  }
  cs[0].email = "";     // missing e-mail
  cs[1].email.reset();  // missing e-mail
  cs[2].tier = "A";     // open high priority
  cs[3].tier = "a";     // met: not open any more
  cs[3].status = MeetingStatus::met;
  cs[4].tier = "A";  // declined stays open
  cs[4].status = MeetingStatus::declined;
  cs[5].tier = "b";  // CRM-ready
  cs[5].enrichmentStatus = "complete";
  cs[6].enrichmentStatus = "partial";  // partial with conflicts counts once
  cs[6].enrichmentConflicts = encodeEnrichmentConflicts({{"title", "a", "b", "pdl", std::nullopt}});
  cs[7].enrichmentConflicts =  // a resolved conflict still counts
      encodeEnrichmentConflicts({{"title", "a", "b", "pdl", "user_resolved"}});
  cs[7].alsoMetBy = {"Kim"};  // met by a teammate, no owner
  cs[7].ownedBy.reset();
  cs[3].ownedBy = "";  // an empty owner is an owner

  auto draft = [](std::optional<Uuid> to, std::string status) {
    FollowUpDraft d = FollowUpDraft::create("s", "b", to);
    d.status = std::move(status);
    return d;
  };
  std::vector<FollowUpDraft> drafts{
      draft(cs[0].id, "approved"),       draft(cs[1].id, "draft"),
      draft(cs[2].id, "sent"),           draft(cs[3].id, "dismissed"),
      draft(Uuid::random(), "approved"), draft(std::nullopt, "approved")};
  const auto n = nextActionCounts(cs, drafts);
  EXPECT_EQ(n.approvedDrafts, 1);
  EXPECT_EQ(n.missingEmails, 2);
  EXPECT_EQ(n.highPriorityOpen, 2);
  EXPECT_EQ(n.crmReady, 1);
  EXPECT_EQ(n.dataIssues, 2);
  EXPECT_EQ(n.unownedMet, 1);
  EXPECT_EQ(nextActions(n).front().text, "Review 1 draft");

  drafts.erase(drafts.begin());
  EXPECT_EQ(nextActionCounts(cs, drafts).approvedDrafts, 0);
  EXPECT_NE(nextActions(nextActionCounts(cs, drafts)).front().kind, "reviewDrafts");
}

TEST(PipelineTotal, OneTotalPerCurrencyInFirstSeenOrder) {
  auto opp = [](std::optional<double> value, std::string currency) {
    Opportunity o = Opportunity::create("t", "c");
    o.value = value;
    o.currency = std::move(currency);
    return o;
  };
  EXPECT_THAT(pipelineTotals(std::vector<Opportunity>{}),
              ElementsAre(AllOf(Field(&PipelineTotal::currency, "EUR"),
                                Field(&PipelineTotal::amount, 0.0))));
  // Only the second has a value, in USD.
  EXPECT_THAT(pipelineTotals(std::vector{opp(std::nullopt, "EUR"), opp(1200, "USD")}),
              ElementsAre(AllOf(Field(&PipelineTotal::currency, "USD"),
                                Field(&PipelineTotal::amount, 1200.0))));
  // Amounts in different currencies are never added together.
  const auto mixed = pipelineTotals(
      std::vector{opp(100, "USD"), opp(50, "EUR"), opp(25.5, "USD"), opp(std::nullopt, "GBP")});
  EXPECT_THAT(
      mixed,
      ElementsAre(
          AllOf(Field(&PipelineTotal::currency, "USD"), Field(&PipelineTotal::amount, 125.5)),
          AllOf(Field(&PipelineTotal::currency, "EUR"), Field(&PipelineTotal::amount, 50.0))));
}

PortfolioEvent eventWith(std::size_t contacts, std::size_t untiered) {
  PortfolioEvent e{Event::create("E"), {}, {}};
  for (std::size_t i = 0; i < contacts; ++i) {
    Contact c = contact(e.event.id);
    c.email = "a@b.c";
    c.status = MeetingStatus::met;
    c.tier = i < untiered ? std::optional<std::string>(" ") : "B";
    e.contacts.push_back(c);
  }
  return e;
}

TEST(AttentionItems, TierItemOnlyWhenMoreThanHalfAreUntiered) {
  std::vector<PortfolioEvent> events{eventWith(10, 5)};
  EXPECT_THAT(texts(attentionItems(attentionCounts(events))),
              ElementsAre("All caught up — no pending actions"));
  events = {eventWith(4, 3), eventWith(6, 3)};
  EXPECT_THAT(texts(attentionItems(attentionCounts(events))),
              ElementsAre("6 contacts without tier assignment"));
}

TEST(AttentionItems, CountsSkipArchivedEventsAndEventsWithoutContacts) {
  PortfolioEvent unmet = eventWith(2, 0);
  for (auto& c : unmet.contacts) c.status = MeetingStatus::declined;
  unmet.contacts[0].email.reset();
  PortfolioEvent empty = eventWith(0, 0);
  PortfolioEvent archived = eventWith(3, 3);
  archived.event.isArchived = true;
  for (auto& c : archived.contacts) c.status = MeetingStatus::notMet;
  PortfolioEvent withOpps = eventWith(1, 0);
  withOpps.contacts[0].email = "";
  withOpps.opportunities = {Opportunity::create("a", "b"), Opportunity::create("c", "d")};
  withOpps.opportunities[0].nextStep = " \n";
  withOpps.opportunities[1].nextStep = "Call";
  std::vector<PortfolioEvent> events{unmet, empty, archived, withOpps};

  const auto n = attentionCounts(events);
  EXPECT_EQ(n.eventsWithoutMeetings, 1);
  EXPECT_EQ(n.missingEmailContacts, 2);
  EXPECT_EQ(n.missingEmailEvents, 2);
  EXPECT_EQ(n.opportunitiesWithoutNextStep, 1);
  EXPECT_EQ(n.untieredContacts, 0);
  const auto items = attentionItems(n);
  EXPECT_THAT(texts(items), ElementsAre("1 event with no meetings yet",
                                        "2 contacts missing email across 2 events",
                                        "1 opportunity without next steps"));
  EXPECT_EQ(items[0].icon, "person.fill.questionmark");
  EXPECT_EQ(items[1].icon, "at");
  EXPECT_EQ(items[2].icon, "exclamationmark.triangle");
  EXPECT_EQ(attentionItems({0, 1, 1, 2, 0, 1})[1].text, "2 opportunities without next steps");

  orderPortfolio(events);
  EXPECT_EQ(events.size(), 3u) << "archived events leave the portfolio";
}

TEST(AttentionItems, PortfolioIsOrderedByStartDateLatestFirst) {
  std::vector<PortfolioEvent> events{eventWith(0, 0), eventWith(0, 0), eventWith(0, 0)};
  events[0].event.name = "undated";
  events[1].event.name = "old";
  events[1].event.startDate = dateFromUnixSeconds(1'600'000'000);
  events[2].event.name = "new";
  events[2].event.startDate = dateFromUnixSeconds(1'700'000'000);
  orderPortfolio(events);
  std::vector<std::string> order;
  for (const auto& e : events) order.push_back(e.event.name);
  EXPECT_THAT(order, ElementsAre("new", "old", "undated"));
}

}  // namespace
}  // namespace qm
