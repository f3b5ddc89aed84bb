// What the records the desktop creates start with, their enumeration texts,
// and note authorship.
#include <gmock/gmock.h>

#include "store/capture_media.h"
#include "store/follow_up_draft.h"
#include "store/note_authoring.h"
#include "store/opportunity.h"
#include "store/saved_report.h"

namespace qm {
namespace {

TEST(RecordCreation, NewRecordsGetFreshIdsAndTheCurrentTime) {
  const Date before = now();
  auto d = FollowUpDraft::create("Great to meet you", "Hi Ada");
  EXPECT_GE(d.generatedAt, before);
  EXPECT_LE(d.generatedAt, now());
  EXPECT_FALSE(d.id.isNil());
  EXPECT_NE(d.id, FollowUpDraft::create("a", "b").id);
  auto o = Opportunity::create("Pilot", "Acme");
  EXPECT_EQ(o.createdAt, o.updatedAt);
}

// The raw texts are what the phone reads and writes; they must match exactly.
TEST(EnumerationTexts, RawValuesLabelsAndOrder) {
  EXPECT_EQ(parseEnum<ReportSection>("draftFollowUpMessages"),
            ReportSection::draftFollowUpMessages);
  EXPECT_FALSE(parseEnum<ReportSection>("appendix").has_value());
  EXPECT_EQ(displayLabel(ReportSection::accountOpportunities), "Account / Company Opportunities");
  EXPECT_EQ(rawValue(OpportunityTimeline::nextQuarter), "Next quarter");
  EXPECT_EQ(parseEnum<OpportunityConfidence>("High"), OpportunityConfidence::high);
  EXPECT_FALSE(parseEnum<OpportunityConfidence>("high").has_value());
  EXPECT_THAT(allCases<MeetingStatus>(),
              ::testing::ElementsAre(MeetingStatus::notMet, MeetingStatus::met,
                                     MeetingStatus::declined, MeetingStatus::noShow));
}

TEST(CaptureImages, LiveUnderTheEventsUpperCaseFolder) {
  auto id = Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f").value();
  EXPECT_EQ(
      captureImageURL("/docs", id, "card.jpg"),
      std::filesystem::path("/docs/events/E621E1F8-C36C-495A-93FC-0C247A3E6E5F/photos/card.jpg"));
}

TEST(NoteAuthorship, TheDesktopsNameAndDeviceUnlessTheNoteNamesItsAuthor) {
  const Uuid contact = Uuid::random();
  auto a = createDesktopNote(contact, {.textContent = "first"}, {std::nullopt, "DESK-1"});
  auto b = createDesktopNote(contact, {.textContent = "second"}, {std::nullopt, "DESK-1"});
  EXPECT_FALSE(a.createdByName.has_value());
  EXPECT_EQ(a.createdByDeviceID, "DESK-1");
  EXPECT_EQ(a.contactID, contact);
  EXPECT_EQ(a.createdAt, a.updatedAt);
  EXPECT_NE(a.syncID, b.syncID);

  EXPECT_EQ(createDesktopNote(contact, {}, {"Sam Seller", "DESK-1"}).createdByName, "Sam Seller");
  auto given = createDesktopNote(
      contact, {.noteType = NoteType::voice, .authorName = "Claude", .deviceID = "AI-CLIENT"},
      {"Sam Seller", "DESK-1"});
  EXPECT_EQ(given.createdByName, "Claude");
  EXPECT_EQ(given.createdByDeviceID, "AI-CLIENT");
  EXPECT_EQ(given.noteType, NoteType::voice);
}

}  // namespace
}  // namespace qm
