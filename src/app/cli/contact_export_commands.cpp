#include <CLI/CLI.hpp>

#include "app/cli/export_commands.h"

namespace qm::cli {

void addContactExportCommands(CLI::App& exportCommand, CliContext& context, int& exitCode) {
  (void)exportCommand;
  (void)context;
  (void)exitCode;
}

}  // namespace qm::cli
