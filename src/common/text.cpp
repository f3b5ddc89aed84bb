#include "common/text.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace qm {

namespace {

bool isWhiteSpace(std::uint32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

/// The length of the UTF-8 sequence a lead byte starts; 0 for a byte that
/// cannot start one.
std::size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

/// The code point `length` bytes at `text` encode (the bytes are not checked
/// further: white space is only ever found in well-formed sequences).
std::uint32_t decode(std::string_view text, std::size_t length) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (length == 1) return byte(0);
  std::uint32_t c = byte(0) & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) c = (c << 6) | (byte(i) & 0x3F);
  return c;
}

}  // namespace

std::string_view trimUnicodeWhitespace(std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = sequenceLength(static_cast<unsigned char>(text.front()));
    if (length == 0 || length > text.size() || !isWhiteSpace(decode(text, length))) break;
    text.remove_prefix(length);
  }
  while (!text.empty()) {
    // Step back over continuation bytes to the start of the last character.
    std::size_t start = text.size() - 1;
    while (start > 0 && text.size() - start < 4 &&
           (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
      --start;
    const std::string_view last = text.substr(start);
    const std::size_t length = sequenceLength(static_cast<unsigned char>(last.front()));
    if (length != last.size() || !isWhiteSpace(decode(last, length))) break;
    text.remove_suffix(length);
  }
  return text;
}

std::string lowercaseUnicode(std::string_view text) {
  if (std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    std::string out(text);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  }
  auto unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
  unicode.toLower(icu::Locale::getRoot());
  std::string out;
  unicode.toUTF8String(out);
  return out;
}

bool isValidUTF8(std::string_view bytes, bool allowIncompleteEnd) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // Length of the sequence and the allowed range of its second byte, which
    // excludes overlong forms, surrogates and code points above U+10FFFF.
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead == 0xE0) {
      length = 3;
      low = 0xA0;
    } else if (lead == 0xED) {
      length = 3;
      high = 0x9F;
    } else if (lead >= 0xE1 && lead <= 0xEF) {
      length = 3;
    } else if (lead == 0xF0) {
      length = 4;
      low = 0x90;
    } else if (lead >= 0xF1 && lead <= 0xF3) {
      length = 4;
    } else if (lead == 0xF4) {
      length = 4;
      high = 0x8F;
    } else {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= bytes.size()) return allowIncompleteEnd;
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
    }
    i += length;
  }
  return true;
}

bool isPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::string_view emailAddressProblem(std::string_view address) {
  constexpr std::string_view kExpected = "Expected one e-mail address such as dana@example.com";
  if (address.empty()) return kExpected;
  for (const char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f || c == '<' || c == '>' || c == ',' || c == ';' || c == '"' ||
        c == '(' || c == ')')
      return kExpected;
  }
  const auto at = address.rfind('@');
  if (at == std::string_view::npos || at == 0 || at + 1 == address.size() ||
      address.find('@') != at)
    return kExpected;
  const std::string_view domain = address.substr(at + 1);
  if (domain.front() == '.' || domain.back() == '.' || domain.find("..") != std::string_view::npos)
    return "The address's domain is not a host name";
  return {};
}

}  // namespace qm
