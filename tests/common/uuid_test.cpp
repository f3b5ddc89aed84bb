#include "common/uuid.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

namespace qm {
namespace {

TEST(Uuid, ParsesEitherCaseAndPrintsUpperCase) {
  const auto upper = Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  const auto lower = Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
  ASSERT_TRUE(upper.has_value());
  ASSERT_TRUE(lower.has_value());
  EXPECT_EQ(*upper, *lower);
  EXPECT_EQ(lower->str(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  EXPECT_FALSE(upper->isNil());
  EXPECT_EQ(Uuid().str(), "00000000-0000-0000-0000-000000000000");

  const Uuid::Bytes expected = {0xE6, 0x21, 0xE1, 0xF8, 0xC3, 0x6C, 0x49, 0x5A,
                                0x93, 0xFC, 0x0C, 0x24, 0x7A, 0x3E, 0x6E, 0x5F};
  EXPECT_EQ(upper->bytes(), expected);
}

TEST(Uuid, RefusesMalformedText) {
  const char* const bad[] = {
      "",
      "E621E1F8-C36C-495A-93FC-0C247A3E6E5",     // one digit short
      "E621E1F8-C36C-495A-93FC-0C247A3E6E5F0",   // one digit long
      "E621E1F8C36C495A93FC0C247A3E6E5F",        // no hyphens
      "E621E1F8-C36C-495A-93FC0-C247A3E6E5F",    // hyphen moved
      "G621E1F8-C36C-495A-93FC-0C247A3E6E5F",    // not hex
      "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}",  // braces
      "E621E1F8-C36C-495A-93FC-+C247A3E6E5F",    // sign where a digit belongs
  };
  for (const char* text : bad) EXPECT_FALSE(Uuid::parse(text).has_value()) << text;
}

TEST(Uuid, RandomValuesAreDistinctVersionFourAndRoundTripAsText) {
  std::unordered_set<Uuid> seen;
  for (int i = 0; i < 1000; ++i) {
    const Uuid id = Uuid::random();
    seen.insert(id);
    EXPECT_EQ(id.bytes()[6] >> 4, 4);
    EXPECT_EQ(id.bytes()[8] & 0xC0, 0x80);
    EXPECT_EQ(Uuid::parse(id.str()), id);
  }
  EXPECT_EQ(seen.size(), 1000u);
}

TEST(Uuid, HashDependsOnEveryBit) {
  const std::hash<Uuid> hash;
  const std::size_t nilHash = hash(Uuid());
  for (std::size_t bit = 0; bit < 128; ++bit) {
    Uuid::Bytes bytes{};
    bytes[bit / 8] = static_cast<std::uint8_t>(1u << (bit % 8));
    EXPECT_NE(hash(Uuid(bytes)), nilHash) << "bit " << bit;
  }
}

}  // namespace
}  // namespace qm
