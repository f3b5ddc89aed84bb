// `quillmere update check`: asks the package manager whether a newer Quillmere
// is available, and says how to install it. It never installs anything.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <system_error>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/package_update.h"

namespace qm::cli {

void addUpdateCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto* update = app.add_subcommand(
      "update", "Updates come through the package manager: see whether one is available");
  update->require_subcommand(1);
  auto json = std::make_shared<bool>(false);
  auto* check = update->add_subcommand(
      "check", "Ask APT whether a newer Quillmere package is available (never installs)");
  check->add_flag("--json", *json, "Print the outcome as one JSON object, for the window");
  check->callback([&, json] {
    std::error_code ec;
    UpdateCheckSetup setup;
    setup.program = std::filesystem::read_symlink("/proc/self/exe", ec);
    const UpdateCheck outcome = checkForUpdate(setup);
    if (*json) {
      context.out << nlohmann::json{{"state", updateStateName(outcome.state)},
                                    {"installed", outcome.installed},
                                    {"candidate", outcome.candidate},
                                    {"program", outcome.program.string()},
                                    {"buildTree", outcome.buildTree},
                                    {"problem", outcome.problem}}
                         .dump()
                  << "\n";
    } else {
      (outcome.state == UpdateCheck::State::failed ? context.err : context.out)
          << describeUpdateCheck(outcome);
    }
    exitCode = outcome.state == UpdateCheck::State::failed ? 1 : 0;
  });
}

}  // namespace qm::cli
