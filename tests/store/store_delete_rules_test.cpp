// Deleting an owner deletes what it owns and nothing else.
#include <gmock/gmock.h>

#include "store/qlm_import_record.h"
#include "store/relationships.h"
#include "store_test_support.h"

namespace qm::test {
namespace {

/// One event with two contacts, each with notes, a capture, a draft and a
/// stakeholder link to the event's opportunity; plus a saved report.
struct EventGraph {
  Event event = Event::create("Expo");
  std::vector<Contact> contacts;
  Opportunity opportunity;
  SavedReport report;
  std::vector<ContactNote> notes;
  std::vector<CaptureMedia> captures;
  std::vector<FollowUpDraft> drafts;
  std::vector<OpportunityStakeholder> links;

  Status insertInto(Store& store) {
    return store.transaction([&]() -> Status {
      QM_TRY(store.insert(event));
      opportunity = Opportunity::create("Deal", "Acme", event.id);
      QM_TRY(store.insert(opportunity));
      report = SavedReport::create("event", "Report text", event.id);
      report.pdfData = Bytes(1000, 0x25);
      QM_TRY(store.insert(report));
      for (int i = 0; i < 2; ++i) {
        auto c = Contact::create("Ada" + std::to_string(i), "L", "Acme", event.id);
        QM_TRY(store.insert(c));
        contacts.push_back(c);
        for (int k = 0; k < 2; ++k) {
          ContactNote n;
          n.id = Uuid::random();
          n.syncID = Uuid::random();
          n.contactID = c.id;
          n.createdAt = n.updatedAt = now();
          QM_TRY(store.insert(n));
          notes.push_back(n);
        }
        CaptureMedia m;
        m.id = Uuid::random();
        m.contactID = c.id;
        m.imageFileName = "card.jpg";
        QM_TRY(store.insert(m));
        captures.push_back(m);
        auto d = FollowUpDraft::create("Hello", "Body", c.id);
        QM_TRY(store.insert(d));
        drafts.push_back(d);
        auto s = OpportunityStakeholder::create(c.id, opportunity.id, "Buyer");
        QM_TRY(store.insert(s));
        links.push_back(s);
      }
      return {};
    });
  }
};

template <Record R>
std::int64_t countOf(Store& store) {
  auto n = store.count<R>();
  EXPECT_TRUE(n.ok());
  return n.ok() ? *n : -1;
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

  EXPECT_EQ(countOf<Event>(*store), 1);
  EXPECT_EQ(countOf<Contact>(*store), 2);
  EXPECT_EQ(countOf<ContactNote>(*store), 4);
  EXPECT_EQ(countOf<CaptureMedia>(*store), 2);
  EXPECT_EQ(countOf<FollowUpDraft>(*store), 2);
  EXPECT_EQ(countOf<OpportunityStakeholder>(*store), 2);
  EXPECT_EQ(countOf<Opportunity>(*store), 1);
  EXPECT_EQ(countOf<SavedReport>(*store), 1);
  auto left = contactsOf(*store, kept.event.id);
  ASSERT_OK(left);
  EXPECT_EQ(left->size(), 2u);
  auto notes = notesOf(*store, doomed.contacts[0].id);
  ASSERT_OK(notes);
  EXPECT_TRUE(notes->empty());
}

TEST_F(DeleteRules, DeletingAContactDeletesOnlyWhatItOwns) {
  const Contact& victim = doomed.contacts[0];
  ASSERT_OK(store->remove<Contact>(victim.id));

  auto siblings = contactsOf(*store, doomed.event.id);
  ASSERT_OK(siblings);
  ASSERT_EQ(siblings->size(), 1u);
  EXPECT_EQ(siblings->front().id, doomed.contacts[1].id);
  EXPECT_EQ(countOf<ContactNote>(*store), 6);
  EXPECT_EQ(countOf<CaptureMedia>(*store), 3);
  EXPECT_EQ(countOf<FollowUpDraft>(*store), 3);
  auto links = stakeholdersOfOpportunity(*store, doomed.opportunity.id);
  ASSERT_OK(links);
  ASSERT_EQ(links->size(), 1u);
  EXPECT_EQ(links->front().contactID, doomed.contacts[1].id);
  // The opportunity and the event stay.
  EXPECT_EQ(countOf<Opportunity>(*store), 2);
  EXPECT_EQ(countOf<Event>(*store), 2);
}

TEST_F(DeleteRules, DeletingADraftLeavesItsContact) {
  ASSERT_OK(store->remove<FollowUpDraft>(doomed.drafts[0].id));
  auto contact = store->find<Contact>(doomed.contacts[0].id);
  ASSERT_OK(contact);
  EXPECT_TRUE(contact->has_value());
  auto drafts = draftsOf(*store, doomed.contacts[0].id);
  ASSERT_OK(drafts);
  EXPECT_TRUE(drafts->empty());
}

TEST_F(DeleteRules, DeletingAnOpportunityDeletesItsLinksButNotTheContacts) {
  ASSERT_OK(store->remove<Opportunity>(doomed.opportunity.id));
  auto links = stakeholdersOfContact(*store, doomed.contacts[0].id);
  ASSERT_OK(links);
  EXPECT_TRUE(links->empty());
  EXPECT_EQ(countOf<Contact>(*store), 4);
  EXPECT_EQ(countOf<OpportunityStakeholder>(*store), 2);
}

TEST_F(DeleteRules, DeletingAReportLeavesTheEvent) {
  ASSERT_OK(store->remove<SavedReport>(doomed.report.id));
  EXPECT_EQ(countOf<Event>(*store), 2);
  auto reports = savedReportsOf(*store, doomed.event.id);
  ASSERT_OK(reports);
  EXPECT_TRUE(reports->empty());
}

TEST_F(DeleteRules, ARecordCannotPointAtAMissingOwner) {
  auto orphan = Contact::create("No", "Event", "", Uuid::random());
  EXPECT_FALSE(store->insert(orphan).ok());
  EXPECT_EQ(countOf<Contact>(*store), 4);
}

TEST_F(StoreFixture, FileIDOfAnImportRecordIsUnique) {
  QLMImportRecord a{Uuid::random(), "bundle-1", "Phone", "Expo", now()};
  QLMImportRecord b{Uuid::random(), "bundle-1", "Other", "Other Expo", now()};
  ASSERT_OK(store->insert(a));
  auto second = store->insert(b);
  ASSERT_FALSE(second.ok());
  EXPECT_THAT(second.error().message, ::testing::HasSubstr("fileID"));
  b.fileID = "bundle-2";
  ASSERT_OK(store->insert(b));
  auto n = store->count<QLMImportRecord>();
  ASSERT_OK(n);
  EXPECT_EQ(*n, 2);
}

TEST_F(StoreFixture, AFailedTransactionLeavesNothingBehind) {
  auto event = Event::create("Expo");
  auto status = store->transaction([&]() -> Status {
    QM_TRY(store->insert(event));
    QM_TRY(store->insert(Contact::create("A", "B", "C", event.id)));
    return store->insert(event);  // duplicate id: fails, so everything rolls back
  });
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(countOf<Event>(*store), 0);
  EXPECT_EQ(countOf<Contact>(*store), 0);
  // The store is still usable afterwards.
  ASSERT_OK(store->insert(event));
  EXPECT_EQ(countOf<Event>(*store), 1);
}

}  // namespace
}  // namespace qm::test
