// `quillmere export`: one subcommand per format, and `quillmere restore`.
#include "app/cli/export_commands.h"

#include <CLI/CLI.hpp>

#include "app/cli/commands.h"

namespace qm::cli {

void addExportCommands(CLI::App& app, CliContext& context, int& exitCode) {
  auto* exportCommand =
      app.add_subcommand("export", "Write contacts, follow-ups, drafts or all data to files");
  exportCommand->require_subcommand(1);
  addContactExportCommands(*exportCommand, context, exitCode);
  addCalendarExportCommand(*exportCommand, context, exitCode);
  addDraftAndDataExportCommands(app, *exportCommand, context, exitCode);
}

}  // namespace qm::cli
