#include "common/search_folding.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "common/text.h"

namespace qm {

namespace {

bool isASCII(std::string_view text) {
  return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string asciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

/// The combining diacritics that folding removes: the blocks of marks that
/// sit on Latin, Greek and Cyrillic letters. Marks of other scripts (the kana
/// voicing marks, Indic vowel signs) change the letter and stay.
bool isRemovableMark(UChar32 c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
         (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
         (c >= 0xFE20 && c <= 0xFE2F);
}

/// Letters that carry no separable accent, by their plain spelling (small
/// letters: the text is lower-cased first): ß æ œ ĳ ø ł đ ð þ ı ħ ŧ ŀ ŋ ſ ƒ,
/// Greek final ς, and the apostrophe ʼ.
struct PlainSpelling {
  UChar32 letter;
  std::string_view plain;
};
constexpr std::array<PlainSpelling, 18> kPlainSpellings{{{0x00DF, "ss"},
                                                         {0x00E6, "ae"},
                                                         {0x0153, "oe"},
                                                         {0x0133, "ij"},
                                                         {0x00F8, "o"},
                                                         {0x0142, "l"},
                                                         {0x0111, "d"},
                                                         {0x00F0, "d"},
                                                         {0x00FE, "th"},
                                                         {0x0131, "i"},
                                                         {0x0127, "h"},
                                                         {0x0167, "t"},
                                                         {0x0140, "l"},
                                                         {0x014B, "n"},
                                                         {0x017F, "s"},
                                                         {0x0192, "f"},
                                                         {0x03C2, "\xCF\x83"},
                                                         {0x02BC, "'"}}};

std::string_view plainSpelling(UChar32 c) {
  for (const PlainSpelling& s : kPlainSpellings)
    if (s.letter == c) return s.plain;
  return {};
}

void appendUTF8(std::string& out, UChar32 c) {
  char bytes[U8_MAX_LENGTH];
  std::int32_t length = 0;
  UBool error = false;
  U8_APPEND(bytes, length, U8_MAX_LENGTH, c, error);
  if (!error) out.append(bytes, static_cast<std::size_t>(length));
}

/// What each code point below kTableEnd folds to (Latin, Greek, Cyrillic and
/// the other alphabets of that range), worked out once with ICU: the plain
/// spelling, or the letter without its diacritics, or nothing (kept as it is).
constexpr UChar32 kTableStart = 0x80;
constexpr UChar32 kTableEnd = 0x2000;

class FoldingTable {
 public:
  FoldingTable() : folds_(static_cast<std::size_t>(kTableEnd - kTableStart)) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    for (UChar32 c = kTableStart; c < kTableEnd; ++c) {
      const UChar32 lower = u_tolower(c);
      std::string& fold = folds_[static_cast<std::size_t>(c - kTableStart)];
      if (const std::string_view plain = plainSpelling(lower); !plain.empty()) {
        fold.assign(plain);
        continue;
      }
      icu::UnicodeString parts;
      if (U_FAILURE(status) || !nfd->getDecomposition(lower, parts) || parts.length() == 0) {
        if (lower != c) appendUTF8(fold, lower);
        continue;
      }
      // A letter and removable marks only: the letter (itself folded, as for
      // ǿ, which is ø with an acute). Anything else stays whole.
      const UChar32 base = parts.char32At(0);
      bool marksOnly = !isRemovableMark(base);
      for (std::int32_t i = U16_LENGTH(base); marksOnly && i < parts.length();) {
        const UChar32 next = parts.char32At(i);
        marksOnly = isRemovableMark(next);
        i += U16_LENGTH(next);
      }
      if (!marksOnly) {
        if (lower != c) appendUTF8(fold, lower);
        continue;
      }
      if (const std::string_view plain = plainSpelling(base); !plain.empty())
        fold.assign(plain);
      else
        appendUTF8(fold, base);
    }
  }

  /// The fold of `c` (in the table's range), or nothing when it stays.
  std::string_view operator[](UChar32 c) const {
    return folds_[static_cast<std::size_t>(c - kTableStart)];
  }

 private:
  std::vector<std::string> folds_;
};

const FoldingTable& foldingTable() {
  static const FoldingTable table;
  return table;
}

}  // namespace

std::string foldCase(std::string_view text) {
  std::string lowered = lowercaseUnicode(text);
  if (isASCII(lowered)) return lowered;
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return lowered;
  const auto unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(lowered.data(), static_cast<std::int32_t>(lowered.size())));
  if (nfc->isNormalized(unicode, status) && U_SUCCESS(status)) return lowered;
  status = U_ZERO_ERROR;
  const icu::UnicodeString normalized = nfc->normalize(unicode, status);
  if (U_FAILURE(status)) return lowered;
  std::string out;
  normalized.toUTF8String(out);
  return out;
}

std::string foldAccents(std::string_view caseFolded) {
  if (isASCII(caseFolded)) return asciiLower(caseFolded);
  const FoldingTable& table = foldingTable();
  std::string out;
  out.reserve(caseFolded.size());
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(caseFolded.data());
  const auto length = static_cast<std::int32_t>(caseFolded.size());
  for (std::int32_t i = 0; i < length;) {
    const std::int32_t start = i;
    UChar32 c = 0;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD for a malformed sequence
    } else if (c < 0x80) {
      out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
    } else if (isRemovableMark(c)) {
      // dropped
    } else if (c < kTableEnd) {
      const std::string_view fold = table[c];
      if (fold.empty())
        out.append(caseFolded.substr(static_cast<std::size_t>(start),
                                     static_cast<std::size_t>(i - start)));
      else
        out += fold;
    } else if (c == 0x2018 || c == 0x2019) {
      out += '\'';
    } else {
      // Above the table nothing composed folds: what NFC leaves composed
      // there is kana and Hangul, which stay as they are.
      out.append(
          caseFolded.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
    }
  }
  return out;
}

std::string foldForSearch(std::string_view text) {
  if (isASCII(text)) return asciiLower(text);
  return foldAccents(foldCase(text));
}

SearchForms searchForms(std::string_view text) {
  if (isASCII(text)) return {asciiLower(text), {}};
  std::string exact = foldCase(text);
  std::string folded = foldAccents(exact);
  if (folded == exact) return {std::move(folded), {}};
  return {std::move(folded), std::move(exact)};
}

}  // namespace qm
