#include "common/base64.h"

#include <array>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QM_BASE64_AVX2 1
#endif

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

#ifdef QM_BASE64_AVX2
// Decodes 32 symbols at a time into 24 bytes with AVX2 (the nibble-lookup
// method: two shuffles classify every symbol, a third gives the offset that
// turns it into its 6-bit value; multiply-adds pack four values into three
// bytes). Stops before the first block holding a symbol outside the alphabet
// and leaves that block to the scalar loop, which finds and refuses it.
// Each block stores 32 bytes, so it needs 8 bytes of room past its output.
// Returns the number of symbols consumed (a multiple of 32).
__attribute__((target("avx2"))) std::size_t decodeBlocksAVX2(const unsigned char* in,
                                                             std::size_t symbols, std::uint8_t* out,
                                                             std::size_t outRoom) {
  const __m256i lutLo =
      _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B,
                       0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                       0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m256i lutHi =
      _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10,
                       0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10,
                       0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  const __m256i lutRoll =
      _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4, -65,
                       -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i nibbleMask = _mm256_set1_epi8(0x0F);
  const __m256i slash = _mm256_set1_epi8('/');
  const __m256i packShuffle =
      _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6, 5, 4, 10,
                       9, 8, 14, 13, 12, -1, -1, -1, -1);
  const __m256i packPermute = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, -1, -1);

  std::size_t done = 0;
  while (done + 32 <= symbols && done / 4 * 3 + 32 <= outRoom) {
    const __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + done));
    const __m256i hiNibbles = _mm256_and_si256(_mm256_srli_epi32(chars, 4), nibbleMask);
    const __m256i loNibbles = _mm256_and_si256(chars, nibbleMask);
    const __m256i lo = _mm256_shuffle_epi8(lutLo, loNibbles);
    const __m256i hi = _mm256_shuffle_epi8(lutHi, hiNibbles);
    if (!_mm256_testz_si256(lo, hi)) break;
    const __m256i isSlash = _mm256_cmpeq_epi8(chars, slash);
    const __m256i roll = _mm256_shuffle_epi8(lutRoll, _mm256_add_epi8(isSlash, hiNibbles));
    const __m256i values = _mm256_add_epi8(chars, roll);
    const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
    const __m256i words = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    const __m256i packed =
        _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(words, packShuffle), packPermute);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + done / 4 * 3), packed);
    done += 32;
  }
  return done;
}

bool haveAVX2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif

}  // namespace

std::string base64Encode(std::span<const std::uint8_t> data) {
  std::string out((data.size() + 2) / 3 * 4, '=');
  char* dst = out.data();
  std::size_t i = 0;
  for (; i + 3 <= data.size(); i += 3, dst += 4) {
    const std::uint32_t n =
        std::uint32_t{data[i]} << 16 | std::uint32_t{data[i + 1]} << 8 | std::uint32_t{data[i + 2]};
    dst[0] = kAlphabet[n >> 18 & 0x3F];
    dst[1] = kAlphabet[n >> 12 & 0x3F];
    dst[2] = kAlphabet[n >> 6 & 0x3F];
    dst[3] = kAlphabet[n & 0x3F];
  }
  const std::size_t rest = data.size() - i;
  if (rest > 0) {
    // One or two bytes left: two or three symbols, the rest stays "=".
    std::uint32_t n = std::uint32_t{data[i]} << 16;
    if (rest == 2) n |= std::uint32_t{data[i + 1]} << 8;
    dst[0] = kAlphabet[n >> 18 & 0x3F];
    dst[1] = kAlphabet[n >> 12 & 0x3F];
    if (rest == 2) dst[2] = kAlphabet[n >> 6 & 0x3F];
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
  std::size_t g = 0;
#ifdef QM_BASE64_AVX2
  if (haveAVX2() && fullGroups >= 8) {
    const std::size_t consumed = decodeBlocksAVX2(in, fullGroups * 4, dst, out.size());
    g = consumed / 4;
    in += consumed;
    dst += consumed / 4 * 3;
  }
#endif
  for (; g < fullGroups; ++g, in += 4, dst += 3) {
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
