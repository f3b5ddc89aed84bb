#include "app/cli/command_line.h"

#include <CLI/CLI.hpp>
#include <string>

#include "app/cli/commands.h"
#include "common/version.h"

namespace qm::cli {

void declareCommandLine(CLI::App& app, CliContext& context, int& exitCode) {
  app.require_subcommand(0, 1);
  app.set_version_flag("--version", "quillmere " + std::string(quillmereVersion()));
  addRunCommand(app, context, exitCode);
  addStatusCommand(app, context, exitCode);
  addSettingsCommand(app, context, exitCode);
  addResetCommand(app, context, exitCode);
  addMcpCommand(app, context, exitCode);
  addDemoCommand(app, context, exitCode);
  addPairCommand(app, context, exitCode);
  addSyncCommands(app, context, exitCode);
  addAiCommand(app, context, exitCode);
  addDraftsCommand(app, context, exitCode);
  addMailCommand(app, context, exitCode);
  addListCommands(app, context, exitCode);
  addReportCommand(app, context, exitCode);
  addSearchCommand(app, context, exitCode);
  addExportCommands(app, context, exitCode);
  addWatchCommand(app, context, exitCode);
  addServiceCommand(app, context, exitCode);
  addUpdateCommand(app, context, exitCode);
}

}  // namespace qm::cli
