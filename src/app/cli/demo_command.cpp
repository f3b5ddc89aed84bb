#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/store.h"

namespace qm::cli {

namespace {

struct DemoOptions {
  std::size_t contacts = 25;
  std::string eventName = "Demo Expo";
  bool json = false;
};

constexpr std::array<const char*, 12> kFirstNames{"Ada",  "Jean",  "Øystein", "Mei",
                                                  "Sam",  "Lucía", "Noah",    "Amara",
                                                  "Yuki", "Omar",  "Greta",   "Tomás"};
constexpr std::array<const char*, 12> kLastNames{"Lovelace", "Müller", "Berg",  "Tanaka",
                                                 "Carter",   "García", "Smith", "Okafor",
                                                 "Sato",     "Haddad", "Olsen", "Silva"};
constexpr std::array<const char*, 6> kCompanies{"Acme Robotics", "Northwind",    "Globex", "",
                                                "Initech",       "Umbrella Labs"};

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
    Event event = Event::create(options->eventName);
    event.location = "Hall 4";
    std::vector<Uuid> contactIDs;
    Status done = (*store)->transaction([&]() -> Status {
      QM_TRY((*store)->insert(event));
      for (std::size_t i = 0; i < options->contacts; ++i) {
        Contact c = Contact::create(kFirstNames[i % kFirstNames.size()],
                                    kLastNames[(i / kFirstNames.size() + i) % kLastNames.size()],
                                    kCompanies[i % kCompanies.size()], event.id);
        c.title = i % 3 == 0 ? "CTO" : "Head of Sales";
        c.email = "person" + std::to_string(i) + "@example.com";
        c.status = i % 4 == 0 ? MeetingStatus::met : MeetingStatus::notMet;
        c.isTarget = i % 5 == 0;
        c.source = ContactSource::scanned;
        if (i % 7 == 0) c.rank = static_cast<std::int64_t>(i / 7 + 1);
        if (c.status == MeetingStatus::met) c.interactionRating = 3 + static_cast<int>(i % 3);
        QM_TRY((*store)->insert(c));
        ContactNote note;
        note.id = Uuid::random();
        note.syncID = Uuid::random();
        note.contactID = c.id;
        note.createdAt = note.updatedAt = now();
        note.textContent = "Met at the booth; interested in a pilot.";
        QM_TRY((*store)->insert(note));
        contactIDs.push_back(c.id);
      }
      return {};
    });
    if (!done) {
      context.err << done.error().message << "\n";
      exitCode = 1;
      return;
    }
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
