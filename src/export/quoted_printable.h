#pragma once

#include <string>
#include <string_view>

namespace qm {

/// The quoted-printable form of `text` (RFC 2045, section 6.7): printable ASCII
/// stays as it is, "=" and every other byte become "=" and two upper-case hex
/// digits, each line feed of `text` becomes a CRLF line break, a space or tab
/// before a line break is encoded so that mail transports cannot drop it, and
/// longer lines are cut by soft line breaks ("=" CRLF) so that no encoded line
/// is longer than 76 characters. An encoded byte is never split across lines.
std::string encodeQuotedPrintable(std::string_view text);

}  // namespace qm
