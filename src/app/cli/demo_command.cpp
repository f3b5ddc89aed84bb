#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/demo_data.h"
#include "store/store.h"

namespace qm::cli {

namespace {

struct DemoOptions {
  std::size_t contacts = 25;
  std::string eventName = "Demo Expo";
  bool json = false;
};

}  // namespace

void addDemoCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto options = std::make_shared<DemoOptions>();
  auto* demo = app.add_subcommand(
      "demo-data", "Add a demo event with made-up contacts (to try the lists, search and MCP)");
  demo->add_option("-n,--contacts", options->contacts, "How many contacts (default 25)");
  demo->add_option("--event", options->eventName, "The event's name (default \"Demo Expo\")");
  demo->add_flag("--json", options->json, "Print the new identifiers as JSON");
  demo->callback([&, options] {
    auto store = Store::open(context.paths.storeFile());
    if (!store) {
      context.err << "Cannot open the store: " << store.error().message << "\n";
      exitCode = 1;
      return;
    }
    auto made = addDemoData(**store, options->contacts, options->eventName);
    if (!made) {
      context.err << made.error().message << "\n";
      exitCode = 1;
      return;
    }
    const Event& event = made->event;
    const std::vector<Uuid>& contactIDs = made->contactIDs;
    if (options->json) {
      nlohmann::json ids = nlohmann::json::array();
      for (const auto& id : contactIDs) ids.push_back(id.str());
      context.out << nlohmann::json{{"eventID", event.id.str()}, {"contactIDs", ids}}.dump()
                  << "\n";
    } else {
      context.out << "Added \"" << event.name << "\" (" << event.id.str() << ") with "
                  << contactIDs.size() << " contacts.\n";
    }
  });
}

}  // namespace qm::cli
