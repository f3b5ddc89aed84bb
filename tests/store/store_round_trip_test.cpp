// Every field of every record kind survives a write and a read, through the
// field tables that also build the schema.
#include <gmock/gmock.h>

#include "store/capture_media.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/contact_review_state.h"
#include "store/event.h"
#include "store/follow_up_draft.h"
#include "store/mcp_records.h"
#include "store/opportunity.h"
#include "store/qlm_import_record.h"
#include "store/saved_report.h"
#include "store_test_support.h"
#include "support/record_fillers.h"

namespace qm::test {
namespace {

template <class R>
class RecordRoundTrip : public StoreFixture {
 protected:
  RecordOwners owners;

  void SetUp() override {
    StoreFixture::SetUp();
    auto event = Event::create("Owner event");
    auto contact = Contact::create("Owner", "Contact", "Acme", event.id);
    auto opportunity = Opportunity::create("Owner deal", "Acme", event.id);
    ASSERT_OK(store->insert(event));
    ASSERT_OK(store->insert(contact));
    ASSERT_OK(store->insert(opportunity));
    owners = {{"Event", event.id}, {"Contact", contact.id}, {"Opportunity", opportunity.id}};
  }
};

using RecordKinds =
    ::testing::Types<Event, Contact, ContactNote, CaptureMedia, Opportunity, SavedReport,
                     QLMImportRecord, FollowUpDraft, OpportunityStakeholder, ContactReviewState,
                     MCPClientAuthorization, MCPAccessLog>;
TYPED_TEST_SUITE(RecordRoundTrip, RecordKinds);

TYPED_TEST(RecordRoundTrip, EveryFieldSurvivesWriteAndReopen) {
  const TypeParam full = filledRecord<TypeParam>(1, this->owners);
  const TypeParam sparse = sparseRecord<TypeParam>(2, this->owners);
  ASSERT_OK(this->store->insert(full));
  ASSERT_OK(this->store->insert(sparse));

  this->reopen();
  for (const TypeParam* written : {&full, &sparse}) {
    auto read = this->store->template find<TypeParam>(written->id);
    ASSERT_OK(read);
    ASSERT_TRUE(read->has_value());
    EXPECT_TRUE(**read == *written);
    // Each field, one by one, so a failure names it.
    for (const auto& f : RecordInfo<TypeParam>::fields())
      EXPECT_EQ(f.get(**read), f.get(*written)) << RecordInfo<TypeParam>::table << "." << f.name;
  }
}

TYPED_TEST(RecordRoundTrip, SaveUpdatesInPlaceAndKeepsStoredOrder) {
  std::vector<TypeParam> records;
  for (int i = 0; i < 4; ++i) records.push_back(filledRecord<TypeParam>(10 + i, this->owners));
  for (const auto& r : records) ASSERT_OK(this->store->save(r));

  // Replace the first record's content (same id): it keeps its position.
  TypeParam changed = filledRecord<TypeParam>(20, this->owners);
  changed.id = records[0].id;
  ASSERT_OK(this->store->save(changed));
  records[0] = changed;

  // The owners' own records of the same kind (say the owner event) come first.
  auto all = this->store->template fetch<TypeParam>();
  ASSERT_OK(all);
  ASSERT_GE(all->size(), records.size());
  const std::vector<TypeParam> mine(all->end() - static_cast<std::ptrdiff_t>(records.size()),
                                    all->end());
  for (std::size_t i = 0; i < records.size(); ++i) EXPECT_TRUE(mine[i] == records[i]) << i;
}

TYPED_TEST(RecordRoundTrip, DuplicateIdIsRefusedAndLeavesTheFirst) {
  const TypeParam first = filledRecord<TypeParam>(3, this->owners);
  TypeParam second = filledRecord<TypeParam>(4, this->owners);
  second.id = first.id;
  ASSERT_OK(this->store->insert(first));
  EXPECT_FALSE(this->store->insert(second).ok());
  EXPECT_FALSE(this->store->update(filledRecord<TypeParam>(5, this->owners)).ok())
      << "update of a record that does not exist";
  EXPECT_THAT(this->store->template find<TypeParam>(first.id),
              HoldsValue(::testing::Optional(first)));
}

}  // namespace
}  // namespace qm::test
