#pragma once

#include <string>
#include <string_view>

// The content-line rules that vCard (RFC 6350 §3.2, §3.4) and iCalendar
// (RFC 5545 §3.1, §3.3.11) share: how a text value is escaped and how a long
// line is folded.

namespace qm {

/// Longest physical line of a vCard or iCalendar file, in octets, not counting its CR LF.
inline constexpr std::size_t kContentLineOctets = 75;

/// Appends `text` as a vCard or iCalendar text value: backslash, comma and semicolon are
/// escaped with a backslash, and each line break (CR LF, LF or CR) becomes "\n".
void appendEscapedText(std::string& out, std::string_view text);

/// Appends one content line (given without its line break) to `out`, folded so that
/// no physical line exceeds 75 octets: a longer line continues on lines that
/// start with one space, and a UTF-8 character is never split across lines.
/// Each physical line ends with CR LF.
void appendFoldedLine(std::string& out, std::string_view line);

}  // namespace qm
