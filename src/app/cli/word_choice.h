#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/enum_info.h"
#include "common/result.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace qm::cli {

/// One word an option accepts: the value the command works with, and other
/// words that mean the same (not listed, only understood).
struct WordChoice {
  std::string value;
  std::vector<std::string> otherWords = {};
};

/// `word` in its dashed form: lower case, its words joined by dashes.
/// "Highest Rated", "highestRated" and "HIGHEST_RATED" give "highest-rated",
/// "A–Z" gives "a-z".
std::string dashedWord(std::string_view word);

/// The words an option takes from a fixed set. A person may type one in any
/// letter case, with dashes, spaces or underscores between its words or with
/// none: "highest-rated", "Highest Rated" and "highestRated" are one word.
class WordChoices {
 public:
  /// `what` names a word of the set in messages: "an ordering", "a tone".
  WordChoices(std::string what, std::vector<WordChoice> choices);

  /// The cases of `E` by their raw values, and `otherWords` as pairs of a
  /// word and the raw value it stands for.
  template <DescribedEnum E>
  static WordChoices of(std::string what,
                        const std::vector<std::pair<std::string, std::string>>& otherWords = {}) {
    std::vector<WordChoice> choices;
    for (const auto& c : EnumInfo<E>::cases) {
      WordChoice choice{std::string(c.raw)};
      for (const auto& [word, raw] : otherWords)
        if (raw == c.raw) choice.otherWords.push_back(word);
      choices.push_back(std::move(choice));
    }
    return WordChoices(std::move(what), std::move(choices));
  }

  /// The value `typed` stands for; for an unknown word (invalidArgument) the
  /// text says so and lists the accepted words.
  Result<std::string> match(std::string_view typed) const;

  /// The accepted words in their dashed forms: "name, company, targets-first".
  std::string listed() const;

 private:
  std::string what_;
  std::vector<WordChoice> choices_;
};

/// Adds to `command` an option (or, for a `name` without leading dashes, a
/// positional argument) that takes one word of `choices`: what was typed is
/// replaced by its value as the command line is read, and an unknown word
/// stops the command with the accepted ones. The help is `help` followed by the
/// accepted words.
CLI::Option* addWordOption(CLI::App& command, const std::string& name, std::string& value,
                           WordChoices choices, const std::string& help);
CLI::Option* addWordOption(CLI::App& command, const std::string& name,
                           std::optional<std::string>& value, WordChoices choices,
                           const std::string& help);

}  // namespace qm::cli
