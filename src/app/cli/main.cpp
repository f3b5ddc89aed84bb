// The `quillmere` command: the companion itself (`run`, the default) and the
// commands that talk to it or work on its files.
#include <unistd.h>
#include <CLI/CLI.hpp>
#include <iostream>

#include "app/cli/cli_context.h"
#include "app/cli/command_line.h"
#include "app/companion.h"
#include "app/relaunch.h"

int main(int argc, char** argv) {
  qm::rememberProcessArguments(argc, argv);
  qm::cli::CliContext context{qm::AppPaths::fromEnvironment(), std::cin, std::cout, std::cerr,
                              isatty(STDOUT_FILENO) == 1};
  int exitCode = 0;

  CLI::App app{qm::cli::kProgramDescription};
  qm::cli::declareCommandLine(app, context, exitCode);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end well; a command line that cannot be read is a
    // usage error, status 2, as for the commands' own checks.
    return app.exit(e) == 0 ? 0 : 2;
  }
  if (app.get_subcommands().empty()) {
    // No subcommand: run the companion.
    exitCode = qm::runCompanion(context.paths, context.out, context.err, context.outIsTerminal);
  }
  return exitCode;
}
