#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/companion.h"
#include "app/control_client.h"
#include "ui/phone_state.h"

namespace qm::cli {

namespace {

/// Where the phone stands, worded as the window and the tray word it, with
/// what to run when something is missing.
std::string phoneLine(const nlohmann::json& s) {
  const PhoneState state =
      phoneState(s.value("pairingState", std::string("unpaired")), s.value("bonded", false));
  std::string line = phoneStateLine(state, s.value("phone", std::string()));
  if (state == PhoneState::away) line += " (quillmere pairing reconnect)";
  if (state == PhoneState::notPaired || state == PhoneState::pairingFailed)
    line += " (quillmere pair)";
  return line;
}

/// The last full sync or import, or that there was none.
std::string lastSyncLine(const nlohmann::json& s) {
  const std::string at = s.value("lastSyncAt", std::string());
  if (at.empty()) return std::string(kNeverSyncedText);
  std::string text(kLastSyncText);
  text.replace(text.find("%1"), 2, at);
  return text;
}

}  // namespace

void addRunCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto* run = app.add_subcommand(
      "run", "Start the companion and keep it running until Ctrl-C (the default command)");
  run->callback([&] {
    exitCode = runCompanion(context.paths, context.out, context.err, context.outIsTerminal);
  });
}

void addStatusCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto* status = app.add_subcommand("status", "Show whether the companion runs, and its files");
  status->callback([&] {
    auto answer = sendControlRequest(context.paths.controlSocket(), {{"command", "status"}});
    if (!answer) {
      context.out << answer.error().message << "\n"
                  << "  Store:    " << context.paths.storeFile().string() << "\n"
                  << "  Settings: " << context.paths.defaultsFile().string() << "\n";
      exitCode = 3;
      return;
    }
    const auto& s = *answer;
    context.out << "Quillmere is running (process " << s.value("pid", 0L) << ").\n";
    if (s.contains("dataError"))
      context.out << "  Data error: " << s["dataError"].get<std::string>() << "\n";
    context.out << "  Device:   " << s.value("deviceID", "") << "\n"
                << "  Events:   " << s.value("events", 0L) << "\n"
                << "  Contacts: " << s.value("contacts", 0L) << "\n"
                << "  MCP server: "
                << (!s.value("mcpServerEnabled", false) ? "off"
                    : s.value("mcpServerRunning", false)
                        ? "on"
                        : "on, but not listening (trying again; see the log)")
                << "\n"
                << "  Phone:    " << phoneLine(s) << "\n"
                << "  " << lastSyncLine(s) << (s.value("isSyncing", false) ? " (syncing now)" : "")
                << "\n";
    if (s.contains("lastSyncError"))
      context.out << "  Sync error: " << s["lastSyncError"].get<std::string>() << "\n";
    if (const auto queued = s.value("queuedDeltas", 0); queued > 0)
      context.out << "  Waiting for the phone: " << queued << " change(s)\n";
    context.out << "  AI drafts: "
                << (s.value("aiEndpointConfigured", false)
                        ? "the AI endpoint (quillmere ai status)"
                        : "through the phone only (quillmere ai login adds an endpoint)")
                << "\n";
    if (s.contains("batchGeneration")) {
      const auto& batch = s["batchGeneration"];
      context.out << "  Writing drafts: " << batch.value("completed", 0) + batch.value("failed", 0)
                  << " of " << batch.value("total", 0) << " ("
                  << batch.value("currentContactName", "") << ")\n";
    } else if (s.contains("incompleteBatchEventID")) {
      context.out << "  Drafts batch: interrupted; it resumes when the phone or the AI endpoint "
                     "is there\n";
    }
    context.out << "  Store:    " << s.value("store", "") << "\n"
                << "  Settings: " << s.value("settings", "") << "\n"
                << "  Logs:     " << s.value("logs", "") << "\n";
  });
}

}  // namespace qm::cli
