// Computed properties of contacts and events.
#include <gmock/gmock.h>

#include "store/event.h"

namespace qm {
namespace {

TEST(ContactNames, FullNameIsTrimmedAndCompanyFallsBack) {
  auto c = Contact::create("  Jean ", "Müller\t", "");
  EXPECT_EQ(c.fullName(), "Jean  Müller");
  EXPECT_EQ(c.displayCompany(), "Unknown Company");
  c.firstName = "";
  c.company = "Acme";
  EXPECT_EQ(c.displayCompany(), "Acme");
  EXPECT_EQ(c.fullName(), "Müller") << "no leading space without a first name";
  // Unicode white space (no-break, ideographic, em space) is trimmed too, and
  // text that only looks like it (a lone continuation byte) is kept.
  c.firstName = "\u00A0\u3000田中";
  c.lastName = "Müller\u2003\u00A0";
  EXPECT_EQ(c.fullName(), "田中 Müller");
  c.firstName = "\u00A0";
  c.lastName = "x\x80";
  EXPECT_EQ(c.fullName(), "x\x80");
}

TEST(ContactEnrichment, StateAndConflictsReadOnlyWhatTheyUnderstand) {
  Contact c;
  EXPECT_EQ(c.enrichmentState(), EnrichmentState::none);
  c.enrichmentStatus = "Complete";  // wrong case
  EXPECT_EQ(c.enrichmentState(), EnrichmentState::none);
  c.enrichmentStatus = "awaitingDomainVerification";
  EXPECT_EQ(c.enrichmentState(), EnrichmentState::awaitingDomainVerification);

  c.enrichmentConflicts = R"([
    {"field":"title","existingValue":"CTO","newValue":"CEO","source":"pdl","resolution":"user_resolved"},
    {"field":"company","existingValue":"A","newValue":"B","source":"pdl","resolution":"kept_existing"},
    {"field":"email","existingValue":"a@x","newValue":"b@x","source":"pdl"}])";
  ASSERT_EQ(c.conflicts().size(), 3u);
  EXPECT_FALSE(c.conflicts()[2].resolution.has_value());
  EXPECT_EQ(c.unresolvedConflictCount(), 2);
  const auto list = c.conflicts();  // the encoder writes what the decoder reads
  c.enrichmentConflicts = encodeEnrichmentConflicts(list);
  EXPECT_EQ(c.conflicts(), list);

  for (std::string bad :
       {"not json", "{\"field\":\"x\"}", "[{\"field\":1}]", "[1,2]", "[\"\xff\"]"}) {
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
  c.status = MeetingStatus::noShow;
  EXPECT_EQ(c.meetingIndicator(), MeetingIndicator::noShow);
  c.status = MeetingStatus::met;
  EXPECT_EQ(c.meetingIndicator(), MeetingIndicator::met);
  c.isArchived = true;
  EXPECT_EQ(c.meetingIndicator(), MeetingIndicator::archived);
  // The numbers the phone uses.
  EXPECT_EQ(static_cast<int>(MeetingIndicator::archived), 3);
  EXPECT_EQ(static_cast<int>(MeetingIndicator::noShow), 5);
}

TEST(EventCounts, MetAndTargetCountTheEventsContacts) {
  std::vector<Contact> contacts(4);
  contacts[0].status = MeetingStatus::met;
  contacts[1].status = MeetingStatus::met;
  contacts[1].isTarget = true;
  contacts[2].status = MeetingStatus::declined;
  contacts[3].isTarget = true;
  EXPECT_EQ(metCount(contacts), 2);
  EXPECT_EQ(targetCount(contacts), 2);
}

}  // namespace
}  // namespace qm
