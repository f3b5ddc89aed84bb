#include "search/search_scoring.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "common/search_folding.h"
#include "common/text.h"

namespace qm {

namespace {

bool isASCII(std::string_view text) {
  return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

/// The blank (tab or space separator) starting at `at`, or 0 bytes.
std::size_t blankLengthAt(std::string_view text, std::size_t at) {
  if (at >= text.size()) return 0;
  const auto b = [&](std::size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
  };
  const unsigned char lead = b(0);
  if (lead == ' ' || lead == '\t') return 1;
  if (lead == 0xC2 && b(1) == 0xA0) return 2;                  // U+00A0
  if (lead == 0xE1 && b(1) == 0x9A && b(2) == 0x80) return 3;  // U+1680
  if (lead == 0xE2 && b(1) == 0x80 && ((b(2) >= 0x80 && b(2) <= 0x8A) || b(2) == 0xAF))
    return 3;                                                  // U+2000…U+200A, U+202F
  if (lead == 0xE2 && b(1) == 0x81 && b(2) == 0x9F) return 3;  // U+205F
  if (lead == 0xE3 && b(1) == 0x80 && b(2) == 0x80) return 3;  // U+3000
  return 0;
}

/// Whether a blank ends just before `at`.
bool blankEndsAt(std::string_view text, std::size_t at) {
  for (std::size_t length = 1; length <= 3 && length <= at; ++length)
    if (blankLengthAt(text, at - length) == length) return true;
  return false;
}

double candidateByRule(std::string_view folded, std::string_view token, double weight) {
  double candidate = 0;
  if (folded == token)
    candidate = 2 * weight;
  else if (folded.starts_with(token))
    candidate = 1.5 * weight;
  else if (folded.find(token) != std::string_view::npos)
    candidate = weight;
  for (std::string_view word : splitAtBlanks(folded)) {
    if (word == token)
      candidate = std::max(candidate, 2 * weight);
    else if (word.starts_with(token))
      candidate = std::max(candidate, 1.5 * weight);
  }
  return candidate;
}

std::size_t findFrom(std::string_view text, std::string_view token, std::size_t from) {
  if (from >= text.size()) return std::string_view::npos;
  const void* hit = memmem(text.data() + from, text.size() - from, token.data(), token.size());
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
             : std::string_view::npos;
}

}  // namespace

bool isSearchableQuery(std::string_view query) {
  const std::string_view trimmed = trimUnicodeWhitespace(query);
  if (trimmed.size() < 2) return false;
  if (isASCII(trimmed)) return true;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> characters(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status)) return true;
  const auto unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(trimmed.data(), static_cast<std::int32_t>(trimmed.size())));
  characters->setText(unicode);
  characters->first();
  int count = 0;
  while (characters->next() != icu::BreakIterator::DONE)
    if (++count >= 2) return true;
  return false;
}

std::vector<std::string_view> splitAtBlanks(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t start = 0, at = 0;
  while (at < text.size()) {
    const std::size_t blank = blankLengthAt(text, at);
    if (blank == 0) {
      ++at;
      continue;
    }
    if (at > start) words.push_back(text.substr(start, at - start));
    at += blank;
    start = at;
  }
  if (at > start) words.push_back(text.substr(start, at - start));
  return words;
}

std::vector<SearchToken> searchTokens(std::string_view query) {
  // Trimmed first, as the query is when its length is checked: a line break
  // at either end (a pasted name) is not a blank and would stay in a token.
  const std::string exact = foldCase(trimUnicodeWhitespace(query));
  std::vector<SearchToken> tokens;
  for (std::string_view word : splitAtBlanks(exact))
    tokens.push_back({std::string(word), foldAccents(word)});
  return tokens;
}

double tokenScoreInFolded(std::string_view folded, std::string_view token, double weight) {
  std::size_t at = findFrom(folded, token, 0);
  if (at == std::string_view::npos) return 0;
  double best = weight;
  if (at == 0) {
    if (folded.size() == token.size()) return 2 * weight;
    best = 1.5 * weight;
  }
  // A word starts with the token where an occurrence follows a blank (or opens
  // the text), and is the token when a blank (or the end) follows too.
  for (; at != std::string_view::npos; at = findFrom(folded, token, at + 1)) {
    if (at != 0 && !blankEndsAt(folded, at)) continue;
    const std::size_t end = at + token.size();
    if (end == folded.size() || blankLengthAt(folded, end) > 0) return 2 * weight;
    best = std::max(best, 1.5 * weight);
  }
  return best;
}

double tokenScore(std::string_view folded, std::optional<std::string_view> exact,
                  const SearchToken& token, double weight) {
  const double loose = tokenScoreInFolded(folded, token.folded, weight);
  if (loose == 0) return 0;
  const bool plainToken = token.exact == token.folded;
  if (!exact && plainToken) return loose;
  // A text that folding leaves unchanged holds none of the characters folding
  // changes, so a token with one of them is not in it exactly.
  const double strict = exact ? tokenScoreInFolded(*exact, token.exact, weight) : 0;
  return std::max(strict, kFoldedMatchShare * loose);
}

std::optional<double> scoreRecord(const std::vector<SearchField>& fields,
                                  const std::vector<SearchToken>& tokens) {
  std::vector<std::optional<SearchForms>> forms(fields.size());
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].text && !fields[i].text->empty()) forms[i] = searchForms(*fields[i].text);
  double score = 0;
  for (const SearchToken& token : tokens) {
    double best = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (!forms[i]) continue;
      const double weight = fields[i].weight;
      const double loose = candidateByRule(forms[i]->folded, token.folded, weight);
      if (loose == 0) continue;
      const double strict = candidateByRule(forms[i]->exactForm(), token.exact, weight);
      best = std::max({best, strict, kFoldedMatchShare * loose});
    }
    if (best == 0) return std::nullopt;
    score += best;
  }
  return score;
}

}  // namespace qm
