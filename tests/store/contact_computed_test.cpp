// Computed properties of contacts and events.
#include <gmock/gmock.h>

#include "store/event.h"

namespace qm {
namespace {

TEST(ContactNames, FullNameIsTrimmedAndCompanyFallsBack) {
  auto c = Contact::create("Ada", "", "");
  EXPECT_EQ(c.fullName(), "Ada");
  EXPECT_EQ(c.displayCompany(), "Unknown Company");
  c.firstName = "  Jean ";
  c.lastName = "Müller\t";
  c.company = "Acme";
  EXPECT_EQ(c.fullName(), "Jean  Müller");
  EXPECT_EQ(c.displayCompany(), "Acme");
  c.firstName = "";
  EXPECT_EQ(c.fullName(), "Müller") << "no leading space without a first name";
}

TEST(ContactEnrichment, StateParsesOnlyKnownValues) {
  Contact c;
  for (const char* unknown : {"", "Complete" /* wrong case */}) {
    c.enrichmentStatus = unknown;
    EXPECT_EQ(c.enrichmentState(), EnrichmentState::none) << unknown;
  }
  c.enrichmentStatus = "awaitingDomainVerification";
  EXPECT_EQ(c.enrichmentState(), EnrichmentState::awaitingDomainVerification);
}

TEST(ContactEnrichment, ConflictsCountOnlyUnresolvedOnes) {
  Contact c;
  c.enrichmentConflicts = R"([
    {"field":"title","existingValue":"CTO","newValue":"CEO","source":"pdl","resolution":"user_resolved"},
    {"field":"company","existingValue":"A","newValue":"B","source":"pdl","resolution":"kept_existing"},
    {"field":"email","existingValue":"a@x","newValue":"b@x","source":"pdl"}])";
  ASSERT_EQ(c.conflicts().size(), 3u);
  EXPECT_FALSE(c.conflicts()[2].resolution.has_value());
  EXPECT_EQ(c.unresolvedConflictCount(), 2);

  // The encoder writes what the decoder reads.
  auto list = c.conflicts();
  c.enrichmentConflicts = encodeEnrichmentConflicts(list);
  EXPECT_EQ(c.conflicts(), list);
}

TEST(ContactEnrichment, UnreadableConflictsCountAsNone) {
  Contact c;
  for (std::string bad :
       std::vector<std::string>{"not json", "{\"field\":\"x\"}", "[{\"field\":1}]", "[1,2]",
                                std::string("[\"\xff\xfe\"]")}) {
    c.enrichmentConflicts = bad;
    EXPECT_TRUE(c.conflicts().empty()) << bad;
    EXPECT_EQ(c.unresolvedConflictCount(), 0) << bad;
  }
}

TEST(ContactMeetingIndicator, FollowsArchiveStatusAndTeammates) {
  Contact c = Contact::create("A", "B", "C");
  c.alsoMetBy = {"Sam"};
  EXPECT_EQ(c.meetingIndicator(), MeetingIndicator::notMet) << "no event, no teammate";
  c.eventID = Uuid::random();
  EXPECT_EQ(c.meetingIndicator(), MeetingIndicator::metByTeammate);
  c.status = MeetingStatus::met;
  EXPECT_EQ(c.meetingIndicator(), MeetingIndicator::met);
  c.status = MeetingStatus::noShow;
  EXPECT_EQ(c.meetingIndicator(), MeetingIndicator::noShow);
  c.status = MeetingStatus::met;
  c.isArchived = true;
  EXPECT_EQ(c.meetingIndicator(), MeetingIndicator::archived);
  EXPECT_EQ(static_cast<int>(MeetingIndicator::archived), 3);
  EXPECT_EQ(static_cast<int>(MeetingIndicator::noShow), 5);
}

TEST(EventCounts, MetAndTargetCountTheEventsContacts) {
  std::vector<Contact> contacts(5);
  contacts[0].status = MeetingStatus::met;
  contacts[1].status = MeetingStatus::met;
  contacts[1].isTarget = true;
  contacts[2].status = MeetingStatus::declined;
  contacts[3].isTarget = true;
  contacts[4].isTarget = true;
  EXPECT_EQ(metCount(contacts), 2);
  EXPECT_EQ(targetCount(contacts), 3);
}

}  // namespace
}  // namespace qm
