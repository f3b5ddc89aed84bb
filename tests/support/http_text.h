#pragma once

// Header names and values as the test HTTP client and server read them.

#include <cctype>
#include <string>
#include <string_view>

namespace qm::test {

/// ASCII lower case, for comparing header names.
inline std::string lowercase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

/// Without the blanks and tabs around a header value.
inline std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace qm::test
