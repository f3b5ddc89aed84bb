#include "common/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace qm {
namespace {

Bytes bytesOf(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

// The test vectors of RFC 4648, section 10.
const std::pair<const char*, const char*> kVectors[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

TEST(Base64, EncodesRfc4648Vectors) {
  for (const auto& [plain, encoded] : kVectors) EXPECT_EQ(base64Encode(plain), encoded) << plain;
}

TEST(Base64, DecodesRfc4648Vectors) {
  for (const auto& [plain, encoded] : kVectors) {
    EXPECT_EQ(base64Decode(encoded), bytesOf(plain)) << encoded;
  }
}

TEST(Base64, UsesPlusAndSlashForTheLastTwoSymbols) {
  const Bytes high = {0xFB, 0xFF, 0xBF};
  EXPECT_EQ(base64Encode(high), "+/+/");
  EXPECT_EQ(base64Decode("+/+/"), high);
}

TEST(Base64, RoundTripsEveryByteValueAtEveryLength) {
  Bytes data;
  for (int i = 0; i < 256; ++i) data.push_back(static_cast<std::uint8_t>(255 - i));
  for (std::size_t length = 0; length <= data.size(); ++length) {
    const Bytes part(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
    const std::string encoded = base64Encode(part);
    EXPECT_EQ(encoded.size(), (length + 2) / 3 * 4);
    EXPECT_EQ(base64Decode(encoded), part) << length;
  }
}

TEST(Base64, DecodeRefusesBadLengthAndPadding) {
  const char* const bad[] = {
      "Zg",        // no padding
      "Zg=",       // short padding
      "Zm9vY",     // not a multiple of four
      "Z===",      // three padding symbols
      "====",      // padding alone
      "Zg==Zm8=",  // padding in the middle
      "Z=g=",      // padding before a symbol
      "Zm9v====",  // a whole block of padding
  };
  for (const char* text : bad) EXPECT_FALSE(base64Decode(text).has_value()) << text;
}

TEST(Base64, DecodeRefusesCharactersOutsideTheAlphabet) {
  const char* const bad[] = {
      "Zm9v\n", "Zm9v YmFy", " Zm9v", "Zm9\tv",  // white space
      "Zm9-",   "Zm9_",                          // URL-safe alphabet
      "Zm9*",   "Zm\x80v",
  };
  for (const char* text : bad) EXPECT_FALSE(base64Decode(text).has_value()) << text;
  EXPECT_FALSE(base64Decode(std::string_view("Zm\0v", 4)).has_value());
}

TEST(Base64, DecodeRefusesNonZeroUnusedBits) {
  // "Zg==" is the only encoding of "f"; "Zh==" differs only in the unused bits.
  EXPECT_FALSE(base64Decode("Zh==").has_value());
  EXPECT_FALSE(base64Decode("Zm9=").has_value());  // "Zm8=" is canonical for "fo"
  EXPECT_TRUE(base64Decode("Zm8=").has_value());
}

// Long texts go through the vectorised decoder 32 symbols at a time; every
// symbol position of a block must still be checked, and every block decoded.
TEST(Base64, LongTextsDecodeExactlyAndRefuseABadSymbolAnywhere) {
  std::uint32_t seed = 7;
  auto next = [&] { return seed = seed * 1664525U + 1013904223U; };
  for (std::size_t length : {24, 47, 48, 49, 96, 97, 1000, 4099, 100'000}) {
    Bytes data(length);
    for (auto& b : data) b = static_cast<std::uint8_t>(next() >> 24);
    const std::string encoded = base64Encode(data);
    ASSERT_EQ(base64Decode(encoded), data) << length;
    const std::size_t stride = std::max<std::size_t>(1, encoded.size() / 300);
    for (std::size_t at = 0; at < encoded.size(); at += stride) {
      for (char bad : {'*', '=', '-', '\0', '\x80', ' '}) {
        std::string broken = encoded;
        // "=" in the last two places can be valid padding.
        if (broken[at] == '=' || (bad == '=' && at + 2 >= broken.size())) continue;
        broken[at] = bad;
        EXPECT_FALSE(base64Decode(broken).has_value()) << length << " at " << at << " " << int(bad);
      }
    }
  }
}

}  // namespace
}  // namespace qm
