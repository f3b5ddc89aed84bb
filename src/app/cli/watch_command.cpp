#include <CLI/CLI.hpp>
#include <ctime>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/change_feed_client.h"
#include "app/cli/cli_context.h"
#include "app/cli/commands.h"

namespace qm::cli {

namespace {

std::string text(const nlohmann::json& event, const char* key) {
  const auto it = event.find(key);
  return it != event.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::int64_t number(const nlohmann::json& event, const char* key) {
  const auto it = event.find(key);
  return it != event.end() && it->is_number_integer() ? it->get<std::int64_t>() : 0;
}

/// One change event as a person reads it.
std::string describe(const nlohmann::json& event) {
  const std::string kind = text(event, "event");
  std::ostringstream line;
  if (kind == "records") {
    line << "Records changed:";
    const char* separator = " ";
    for (const auto& table : event.value("tables", nlohmann::json::array())) {
      line << separator << (table.is_string() ? table.get<std::string>() : table.dump());
      separator = ", ";
    }
  } else if (kind == "pairing") {
    line << "Pairing: " << text(event, "stateText");
    if (const std::string phone = text(event, "phone"); !phone.empty())
      line << " (" << phone << ")";
  } else if (kind == "sync") {
    line << "Sync: " << (event.value("isSyncing", false) ? "syncing" : "idle");
    const std::string at = text(event, "lastSyncAt");
    line << ", last sync " << (at.empty() ? "never" : at);
    if (const auto total = number(event, "totalImportCount"); total > 0)
      line << ", importing " << total - number(event, "pendingImportCount") << " of " << total;
    if (const auto queued = number(event, "queuedDeltas"); queued > 0)
      line << ", " << queued << " changes waiting for the phone";
    if (const std::string error = text(event, "lastSyncError"); !error.empty())
      line << ", error: " << error;
  } else if (kind == "drafts") {
    if (event.value("generating", false)) {
      line << "Drafts: batch " << number(event, "completed") << " of " << number(event, "total");
      if (const auto failed = number(event, "failed"); failed > 0)
        line << " (" << failed << " failed)";
      if (const std::string name = text(event, "currentContactName"); !name.empty())
        line << ", writing for " << name;
    } else {
      line << "Drafts: "
           << (text(event, "generatingDraftForContactID").empty() ? "no batch running"
                                                                  : "writing one draft");
    }
  } else {
    line << event.dump();
  }
  return line.str();
}

std::string clockTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char out[16];
  std::strftime(out, sizeof out, "%H:%M:%S", &local);
  return out;
}

}  // namespace

void addWatchCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto json = std::make_shared<bool>(false);
  auto* watch = app.add_subcommand(
      "watch", "Print the companion's changes (records, pairing, sync, drafts) until Ctrl-C");
  watch->add_flag("--json", *json, "Print each change as the companion sends it (JSON lines)");
  watch->callback([&, json] {
    auto feed = ChangeFeedClient::subscribe(context.paths.controlSocket());
    if (!feed) {
      context.err << feed.error().message << "\n";
      exitCode = feed.error().code == ErrorCode::unavailable ? 3 : 1;
      return;
    }
    if (!*json) context.out << "Watching Quillmere's changes; press Ctrl-C to stop." << std::endl;
    for (;;) {
      auto event = feed->next(std::chrono::hours(1));
      if (!event) {
        context.err << event.error().message << "\n";
        exitCode = 1;
        return;
      }
      if (!*event) continue;
      if (*json)
        context.out << (*event)->dump() << std::endl;
      else
        context.out << clockTime() << "  " << describe(**event) << std::endl;
    }
  });
}

}  // namespace qm::cli
