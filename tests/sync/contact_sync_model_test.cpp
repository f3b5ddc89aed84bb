// The wire forms of a stored contact, as the desktop sends it in
// "delta.contact", and of an event.
#include "sync/contact_sync_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

#include "store/event.h"
#include "store/store_test_support.h"
#include "support/record_fillers.h"
#include "sync/event_sync_model.h"

namespace qm {
namespace {

using Json = nlohmann::json;
using ::testing::ElementsAre;

// The keys of `object`, sorted.
std::vector<std::string> keysOf(const Json& object) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : object.items()) keys.push_back(key);
  return keys;
}

// The words of `text`, sorted.
std::vector<std::string> words(std::string_view text) {
  std::vector<std::string> out;
  std::istringstream in{std::string(text)};
  for (std::string word; in >> word;) out.push_back(word);
  std::sort(out.begin(), out.end());
  return out;
}

class ContactSyncModelTest : public test::StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    ASSERT_OK(store->insert(event_));
  }

  Event event_ = Event::create("Hannover Messe");
};

TEST_F(ContactSyncModelTest, CarriesEveryWireFieldOfAStoredContactAndNothingElse) {
  Contact contact = Contact::create("Jürgen", "Øvergaard", "Acme", event_.id);
  test::fillEveryField(contact);
  contact.source = ContactSource::screenshotImport;
  contact.status = MeetingStatus::noShow;
  ASSERT_OK(store->insert(contact));

  auto wire = ContactSyncModel::from(*store, contact);
  ASSERT_OK(wire);
  const Json json = Json::parse(encodeSyncJSON(*wire).value());
  // Every key of a contact on the wire, as the phone knows them.
  EXPECT_EQ(keysOf(json),
            words("id syncID firstName lastName company title email phone linkedinURL country "
                  "countryCode city stateRegion postalCode locationSource companyIndustry "
                  "companySize companyEmployeeCount companyWebsite companySummary "
                  "personTalkingPoints companyTalkingPoints priorityTier priorityScore "
                  "boothNumber delegation rank overallScore fitScore valueScore "
                  "confidenceScore effortScore tier whyMeet approachAngle watchOuts whoTheyAre "
                  "companySnapshot whyMatchReasons dataConfidence missingFields "
                  "candidateSources industry source status isTarget isFavorite metAt "
                  "interactionRating ownedBy aiSummary aiActionPlan aiFollowUpPriority "
                  "actionPlanEditedByUser enrichmentStatus enrichedAt enrichmentSource "
                  "verifiedEmail verifiedPhone emailVerified phoneVerified "
                  "pdlPersonLikelihood pdlPersonJSON companyHQ companyFounded companyType "
                  "companyRevenue companyFundingTotal companyFundingStage companyTags "
                  "companyLinkedInURL linkedinMatchMethod linkedinMatchScore capturedBy "
                  "alsoMetBy originalDeviceID notes opportunities captureFileNames"));
  EXPECT_EQ(json["source"], "screenshotImport");
  EXPECT_EQ(json["status"], "noShow");
  EXPECT_EQ(json["emailVerified"], true);
  EXPECT_EQ(json["companyHQ"], *contact.companyHQ);
  EXPECT_EQ(json["alsoMetBy"], contact.alsoMetBy);
  EXPECT_EQ(json["metAt"], formatISO8601(*contact.metAt));
  EXPECT_EQ(json["fitScore"], *contact.fitScore);
}

TEST_F(ContactSyncModelTest, BringsItsNotesLinkedOpportunitiesAndCaptureFileNames) {
  Contact contact = Contact::create("Dana", "Lee", "Acme", event_.id);
  Contact other = Contact::create("Kim", "Park", "Beta", event_.id);
  ASSERT_OK(store->insert(contact));
  ASSERT_OK(store->insert(other));

  ContactNote typed;
  typed.id = typed.syncID = Uuid::random();
  typed.contactID = contact.id;
  typed.createdAt = dateFromUnixSeconds(1'700'000'000);
  typed.noteType = NoteType::handwriting;
  typed.textContent = "Budget in Q3";
  typed.createdByName = "Dana's Laptop";
  typed.rawOCRText = "stays on the desktop";
  ContactNote voice = typed;
  voice.id = Uuid::random();
  voice.noteType = NoteType::voice;
  voice.audioFileName = "memo.m4a";
  ASSERT_OK(store->insert(typed));
  ASSERT_OK(store->insert(voice));

  Opportunity linked = Opportunity::create("Fleet rollout", "Acme", event_.id);
  linked.timeline = std::string(rawValue(OpportunityTimeline::thisMonth));
  Opportunity unrelated = Opportunity::create("Pilot", "Beta", event_.id);
  ASSERT_OK(store->insert(linked));
  ASSERT_OK(store->insert(unrelated));
  // Two roles in one opportunity bring it once.
  ASSERT_OK(store->insert(OpportunityStakeholder::create(contact.id, linked.id, "Buyer")));
  ASSERT_OK(store->insert(OpportunityStakeholder::create(contact.id, linked.id, "Champion")));
  ASSERT_OK(store->insert(OpportunityStakeholder::create(other.id, unrelated.id)));

  for (const char* file : {"front.jpg", "back.jpg"}) {
    CaptureMedia capture;
    capture.id = Uuid::random();
    capture.contactID = contact.id;
    capture.capturedAt = now();
    capture.imageFileName = file;
    ASSERT_OK(store->insert(capture));
  }

  auto wire = ContactSyncModel::from(*store, contact);
  ASSERT_OK(wire);
  EXPECT_THAT(wire->captureFileNames, ElementsAre("front.jpg", "back.jpg"));
  ASSERT_EQ(wire->notes.size(), 2U);
  EXPECT_EQ(wire->notes[0].id, typed.id);
  EXPECT_EQ(wire->notes[0].noteType, "handwriting");
  EXPECT_EQ(wire->notes[0].authorName, "Dana's Laptop");
  EXPECT_EQ(wire->notes[1].noteType, "voice");
  EXPECT_EQ(wire->notes[1].audioFileName, "memo.m4a");
  ASSERT_EQ(wire->opportunities.size(), 1U);
  EXPECT_EQ(wire->opportunities[0].id, linked.id);
  EXPECT_EQ(wire->opportunities[0].timeline, "This month");
  const Json note = Json::parse(encodeSyncJSON(wire->notes[0]).value());
  EXPECT_EQ(keysOf(note), words("authorName createdAt id noteType syncID textContent"));
}

TEST_F(ContactSyncModelTest, EventWireFormLeavesDesktopOnlyFieldsOut) {
  Event event = event_;
  test::fillEveryField(event);
  const Json json = Json::parse(encodeSyncJSON(EventSyncModel::from(event)).value());
  EXPECT_EQ(keysOf(json), words("adminDeviceID createdAt endDate eventDate eventDescription "
                                "eventWebsite id isAdminDevice isArchived location name "
                                "ourBoothNumber startDate teamCode teamMemberDeviceIDs updatedAt"));
}

}  // namespace
}  // namespace qm
