#include "export/content_line.h"

namespace qm {

void appendEscapedText(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '\\':
      case ',':
      case ';':
        out.push_back('\\');
        out.push_back(c);
        break;
      case '\r':
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        out.append("\\n");
        break;
      case '\n':
        out.append("\\n");
        break;
      default:
        out.push_back(c);
    }
  }
}

namespace {

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

void appendFoldedLine(std::string& out, std::string_view line) {
  std::size_t limit = kContentLineOctets;  // the first line has no leading space
  while (line.size() > limit) {
    std::size_t cut = limit;
    // Back up to the start of the character that would be split. Text that is
    // not UTF-8 (nothing but continuation bytes) is cut at the limit.
    while (cut > 0 && isContinuationByte(line[cut])) --cut;
    if (cut == 0) cut = limit;
    out.append(line.substr(0, cut));
    out.append("\r\n ");
    line.remove_prefix(cut);
    limit = kContentLineOctets - 1;
  }
  out.append(line);
  out.append("\r\n");
}

}  // namespace qm
