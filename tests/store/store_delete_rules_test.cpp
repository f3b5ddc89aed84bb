// Deleting an owner deletes what it owns and nothing else.
#include <gmock/gmock.h>

#include "store/qlm_import_record.h"
#include "store/relationships.h"
#include "store_test_support.h"
#include "support/record_fillers.h"

namespace qm::test {
namespace {

using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

/// One event with two contacts, each with two notes, a capture, a draft and a
/// stakeholder link to the event's opportunity; plus a saved report with a PDF.
struct EventGraph {
  Event event = Event::create("Expo");
  std::vector<Contact> contacts;
  Opportunity opportunity;
  SavedReport report;
  std::vector<FollowUpDraft> drafts;

  Status insertInto(Store& store) {
    return store.transaction([&]() -> Status {
      QM_TRY(store.insert(event));
      opportunity = Opportunity::create("Deal", "Acme", event.id);
      report = filledRecord<SavedReport>(1, {{"Event", event.id}});
      QM_TRY(store.insert(opportunity));
      QM_TRY(store.insert(report));
      for (int i = 0; i < 2; ++i) {
        contacts.push_back(Contact::create("Ada" + std::to_string(i), "L", "Acme", event.id));
        drafts.push_back(FollowUpDraft::create("Hello", "Body", contacts.back().id));
        const RecordOwners owner{{"Contact", contacts.back().id}};
        QM_TRY(store.insert(contacts.back()));
        QM_TRY(store.insert(filledRecord<ContactNote>(1, owner)));
        QM_TRY(store.insert(filledRecord<ContactNote>(2, owner)));
        QM_TRY(store.insert(filledRecord<CaptureMedia>(3, owner)));
        QM_TRY(store.insert(drafts.back()));
        QM_TRY(store.insert(OpportunityStakeholder::create(contacts.back().id, opportunity.id)));
      }
      return {};
    });
  }
};

/// Records held per kind: events, contacts, notes, captures, drafts,
/// stakeholder links, opportunities, reports.
std::vector<std::int64_t> kindCounts(Store& store) {
  return {countOf<Event>(store),         countOf<Contact>(store),
          countOf<ContactNote>(store),   countOf<CaptureMedia>(store),
          countOf<FollowUpDraft>(store), countOf<OpportunityStakeholder>(store),
          countOf<Opportunity>(store),   countOf<SavedReport>(store)};
}

class DeleteRules : public StoreFixture {
 protected:
  EventGraph doomed, kept;
  void SetUp() override {
    StoreFixture::SetUp();
    ASSERT_OK(doomed.insertInto(*store));
    ASSERT_OK(kept.insertInto(*store));
  }
};

TEST_F(DeleteRules, DeletingAnEventDeletesEverythingItOwnsAndNothingElse) {
  ASSERT_OK(store->remove<Event>(doomed.event.id));
  EXPECT_THAT(kindCounts(*store), ElementsAre(1, 2, 4, 2, 2, 2, 1, 1));
  EXPECT_THAT(contactsOf(*store, kept.event.id), HoldsValue(SizeIs(2)));
}

TEST_F(DeleteRules, DeletingAContactDeletesOnlyWhatItOwns) {
  ASSERT_OK(store->remove<Contact>(doomed.contacts[0].id));
  // The opportunity and the event stay.
  EXPECT_THAT(kindCounts(*store), ElementsAre(2, 3, 6, 3, 3, 3, 2, 2));
  EXPECT_THAT(contactsOf(*store, doomed.event.id),
              HoldsValue(ElementsAre(Field(&Contact::id, doomed.contacts[1].id))));
  EXPECT_THAT(
      stakeholdersOfOpportunity(*store, doomed.opportunity.id),
      HoldsValue(ElementsAre(Field(&OpportunityStakeholder::contactID, doomed.contacts[1].id))));
}

TEST_F(DeleteRules, DeletingAnOwnedRecordLeavesItsOwners) {
  ASSERT_OK(store->remove<FollowUpDraft>(doomed.drafts[0].id));
  ASSERT_OK(store->remove<SavedReport>(doomed.report.id));
  EXPECT_THAT(kindCounts(*store), ElementsAre(2, 4, 8, 4, 3, 4, 2, 1));
  EXPECT_THAT(draftsOf(*store, doomed.contacts[0].id), HoldsValue(IsEmpty()));
}

TEST_F(DeleteRules, DeletingAnOpportunityDeletesItsLinksButNotTheContacts) {
  ASSERT_OK(store->remove<Opportunity>(doomed.opportunity.id));
  EXPECT_THAT(kindCounts(*store), ElementsAre(2, 4, 8, 4, 4, 2, 1, 2));
  EXPECT_THAT(stakeholdersOfContact(*store, doomed.contacts[0].id), HoldsValue(IsEmpty()));
}

TEST_F(DeleteRules, ARecordCannotPointAtAMissingOwner) {
  EXPECT_THAT(store->insert(Contact::create("No", "Event", "", Uuid::random())), IsError());
  EXPECT_EQ(countOf<Contact>(*store), 4);
}

TEST_F(StoreFixture, FileIDOfAnImportRecordIsUnique) {
  QLMImportRecord a{Uuid::random(), "bundle-1", "Phone", "Expo", now()};
  QLMImportRecord b{Uuid::random(), "bundle-1", "Other", "Other Expo", now()};
  ASSERT_OK(store->insert(a));
  EXPECT_THAT(store->insert(b), IsError(HasSubstr("fileID")));
  b.fileID = "bundle-2";
  ASSERT_OK(store->insert(b));
  EXPECT_EQ(countOf<QLMImportRecord>(*store), 2);
}

TEST_F(StoreFixture, AFailedTransactionLeavesNothingBehind) {
  auto event = Event::create("Expo");
  auto status = store->transaction([&]() -> Status {
    QM_TRY(store->insert(event));
    QM_TRY(store->insert(Contact::create("A", "B", "C", event.id)));
    return store->insert(event);  // duplicate id: fails, so everything rolls back
  });
  EXPECT_THAT(status, IsError());
  EXPECT_EQ(countOf<Event>(*store), 0);
  EXPECT_EQ(countOf<Contact>(*store), 0);
  // The store is still usable afterwards.
  ASSERT_OK(store->insert(event));
  EXPECT_EQ(countOf<Event>(*store), 1);
}

}  // namespace
}  // namespace qm::test
