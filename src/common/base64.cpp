#include "common/base64.h"

#include <array>

namespace qm {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Maps a character to its 6-bit value, or -1 for anything outside the alphabet
// (including '=', which is handled separately).
constexpr std::array<std::int8_t, 256> makeDecodeTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& entry : table) entry = -1;
  for (int i = 0; i < 64; ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  }
  return table;
}

constexpr auto kDecodeTable = makeDecodeTable();

}  // namespace

std::string base64Encode(std::span<const std::uint8_t> data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    const std::uint32_t n =
        std::uint32_t{data[i]} << 16 | std::uint32_t{data[i + 1]} << 8 | std::uint32_t{data[i + 2]};
    out.push_back(kAlphabet[n >> 18 & 0x3F]);
    out.push_back(kAlphabet[n >> 12 & 0x3F]);
    out.push_back(kAlphabet[n >> 6 & 0x3F]);
    out.push_back(kAlphabet[n & 0x3F]);
  }
  const std::size_t rest = data.size() - i;
  if (rest == 1) {
    const std::uint32_t n = std::uint32_t{data[i]} << 16;
    out.push_back(kAlphabet[n >> 18 & 0x3F]);
    out.push_back(kAlphabet[n >> 12 & 0x3F]);
    out.append("==");
  } else if (rest == 2) {
    const std::uint32_t n = std::uint32_t{data[i]} << 16 | std::uint32_t{data[i + 1]} << 8;
    out.push_back(kAlphabet[n >> 18 & 0x3F]);
    out.push_back(kAlphabet[n >> 12 & 0x3F]);
    out.push_back(kAlphabet[n >> 6 & 0x3F]);
    out.push_back('=');
  }
  return out;
}

std::optional<Bytes> base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  if (!text.empty() && text.back() == '=') padding = (text[text.size() - 2] == '=') ? 2 : 1;
  const std::size_t symbols = text.size() - padding;

  Bytes out;
  out.reserve(text.size() / 4 * 3);
  std::uint32_t buffer = 0;
  int bits = 0;
  for (std::size_t i = 0; i < symbols; ++i) {
    // '=' anywhere before the final padding (e.g. "A===" or "AB=C") lands here.
    const std::int8_t value = kDecodeTable[static_cast<unsigned char>(text[i])];
    if (value < 0) return std::nullopt;
    buffer = (buffer << 6 | static_cast<std::uint32_t>(value)) & 0xFFFFFF;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<std::uint8_t>(buffer >> bits & 0xFF));
    }
  }
  // With one "=" the last symbol carries 2 unused bits, with two "=" 4; they
  // must be zero so every byte string has exactly one encoding.
  if (bits > 0 && (buffer & ((1U << bits) - 1)) != 0) return std::nullopt;
  return out;
}

}  // namespace qm
