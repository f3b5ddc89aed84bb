// Payload records: every key survives the trip, required and optional keys
// behave as the phone expects, and errors say where they are.
#include "sync/record_payloads.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace qm {
namespace {

using Json = nlohmann::json;
using ::testing::HasSubstr;

Date at(std::int64_t seconds) {
  return dateFromUnixSeconds(seconds);
}
const Uuid kEvent = *Uuid::parse("11111111-2222-4333-8444-555555555555");
const Uuid kOther = *Uuid::parse("AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE");

template <class P>
P roundTrip(const P& payload) {
  auto text = encodeSyncJSON(payload);
  EXPECT_TRUE(text) << text.error().message;
  auto decoded = decodeSyncJSON<P>(*text);
  EXPECT_TRUE(decoded) << decoded.error().message << "\n" << *text;
  return decoded ? *decoded : P{};
}

NoteSyncModel fullNote(int n) {
  return NoteSyncModel{Uuid::random(),
                       Uuid::random(),
                       at(1'700'000'000 + n),
                       "voice",
                       "text " + std::to_string(n),
                       "memo.m4a",
                       "raw transcript",
                       "Dana",
                       "cleaned",
                       at(1'700'000'500)};
}

OpportunitySyncModel fullOpportunity() {
  return OpportunitySyncModel{Uuid::random(),
                              at(1'700'000'000),
                              at(1'700'100'000),
                              "Fleet rollout",
                              "Acme GmbH",
                              42'000.5,
                              "EUR",
                              "Proposal",
                              "Next quarter",
                              "Call Tuesday",
                              "High",
                              "Budget approved",
                              "deal-991",
                              at(1'700'200'000),
                              true,
                              Uuid::random()};
}

ContactSyncModel fullContact() {
  ContactSyncModel c;
  c.id = Uuid::random();
  c.syncID = Uuid::random();
  c.firstName = "Jürgen";
  c.lastName = "Øvergaard";
  c.company = "Acme GmbH";
  c.title = c.email = c.phone = c.linkedinURL = "x";
  c.country = c.countryCode = c.city = c.stateRegion = c.postalCode = c.locationSource = "y";
  c.companyIndustry = c.companySize = c.companyEmployeeCount = c.companyWebsite = "z";
  c.companySummary = c.personTalkingPoints = c.companyTalkingPoints = c.priorityTier = "w";
  c.priorityScore = 0.75;
  c.boothNumber = c.delegation = "B12";
  c.rank = 3;
  c.overallScore = c.fitScore = c.valueScore = c.confidenceScore = c.effortScore = 8.5;
  c.tier = c.whyMeet = c.approachAngle = c.watchOuts = c.whoTheyAre = "t";
  c.companySnapshot = c.whyMatchReasons = c.dataConfidence = c.missingFields = "u";
  c.candidateSources = c.industry = "v";
  c.source = "scanned";
  c.status = "met";
  c.isTarget = c.isFavorite = c.actionPlanEditedByUser = true;
  c.metAt = at(1'700'000'100);
  c.interactionRating = 4;
  c.ownedBy = c.aiSummary = c.aiActionPlan = c.aiFollowUpPriority = "a";
  c.enrichmentStatus = "complete";
  c.enrichedAt = at(1'700'000'200);
  c.enrichmentSource = c.verifiedEmail = c.verifiedPhone = "e";
  c.emailVerified = true;
  c.phoneVerified = false;
  c.pdlPersonLikelihood = 9;
  c.pdlPersonJSON = R"({"likelihood":9})";
  c.companyHQ = c.companyFounded = c.companyType = c.companyRevenue = "h";
  c.companyFundingTotal = c.companyFundingStage = c.companyTags = c.companyLinkedInURL = "f";
  c.linkedinMatchMethod = "name";
  c.linkedinMatchScore = 0.5;
  c.capturedBy = "Dana";
  c.alsoMetBy = {"Lee", "Kim"};
  c.originalDeviceID = "PHONE-1";
  c.notes = {fullNote(1), fullNote(2)};
  c.opportunities = {fullOpportunity()};
  c.captureFileNames = {"card-front.jpg", "badge.jpg"};
  return c;
}

ContactSyncModel minimalContact() {
  ContactSyncModel c;
  c.id = Uuid::random();
  c.syncID = Uuid::random();
  c.source = "manual";
  c.status = "notMet";
  return c;
}

EventSyncModel fullEvent() {
  return EventSyncModel{kEvent,
                        "Hannover Messe",
                        at(1'712'000'000),
                        at(1'712'000'000),
                        at(1'712'400'000),
                        "Hannover",
                        at(1'700'000'000),
                        at(1'700'500'000),
                        "TEAM42",
                        true,
                        "ADMIN-PHONE",
                        {"P1", "P2"},
                        false,
                        "Industrial fair",
                        "https://fair.example",
                        "H7-B12"};
}

TEST(PayloadRoundTripTest, EveryKeyOfEveryPayloadSurvivesEncodingAndDecoding) {
  const ContactSyncModel contact = fullContact();
  EXPECT_EQ(roundTrip(contact), contact);
  const ContactSyncModel minimal = minimalContact();
  EXPECT_EQ(roundTrip(minimal), minimal);

  const EventSnapshotPayload snapshot{
      fullEvent(),
      {fullContact(), minimalContact()},
      std::vector<PipelineStage>{{Uuid::random(), "Exploring", 1, "7F8C8D"}}};
  EXPECT_EQ(roundTrip(snapshot), snapshot);

  const PairHandshakePayload handshake{"PHONE-1", "Dana's phone", "cHVi", "bm9uY2U="};
  EXPECT_EQ(roundTrip(handshake), handshake);
  const EventListResponsePayload list{
      {{kEvent, "Fair", at(1'712'000'000), std::nullopt, "Hall 7", 120},
       {kOther, "Expo", {}, {}, {}, 0}}};
  EXPECT_EQ(roundTrip(list), list);
  const DeltaContactPayload deltaContact{kEvent, fullContact(), "Dana", "DESK-1"};
  EXPECT_EQ(roundTrip(deltaContact), deltaContact);
  const DeltaNotePayload deltaNote{kEvent, kOther, fullNote(7), "Dana"};
  EXPECT_EQ(roundTrip(deltaNote), deltaNote);
  const DeltaOpportunityPayload deltaOpportunity{kEvent, fullOpportunity(), "Acme", "Dana"};
  EXPECT_EQ(roundTrip(deltaOpportunity), deltaOpportunity);
  const DeltaReportPayload report{
      kEvent,     kOther,   "event",    at(1'712'000'000), at(1'712'000'100),
      "# Report", "openai", "detailed", "executiveSummary"};
  EXPECT_EQ(roundTrip(report), report);
  const MediaRequestPayload mediaRequest{kEvent, kOther, "card-front.jpg"};
  EXPECT_EQ(roundTrip(mediaRequest), mediaRequest);
  const RelayRequestPayload relay{RelayRequestType::aiSummarize, "anthropic", "Summarise",
                                  RelayOptions{{"tone", "warm"}, {"language", "de"}},
                                  std::vector<Uuid>{kEvent, kOther}};
  EXPECT_EQ(roundTrip(relay), relay);
  const RelayResponsePayload relayResponse{false, "text", "quota", "openai"};
  EXPECT_EQ(roundTrip(relayResponse), relayResponse);
  const QLMImportResultPayload imported{true, 12, std::nullopt};
  EXPECT_EQ(roundTrip(imported), imported);
  const ErrorPayload error{"E_NOT_FOUND", "No such event", "id " + kEvent.str()};
  EXPECT_EQ(roundTrip(error), error);
}

TEST(PayloadRoundTripTest, ImageBytesTravelUnchanged) {
  MediaBlobPayload blob{kEvent,       kOther,         "card.jpg",        {},
                        "image/jpeg", "businessCard", at(1'700'000'000), std::nullopt,
                        "ACME GmbH",  std::nullopt,   "iPhone"};
  for (std::size_t size : {0, 1, 2, 3, 4, 1000, 65'537}) {
    blob.imageData.resize(size);
    for (std::size_t i = 0; i < size; ++i)
      blob.imageData[i] = static_cast<std::uint8_t>(i * 7 % 256);
    if (size > 2) blob.imageData[1] = blob.imageData[size - 1] = 0;
    EXPECT_EQ(roundTrip(blob), blob) << size;
  }
}

TEST(PayloadFormTest, FixedFormsAreExact) {
  EXPECT_EQ(encodeSyncJSON(EventListRequestPayload{}).value(), "{}");
  EXPECT_EQ(encodeSyncJSON(PairAckPayload{"DESK-1", "Dana's Laptop", true}).value(),
            R"({"accepted":true,"macDeviceUUID":"DESK-1","macDisplayName":"Dana's Laptop"})");
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
  EXPECT_THAT(decodeSyncJSON<RelayRequestPayload>(R"({"prompt":"x","requestType":"ai.translate"})")
                  .error()
                  .message,
              HasSubstr("requestType: unknown value \"ai.translate\""));
}

TEST(PayloadFormTest, AbsentOptionalsAreOmittedAndMayArriveAsNull) {
  const Json minimal = Json::parse(encodeSyncJSON(minimalContact()).value());
  std::vector<std::string> keys;
  for (const auto& [key, value] : minimal.items()) {
    keys.push_back(key);
    EXPECT_FALSE(value.is_null()) << key;
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"actionPlanEditedByUser", "alsoMetBy",
                                            "captureFileNames", "company", "firstName", "id",
                                            "isFavorite", "isTarget", "lastName", "notes",
                                            "opportunities", "source", "status", "syncID"}));

  Json withNulls = minimal;
  withNulls["title"] = nullptr;
  withNulls["rank"] = nullptr;
  withNulls["metAt"] = nullptr;
  withNulls["someFutureKey"] = {{"nested", true}};
  auto decoded = decodeSyncJSON<ContactSyncModel>(withNulls.dump());
  ASSERT_TRUE(decoded) << decoded.error().message;
  EXPECT_EQ(*decoded, decodeSyncJSON<ContactSyncModel>(minimal.dump()).value());
  EXPECT_EQ(decoded->title, std::nullopt);
  EXPECT_EQ(decoded->rank, std::nullopt);
}

TEST(PayloadFormTest, RequiredKeysAndTypesAreEnforcedWithThePathInTheError) {
  Json contact = Json::parse(encodeSyncJSON(fullContact()).value());
  struct Case {
    std::string key;
    Json value;  // null: remove the key
    std::string error;
  };
  const Case cases[] = {
      {"alsoMetBy", nullptr, "ContactSyncModel: missing required key \"alsoMetBy\""},
      {"captureFileNames", nullptr, "missing required key \"captureFileNames\""},
      {"alsoMetBy", "Lee", "alsoMetBy: expected an array, found a string"},
      {"alsoMetBy", Json::array({"Lee", 5}), "alsoMetBy[1]: expected a string, found a number"},
      {"isTarget", "true", "isTarget: expected true or false, found a string"},
      {"rank", 2.5, "rank: expected an integer, found a number"},
      {"fitScore", "high", "fitScore: expected a number, found a string"},
      {"notes", Json::object(), "notes: expected an array, found an object"},
  };
  for (const auto& c : cases) {
    Json changed = contact;
    if (c.value.is_null()) {
      changed.erase(c.key);
    } else {
      changed[c.key] = c.value;
    }
    auto decoded = decodeSyncJSON<ContactSyncModel>(changed.dump());
    ASSERT_FALSE(decoded) << c.key;
    EXPECT_THAT(decoded.error().message, HasSubstr(c.error));
  }

  Json emptyLists = contact;
  emptyLists["alsoMetBy"] = Json::array();
  emptyLists["captureFileNames"] = Json::array();
  EXPECT_TRUE(decodeSyncJSON<ContactSyncModel>(emptyLists.dump()));

  Json required = contact;
  required["firstName"] = nullptr;
  EXPECT_THAT(decodeSyncJSON<ContactSyncModel>(required.dump()).error().message,
              HasSubstr("firstName: expected a string, found null"));

  Json snapshot = Json::parse(
      encodeSyncJSON(EventSnapshotPayload{fullEvent(), {fullContact(), fullContact()}, {}})
          .value());
  snapshot["contacts"][1]["notes"][1]["createdAt"] = "2025-03-14T09:26:53.250Z";
  EXPECT_THAT(decodeSyncJSON<EventSnapshotPayload>(snapshot.dump()).error().message,
              HasSubstr("EventSnapshotPayload: contacts[1].notes[1].createdAt: "
                        "\"2025-03-14T09:26:53.250Z\" is not an ISO 8601 date-time"));
  snapshot["contacts"] = "none";
  EXPECT_THAT(decodeSyncJSON<EventSnapshotPayload>(snapshot.dump()).error().message,
              HasSubstr("contacts: expected an array, found a string"));
}

TEST(PayloadFormTest, AKeyGivenTwiceTakesTheLastValueWhole) {
  // Found by fuzzing: the second "note" used to be merged into the first.
  const std::string note1 = encodeSyncJSON(fullNote(1)).value();
  NoteSyncModel bare = fullNote(2);
  bare.textContent.reset();
  bare.cleanedAt.reset();
  const std::string note2 = encodeSyncJSON(bare).value();
  const std::string text = R"({"contactSyncID":")" + kOther.str() + R"(","eventID":")" +
                           kEvent.str() + R"(","note":)" + note1 + R"(,"note":)" + note2 +
                           R"(,"senderName":"Dana"})";
  auto decoded = decodeSyncJSON<DeltaNotePayload>(text);
  ASSERT_TRUE(decoded) << decoded.error().message;
  EXPECT_EQ(decoded->note, bare);

  // An envelope with an empty payload decodes; the payload itself does not.
  auto envelope =
      decodeEnvelope(R"({"hmac":"","messageID":")" + kEvent.str() +
                     R"(","payload":"","timestamp":"2025-03-14T09:26:53Z","type":"error"})");
  ASSERT_TRUE(envelope) << envelope.error().message;
  EXPECT_THAT(checkPayload(*envelope).error().message, HasSubstr("ErrorPayload: not valid JSON"));
}

TEST(PayloadFormTest, EnvelopeTypeNamesTheRecordThePayloadMustDecodeAs) {
  auto note = SyncEnvelope::make(SyncMessageType::deltaNote,
                                 DeltaNotePayload{kEvent, kOther, fullNote(1), "Dana"})
                  .value();
  EXPECT_TRUE(checkPayload(note));
  note.type = SyncMessageType::deltaContact;
  EXPECT_THAT(checkPayload(note).error().message, HasSubstr("DeltaContactPayload: missing"));

  auto one = SyncEnvelope::make(SyncMessageType::eventSnapshotRequest,
                                EventSnapshotRequestPayload{kEvent});
  auto full = SyncEnvelope::make(SyncMessageType::eventSnapshotRequest, makeSnapshotRequest({}));
  EXPECT_TRUE(checkPayload(*one));
  EXPECT_TRUE(checkPayload(*full));
  EXPECT_FALSE(
      checkPayload(SyncEnvelope::make(SyncMessageType::eventSnapshotRequest, Bytes{'{', '}'})));
}

}  // namespace
}  // namespace qm
