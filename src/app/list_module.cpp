#include "app/list_module.h"

#include <nlohmann/json.hpp>

#include "app/application.h"
#include "app/control_server.h"
#include "app/demo_data.h"
#include "store/contact.h"
#include "store/store.h"
#include "ui/bulk_actions.h"

namespace qm {

namespace {

/// The contacts the request names, in the order named, with their selection.
Result<std::vector<Contact>> namedContacts(Store& store, const nlohmann::json& request,
                                           ContactListState& state) {
  const auto ids = request.find("ids");
  if (ids == request.end() || !ids->is_array() || ids->empty())
    return Error(ErrorCode::invalidArgument, "Name at least one contact id");
  std::vector<Contact> contacts;
  for (const auto& value : *ids) {
    const auto id = value.is_string() ? Uuid::parse(value.get<std::string>()) : std::nullopt;
    if (!id) return Error(ErrorCode::invalidArgument, "Not a contact id: " + value.dump());
    if (state.selection.contains(*id)) continue;
    auto found = QM_TRY(store.find<Contact>(*id));
    if (!found) return Error(ErrorCode::notFound, "No contact with id " + id->str());
    state.selection.insert(*id);
    contacts.push_back(std::move(*found));
  }
  return contacts;
}

}  // namespace

void ListModule::registerCommands(ControlServer& control) {
  control.handle(
      "contacts.mark", [this](const nlohmann::json& request, std::shared_ptr<ControlReply> reply) {
        Store& store = context_.app.store();
        const std::string action = request.value("action", "");
        if (action != "target" && action != "met")
          return reply->fail("The action must be target or met");
        ContactListState state;
        auto contacts = namedContacts(store, request, state);
        if (!contacts) return reply->fail(contacts.error().message);
        const ContactEdits edits = action == "target" ? markSelectedAsTarget(*contacts, state)
                                                      : markSelectedAsMet(*contacts, state, now());
        Status saved = store.transaction([&]() -> Status {
          for (const Contact& c : edits.contacts) QM_TRY(store.updateOnly(c, edits.fields));
          return {};
        });
        if (!saved) return reply->fail("Failed to save: " + saved.error().message);
        nlohmann::json answer = sync_.pushContacts(edits.contacts);
        answer["changed"] = edits.contacts.size();
        reply->succeed(answer);
      });

  // The window's "Try with Demo Data": the same event `quillmere demo-data`
  // adds, written here as the companion is the window's one writer.
  control.handle(
      "demo.add", [this](const nlohmann::json& request, std::shared_ptr<ControlReply> reply) {
        const auto contacts = request.find("contacts");
        std::size_t count = 25;
        if (contacts != request.end()) {
          if (!contacts->is_number_integer() || *contacts < 0 || *contacts > 100'000)
            return reply->fail("The number of contacts must be between 0 and 100000");
          count = contacts->get<std::size_t>();
        }
        const auto name = request.find("event");
        if (name != request.end() &&
            (!name->is_string() || name->get_ref<const std::string&>().empty()))
          return reply->fail("The event's name must be a text that is not empty");
        auto made = addDemoData(context_.app.store(), count,
                                name != request.end() ? name->get<std::string>() : "Demo Expo");
        if (!made) return reply->fail(made.error().message);
        reply->succeed({{"eventID", made->event.id.str()},
                        {"eventName", made->event.name},
                        {"contactCount", made->contactIDs.size()}});
      });
}

}  // namespace qm
