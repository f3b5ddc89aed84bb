#include "export/quoted_printable.h"

namespace qm {

namespace {

constexpr std::size_t kMaxLineLength = 76;
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool passesLiterally(unsigned char byte) {
  return byte == ' ' || (byte > 0x20 && byte < 0x7F && byte != '=');
}

}  // namespace

std::string encodeQuotedPrintable(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 16);
  std::size_t lineLength = 0;  // characters on the current encoded line
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\n') {
      out += "\r\n";
      lineLength = 0;
      continue;
    }
    const bool atLineEnd = i + 1 == text.size() || text[i + 1] == '\n';
    const bool literal = passesLiterally(byte) && !(byte == ' ' && atLineEnd);
    const std::size_t width = literal ? 1 : 3;
    // The last character of a line may take the place the soft break's "="
    // would need; any other must leave room for it.
    const std::size_t room = atLineEnd ? kMaxLineLength : kMaxLineLength - 1;
    if (lineLength + width > room) {
      out += "=\r\n";
      lineLength = 0;
    }
    if (literal) {
      out += static_cast<char>(byte);
    } else {
      out += '=';
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0x0F];
    }
    lineLength += width;
  }
  return out;
}

}  // namespace qm
