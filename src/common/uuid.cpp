#include "common/uuid.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include <openssl/rand.h>

namespace qm {

namespace {

// Hex digit values, -1 for anything else. Identifiers are parsed by the
// hundred thousand when a snapshot arrives, so this is a table.
constexpr std::array<std::int8_t, 256> makeHexTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& entry : table) entry = -1;
  for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<std::int8_t>(i);
  for (int i = 0; i < 6; ++i) {
    table['a' + i] = static_cast<std::int8_t>(10 + i);
    table['A' + i] = static_cast<std::int8_t>(10 + i);
  }
  return table;
}
constexpr auto kHexValue = makeHexTable();

// Where each byte's two digits start in the canonical 8-4-4-4-12 text form.
constexpr std::array<std::uint8_t, 16> kDigitOffsets = {0,  2,  4,  6,  9,  11, 14, 16,
                                                        19, 21, 24, 26, 28, 30, 32, 34};

}  // namespace

Uuid Uuid::random() {
  Bytes bytes{};
  // An identifier from a failed random source could collide with others; there
  // is no sensible way to continue without one.
  if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
    std::fputs("quillmere: the secure random source failed\n", stderr);
    std::abort();
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return Uuid(bytes);
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') return std::nullopt;
  Bytes bytes{};
  int invalid = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = kHexValue[static_cast<unsigned char>(text[kDigitOffsets[i]])];
    const int low = kHexValue[static_cast<unsigned char>(text[kDigitOffsets[i] + 1])];
    invalid |= high | low;  // negative once any digit was not hex
    bytes[i] =
        static_cast<std::uint8_t>(static_cast<unsigned>(high) << 4 | static_cast<unsigned>(low));
  }
  if (invalid < 0) return std::nullopt;
  return Uuid(bytes);
}

std::string Uuid::str() const {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(36);
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
    text.push_back(kDigits[bytes_[i] >> 4]);
    text.push_back(kDigits[bytes_[i] & 0x0F]);
  }
  return text;
}

bool Uuid::isNil() const {
  for (std::uint8_t b : bytes_) {
    if (b != 0) return false;
  }
  return true;
}

}  // namespace qm

std::size_t std::hash<qm::Uuid>::operator()(const qm::Uuid& u) const noexcept {
  // FNV-1a over the sixteen bytes: cheap, and every byte affects the result.
  std::uint64_t h = 14695981039346656037ULL;
  for (std::uint8_t b : u.bytes()) {
    h ^= b;
    h *= 1099511628211ULL;
  }
  return static_cast<std::size_t>(h);
}
