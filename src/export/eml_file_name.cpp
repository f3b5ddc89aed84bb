#include "export/eml_file_name.h"

#include <system_error>
#include <vector>

#include "common/text.h"

namespace qm {

namespace {

constexpr std::size_t kSubjectCharacters = 40;
/// Linux allows 255 bytes per name; room is left for " (NNN)" and ".eml".
constexpr std::size_t kMaxStemBytes = 240;

/// The characters of `text` as UTF-8 sequences; invalid bytes are dropped.
std::vector<std::string_view> characters(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (lead < 0x80)
      length = 1;
    else if (lead >= 0xC2 && lead <= 0xDF)
      length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
      length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
      length = 4;
    bool valid = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k)
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (valid) {
      out.push_back(text.substr(i, length));
      i += length;
    } else {
      ++i;
    }
  }
  return out;
}

void appendCleaned(std::string& out, std::string_view character) {
  if (character == "/" || character == ":") {
    out += '-';
  } else if (character == "\"") {
    return;
  } else if (character.size() == 1 &&
             (static_cast<unsigned char>(character[0]) < 0x20 || character[0] == 0x7F)) {
    out += ' ';
  } else {
    out += character;
  }
}

}  // namespace

std::string emlFileName(const DraftMessage& message) {
  std::string raw = message.contact ? message.contact->fullName() : std::string("Draft");
  raw += " \u2014 ";
  const auto subject = characters(message.draft.subject);
  for (std::size_t i = 0; i < subject.size() && i < kSubjectCharacters; ++i) raw += subject[i];

  std::string cleaned;
  for (auto c : characters(raw)) appendCleaned(cleaned, c);
  std::string stem(trimUnicodeWhitespace(cleaned));
  if (stem.size() > kMaxStemBytes) {
    std::string shortened;
    for (auto c : characters(stem)) {
      if (shortened.size() + c.size() > kMaxStemBytes) break;
      shortened += c;
    }
    stem = std::string(trimUnicodeWhitespace(shortened));
  }
  return stem + ".eml";
}

std::filesystem::path uniqueFileURL(const std::filesystem::path& folder,
                                    std::string_view fileName) {
  std::error_code ec;
  auto candidate = folder / fileName;
  if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ec))) return candidate;
  const std::filesystem::path name(fileName);
  const std::string stem = name.stem().string();
  const std::string extension = name.extension().string();  // with its dot, or empty
  for (int n = 2;; ++n) {
    candidate = folder / (stem + " (" + std::to_string(n) + ")" + extension);
    if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ec))) return candidate;
  }
}

}  // namespace qm
