// The JSON form shared with the phone: exact envelope bytes, strict decoding
// and bad input that must fail cleanly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "support/status_matchers.h"
#include "sync/record_payloads.h"
#include "wire/sync_envelope.h"

namespace qm {
namespace {

using Json = nlohmann::json;
using test::IsError;
using ::testing::HasSubstr;

const Uuid kMessageID = *Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");

SyncEnvelope fixedEnvelope() {
  SyncEnvelope envelope;
  envelope.type = SyncMessageType::eventListRequest;
  envelope.messageID = kMessageID;
  envelope.timestamp = dateFromUnixSeconds(1'741'944'413, 750'000);  // 09:26:53.75
  envelope.payload = {'{', '}'};
  return envelope;
}

std::string envelopeWith(const std::string& key, const Json& value) {
  Json envelope = Json::parse(encodeEnvelope(fixedEnvelope()).value());
  envelope[key] = value;
  return envelope.dump();
}

TEST(EnvelopeJSONTest, EncodesSortedKeysAndWholeSeconds) {
  EXPECT_EQ(encodeEnvelope(fixedEnvelope()).value(),
            R"({"hmac":"","messageID":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","payload":"e30=",)"
            R"("timestamp":"2025-03-14T09:26:53Z","type":"event.list.request"})");
}

TEST(EnvelopeJSONTest, EveryMessageTypeTravelsByItsWireName) {
  SyncEnvelope envelope = fixedEnvelope();
  for (const auto type : allCases<SyncMessageType>()) {
    envelope.type = type;
    EXPECT_EQ(decodeEnvelope(encodeEnvelope(envelope).value()).value().type, type);
  }
  EXPECT_THAT(decodeEnvelope(envelopeWith("type", "pair.handshake.v2")),
              IsError(std::string("SyncEnvelope: type: unknown value \"pair.handshake.v2\"")));
  EXPECT_FALSE(decodeEnvelope(envelopeWith("type", "PAIR.ACK")));
}

TEST(EnvelopeJSONTest, AcceptsWhatThePhoneMayWriteDifferently) {
  // Escaped slashes, unknown keys and keys in any order (lower-case UUIDs,
  // numeric offsets and null optionals belong to the parsers and the every-key test).
  const std::string text =
      R"({"type":"delta.note","timestamp":"2025-03-14T10:26:53+01:00","payload":"ab\/+",)"
      R"("messageID":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","correlationID":null,)"
      R"("hmac":"","extra":{"nested":[1,2,{"x":null}]}})";
  auto decoded = decodeEnvelope(text);
  ASSERT_TRUE(decoded) << decoded.error().message;
  EXPECT_EQ(decoded->payload, (Bytes{0x69, 0xBF, 0xFE}));
}

TEST(EnvelopeJSONTest, RefusesWrongTypesAndBrokenJSON) {
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {envelopeWith("timestamp", 1741944413), "timestamp: expected a date, found a number"},
      {envelopeWith("messageID", nullptr), "messageID: expected a UUID, found null"},
      {envelopeWith("payload", "e3 0="), "payload: not valid Base64"},
      {envelopeWith("payload", Json::array({123, 125})),
       "payload: expected Base64 text, found an array"},
      {envelopeWith("correlationID", "soon"), "correlationID: \"soon\" is not a UUID"},
      {"[]", "SyncEnvelope: expected an object, found an array"},
      {"", "SyncEnvelope: not valid JSON"},
      {encodeEnvelope(fixedEnvelope()).value() + "{}", "SyncEnvelope: not valid JSON"},
      {"{\"hmac\":\"\xFF\"}", "SyncEnvelope: not valid JSON"},
  };
  for (const auto& c : cases) {
    EXPECT_THAT(decodeEnvelope(c.text), IsError(HasSubstr(c.error))) << c.text;
  }
}

TEST(SyncJSONBadInputTest, DeepNestingAndHugeNumbersFailWithoutCrashing) {
  const std::string deep = std::string(10'000, '[') + std::string(10'000, ']');
  EXPECT_FALSE(decodeEnvelope(deep));
  const std::string deepUnknownKey =
      R"({"extra":)" + std::string(10'000, '[') + std::string(10'000, ']') + "}";
  EXPECT_FALSE(decodeEnvelope(deepUnknownKey));
  std::string nestedObjects;
  for (int i = 0; i < 10'000; ++i) nestedObjects += R"({"a":)";
  nestedObjects += "1" + std::string(10'000, '}');
  EXPECT_THAT(decodeEnvelope(nestedObjects), IsError(HasSubstr("not valid JSON")));

  // Out of range for the field's type.
  EXPECT_THAT(decodeSyncJSON<QLMImportResultPayload>(
                  R"({"success":true,"contactsImported":9223372036854775808})"),
              IsError(HasSubstr("contactsImported: integer out of range")));
  EXPECT_THAT(decodeSyncJSON<QLMImportResultPayload>(R"({"success":true,"contactsImported":1e3})"),
              IsError(HasSubstr("contactsImported: expected an integer, found a number")));
  EXPECT_FALSE(decodeSyncJSON<QLMImportResultPayload>(
      R"({"success":true,"contactsImported":123456789012345678901234567890})"));
  EXPECT_FALSE(decodeSyncJSON<OpportunitySyncModel>(R"({"value":1e400})"));
  EXPECT_EQ(decodeSyncJSON<QLMImportResultPayload>(
                R"({"success":true,"contactsImported":-9223372036854775808})")
                .value()
                .contactsImported,
            std::numeric_limits<std::int64_t>::min());
}

TEST(SyncJSONWriterTest, StringsAreEscapedAndAlwaysValidUTF8) {
  ErrorPayload payload;
  payload.code = "quote\" backslash\\ newline\n tab\t nul" + std::string(1, '\0') + " bell\x07";
  payload.message = "Müller, Øystein, 田中, 🎪";
  payload.details = std::string("broken \xC3 and \xED\xA0\x80 and \xF8") + " end";
  const std::string text = encodeSyncJSON(payload).value();
  EXPECT_EQ(text,
            "{\"code\":\"quote\\\" backslash\\\\ newline\\n tab\\t nul\\u0000 bell\\u0007\","
            "\"details\":\"broken \xEF\xBF\xBD and \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD and "
            "\xEF\xBF\xBD end\",\"message\":\"Müller, Øystein, 田中, 🎪\"}");
  EXPECT_EQ(decodeSyncJSON<ErrorPayload>(text).value().code, payload.code);
}

TEST(SyncJSONWriterTest, NumbersReadBackExactlyAndNonFiniteOnesFail) {
  OpportunitySyncModel opportunity;
  // Includes integral values beyond the 64-bit integers and negative zero,
  // which must not be written as integer digits (found by fuzzing).
  for (double value : {0.1, 1.0 / 3.0, 12500.0, -0.0, 1e21, 5e-324, 1.7976931348623157e308,
                       1.8446744073709552e19, -9.223372036854778e18, 9.007199254740993e15}) {
    opportunity.value = value;
    const std::string text = encodeSyncJSON(opportunity).value();
    auto decoded = decodeSyncJSON<OpportunitySyncModel>(text);
    ASSERT_TRUE(decoded) << text;
    EXPECT_EQ(decoded->value, value) << text;
    EXPECT_EQ(std::signbit(*decoded->value), std::signbit(value)) << text;
    EXPECT_EQ(encodeSyncJSON(*decoded).value(), text);
  }
  opportunity.value = 12500.0;
  EXPECT_THAT(encodeSyncJSON(opportunity).value(), HasSubstr("\"value\":12500}"));
  opportunity.value = std::nan("");
  EXPECT_THAT(encodeSyncJSON(opportunity),
              IsError(HasSubstr("OpportunitySyncModel: a number is not finite")));
  opportunity.value = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(SyncEnvelope::make(SyncMessageType::deltaOpportunity,
                                  DeltaOpportunityPayload{Uuid::random(), opportunity, "", ""}));
}

}  // namespace
}  // namespace qm
