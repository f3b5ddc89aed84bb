#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qm {

/// The UTF-8 byte order mark every contact CSV starts with, so spreadsheet
/// programs read names like Müller or 田中 as UTF-8.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

/// One CSV field on one line: each CR LF pair, then each remaining LF, then
/// each remaining CR becomes a space; a value holding a comma, a double quote
/// or a space is enclosed in double quotes with its inner quotes doubled;
/// anything else is written unchanged.
std::string csvField(std::string_view text);
/// Appends `csvField(text)` to `out` without a temporary.
void appendCsvField(std::string& out, std::string_view text);

/// Builds a contact CSV document: the byte order mark, the header line, then
/// one line per row; lines are joined by CR LF with no break after the last.
class CsvDocument {
 public:
  /// Starts the document with `headers`, each passed through `csvField`.
  /// `rowsHint` sizes the buffer.
  CsvDocument(std::span<const std::string_view> headers, std::size_t rowsHint);

  /// Starts the next row.
  void newRow();
  /// A text value, passed through `csvField`; an absent one is an empty field.
  void text(std::string_view value);
  void text(const std::string& value) { text(std::string_view(value)); }
  void text(const char* value) { text(std::string_view(value)); }
  void text(const std::optional<std::string>& value) {
    text(value ? std::string_view(*value) : "");
  }
  /// A value written as it is: formatted numbers, dates and fixed texts.
  void plain(std::string_view value);

  std::string take() && { return std::move(out_); }

 private:
  void separate();

  std::string out_;
  bool rowStart_ = true;
};

}  // namespace qm
