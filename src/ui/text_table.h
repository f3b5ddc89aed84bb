#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qm {

/// One column of a plain-text table.
struct TextColumn {
  enum class Align { left, right };
  std::string header;
  Align align = Align::left;
  /// May be narrowed (cells cut with "…") down to `minWidth` columns.
  bool flexible = false;
  std::size_t minWidth = 4;
  /// Columns that cannot all fit are left out, highest number first; 0 never.
  int dropOrder = 0;
};

struct TextTableStyle {
  /// A line of "─" under the headers.
  bool headerRule = false;
};

/// The rows under their headers, aligned in columns two spaces apart and
/// fitted to `width` terminal columns: droppable columns are left out (highest
/// drop order first) while the essential ones (drop order 0) would otherwise
/// be cut below 16 columns; then flexible columns narrow, the widest first,
/// and more are dropped only if that is not enough. Widths count terminal
/// columns (`displayWidth`), so names in wide scripts align too. Each line
/// ends with "\n" and carries no trailing blanks.
std::string renderTextTable(std::vector<TextColumn> columns,
                            const std::vector<std::vector<std::string>>& rows, std::size_t width,
                            TextTableStyle style = {});

}  // namespace qm
