#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/application.h"
#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/cli/companion_restart.h"
#include "app/control_client.h"

namespace qm::cli {

void addResetCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto yes = std::make_shared<bool>(false);
  auto* reset = app.add_subcommand(
      "reset",
      "Reset All Local Data: Permanently deletes all events, contacts, drafts, and settings "
      "from this computer. This cannot be undone.");
  reset->add_flag("-y,--yes", *yes, "Do not ask for confirmation");
  reset->callback([&, yes] {
    if (!*yes &&
        askChoice(context, "Reset All Data?",
                  "This will permanently delete all events, contacts, drafts, and settings from "
                  "this computer. You will need to re-pair with your iPhone to restore data.",
                  {"Cancel", "Reset Everything"}, "Cancel") != "Reset Everything") {
      context.out << "Nothing was deleted.\n";
      exitCode = 1;
      return;
    }
    const auto socket = context.paths.controlSocket();
    if (companionIsRunning(socket)) {
      auto before = currentLaunch(socket);
      auto answer = before ? sendControlRequest(socket, {{"command", "reset"}})
                           : Result<nlohmann::json>(before.error());
      if (!answer) {
        context.err << answer.error().message << "\n";
        exitCode = 1;
        return;
      }
      context.out << "All local data was deleted. Restarting Quillmere…" << std::endl;
      if (auto back = waitForRestart(socket, *before, std::chrono::seconds(30)); !back) {
        context.err << back.error().message << "\n";
        exitCode = 1;
        return;
      }
      context.out << "Quillmere has restarted.\n";
      return;
    }
    QuillmereMacApp offline(context.paths);
    if (auto done = offline.resetAllData(); !done) {
      context.err << done.error().message << "\n";
      exitCode = 1;
      return;
    }
    context.out << "All local data was deleted.\n";
  });
}

}  // namespace qm::cli
