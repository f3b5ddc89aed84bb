#include <CLI/CLI.hpp>

#include "app/cli/export_commands.h"

namespace qm::cli {

void addDraftAndDataExportCommands(CLI::App& app, CLI::App& exportCommand, CliContext& context,
                                   int& exitCode) {
  (void)app;
  (void)exportCommand;
  (void)context;
  (void)exitCode;
}

}  // namespace qm::cli
