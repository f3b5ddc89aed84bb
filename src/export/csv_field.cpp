#include "export/csv_field.h"

namespace qm {

void appendCsvField(std::string& out, std::string_view text) {
  bool quote = false;
  bool breaks = false;
  for (char c : text) {
    if (c == ',' || c == '"' || c == ' ') quote = true;
    if (c == '\r' || c == '\n') breaks = true;
  }
  // A line break becomes a space, so a value that had one is always quoted.
  if (breaks) quote = true;
  if (!quote) {
    out.append(text);
    return;
  }
  out.reserve(out.size() + text.size() + 2);
  out.push_back('"');
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;  // a CR LF pair is one break
      out.push_back(' ');
    } else if (c == '\n') {
      out.push_back(' ');
    } else {
      if (c == '"') out.push_back('"');
      out.push_back(c);
    }
  }
  out.push_back('"');
}

std::string csvField(std::string_view text) {
  std::string out;
  appendCsvField(out, text);
  return out;
}

CsvDocument::CsvDocument(std::span<const std::string_view> headers, std::size_t rowsHint) {
  // About 48 bytes a column of a filled-in contact; growing is only a copy.
  out_.reserve(kUtf8ByteOrderMark.size() + (rowsHint + 1) * headers.size() * 48);
  out_.append(kUtf8ByteOrderMark);
  for (auto header : headers) text(header);
}

void CsvDocument::newRow() {
  out_.append("\r\n");
  rowStart_ = true;
}

void CsvDocument::separate() {
  if (!rowStart_) out_.push_back(',');
  rowStart_ = false;
}

void CsvDocument::text(std::string_view value) {
  separate();
  appendCsvField(out_, value);
}

void CsvDocument::plain(std::string_view value) {
  separate();
  out_.append(value);
}

}  // namespace qm
