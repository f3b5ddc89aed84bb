#pragma once

// How every search compares texts: the contact list's search box, the global
// search and the MCP tools all match in the folded form, so that a name typed
// without its accents ("muller", "lodz", "sao paulo") finds the name stored
// with them (Müller, Łódź, São Paulo), and rank exact matches above folded ones
// by also comparing the case-folded form.

#include <string>
#include <string_view>

namespace qm {

/// `text` in Unicode lower case (ICU, root locale) and composed form (NFC):
/// what a search compares when accents count. "MÜLLER" and "Mu\u0308ller"
/// (stored decomposed by another device) both give "müller".
std::string foldCase(std::string_view text);

/// `caseFolded` (a `foldCase` result) with its accents set aside: combining
/// diacritics are removed ("müller" → "muller", "são" → "sao", "ayşe" →
/// "ayse"), and letters whose accent cannot be separated take their plain
/// spelling: ß → ss, æ → ae, œ → oe, ĳ → ij, ø → o, ł → l, đ and ð → d,
/// þ → th, ı → i, ħ → h, ŧ → t, ŀ → l, ŋ → n, ſ → s, ƒ → f; Greek final ς
/// becomes σ and typographic apostrophes (’ ‘ ʼ) become '. Text in other
/// scripts stays as it is: Han, kana (with their voicing marks) and Hangul are
/// matched exactly.
std::string foldAccents(std::string_view caseFolded);

/// `foldAccents(foldCase(text))`: the form every search matches in.
std::string foldForSearch(std::string_view text);

/// A text in both forms: `folded` is what matching looks in, `exact` (the
/// case-folded form) tells an exact match from a folded one. For most texts
/// (plain ASCII among them) the two are equal and `exact` is left empty.
struct SearchForms {
  std::string folded;
  std::string exact;  ///< empty when equal to `folded`

  std::string_view exactForm() const { return exact.empty() ? folded : exact; }
  /// Whether folding changed nothing: an exact match is then a folded one.
  bool plain() const { return exact.empty(); }
};
SearchForms searchForms(std::string_view text);

}  // namespace qm
