// The `quillmere` command: the companion itself (`run`, the default) and the
// commands that talk to it or work on its files.
#include <unistd.h>
#include <CLI/CLI.hpp>
#include <iostream>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/companion.h"
#include "app/relaunch.h"
#include "common/version.h"

int main(int argc, char** argv) {
  qm::rememberProcessArguments(argc, argv);
  qm::cli::CliContext context{qm::AppPaths::fromEnvironment(), std::cin, std::cout, std::cerr,
                              isatty(STDOUT_FILENO) == 1};
  int exitCode = 0;

  CLI::App app{"Quillmere: the desktop companion of the Quillmere phone app"};
  app.require_subcommand(0, 1);
  app.set_version_flag("--version", "quillmere " + std::string(qm::quillmereVersion()));
  qm::cli::addRunCommand(app, context, exitCode);
  qm::cli::addStatusCommand(app, context, exitCode);
  qm::cli::addSettingsCommand(app, context, exitCode);
  qm::cli::addResetCommand(app, context, exitCode);
  qm::cli::addMcpCommand(app, context, exitCode);
  qm::cli::addDemoCommand(app, context, exitCode);
  qm::cli::addPairCommand(app, context, exitCode);
  qm::cli::addSyncCommands(app, context, exitCode);
  qm::cli::addAiCommand(app, context, exitCode);
  qm::cli::addDraftsCommand(app, context, exitCode);
  qm::cli::addMailCommand(app, context, exitCode);
  qm::cli::addListCommands(app, context, exitCode);
  qm::cli::addReportCommand(app, context, exitCode);
  qm::cli::addSearchCommand(app, context, exitCode);
  qm::cli::addExportCommands(app, context, exitCode);
  qm::cli::addWatchCommand(app, context, exitCode);
  qm::cli::addServiceCommand(app, context, exitCode);

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
