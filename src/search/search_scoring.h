#pragma once

// The one scoring rule of the global search, shared by every category: a
// record offers weighted texts, every word of the query must be found in one
// of them, and each word adds the best of what it found.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

/// Seconds of typing the engine waits before it searches.
inline constexpr double kSearchDebounceSeconds = 0.1;

/// What a word found only once accents are set aside (`foldForSearch`) counts,
/// as a share of what the same kind of match counts exactly: "muller" finds
/// Müller, below Muller. Below 1 and above 0.75, so that a folded match still
/// beats an exact one of a weaker kind in the same text (a folded whole word,
/// 1.8, beats an exact prefix, 1.5).
inline constexpr double kFoldedMatchShare = 0.9;

/// Whether the query, trimmed of white space and line breaks, is long enough to
/// search: two characters (user-perceived characters, so "田中" is two and an
/// accented letter typed as two code points is one).
bool isSearchableQuery(std::string_view query);

/// One word of a query in both of the forms it is compared in.
struct SearchToken {
  std::string exact;   ///< lower case and composed (`foldCase`)
  std::string folded;  ///< with accents set aside too (`foldForSearch`)

  friend bool operator==(const SearchToken&, const SearchToken&) = default;
};

/// The words of a query: trimmed of white space and line breaks, split at
/// blanks (spaces, tabs, no-break and ideographic spaces), without empty
/// pieces.
std::vector<SearchToken> searchTokens(std::string_view query);

/// `text` split at blanks, without empty pieces.
std::vector<std::string_view> splitAtBlanks(std::string_view text);

/// One text a record offers to search, with its weight. An absent or empty text
/// is skipped.
struct SearchField {
  std::optional<std::string_view> text;
  double weight = 0;
};

/// What a word finds in a text of the same form: 2 × weight when the text is
/// the word or has it as a whole word, 1.5 × weight when the text or one of its
/// words starts with it, 1 × weight when the text merely contains it, else 0.
/// Found by stepping over the word's occurrences, for the index.
double tokenScoreInFolded(std::string_view folded, std::string_view token, double weight);

/// What `token` finds in one text given in both forms (`exact` absent when it
/// equals `folded`): the score of the exact forms, or `kFoldedMatchShare` × the
/// score of the folded forms when that is more (a match only once accents are
/// set aside).
double tokenScore(std::string_view folded, std::optional<std::string_view> exact,
                  const SearchToken& token, double weight);

/// The record's score for `tokens`, following the rule word for word (each text
/// folded and split here): the sum over the tokens of the best candidate among
/// the fields, or nothing when some token finds nothing. The reference the
/// index is checked against.
std::optional<double> scoreRecord(const std::vector<SearchField>& fields,
                                  const std::vector<SearchToken>& tokens);

}  // namespace qm
