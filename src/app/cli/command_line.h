#pragma once

namespace CLI {
class App;
}

namespace qm::cli {

struct CliContext;

/// The one-line description `quillmere --help` opens with.
inline constexpr const char* kProgramDescription =
    "Quillmere: the desktop companion of the Quillmere phone app";

/// Declares the whole command line of `quillmere` on `app`: the --version flag
/// and every subcommand with its options. The program parses with it; the man
/// page and the shell completions are written from the same declaration, so
/// they list exactly what the program accepts.
void declareCommandLine(CLI::App& app, CliContext& context, int& exitCode);

}  // namespace qm::cli
