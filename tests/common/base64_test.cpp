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

TEST(Base64, DecodeRefusesAnythingButTheOneCanonicalEncoding) {
  const std::string bad[] = {
      "Zg",
      "Zg=",
      "Zm9vY",  // length and padding
      "Z===",
      "====",
      "Zg==Zm8=",
      "Z=g=",
      "Zm9v====",  // padding out of place
      "Zm9v\n",
      "Zm9v YmFy",
      " Zm9v",
      "Zm9\tv",  // white space
      "Zm9-",
      "Zm9_",
      "Zm9*",
      "Zm\x80v",  // outside the alphabet
      std::string("Zm\0v", 4),
      "Zh==",
      "Zm9=",  // non-zero unused bits ("Zg==" and "Zm8=" are canonical)
  };
  for (const auto& text : bad) EXPECT_FALSE(base64Decode(text).has_value()) << text;
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
