#include "common/uuid.h"

#include <cstdio>
#include <cstdlib>

#include <openssl/rand.h>

namespace qm {

namespace {

// Positions of the hyphens in the canonical 8-4-4-4-12 text form.
constexpr bool isHyphenPosition(std::size_t i) {
  return i == 8 || i == 13 || i == 18 || i == 23;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

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
  Bytes bytes{};
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (isHyphenPosition(i)) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    // A hyphen never sits between the two digits of a byte, so pairs are safe.
    const int high = hexValue(text[i]);
    const int low = hexValue(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[out++] = static_cast<std::uint8_t>(high << 4 | low);
    i += 2;
  }
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
