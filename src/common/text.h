#pragma once

#include <string_view>

namespace qm {

/// `text` without the Unicode white space (the White_Space property: ASCII
/// blanks and controls, U+0085, no-break and ideographic spaces, the U+2000
/// range and the line and paragraph separators) at either end. A name typed
/// with a no-break space then lists and sorts with the same name typed plainly.
std::string_view trimUnicodeWhitespace(std::string_view text);

}  // namespace qm
