#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mcp/client_config/entry_edit.h"

namespace qm::mcp {

/// The lines of `text`, without their line ends (a last line without one counts).
std::vector<std::string> splitLines(std::string_view text);

/// `lines`, each ended by a line feed.
std::string joinLines(const std::vector<std::string>& lines);

/// `doc` without the entry, and without its container when that is left
/// empty or null: what must not change when only the entry does.
OrderedJSON withoutEntry(OrderedJSON doc, const EntryPlace& place);

/// `value` with every scalar as its text ("300", "true"): YAML reads numbers
/// and booleans back as text, so entries compare by what they say.
OrderedJSON textual(const OrderedJSON& value);

}  // namespace qm::mcp
