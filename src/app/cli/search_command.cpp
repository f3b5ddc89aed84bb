#include <CLI/CLI.hpp>

#include "app/cli/commands.h"

namespace qm::cli {

void addSearchCommand(CLI::App& app, CliContext& context, int& exitCode) {
  (void)app;
  (void)context;
  (void)exitCode;
}

}  // namespace qm::cli
