#pragma once

#include <string>
#include <string_view>

namespace qm {

/// Longest physical line of a vCard, in octets, not counting its CR LF.
inline constexpr std::size_t kVCardLineOctets = 75;

/// Appends `text` as a vCard text value: backslash, comma and semicolon are
/// escaped with a backslash, and each line break (CR LF, LF or CR) becomes "\n".
void appendVCardText(std::string& out, std::string_view text);

/// Appends one content line (without its line break) to `out`, folded so that
/// no physical line exceeds 75 octets: a longer line continues on lines that
/// start with one space, and a UTF-8 character is never split across lines.
/// Each physical line ends with CR LF.
void appendFoldedLine(std::string& out, std::string_view line);

}  // namespace qm
