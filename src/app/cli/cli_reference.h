#pragma once

#include <string>
#include <string_view>

namespace CLI {
class App;
}

namespace qm::cli {

// The reference pages and shell completions of `quillmere`, written from the
// declaration the program parses with (`declareCommandLine`), so that they
// name every command and option it accepts and nothing else. The build runs
// them through `quillmere-cli-reference`; the package installs what they write.

/// quillmere(1) in roff: every visible command, nested ones included, with its
/// options and arguments, then the files and environment the program uses.
std::string manPage(const CLI::App& app, std::string_view version);

/// A bash completion script: commands at each level, their options, and file
/// names for the arguments and option values.
std::string bashCompletion(const CLI::App& app);

/// A zsh completion script (`#compdef quillmere`) with the same words and
/// their descriptions.
std::string zshCompletion(const CLI::App& app);

}  // namespace qm::cli
