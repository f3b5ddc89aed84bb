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

std::optional<Bytes> base64Decode(std::string_view text, std::size_t spareCapacity) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  if (!text.empty() && text.back() == '=') padding = (text[text.size() - 2] == '=') ? 2 : 1;

  // Whole groups of four symbols first (payloads of tens of MB pass through
  // here), then the last group with its padding.
  const std::size_t groups = text.size() / 4;
  const std::size_t fullGroups = padding > 0 ? groups - 1 : groups;
  Bytes out;
  out.reserve(groups * 3 - padding + spareCapacity);
  out.resize(groups * 3 - padding);
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  std::uint8_t* dst = out.data();
  for (std::size_t g = 0; g < fullGroups; ++g, in += 4, dst += 3) {
    const std::int32_t a = kDecodeTable[in[0]], b = kDecodeTable[in[1]];
    const std::int32_t c = kDecodeTable[in[2]], d = kDecodeTable[in[3]];
    // Any symbol outside the alphabet (including a misplaced "=") is -1.
    if ((a | b | c | d) < 0) return std::nullopt;
    const auto n = static_cast<std::uint32_t>(a << 18 | b << 12 | c << 6 | d);
    dst[0] = static_cast<std::uint8_t>(n >> 16);
    dst[1] = static_cast<std::uint8_t>(n >> 8);
    dst[2] = static_cast<std::uint8_t>(n);
  }
  if (padding > 0) {
    const std::int32_t a = kDecodeTable[in[0]], b = kDecodeTable[in[1]];
    const std::int32_t c = padding == 1 ? kDecodeTable[in[2]] : 0;
    if ((a | b | c) < 0) return std::nullopt;
    const auto n = static_cast<std::uint32_t>(a << 18 | b << 12 | c << 6);
    // The unused low bits of the last symbol must be zero so that every byte
    // string has exactly one encoding.
    if (padding == 2 && (n & 0xFFFF) != 0) return std::nullopt;
    if (padding == 1 && (n & 0xFF) != 0) return std::nullopt;
    dst[0] = static_cast<std::uint8_t>(n >> 16);
    if (padding == 1) dst[1] = static_cast<std::uint8_t>(n >> 8);
  }
  return out;
}

}  // namespace qm
