// The full data export and its way back: every field of every record kind
// survives an export restored into a fresh store; restore refuses what it
// cannot read and a store that holds records, and writes all or nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "export/full_data_export.h"
#include "export/restore.h"
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
#include "store/store_test_support.h"
#include "support/record_fillers.h"

namespace qm {
namespace {

using test::IsError;
using ::testing::HasSubstr;

/// A full and a sparse record of every kind, owners first, with seeds from
/// `seed` on.
void fillEveryKind(Store& store, std::uint64_t seed) {
  using test::filledRecord;
  using test::sparseRecord;
  const auto event = filledRecord<Event>(seed);
  ASSERT_OK(store.insert(event));
  ASSERT_OK(store.insert(sparseRecord<Event>(seed + 1)));
  test::RecordOwners owners{{"Event", event.id}};
  const auto contact = filledRecord<Contact>(seed + 2, owners);
  ASSERT_OK(store.insert(contact));
  ASSERT_OK(store.insert(sparseRecord<Contact>(seed + 3, owners)));
  owners["Contact"] = contact.id;
  const auto opportunity = filledRecord<Opportunity>(seed + 4, owners);
  ASSERT_OK(store.insert(opportunity));
  ASSERT_OK(store.insert(sparseRecord<Opportunity>(seed + 5, owners)));
  owners["Opportunity"] = opportunity.id;
  auto both = [&]<class R>(R*) {
    ASSERT_OK(store.insert(filledRecord<R>(seed + 6, owners)));
    ASSERT_OK(store.insert(sparseRecord<R>(seed + 7, owners)));
  };
  both(static_cast<ContactNote*>(nullptr));
  both(static_cast<CaptureMedia*>(nullptr));
  both(static_cast<SavedReport*>(nullptr));
  both(static_cast<QLMImportRecord*>(nullptr));
  both(static_cast<FollowUpDraft*>(nullptr));
  both(static_cast<OpportunityStakeholder*>(nullptr));
  both(static_cast<ContactReviewState*>(nullptr));
  both(static_cast<MCPClientAuthorization*>(nullptr));
  both(static_cast<MCPAccessLog*>(nullptr));
}

template <class R>
void expectSameRecords(Store& original, Store& restored) {
  auto a = original.fetch<R>();
  auto b = restored.fetch<R>();
  ASSERT_OK(a);
  ASSERT_OK(b);
  ASSERT_EQ(a->size(), b->size()) << RecordInfo<R>::table;
  for (std::size_t i = 0; i < a->size(); ++i)
    for (const auto& f : RecordInfo<R>::fields())
      EXPECT_EQ(f.get((*a)[i]), f.get((*b)[i])) << RecordInfo<R>::table << "." << f.name;
}

void expectSameStores(Store& original, Store& restored) {
  expectSameRecords<Event>(original, restored);
  expectSameRecords<Contact>(original, restored);
  expectSameRecords<ContactNote>(original, restored);
  expectSameRecords<CaptureMedia>(original, restored);
  expectSameRecords<Opportunity>(original, restored);
  expectSameRecords<SavedReport>(original, restored);
  expectSameRecords<QLMImportRecord>(original, restored);
  expectSameRecords<FollowUpDraft>(original, restored);
  expectSameRecords<OpportunityStakeholder>(original, restored);
  expectSameRecords<ContactReviewState>(original, restored);
  expectSameRecords<MCPClientAuthorization>(original, restored);
  expectSameRecords<MCPAccessLog>(original, restored);
}

struct DataExport : test::StoreFixture {
  test::TempDir otherDir;
  std::unique_ptr<Store> other;

  void SetUp() override {
    test::StoreFixture::SetUp();
    auto opened = Store::open(otherDir / "QuillmereMac.store");
    ASSERT_OK(opened);
    other = std::move(opened).value();
  }

  std::string exportOf(Store& s) {
    auto data = buildFullDataExport(s, dateFromUnixSeconds(1772721000));
    EXPECT_OK(data);
    return data.ok() ? data->document : std::string();
  }
};

TEST_F(DataExport, EveryRecordComesBackFieldForField) {
  fillEveryKind(*store, 10);
  const std::string document = exportOf(*store);

  const auto json = nlohmann::json::parse(document);
  EXPECT_EQ(json["formatVersion"], 1);
  EXPECT_EQ(json["timestamp"], "2026-03-05T14:30:00Z");
  EXPECT_EQ(json["Contact"].size(), 2u);
  EXPECT_TRUE(json["Contact"][1]["email"].is_null());
  EXPECT_THAT(document, HasSubstr("\n  \"Event\": [\n    {\n      \"id\": "));

  auto summary = restoreDataExport(*other, document, RestoreMode::emptyStoreOnly);
  ASSERT_OK(summary);
  EXPECT_EQ(summary->added(), 24);
  EXPECT_EQ(summary->kept(), 0);
  expectSameStores(*store, *other);
  EXPECT_EQ(exportOf(*other), document);
}

TEST_F(DataExport, ANonEmptyStoreIsRefusedUnlessMerging) {
  fillEveryKind(*store, 10);
  const std::string document = exportOf(*store);
  auto event = Event::create("Already here");
  ASSERT_OK(other->insert(event));

  EXPECT_THAT(restoreDataExport(*other, document, RestoreMode::emptyStoreOnly),
              IsError(ErrorCode::failedPrecondition, HasSubstr("already holds records")));
  EXPECT_EQ(test::countOf<Contact>(*other), 0);

  auto merged = restoreDataExport(*other, document, RestoreMode::merge);
  ASSERT_OK(merged);
  EXPECT_EQ(merged->added(), 24);
  // Merging the same file again keeps every record as it is.
  auto edited = *store->fetch<Contact>();
  edited[0].firstName = "Changed here";
  ASSERT_OK(other->update(edited[0]));
  auto again = restoreDataExport(*other, document, RestoreMode::merge);
  ASSERT_OK(again);
  EXPECT_EQ(again->added(), 0);
  EXPECT_EQ(again->kept(), 24);
  EXPECT_EQ((*other->find<Contact>(edited[0].id))->firstName, "Changed here");
  EXPECT_EQ(test::countOf<Event>(*other), 3);
}

TEST_F(DataExport, WhatCannotBeReadIsRefusedAndNothingWritten) {
  fillEveryKind(*store, 10);
  const std::string document = exportOf(*store);
  auto edited = [&](auto change) {
    auto json = nlohmann::json::parse(document);
    change(json);
    return json.dump();
  };
  const std::string secondCaptureID =
      nlohmann::json::parse(document)["CaptureMedia"][1]["id"].get<std::string>();
  const std::vector<std::pair<std::string, std::string>> cases{
      {"{\"formatVersion\": 1, ", "not valid JSON"},
      {"[]", "no JSON object"},
      {R"({"export": "placeholder", "timestamp": "2026-03-05T14:30:00Z"})", "no formatVersion"},
      {edited([](auto& j) { j["formatVersion"] = 2; }), "format version 2"},
      {edited([](auto& j) { j["Gadget"] = nlohmann::json::array(); }), "unknown member \"Gadget\""},
      {edited([](auto& j) { j["Contact"][1]["firstName"] = 7; }),
       "Contact record 2: firstName must be text"},
      {edited([](auto& j) { j["Contact"][0].erase("syncID"); }), "Contact record 1 has no syncID"},
      {edited([](auto& j) { j["Event"][0]["createdAt"] = "yesterday"; }), "ISO 8601"},
      {edited([](auto& j) { j["ContactNote"][0]["noteType"] = "smoke signal"; }), "noteType"},
      {edited([](auto& j) { j["FollowUpDraft"][0]["mood"] = "sunny"; }), "unknown field mood"},
      // A capture image named by a path would be looked for outside its folder.
      {edited([](auto& j) { j["CaptureMedia"][1]["imageFileName"] = "../../../../tmp/x.jpg"; }),
       "CaptureMedia record 2 (" + secondCaptureID +
           "): imageFileName \"../../../../tmp/x.jpg\" is not a file name"},
      {edited([](auto& j) { j["CaptureMedia"][0]["imageFileName"] = "/tmp/x.jpg"; }),
       "imageFileName \"/tmp/x.jpg\" is not a file name"},
  };
  for (const auto& [text, message] : cases) {
    EXPECT_THAT(restoreDataExport(*other, text, RestoreMode::emptyStoreOnly),
                IsError(ErrorCode::invalidArgument, HasSubstr(message)))
        << message;
  }
  // A draft whose contact is in neither the store nor the file: the records
  // before it were written, and all of them are rolled back.
  const std::string orphan =
      edited([](auto& j) { j["FollowUpDraft"][0]["contactID"] = Uuid::random().str(); });
  EXPECT_THAT(restoreDataExport(*other, orphan, RestoreMode::emptyStoreOnly),
              IsError(HasSubstr("Could not restore FollowUpDraft record 1")));
  EXPECT_EQ(test::countOf<Event>(*other), 0);
  EXPECT_EQ(test::countOf<Contact>(*other), 0);
  EXPECT_EQ(test::countOf<SavedReport>(*other), 0);
}

TEST_F(DataExport, TextThatIsNotUTF8StillGivesAFileThatRestores) {
  auto event = Event::create("Messe \xff\xc3 M\xc3\xbcnchen \xed\xa0\x80\"\\\n\x01");
  ASSERT_OK(store->insert(event));
  auto summary = restoreDataExport(*other, exportOf(*store), RestoreMode::emptyStoreOnly);
  ASSERT_OK(summary);
  auto restored = other->find<Event>(event.id);
  ASSERT_OK(restored);
  EXPECT_EQ((*restored)->name, "Messe \uFFFD\uFFFD M\u00fcnchen \uFFFD\uFFFD\uFFFD\"\\\n\x01");
}

TEST(DataExportFileName, TheUTCDay) {
  EXPECT_EQ(dataExportFileName(dateFromUnixSeconds(1772721000)),
            "Quillmere_Export_2026-03-05.json");
  EXPECT_EQ(dataExportFileName(dateFromUnixSeconds(1772755199)),
            "Quillmere_Export_2026-03-05.json");
}

}  // namespace
}  // namespace qm
