#include "export/csv_field.h"

#include <array>

namespace qm {

namespace {

enum : unsigned char { kPlain = 0, kQuoteIfPresent = 1, kLineBreak = 2, kDoubleQuote = 3 };

/// What each byte asks of a field: nothing, quoting (comma, space), a space
/// in its place and quoting (CR, LF), or doubling and quoting (").
constexpr std::array<unsigned char, 256> kByteClass = [] {
  std::array<unsigned char, 256> table{};
  table[','] = table[' '] = kQuoteIfPresent;
  table['\r'] = table['\n'] = kLineBreak;
  table['"'] = kDoubleQuote;
  return table;
}();

}  // namespace

void appendCsvField(std::string& out, std::string_view text) {
  unsigned char seen = 0;
  for (char c : text) seen |= kByteClass[static_cast<unsigned char>(c)];
  // A line break becomes a space, so a value that had one is always quoted.
  if (seen == kPlain) {
    out.append(text);
    return;
  }
  out.push_back('"');
  std::size_t run = 0;  // start of the bytes not yet copied
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char kind = kByteClass[static_cast<unsigned char>(text[i])];
    if (kind < kLineBreak) continue;
    out.append(text.substr(run, i - run));
    if (kind == kDoubleQuote) {
      out.append("\"\"");
    } else {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;  // one break
      out.push_back(' ');
    }
    run = i + 1;
  }
  out.append(text.substr(run));
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
