#include "ui/display_width.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace qm {

namespace {

std::size_t columnsOf(UChar32 c) {
  if (c < 0) return 1;  // an invalid byte shows as one replacement character
  if (c < 0x7F) return c < 0x20 ? 0 : 1;
  const auto category = u_charType(c);
  if (category == U_NON_SPACING_MARK || category == U_ENCLOSING_MARK || category == U_FORMAT_CHAR ||
      category == U_CONTROL_CHAR)
    return 0;
  const auto eaw = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
  return eaw == U_EA_WIDE || eaw == U_EA_FULLWIDTH ? 2 : 1;
}

/// Calls `visit(start, length, columns)` for each character of `text`.
template <class F>
void forEachCharacter(std::string_view text, F visit) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto size = static_cast<std::int32_t>(text.size());
  std::int32_t i = 0;
  while (i < size) {
    const std::int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, size, c);
    if (!visit(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start), c)) return;
  }
}

}  // namespace

std::size_t displayWidth(std::string_view text) {
  std::size_t width = 0;
  forEachCharacter(text, [&](std::size_t, std::size_t, UChar32 c) {
    width += (c == '\t' || c == '\n' || c == '\r') ? 1 : columnsOf(c);
    return true;
  });
  return width;
}

std::string fitToWidth(std::string_view text, std::size_t width) {
  const bool cut = displayWidth(text) > width;
  const std::size_t room = cut ? (width == 0 ? 0 : width - 1) : width;  // one column for "…"
  std::string out;
  std::size_t used = 0;
  forEachCharacter(text, [&](std::size_t start, std::size_t length, UChar32 c) {
    const bool blank = c == '\t' || c == '\n' || c == '\r';
    const std::size_t columns = blank ? 1 : columnsOf(c);
    if (used + columns > room) return false;
    used += columns;
    if (blank)
      out += ' ';
    else if (c < 0)
      out += "\uFFFD";
    else
      out.append(text.substr(start, length));
    return true;
  });
  if (cut && width > 0) out += "\u2026";
  return out;
}

}  // namespace qm
