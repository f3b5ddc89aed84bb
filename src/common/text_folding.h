#pragma once

#include <string>
#include <string_view>

namespace qm {

/// `text` as a person typing on any keyboard may write it: Unicode case folding
/// (so "ß" is "ss"), then without accents and other combining marks, composed
/// again (NFC). "MÜNCHEN", "München" and "munchen" all give "munchen"; "Łódź"
/// gives "łodz", as "ł" is a letter of its own. ASCII text is only lowered.
std::string foldCaseAndAccents(std::string_view text);

}  // namespace qm
