// Matching, creating and merging contacts that come from the phone.
#include "sync/sync_merge_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "store/relationships.h"
#include "store/store_test_support.h"
#include "sync/contact_matcher.h"
#include "sync/sync_test_records.h"

namespace qm {
namespace {

using test::wireContact;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const Date kT0 = dateFromUnixSeconds(1'700'000'000);
const Date kT1 = dateFromUnixSeconds(1'700'003'600);

SyncMergeContext context() {
  return SyncMergeContext{"Anna's iPhone", "Bo", kT1};
}

TEST(FindMatch, FollowsTheRulesInOrderAndTheListWithinARule) {
  std::vector<Contact> candidates = {
      Contact::create("Émile", "Zola", "Gallimard"),  // 0
      Contact::create("Ada", "Byron", "Acme"),        // 1
      Contact::create("ada", "BYRON", "ACME "),       // 2
      Contact::create("", "", ""),                    // 3: a card waiting for recognition
  };
  candidates[0].email = "ÉMILE@X.FR ";
  candidates[1].email = "ada@acme.io";
  candidates[1].linkedinURL = "https://linkedin.com/in/ada";
  const std::vector<Contact>& c = candidates;

  struct Case {
    const char* name;
    std::function<void(ContactSyncModel&)> incoming;
    std::optional<std::size_t> expected;
  };
  const Case cases[] = {
      {"sync id before e-mail",
       [&](auto& in) {
         in.syncID = c[2].syncID;
         in.email = "ada@acme.io";
       },
       2},
      {"e-mail in another case and with spaces", [](auto& in) { in.email = "émile@x.fr"; }, 0},
      {"LinkedIn address", [](auto& in) { in.linkedinURL = " HTTPS://LINKEDIN.COM/IN/ADA"; }, 1},
      {"blank e-mail falls through to the name",
       [](auto& in) {
         in.email = " \t";
         in.firstName = "ADA";
         in.lastName = "Byron";
         in.company = "acme";
       },
       1},
      {"unknown e-mail, no name", [](auto& in) { in.email = "nobody@x.fr"; }, std::nullopt},
      {"empty name and company never match by name", [](auto&) {}, std::nullopt},
      {"same name, other company",
       [](auto& in) {
         in.firstName = "Ada";
         in.lastName = "Byron";
         in.company = "Initech";
       },
       std::nullopt},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    ContactSyncModel in = wireContact("", "", "");
    testCase.incoming(in);
    auto found = SyncMergeEngine::findMatch(in, candidates);
    EXPECT_EQ(found ? std::optional(found->id) : std::nullopt,
              testCase.expected ? std::optional(c[*testCase.expected].id) : std::nullopt);
  }
}

TEST(FindMatch, SeesAnE_MailAMergeChanged) {
  std::vector<Contact> candidates = {Contact::create("Ada", "Byron", "Acme")};
  candidates[0].email = "old@acme.io";
  ContactMatcher matcher(candidates);
  candidates[0].email = "new@acme.io";
  matcher.refresh(0);
  ContactSyncModel in = wireContact("", "", "");
  in.email = "NEW@acme.io";
  EXPECT_EQ(matcher.find(in), 0u);
  in.email = "old@acme.io";
  EXPECT_EQ(matcher.find(in), std::nullopt);
}

TEST(CreateContact, CopiesTheWireRecordAndCreditsTheSender) {
  ContactSyncModel in = wireContact("Ada", "Byron", "Acme");
  in.source = "fax";
  in.status = "met";
  in.email = "ada@acme.io";
  in.emailVerified = true;
  in.alsoMetBy = {"Bo", "Cy"};
  const Uuid eventID = Uuid::random();

  Contact created = SyncMergeEngine::createContact(in, eventID, context());
  EXPECT_EQ(created.id, in.id);
  EXPECT_EQ(created.syncID, in.syncID);
  EXPECT_EQ(created.eventID, eventID);
  EXPECT_EQ(created.email, "ada@acme.io");
  EXPECT_TRUE(created.emailVerified);
  EXPECT_EQ(created.source, ContactSource::scanned);
  EXPECT_EQ(created.status, MeetingStatus::met);
  EXPECT_EQ(created.capturedBy, "Anna's iPhone");
  EXPECT_THAT(created.alsoMetBy, ElementsAre("Cy", "Anna's iPhone"));
  EXPECT_EQ(created.lastSyncedAt, kT1);
  EXPECT_EQ(created.syncCount, 1);

  in.status = "lost";
  in.capturedBy = "Cy";
  created = SyncMergeEngine::createContact(in, eventID, context());
  EXPECT_EQ(created.status, MeetingStatus::notMet);
  EXPECT_EQ(created.capturedBy, "Cy");
  EXPECT_THAT(created.alsoMetBy, ElementsAre("Cy"));
}

class MergeContactTest : public test::StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    ASSERT_OK(store->insert(event_));
  }
  Contact storedContact(const std::function<void(Contact&)>& edit = {}) {
    Contact c = Contact::create("Ada", "Byron", "Acme", event_.id);
    if (edit) edit(c);
    EXPECT_OK(store->insert(c));
    return c;
  }
  ContactSyncModel incomingFor(const Contact& c) {
    ContactSyncModel in = wireContact(c.firstName, c.lastName, c.company);
    in.syncID = c.syncID;
    return in;
  }
  /// Merges as a snapshot does: against what the store holds of the event.
  Result<std::optional<SyncMergeEngine::MergeDetail>> merge(const ContactSyncModel& in,
                                                            Contact& contact) {
    auto holdings = EventHoldings::read(*store, event_.id);
    if (!holdings) return holdings.error();
    return SyncMergeEngine::mergeContact(*store, *holdings, in, contact, context());
  }

  Event event_ = Event::create("Hannover Messe");
};

TEST_F(MergeContactTest, AppliesEachRule) {
  using C = Contact;
  using In = ContactSyncModel;
  struct Case {
    const char* name;
    std::function<void(C&)> desktop;
    std::function<void(In&)> incoming;
    std::function<void(const C&)> expect;
    std::vector<std::string> infoAdded;  // {"-"}: no detail (nothing changed)
    bool ratingChanged = false;
  };
  const std::vector<std::string> unchanged = {"-"};
  const Case cases[] = {
      {"keeps the desktop's own values: a value, a higher rating, a generated plan, a "
       "country's source, what is verified, a complete enrichment",
       [](C& c) {
         c.email = "d@acme.io";
         c.interactionRating = 4;
         c.aiActionPlan = "generated";
         c.countryCode = "DE";
         c.locationSource = "manual";
         c.isTarget = true;
         c.emailVerified = true;
         c.enrichmentStatus = "complete";
       },
       [](In& in) {
         in.email = "p@acme.io";
         in.firstName = "Augusta";
         in.source = "imported";
         in.interactionRating = 2;
         in.aiActionPlan = "other";
         in.countryCode = "FR";
         in.locationSource = "card";
         in.emailVerified = false;
         in.enrichmentStatus = "failed";
       },
       [](const C& c) {
         EXPECT_EQ(c.email, "d@acme.io");
         EXPECT_EQ(c.firstName, "Ada");
         EXPECT_EQ(c.source, ContactSource::manual);
         EXPECT_EQ(c.interactionRating, 4);
         EXPECT_EQ(c.aiActionPlan, "generated");
         EXPECT_EQ(c.locationSource, "manual");
         EXPECT_TRUE(c.isTarget);
         EXPECT_TRUE(c.emailVerified);
         EXPECT_EQ(c.enrichmentStatus, "complete");
       },
       unchanged},
      {"fills absent values, labelled in the order of the steps",
       {},
       [](In& in) {
         in.boothNumber = "B12";
         in.aiSummary = "Buys pumps";
         in.tier = "A";
         in.companyIndustry = "Pumps";
         in.title = "CTO";
         in.email = "ada@acme.io";
       },
       [](const C& c) { EXPECT_EQ(c.email, "ada@acme.io"); },
       {"email", "title", "industry", "tier", "booth number", "AI summary"}},
      {"an enriched phone record replaces contact details",
       [](C& c) {
         c.email = "d@acme.io";
         c.phone = "1";
       },
       [](In& in) {
         in.enrichmentStatus = "complete";
         in.enrichmentSource = "pdl";
         in.email = "p@acme.io";
         in.phone = "2";
       },
       [](const C& c) {
         EXPECT_EQ(c.email, "p@acme.io");
         EXPECT_EQ(c.phone, "2");
         EXPECT_EQ(c.enrichmentSource, "pdl");
       },
       {"phone", "email", "enrichment"}},
      {"an enriched desktop keeps its details",
       [](C& c) {
         c.enrichmentStatus = "partial";
         c.email = "d@acme.io";
       },
       [](In& in) {
         in.enrichmentStatus = "complete";
         in.email = "p@acme.io";
       },
       [](const C& c) {
         EXPECT_EQ(c.email, "d@acme.io");
         EXPECT_EQ(c.enrichmentStatus, "complete");
       },
       {"enrichment"}},
      {"the phone sets the owner",
       [](C& c) { c.ownedBy = "Al"; },
       [](In& in) { in.ownedBy = "Bea"; },
       [](const C& c) { EXPECT_EQ(c.ownedBy, "Bea"); },
       {"owner"}},
      {"the phone clears the owner",
       [](C& c) { c.ownedBy = "Al"; },
       {},
       [](const C& c) { EXPECT_EQ(c.ownedBy, std::nullopt); },
       {"owner cleared"}},
      {"a higher rating is taken",
       [](C& c) { c.interactionRating = 2; },
       [](In& in) { in.interactionRating = 4; },
       [](const C& c) { EXPECT_EQ(c.interactionRating, 4); },
       {},
       true},
      {"met on the phone",
       {},
       [](In& in) {
         in.status = "met";
         in.metAt = kT0;
       },
       [](const C& c) {
         EXPECT_EQ(c.status, MeetingStatus::met);
         EXPECT_EQ(c.metAt, kT0);
         EXPECT_THAT(c.alsoMetBy, ElementsAre("Anna's iPhone"));
       },
       {}},
      {"met without a time keeps the desktop's",
       [](C& c) { c.metAt = kT0; },
       [](In& in) { in.status = "met"; },
       [](const C& c) { EXPECT_EQ(c.metAt, kT0); },
       {}},
      {"met without any time is met now",
       {},
       [](In& in) { in.status = "met"; },
       [](const C& c) { EXPECT_EQ(c.metAt, kT1); },
       {}},
      {"not met from the only person who met",
       [](C& c) {
         c.status = MeetingStatus::met;
         c.metAt = kT0;
         c.interactionRating = 5;
         c.alsoMetBy = {"Anna's iPhone"};
       },
       {},
       [](const C& c) {
         EXPECT_EQ(c.status, MeetingStatus::notMet);
         EXPECT_EQ(c.metAt, std::nullopt);
         EXPECT_EQ(c.interactionRating, std::nullopt);
         EXPECT_THAT(c.alsoMetBy, IsEmpty());
       },
       {},
       true},
      {"not met from one of two",
       [](C& c) {
         c.status = MeetingStatus::met;
         c.interactionRating = 5;
         c.alsoMetBy = {"Anna's iPhone", "Cy"};
       },
       {},
       [](const C& c) {
         EXPECT_EQ(c.status, MeetingStatus::met);
         EXPECT_EQ(c.interactionRating, 5);
         EXPECT_THAT(c.alsoMetBy, ElementsAre("Cy"));
       },
       {}},
      {"declined does not undo a meeting",
       [](C& c) {
         c.status = MeetingStatus::met;
         c.alsoMetBy = {"Cy"};
       },
       [](In& in) { in.status = "declined"; },
       [](const C& c) { EXPECT_EQ(c.status, MeetingStatus::met); }, unchanged},
      {"no-show over not met",
       {},
       [](In& in) { in.status = "noShow"; },
       [](const C& c) { EXPECT_EQ(c.status, MeetingStatus::noShow); },
       {}},
      {"unknown statuses are skipped",
       {},
       [](In& in) {
         in.status = "maybe";
         in.enrichmentStatus = "halfway";
       },
       [](const C& c) { EXPECT_EQ(c.status, MeetingStatus::notMet); },
       unchanged},
      {"a plan edited on the phone replaces a generated one",
       [](C& c) { c.aiActionPlan = "generated"; },
       [](In& in) {
         in.aiActionPlan = "mine";
         in.actionPlanEditedByUser = true;
       },
       [](const C& c) {
         EXPECT_EQ(c.aiActionPlan, "mine");
         EXPECT_TRUE(c.actionPlanEditedByUser);
       },
       {"edited action plan"}},
      {"enrichment: in progress to none stays",
       [](C& c) { c.enrichmentStatus = "inProgress"; },
       [](In& in) { in.enrichmentStatus = "none"; },
       {},
       unchanged},
      {"enrichment: in progress to failed moves",
       [](C& c) { c.enrichmentStatus = "inProgress"; },
       [](In& in) {
         in.enrichmentStatus = "failed";
         in.enrichedAt = kT0;
       },
       [](const C& c) {
         EXPECT_EQ(c.enrichmentStatus, "failed");
         EXPECT_EQ(c.enrichedAt, kT0);
       },
       {"enrichment"}},
      {"enrichment: failed to partial moves",
       [](C& c) { c.enrichmentStatus = "failed"; },
       [](In& in) { in.enrichmentStatus = "partial"; },
       {},
       {"enrichment"}},
      {"a new country code brings its source",
       {},
       [](In& in) {
         in.countryCode = "FR";
         in.locationSource = "card";
       },
       [](const C& c) { EXPECT_EQ(c.locationSource, "card"); },
       {}},
      {"teammates join, this desktop does not",
       [](C& c) { c.alsoMetBy = {"Bo"}; },
       [](In& in) {
         in.alsoMetBy = {"Cy", "Bo"};
       },
       [](const C& c) { EXPECT_THAT(c.alsoMetBy, ElementsAre("Cy")); },
       {}},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    Contact contact = storedContact(testCase.desktop);
    ContactSyncModel in = incomingFor(contact);
    if (testCase.incoming) testCase.incoming(in);

    auto detail = merge(in, contact);
    ASSERT_OK(detail);
    if (testCase.expect) testCase.expect(contact);
    if (testCase.infoAdded == unchanged) {
      EXPECT_EQ(*detail, std::nullopt);
    } else {
      ASSERT_NE(*detail, std::nullopt);
      EXPECT_THAT((*detail)->infoAdded, ElementsAreArray(testCase.infoAdded));
      EXPECT_EQ((*detail)->ratingChanged, testCase.ratingChanged);
      EXPECT_EQ((*detail)->mergedWith, "Anna's iPhone");
      EXPECT_EQ((*detail)->contact, contact);
    }
    // What the merge left in memory is what the store holds.
    EXPECT_THAT(store->find<Contact>(contact.id), test::HoldsValue(std::optional(contact)));
  }
}

TEST_F(MergeContactTest, CountsTheSyncEvenWhenNothingChanged) {
  Contact contact = storedContact([](Contact& c) { c.syncCount = 3; });
  ASSERT_THAT(merge(incomingFor(contact), contact), test::HoldsValue(std::nullopt));
  auto stored = store->find<Contact>(contact.id);
  ASSERT_OK(stored);
  EXPECT_EQ((*stored)->syncCount, 4);
  EXPECT_EQ((*stored)->lastSyncedAt, kT1);
}

TEST_F(MergeContactTest, AddsUnknownNotesAndNewerOpportunities) {
  Contact contact = storedContact();
  ContactSyncModel in = incomingFor(contact);
  in.notes = {test::wireNote("known"), test::wireNote("new")};
  in.notes[1].noteType = "scribble";
  ASSERT_OK(store->insert(SyncMergeEngine::noteFromWire(in.notes[0], contact.id)));

  Opportunity older = Opportunity::create("Older on the phone", "Acme", event_.id);
  older.updatedAt = kT1;
  Opportunity stale = Opportunity::create("Stale here", "Acme", event_.id);
  stale.updatedAt = kT0;
  ASSERT_OK(store->insert(older));
  ASSERT_OK(store->insert(stale));
  auto olderWire = OpportunitySyncModel::from(older);
  olderWire.title = "ignored";
  olderWire.updatedAt = kT1;  // equal: untouched
  auto staleWire = OpportunitySyncModel::from(stale);
  staleWire.title = "Fresh from the phone";
  staleWire.updatedAt = kT1;
  in.opportunities = {test::wireOpportunity("Pumps", kT0), olderWire, staleWire};

  auto detail = merge(in, contact);
  ASSERT_OK(detail);
  ASSERT_NE(*detail, std::nullopt);
  EXPECT_EQ((*detail)->notesMerged, 1);
  EXPECT_THAT((*detail)->infoAdded, ElementsAre("2 opportunities"));

  auto notes = notesOf(*store, contact.id);
  ASSERT_OK(notes);
  ASSERT_EQ(notes->size(), 2u);
  EXPECT_EQ((*notes)[1].textContent, "new");
  EXPECT_EQ((*notes)[1].noteType, NoteType::text);
  EXPECT_EQ(store->find<Opportunity>(older.id)->value().title, "Older on the phone");
  EXPECT_EQ(store->find<Opportunity>(stale.id)->value().title, "Fresh from the phone");
  // The new opportunity belongs to the event and names the contact again on the wire.
  auto wire = ContactSyncModel::from(*store, contact);
  ASSERT_OK(wire);
  ASSERT_EQ(wire->opportunities.size(), 1u);
  EXPECT_EQ(wire->opportunities[0].title, "Pumps");
  EXPECT_EQ(store->find<Opportunity>(in.opportunities[0].id)->value().eventID, event_.id);
}

}  // namespace
}  // namespace qm
