#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

/// Whether an optional text is there and not empty.
inline bool hasText(const std::optional<std::string>& text) {
  return text && !text->empty();
}

/// `text` without the Unicode white space (the White_Space property: ASCII
/// blanks and controls, U+0085, no-break and ideographic spaces, the U+2000
/// range and the line and paragraph separators) at either end. A name typed
/// with a no-break space then lists and sorts with the same name typed plainly.
std::string_view trimUnicodeWhitespace(std::string_view text);

/// `text` in Unicode lower case (ICU, root locale, so the result does not depend
/// on the user's language): "ÉMILE" gives "émile", "ÖSTERGAARD" "östergaard".
/// ASCII text takes a fast path with the same result.
std::string lowercaseUnicode(std::string_view text);

/// Whether `bytes` is well-formed UTF-8 (no overlong forms, surrogates or code
/// points above U+10FFFF). With `allowIncompleteEnd`, a sequence cut short by the
/// end of the bytes is accepted: the rest may still arrive.
bool isValidUTF8(std::string_view bytes, bool allowIncompleteEnd = false);

/// Whether `name` names a file inside a folder it is joined to: not empty, not
/// "." or "..", and without a folder separator ("/" or "\\") or a NUL byte. A
/// name that comes from another device must pass before it becomes a path.
bool isPlainFileName(std::string_view name);

/// What is wrong with `address` as one plain e-mail address (a local part,
/// one at sign and a domain, without spaces, control characters or the
/// characters that end an address in a header), or empty when nothing is.
std::string_view emailAddressProblem(std::string_view address);

}  // namespace qm
