#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qm {

/// The columns `text` (UTF-8) takes in a terminal: East Asian wide and
/// full-width characters take two, combining marks and other zero-width
/// characters none, everything else one.
std::size_t displayWidth(std::string_view text);

/// `text` cut to at most `width` columns, ending in "…" when it was cut; line
/// breaks and tabs become spaces. Never splits a character.
std::string fitToWidth(std::string_view text, std::size_t width);

}  // namespace qm
