#include "common/text_folding.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>

#include "common/text.h"

namespace qm {

std::string foldCaseAndAccents(std::string_view text) {
  if (std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return lowercaseUnicode(text);
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  // Without the normalisation data the text can still be compared by case.
  if (U_FAILURE(status)) return lowercaseUnicode(text);
  auto unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
  unicode.foldCase();
  const icu::UnicodeString decomposed = nfd->normalize(unicode, status);
  if (U_FAILURE(status)) return lowercaseUnicode(text);
  icu::UnicodeString bare;
  for (std::int32_t i = 0; i < decomposed.length();) {
    const UChar32 c = decomposed.char32At(i);
    if (u_charType(c) != U_NON_SPACING_MARK) bare.append(c);
    i += U16_LENGTH(c);
  }
  const icu::UnicodeString composed = nfc->normalize(bare, status);
  if (U_FAILURE(status)) return lowercaseUnicode(text);
  std::string out;
  composed.toUTF8String(out);
  return out;
}

}  // namespace qm
