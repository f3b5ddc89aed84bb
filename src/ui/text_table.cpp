#include "ui/text_table.h"

#include <algorithm>
#include <numeric>

#include "ui/display_width.h"

namespace qm {

namespace {

constexpr std::size_t kGap = 2;
/// How narrow an essential flexible column may get before others are dropped.
constexpr std::size_t kEssentialWidth = 16;

/// Leaves out the kept droppable column with the highest drop order.
bool dropOne(const std::vector<TextColumn>& columns, std::vector<bool>& kept) {
  std::size_t drop = columns.size();
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (kept[i] && columns[i].dropOrder > 0 &&
        (drop == columns.size() || columns[i].dropOrder > columns[drop].dropOrder))
      drop = i;
  if (drop == columns.size()) return false;
  kept[drop] = false;
  return true;
}

std::size_t totalWidth(const std::vector<std::size_t>& widths, const std::vector<bool>& kept) {
  std::size_t total = 0, shown = 0;
  for (std::size_t i = 0; i < widths.size(); ++i) {
    if (!kept[i]) continue;
    total += widths[i];
    ++shown;
  }
  return total + (shown > 1 ? (shown - 1) * kGap : 0);
}

/// The widths left after narrowing flexible columns toward `width`.
std::vector<std::size_t> narrowed(std::vector<std::size_t> widths,
                                  const std::vector<TextColumn>& columns,
                                  const std::vector<bool>& kept, std::size_t width) {
  std::size_t total = totalWidth(widths, kept);
  while (total > width) {
    // Droppable columns give way before the essential ones.
    std::size_t widest = widths.size();
    for (int pass = 0; pass < 2 && widest == widths.size(); ++pass) {
      for (std::size_t i = 0; i < widths.size(); ++i) {
        if (!kept[i] || !columns[i].flexible || widths[i] <= columns[i].minWidth) continue;
        if (pass == 0 && columns[i].dropOrder == 0) continue;
        if (widest == widths.size() || widths[i] > widths[widest]) widest = i;
      }
    }
    if (widest == widths.size()) break;
    --widths[widest];
    --total;
  }
  return widths;
}

}  // namespace

std::string renderTextTable(std::vector<TextColumn> columns,
                            const std::vector<std::vector<std::string>>& rows, std::size_t width,
                            TextTableStyle style) {
  const std::size_t n = columns.size();
  std::vector<std::size_t> natural(n);
  for (std::size_t i = 0; i < n; ++i) {
    natural[i] = displayWidth(columns[i].header);
    for (const auto& row : rows)
      if (i < row.size()) natural[i] = std::max(natural[i], displayWidth(row[i]));
    columns[i].minWidth = std::min(columns[i].minWidth, natural[i]);
  }
  std::vector<bool> kept(n, true);
  // Leave out droppable columns rather than cut the essential ones (drop
  // order 0) below kEssentialWidth; then narrow, and drop more if need be.
  auto fitsWithoutCuttingEssentials = [&] {
    std::vector<std::size_t> least(n);
    for (std::size_t i = 0; i < n; ++i) {
      const bool essential = columns[i].dropOrder == 0;
      least[i] = !columns[i].flexible ? natural[i]
                 : essential          ? std::min(natural[i], kEssentialWidth)
                                      : columns[i].minWidth;
    }
    return totalWidth(least, kept) <= width;
  };
  while (!fitsWithoutCuttingEssentials() && dropOne(columns, kept)) {
  }
  std::vector<std::size_t> widths = narrowed(natural, columns, kept, width);
  while (totalWidth(widths, kept) > width) {
    if (!dropOne(columns, kept)) break;
    widths = narrowed(natural, columns, kept, width);
  }

  std::string out;
  auto line = [&](auto cellOf) {
    std::string text;
    bool first = true;
    for (std::size_t i = 0; i < n; ++i) {
      if (!kept[i]) continue;
      if (!first) text.append(kGap, ' ');
      first = false;
      const std::string cell = fitToWidth(cellOf(i), widths[i]);
      const std::size_t pad = widths[i] - std::min(widths[i], displayWidth(cell));
      if (columns[i].align == TextColumn::Align::right) text.append(pad, ' ');
      text += cell;
      if (columns[i].align == TextColumn::Align::left) text.append(pad, ' ');
    }
    text.erase(text.find_last_not_of(' ') + 1);
    out += text + "\n";
  };
  line([&](std::size_t i) { return columns[i].header; });
  if (style.headerRule) {
    std::string rule;
    for (std::size_t k = 0; k < std::min(totalWidth(widths, kept), width); ++k) rule += "\u2500";
    out += rule + "\n";
  }
  for (const auto& row : rows)
    line([&](std::size_t i) { return i < row.size() ? row[i] : std::string(); });
  return out;
}

}  // namespace qm
