// The commands that need the live session with the phone: sync, the phone's
// event list and import, pushing a contact. They ask the running companion.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/cli/companion_requests.h"
#include "app/cli/event_argument.h"
#include "app/control_client.h"
#include "store/event.h"
#include "store/store.h"

namespace qm::cli {

namespace {

std::string text(const nlohmann::json& object, const char* key) {
  return object.value(key, std::string());
}

int syncNow(CliContext& context) {
  int exitCode = 0;
  auto answer = askCompanion(context, {{"command", "sync.now"}}, exitCode);
  if (!answer) return exitCode;
  context.out << "Asked the phone for fresh snapshots of the events on this computer; they "
                 "arrive in the background.\n";
  if (const auto queued = answer->value("queuedDeltas", 0); queued > 0)
    context.out << queued << " change(s) still wait for the phone.\n";
  return 0;
}

int remoteEvents(CliContext& context) {
  int exitCode = 0;
  auto answer = askCompanion(context, {{"command", "events.remote"}}, exitCode);
  if (!answer) return exitCode;
  const auto& events = (*answer)["events"];
  if (events.empty()) {
    context.out << "The phone has no events.\n";
    return 0;
  }
  for (const auto& e : events) {
    context.out << text(e, "id") << "  " << text(e, "name");
    if (e.contains("startDate")) {
      context.out << "  " << text(e, "startDate").substr(0, 10);
      if (e.contains("endDate")) context.out << " – " << text(e, "endDate").substr(0, 10);
    }
    if (e.contains("location")) context.out << "  " << text(e, "location");
    context.out << "  " << e.value("contactCount", 0) << " contacts";
    if (e.value("alreadyOnThisComputer", false)) context.out << "  (already on this computer)";
    context.out << "\n";
  }
  return 0;
}

/// The events stored on this computer, read from the store.
int localEvents(CliContext& context) {
  auto store = Store::open(context.paths.storeFile());
  if (!store) {
    context.err << store.error().message << "\n";
    return 1;
  }
  auto events = (*store)->fetch<Event>();
  if (!events) {
    context.err << events.error().message << "\n";
    return 1;
  }
  if (events->empty()) context.out << "No events on this computer yet.\n";
  for (const Event& event : *events) context.out << event.id.str() << "  " << event.name << "\n";
  return 0;
}

int importEvents(CliContext& context, const std::vector<std::string>& ids) {
  int exitCode = 0;
  auto answer = askCompanion(context, {{"command", "events.import"}, {"ids", ids}}, exitCode,
                             [&](const nlohmann::json& progress) {
                               const auto total = progress.value("totalImportCount", 0);
                               const auto pending = progress.value("pendingImportCount", 0);
                               const auto& names = progress["importedEventNames"];
                               context.out << progressBar(total - pending, total) << " "
                                           << total - pending << "/" << total;
                               if (!names.empty())
                                 context.out << "  " << names.back().get<std::string>();
                               context.out << std::endl;
                             });
  if (!answer) return exitCode;
  const auto& names = (*answer)["importedEventNames"];
  const auto failed = answer->value("failedEvents", nlohmann::json::array());
  const auto received = static_cast<std::int64_t>(names.size() + failed.size());
  const auto asked = static_cast<std::int64_t>(ids.size());
  context.out << progressBar(received, asked) << " " << received << "/" << asked << "\n";
  if (failed.empty()) context.out << "Import Complete\n";
  context.out << "Imported " << names.size() << (names.size() == 1 ? " event" : " events");
  const char* separator = ": ";
  for (const auto& name : names) {
    context.out << separator << name.get<std::string>();
    separator = ", ";
  }
  context.out << "\n";
  if (failed.empty()) return 0;
  context.err << "Could not import " << failed.size()
              << (failed.size() == 1 ? " event:\n" : " events:\n");
  for (const auto& failure : failed)
    context.err << "  " << text(failure, "name") << ": " << text(failure, "reason") << "\n";
  return 1;
}

/// The phone's ids of the events `typed` names: ids pass as they are; when
/// something else is typed, each is found in the phone's list, by its id, its
/// name or part of it. Nothing after printing why.
std::optional<std::vector<std::string>> phoneEventIDs(CliContext& context,
                                                      const std::vector<std::string>& typed,
                                                      int& exitCode) {
  if (std::ranges::all_of(typed, [](const std::string& t) { return Uuid::parse(t).has_value(); }))
    return typed;
  auto answer = askCompanion(context, {{"command", "events.remote"}}, exitCode);
  if (!answer) return std::nullopt;
  std::vector<EventChoice> events;
  for (const auto& e : (*answer)["events"]) events.push_back({text(e, "id"), text(e, "name")});
  std::vector<std::string> ids;
  for (const std::string& t : typed) {
    auto picked = pickEvent(events, t, kEventsOnThePhone);
    if (!picked) {
      context.err << picked.error().message << "\n";
      exitCode = 1;
      return std::nullopt;
    }
    ids.push_back(events[*picked].id);
  }
  return ids;
}

/// The phone's events, numbered, with the ones already here marked; the user
/// picks by number (or "all"), then the chosen ones are imported.
int chooseAndImport(CliContext& context) {
  int exitCode = 0;
  auto answer = askCompanion(context, {{"command", "events.remote"}}, exitCode);
  if (!answer) return exitCode;
  const auto& events = (*answer)["events"];
  std::vector<std::string> importable;
  for (const auto& e : events)
    if (!e.value("alreadyOnThisComputer", false)) importable.push_back(text(e, "id"));
  if (importable.empty()) {
    if (events.empty()) {
      context.out << "No events available\nThe paired phone has no events yet.\n";
    } else {
      context.out << "All events imported\n"
                     "Every event on the paired iPhone is already on this computer.\n";
    }
    return 0;
  }
  for (std::size_t i = 0; i < events.size(); ++i) {
    const auto& e = events[i];
    context.out << (i + 1) << ". " << text(e, "name") << "  " << e.value("contactCount", 0)
                << " contacts";
    if (e.value("alreadyOnThisComputer", false)) context.out << "  Already on this computer";
    context.out << "\n";
  }
  context.out << "Import which events? (numbers separated by spaces, or \"all\"): " << std::flush;
  std::string line;
  if (!std::getline(context.in, line)) {
    context.err << "No events chosen.\n";
    return 1;
  }
  std::vector<std::string> chosen;
  std::istringstream words(line);
  for (std::string word; words >> word;) {
    if (word == "all") {
      chosen = importable;
      break;
    }
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), number);
    if (error != std::errc{} || end != word.data() + word.size() || number < 1 ||
        number > events.size()) {
      context.err << "Not an event number: " << word << "\n";
      return 1;
    }
    const auto& e = events[number - 1];
    if (e.value("alreadyOnThisComputer", false)) {
      context.err << text(e, "name") << " is already on this computer.\n";
      return 1;
    }
    chosen.push_back(text(e, "id"));
  }
  if (chosen.empty()) {
    context.err << "No events chosen.\n";
    return 1;
  }
  return importEvents(context, chosen);
}

int pushContact(CliContext& context, const std::string& id) {
  int exitCode = 0;
  auto answer = askCompanion(context, {{"command", "contact.push"}, {"id", id}}, exitCode);
  if (!answer) return exitCode;
  if (answer->value("queued", false))
    context.out << "Could not reach the phone; " << text(*answer, "name")
                << " goes to it with the next sync.\n";
  else
    context.out << "Pushed " << text(*answer, "name") << " to the phone.\n";
  return 0;
}

}  // namespace

void addSyncCommands(CLI::App& app, CliContext& context, int& exitCode) {
  app.add_subcommand("sync", "Ask the paired phone for fresh copies of the events on this computer")
      ->callback([&] { exitCode = syncNow(context); });

  auto remote = std::make_shared<bool>(false);
  auto* events = app.add_subcommand("events", "List the events on this computer or on the phone");
  events->add_flag("--remote", *remote, "List the paired phone's events instead");
  events->callback(
      [&, remote] { exitCode = *remote ? remoteEvents(context) : localEvents(context); });

  auto ids = std::make_shared<std::vector<std::string>>();
  auto* import = app.add_subcommand(
      "import", "Import events from the paired phone (without EVENT: choose from its list)");
  import->add_option("EVENT", *ids,
                     "The phone's events: their ids, names or parts of them (see events --remote)");
  import->callback([&, ids] {
    if (ids->empty()) {
      exitCode = chooseAndImport(context);
  return;
}
const auto chosen = phoneEventIDs(context, *ids, exitCode);
if (chosen) exitCode = importEvents(context, *chosen);
}  // namespace qm::cli
);

auto contactID = std::make_shared<std::string>();
auto* push = app.add_subcommand("push", "Send a contact edited here to the paired phone");
push->add_option("CONTACT_ID", *contactID, "The contact's identifier")->required();
push->callback([&, contactID] { exitCode = pushContact(context, *contactID); });
}

}  // namespace qm::cli
