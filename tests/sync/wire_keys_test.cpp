// Every key of every wire record, taken from the records' own X-macro lists:
// every record survives the trip; a record without one of its required keys
// is refused with that key named, however many optional keys it carries; a
// record without any one optional key, or with it null, still decodes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "sync/wire_record_keys.h"

namespace qm {
namespace {

using Json = nlohmann::json;
using test::Filler;
using test::forEveryWireRecord;
using test::Keys;
using test::keysOf;

template <class M>
void expectRoundTrip(const M& record) {
  auto text = encodeSyncJSON(record);
  ASSERT_TRUE(text) << text.error().message;
  auto decoded = decodeSyncJSON<M>(*text);
  ASSERT_TRUE(decoded) << decoded.error().message << "\n" << *text;
  EXPECT_EQ(*decoded, record) << *text;
}

TEST(WireKeysTest, EveryRecordSurvivesTheTripFullAndWithOnlyItsRequiredKeys) {
  forEveryWireRecord([]<class M>() {
    SCOPED_TRACE(WireRecord<M>::name);
    Filler filler;
    expectRoundTrip(filler.filled<M>(true));
    // Absent optionals are left out, not written as null.
    const M bare = filler.filled<M>(false);
    expectRoundTrip(bare);
    std::vector<std::string> written;
    const Json json = Json::parse(encodeSyncJSON(bare).value());
    for (const auto& [key, value] : json.items()) written.push_back(key);
    auto required = keysOf<M>(false);
    std::sort(required.begin(), required.end());
    EXPECT_EQ(written, required);
  });
}

template <class M>
void checkEveryKey() {
  const std::string record(WireRecord<M>::name);
  SCOPED_TRACE(record);
  const M full = Filler{}.filled<M>(true);
  const Json fullJson = Json::parse(encodeSyncJSON(full).value());
  const auto required = keysOf<M>(false);
  const auto optional = keysOf<M>(true);
  EXPECT_EQ(fullJson.size(), required.size() + optional.size());
  Json requiredOnly = fullJson;
  for (const auto& key : optional) requiredOnly.erase(key);

  auto expectMissing = [&](const Json& json, const std::string& key) {
    auto decoded = decodeSyncJSON<M>(json.dump());
    ASSERT_FALSE(decoded) << json.dump();
    EXPECT_EQ(decoded.error().message, record + ": missing required key \"" + key + "\"");
  };
  for (const auto& key : required) {
    SCOPED_TRACE("without required key " + key);
    Json without = fullJson;
    without.erase(key);
    expectMissing(without, key);
    // As many keys as the record requires, one optional key standing in for
    // the missing required one.
    for (const auto& extra : optional) {
      Json swapped = requiredOnly;
      swapped.erase(key);
      swapped[extra] = fullJson[extra];
      expectMissing(swapped, key);
    }
  }

  Keys<M>::each([&](std::string_view key, bool isOptional, auto member) {
    if (!isOptional) return;
    SCOPED_TRACE("without optional key " + std::string(key));
    M expected = full;
    if constexpr (test::IsOptional<std::remove_reference_t<decltype(expected.*member)>>::value) {
      (expected.*member).reset();
    }
    Json without = fullJson;
    without.erase(key);
    Json null = fullJson;
    null[key] = nullptr;
    for (const Json& json : {without, null}) {
      auto decoded = decodeSyncJSON<M>(json.dump());
      ASSERT_TRUE(decoded) << decoded.error().message;
      EXPECT_EQ(*decoded, expected);
    }
  });
}

TEST(WireKeysTest, EveryRequiredKeyIsRequiredAndEveryOptionalKeyMayBeMissingOrNull) {
  forEveryWireRecord([]<class M>() { checkEveryKey<M>(); });
}

}  // namespace
}  // namespace qm
