#pragma once

#include <string>
#include <vector>

namespace qm {

/// What a finished program printed and how it ended.
struct ProgramRun {
  /// The exit status, 128 + the signal when killed, or -1 when the program
  /// could not be started (not found on PATH, not executable).
  int exitCode = -1;
  std::string out;
  std::string err;  ///< empty when `mergeErrors` sent it to `out`
};

/// Runs `argv[0]` (looked up on PATH) with `argv`, standard input empty, and
/// waits for it. Blocks: the caller is a command-line command or a worker,
/// never the companion's loop. With `mergeErrors`, standard error goes to
/// `out` in the order printed.
ProgramRun runProgram(std::vector<std::string> argv, bool mergeErrors = false);

}  // namespace qm
