// Payload records: exact forms the phone expects, wrong types reported with
// their path, duplicate keys, and the envelope type choosing the record.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/status_matchers.h"
#include "sync/wire_record_keys.h"

namespace qm {
namespace {

using Json = nlohmann::json;
using test::IsError;
using ::testing::HasSubstr;

const Uuid kEvent = *Uuid::parse("11111111-2222-4333-8444-555555555555");
const Uuid kOther = *Uuid::parse("AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE");

template <class M>
M filled() {
  return test::Filler{}.filled<M>(true);
}

TEST(PayloadFormTest, FixedFormsAreExact) {
  EXPECT_EQ(encodeSyncJSON(makeSnapshotRequest({})).value(), R"({"eventTimestamps":{}})");

  Event second = Event::create("Second");
  second.id = kOther;
  second.updatedAt = dateFromUnixSeconds(1'741'944'413, 999'999);
  Event first = Event::create("First");
  first.id = *Uuid::parse("aaaaaaaa-0000-4000-8000-000000000000");
  first.updatedAt = dateFromUnixSeconds(1'741'944'400);
  EXPECT_EQ(encodeSyncJSON(makeSnapshotRequest({second, first})).value(),
            R"({"eventTimestamps":{"AAAAAAAA-0000-4000-8000-000000000000":"2025-03-14T09:26:40Z",)"
            R"("AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE":"2025-03-14T09:26:53Z"}})");

  const RelayRequestPayload relay{RelayRequestType::aiGenerate, std::nullopt, "Write",
                                  RelayOptions{{"tone", "warm"}, {"b", "1"}}, std::nullopt};
  EXPECT_EQ(encodeSyncJSON(relay).value(),
            R"({"options":{"b":"1","tone":"warm"},"prompt":"Write","requestType":"ai.generate"})");
}

TEST(PayloadFormTest, WrongTypesAreRefusedWithThePathInTheError) {
  const Json contact = Json::parse(encodeSyncJSON(filled<ContactSyncModel>()).value());
  const std::pair<Json, std::string> cases[] = {
      {{{"alsoMetBy", "Lee"}}, "ContactSyncModel: alsoMetBy: expected an array, found a string"},
      {{{"alsoMetBy", {"Lee", 5}}}, "alsoMetBy[1]: expected a string, found a number"},
      {{{"isTarget", "true"}}, "isTarget: expected true or false, found a string"},
      {{{"rank", 2.5}}, "rank: expected an integer, found a number"},
      {{{"fitScore", "high"}}, "fitScore: expected a number, found a string"},
      {{{"notes", Json::object()}}, "notes: expected an array, found an object"},
      {{{"firstName", nullptr}}, "firstName: expected a string, found null"},
  };
  for (const auto& [change, error] : cases) {
    Json changed = contact;
    changed.update(change);
    EXPECT_THAT(decodeSyncJSON<ContactSyncModel>(changed.dump()), IsError(HasSubstr(error)));
  }

  Json snapshot = Json::parse(encodeSyncJSON(filled<EventSnapshotPayload>()).value());
  snapshot["contacts"][1]["notes"][1]["createdAt"] = "2025-03-14T09:26:53.250Z";
  EXPECT_THAT(decodeSyncJSON<EventSnapshotPayload>(snapshot.dump()),
              IsError(HasSubstr("EventSnapshotPayload: contacts[1].notes[1].createdAt: "
                                "\"2025-03-14T09:26:53.250Z\" is not an ISO 8601 date-time with "
                                "whole seconds")));
}

TEST(PayloadFormTest, AKeyGivenTwiceTakesTheLastValueWhole) {
  // Found by fuzzing: the second "note" used to be merged into the first.
  test::Filler filler;
  const std::string note1 = encodeSyncJSON(filler.filled<NoteSyncModel>(true)).value();
  const NoteSyncModel bare = filler.filled<NoteSyncModel>(false);
  const std::string text = R"({"contactSyncID":")" + kOther.str() + R"(","eventID":")" +
                           kEvent.str() + R"(","note":)" + note1 + R"(,"note":)" +
                           encodeSyncJSON(bare).value() + R"(,"senderName":"Dana"})";
  auto decoded = decodeSyncJSON<DeltaNotePayload>(text);
  ASSERT_OK(decoded);
  EXPECT_EQ(decoded->note, bare);
}

TEST(PayloadFormTest, EnvelopeTypeNamesTheRecordThePayloadMustDecodeAs) {
  auto note = SyncEnvelope::make(SyncMessageType::deltaNote, filled<DeltaNotePayload>()).value();
  EXPECT_OK(checkPayload(note));
  note.type = SyncMessageType::deltaContact;
  EXPECT_THAT(checkPayload(note), IsError(HasSubstr("DeltaContactPayload: missing")));

  auto one = SyncEnvelope::make(SyncMessageType::eventSnapshotRequest,
                                EventSnapshotRequestPayload{kEvent});
  auto full = SyncEnvelope::make(SyncMessageType::eventSnapshotRequest, makeSnapshotRequest({}));
  EXPECT_OK(checkPayload(*one));
  EXPECT_OK(checkPayload(*full));
  EXPECT_THAT(
      checkPayload(SyncEnvelope::make(SyncMessageType::eventSnapshotRequest, Bytes{'{', '}'})),
      IsError());
  // An envelope with an empty payload decodes; the payload itself does not.
  auto empty = SyncEnvelope::make(SyncMessageType::error, Bytes{});
  EXPECT_OK(decodeEnvelope(encodeEnvelope(empty).value()));
  EXPECT_THAT(checkPayload(empty), IsError(HasSubstr("ErrorPayload: not valid JSON")));
}

}  // namespace
}  // namespace qm
