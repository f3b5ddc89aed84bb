#include "app/cli/word_choice.h"

#include <CLI/CLI.hpp>

#include <memory>

namespace qm::cli {

namespace {

bool isUpper(char c) {
  return c >= 'A' && c <= 'Z';
}
bool isLower(char c) {
  return c >= 'a' && c <= 'z';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

/// What two spellings of one word have in common: the dashed form without dashes.
std::string key(std::string_view word) {
  std::string out = dashedWord(word);
  std::erase(out, '-');
  return out;
}

}  // namespace

std::string dashedWord(std::string_view word) {
  std::string out;
  bool pendingDash = false;
  char previous = '\0';
  for (const char c : word) {
    if (!isUpper(c) && !isLower(c) && !isDigit(c)) {
      // Blanks, dashes, underscores and anything not a plain letter or digit
      // ("–" in "A–Z") separate words.
      pendingDash = !out.empty();
      previous = '\0';
      continue;
    }
    // camelCase: an upper-case letter after a lower-case one starts a word.
    if (isUpper(c) && (isLower(previous) || isDigit(previous))) pendingDash = true;
    if (pendingDash) out += '-';
    pendingDash = false;
    out += isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
    previous = c;
  }
  return out;
}

WordChoices::WordChoices(std::string what, std::vector<WordChoice> choices)
    : what_(std::move(what)), choices_(std::move(choices)) {}

Result<std::string> WordChoices::match(std::string_view typed) const {
  const std::string wanted = key(typed);
  if (!wanted.empty()) {
    for (const WordChoice& choice : choices_) {
      if (key(choice.value) == wanted) return choice.value;
      for (const std::string& other : choice.otherWords)
        if (key(other) == wanted) return choice.value;
    }
  }
  return Error(ErrorCode::invalidArgument,
               "\"" + std::string(typed) + "\" is not " + what_ + "; use one of: " + listed());
}

std::string WordChoices::listed() const {
  std::string out;
  for (const WordChoice& choice : choices_)
    out += (out.empty() ? "" : ", ") + dashedWord(choice.value);
  return out;
}

namespace {

template <class Value>
CLI::Option* addWord(CLI::App& command, const std::string& name, Value& value, WordChoices choices,
                     const std::string& help) {
  const std::string description = help + ": " + choices.listed();
  auto shared = std::make_shared<const WordChoices>(std::move(choices));
  return command.add_option(name, value, description)
      ->transform(CLI::Validator(
          [shared](std::string& typed) {
            auto matched = shared->match(typed);
            if (!matched) return matched.error().message;
            typed = std::move(*matched);
            return std::string();
          },
          ""));
}

}  // namespace

CLI::Option* addWordOption(CLI::App& command, const std::string& name, std::string& value,
                           WordChoices choices, const std::string& help) {
  return addWord(command, name, value, std::move(choices), help);
}

CLI::Option* addWordOption(CLI::App& command, const std::string& name,
                           std::optional<std::string>& value, WordChoices choices,
                           const std::string& help) {
  return addWord(command, name, value, std::move(choices), help);
}

}  // namespace qm::cli
