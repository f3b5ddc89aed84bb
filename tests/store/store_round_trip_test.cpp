// Every field of every record kind survives a write and a read, through the
// field tables that also build the schema.
#include <gmock/gmock.h>

#include <map>

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

namespace qm::test {
namespace {

/// Distinct, non-default values for every field; `seed` varies them.
/// Relationship fields point at the owners in `owners` (table → id).
template <Record R>
R filledRecord(int seed, const std::map<std::string_view, Uuid>& owners) {
  R r{};
  int n = seed * 1000;
  for (const auto& f : RecordInfo<R>::fields()) {
    ++n;
    FieldValue v;
    switch (f.type) {
      case FieldType::uuid:
        v = f.isRelationship() ? owners.at(f.options.references) : Uuid::random();
        break;
      case FieldType::text:
        // Non-ASCII, quotes and a NUL-free JSON-looking text.
        v = std::string(f.name) + " «Müller» \"" + std::to_string(n) + "\" 田中";
        break;
      case FieldType::date:
        // Sub-second precision, some before 1970.
        v = dateFromUnixSeconds(n % 2 ? 1'700'000'000 + n : -86'400 - n, 123'456 + n);
        break;
      case FieldType::boolean:
        v = true;  // every boolean defaults to false
        break;
      case FieldType::integer:
        v = std::int64_t{-9'000'000'000} - n;
        break;
      case FieldType::decimal:
        v = 0.1 * n + 1e-9;
        break;
      case FieldType::float32:
        v = static_cast<double>(static_cast<float>(0.25f * n));
        break;
      case FieldType::textList:
        v = std::vector<std::string>{"a", "", "ü \"q\"", std::to_string(n)};
        break;
      case FieldType::bytes: {
        Bytes b(4096 + n);
        for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 7 + n);
        b[0] = 0;
        v = std::move(b);
        break;
      }
      case FieldType::enumText:
        v = std::string(f.choices.at(f.choices.size() - 1 - (seed % f.choices.size())));
        break;
    }
    EXPECT_TRUE(f.set(r, std::move(v))) << RecordInfo<R>::table << "." << f.name;
  }
  return r;
}

/// Like `filledRecord` but every optional field absent and lists empty.
template <Record R>
R sparseRecord(int seed, const std::map<std::string_view, Uuid>& owners) {
  R r = filledRecord<R>(seed, owners);
  for (const auto& f : RecordInfo<R>::fields()) {
    if (f.optional) {
      EXPECT_TRUE(f.set(r, FieldValue{}));
    }
    if (f.type == FieldType::textList) {
      EXPECT_TRUE(f.set(r, std::vector<std::string>{}));
    }
  }
  return r;
}

template <class R>
class RecordRoundTrip : public StoreFixture {
 protected:
  std::map<std::string_view, Uuid> owners;

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
  auto readFull = this->store->template find<TypeParam>(full.id);
  ASSERT_OK(readFull);
  ASSERT_TRUE(readFull->has_value());
  EXPECT_TRUE(**readFull == full);
  auto readSparse = this->store->template find<TypeParam>(sparse.id);
  ASSERT_OK(readSparse);
  ASSERT_TRUE(readSparse->has_value());
  EXPECT_TRUE(**readSparse == sparse);

  // Each field, one by one, so a failure names it.
  for (const auto& f : RecordInfo<TypeParam>::fields())
    EXPECT_EQ(f.get(**readFull), f.get(full)) << RecordInfo<TypeParam>::table << "." << f.name;
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

  auto all = this->store->template fetch<TypeParam>();
  ASSERT_OK(all);
  std::vector<TypeParam> mine;
  for (auto& r : *all) {
    for (const auto& want : records) {
      if (r.id == want.id) mine.push_back(r);
    }
  }
  ASSERT_EQ(mine.size(), records.size());
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
  auto read = this->store->template find<TypeParam>(first.id);
  ASSERT_OK(read);
  EXPECT_TRUE(read->has_value() && **read == first);
}

}  // namespace
}  // namespace qm::test
