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

/// `text` as search compares it: Unicode lower case (root locale), then NFC,
/// so "MÜLLER" typed on one device finds "Müller" stored decomposed by another.
std::string foldForSearch(std::string_view text);

/// Whether the query, trimmed of white space and line breaks, is long enough to
/// search: two characters (user-perceived characters, so "田中" is two and an
/// accented letter typed as two code points is one).
bool isSearchableQuery(std::string_view query);

/// The words of a query: trimmed of white space and line breaks, folded and
/// split at blanks (spaces, tabs, no-break and ideographic spaces), without
/// empty pieces.
std::vector<std::string> searchTokens(std::string_view query);

/// `text` split at blanks, without empty pieces.
std::vector<std::string_view> splitAtBlanks(std::string_view text);

/// One text a record offers to search, with its weight. An absent or empty text
/// is skipped.
struct SearchField {
  std::optional<std::string_view> text;
  double weight = 0;
};

/// What one token finds in one already folded text: 2 × weight when the text
/// is the token or has it as a whole word, 1.5 × weight when the text or one of
/// its words starts with it, 1 × weight when the text merely contains it, else
/// 0. Found by stepping over the token's occurrences, for the index.
double tokenScoreInFolded(std::string_view folded, std::string_view token, double weight);

/// The record's score for `tokens`, following the rule word for word (each text
/// folded and split here): the sum over the tokens of the best candidate among
/// the fields, or nothing when some token finds nothing. The reference the
/// index is checked against.
std::optional<double> scoreRecord(const std::vector<SearchField>& fields,
                                  const std::vector<std::string>& tokens);

}  // namespace qm
