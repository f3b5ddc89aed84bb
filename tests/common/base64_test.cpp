#include "common/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace qm {
namespace {

Bytes bytesOf(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

TEST(Base64, EncodesAndDecodesRfc4648VectorsAndTheLastTwoSymbols) {
  // RFC 4648, section 10, and the two symbols that differ between alphabets.
  const std::pair<std::string, std::string> vectors[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"},
                                                         {"\xFB\xFF\xBF", "+/+/"}};
  for (const auto& [plain, encoded] : vectors) {
    EXPECT_EQ(base64Encode(plain), encoded) << encoded;
    EXPECT_EQ(base64Decode(encoded), bytesOf(plain)) << encoded;
  }
}

TEST(Base64, DecodeRefusesAnythingButTheOneCanonicalEncoding) {
  const std::string bad[] = {
      // length and padding
      "Zg", "Zm9vY", "Z===", "Zg==Zm8=", "Z=g=", "Zm9v====",
      // white space, symbols outside the alphabet (including the URL-safe ones)
      "Zm9v\n", " Zm9v", "Zm9-", "Zm9_", "Zm\x80v", std::string("Zm\0v", 4),
      // non-zero unused bits ("Zg==" and "Zm8=" are canonical)
      "Zh==", "Zm9="};
  for (const auto& text : bad) EXPECT_FALSE(base64Decode(text).has_value()) << text;
}

// Long texts go through the vectorised decoder 32 symbols at a time; every
// symbol position of a block must still be checked, and every block decoded.
// Random bytes at every length modulo 3 also cover every byte value.
TEST(Base64, TextsOfAnyLengthDecodeExactlyAndRefuseABadSymbolAnywhere) {
  std::uint32_t seed = 7;
  auto next = [&] { return seed = seed * 1664525U + 1013904223U; };
  for (std::size_t length : {1, 2, 3, 24, 47, 48, 49, 96, 97, 1000, 4099, 100'000}) {
    Bytes data(length);
    for (auto& b : data) b = static_cast<std::uint8_t>(next() >> 24);
    const std::string encoded = base64Encode(data);
    EXPECT_EQ(encoded.size(), (length + 2) / 3 * 4) << length;
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
