#pragma once

#include <cstddef>
#include <string_view>

namespace qm {

/// Whether the JSON text `text` opens more than `limit` arrays and objects
/// inside one another. It only counts brackets and braces outside strings, in
/// one pass over the bytes, and stops at the first one past the limit, so a
/// body of a million opening brackets is refused in microseconds, before any
/// parser builds (and later frees) a million nested values. The text need not
/// be valid JSON: a parser still decides that. Like the parser, it ends at the
/// first NUL byte.
bool jsonNestsDeeperThan(std::string_view text, std::size_t limit);

}  // namespace qm
