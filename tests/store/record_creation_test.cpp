// Creation defaults of the records the desktop writes, and note authorship.
#include <gmock/gmock.h>

#include "store/capture_media.h"
#include "store/contact_review_state.h"
#include "store/follow_up_draft.h"
#include "store/note_authoring.h"
#include "store/opportunity.h"
#include "store/saved_report.h"

namespace qm {
namespace {

using std::chrono::seconds;

TEST(RecordCreation, DraftDefaults) {
  const Date before = now();
  auto d = FollowUpDraft::create("Great to meet you", "Hi Ada");
  EXPECT_EQ(d.tone, "neutral");
  EXPECT_EQ(d.language, "en");
  EXPECT_EQ(d.status, "draft");
  EXPECT_GE(d.generatedAt, before);
  EXPECT_LE(d.generatedAt, now());
  EXPECT_FALSE(d.aiProvider || d.editedAt || d.batchID || d.contactID);
  EXPECT_FALSE(d.id.isNil());
  EXPECT_NE(d.id, FollowUpDraft::create("a", "b").id);
}

TEST(RecordCreation, OpportunityDefaults) {
  auto o = Opportunity::create("Pilot", "Acme");
  EXPECT_EQ(o.currency, "EUR");
  EXPECT_EQ(o.stage, "Exploring");
  EXPECT_EQ(o.nextStep, "");
  EXPECT_FALSE(o.timeline || o.confidence || o.value || o.eventID);
  EXPECT_EQ(o.createdAt, o.updatedAt);
  EXPECT_FALSE(o.suggestedByAI);
}

TEST(RecordCreation, ReportStakeholderAndReviewDefaults) {
  auto r = SavedReport::create("event", "text");
  EXPECT_EQ(r.detailLevel, "detailed");
  EXPECT_EQ(r.selectedSections, "");
  EXPECT_FALSE(r.pdfData.has_value());

  auto s = OpportunityStakeholder::create(std::nullopt, std::nullopt);
  EXPECT_FALSE(s.role || s.notes);
  EXPECT_LE(s.addedAt, now());

  auto contactID = Uuid::random();
  auto review = ContactReviewState::create(contactID);
  EXPECT_EQ(review.state, "unreviewed");
  EXPECT_EQ(review.contactID, contactID);
}

TEST(EnumerationTexts, RawValuesLabelsAndOrder) {
  EXPECT_EQ(parseEnum<ReportSection>("draftFollowUpMessages"),
            ReportSection::draftFollowUpMessages);
  EXPECT_EQ(static_cast<int>(ReportSection::draftFollowUpMessages), 12);
  EXPECT_FALSE(parseEnum<ReportSection>("appendix").has_value());
  EXPECT_EQ(displayLabel(ReportSection::accountOpportunities), "Account / Company Opportunities");
  EXPECT_EQ(rawValue(OpportunityTimeline::nextQuarter), "Next quarter");
  EXPECT_EQ(parseEnum<OpportunityConfidence>("High"), OpportunityConfidence::high);
  EXPECT_FALSE(parseEnum<OpportunityConfidence>("high").has_value());
  EXPECT_EQ(displayLabel(Tone::formal), "Formal");
  EXPECT_EQ(rawValue(ContactSource::screenshotImport), "screenshotImport");
  auto statuses = allCases<MeetingStatus>();
  EXPECT_THAT(statuses, ::testing::ElementsAre(MeetingStatus::notMet, MeetingStatus::met,
                                               MeetingStatus::declined, MeetingStatus::noShow));
}

TEST(CaptureImages, LiveUnderTheEventsUpperCaseFolder) {
  auto id = Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f").value();
  EXPECT_EQ(
      captureImageURL("/docs", id, "card.jpg"),
      std::filesystem::path("/docs/events/E621E1F8-C36C-495A-93FC-0C247A3E6E5F/photos/card.jpg"));
}

class NoteAuthorship : public ::testing::Test {
 protected:
  NoteAuthor desk{std::nullopt, "DESK-1"};
  Uuid contact = Uuid::random();
};

TEST_F(NoteAuthorship, WithoutDisplayNameHasNoAuthorNameButAlwaysADevice) {
  auto a = createDesktopNote(contact, {.textContent = "first"}, desk);
  auto b = createDesktopNote(contact, {.textContent = "second"}, desk);
  EXPECT_FALSE(a.createdByName.has_value());
  EXPECT_EQ(a.createdByDeviceID, "DESK-1");
  EXPECT_EQ(b.createdByDeviceID, "DESK-1");
  EXPECT_EQ(a.contactID, contact);
  EXPECT_EQ(a.createdAt, a.updatedAt);
  EXPECT_NE(a.syncID, b.syncID);
}

TEST_F(NoteAuthorship, DisplayNameOrGivenAuthorIsUsed) {
  auto fromDesk = createDesktopNote(contact, {}, {"Sam Seller", "DESK-1"});
  EXPECT_EQ(fromDesk.createdByName, "Sam Seller");
  auto given = createDesktopNote(
      contact, {.noteType = NoteType::voice, .authorName = "Claude", .deviceID = "AI-CLIENT"},
      {"Sam Seller", "DESK-1"});
  EXPECT_EQ(given.createdByName, "Claude");
  EXPECT_EQ(given.createdByDeviceID, "AI-CLIENT");
  EXPECT_EQ(given.noteType, NoteType::voice);
}

}  // namespace
}  // namespace qm
