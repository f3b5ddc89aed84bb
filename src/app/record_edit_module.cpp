#include "app/record_edit_module.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <variant>

#include "app/application.h"
#include "app/control_server.h"
#include "app/request_records.h"
#include "app/sync_module.h"
#include "common/date.h"
#include "common/enum_info.h"
#include "common/text.h"
#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "settings/pipeline_manager.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/note_authoring.h"
#include "store/opportunity.h"
#include "store/record_checks.h"
#include "store/relationships.h"

namespace qm {

namespace {

using Json = nlohmann::json;

constexpr std::int64_t kLowestRating = 1;
constexpr std::int64_t kHighestRating = 5;

Error invalid(std::string message) {
  return Error(ErrorCode::invalidArgument, std::move(message));
}

/// Text of an optional field as given: a string, or null / "" for none.
Result<std::optional<std::string>> optionalText(const Json& value, std::string_view name) {
  if (value.is_null()) return std::optional<std::string>{};
  if (!value.is_string()) return invalid(std::string(name) + " must be text or null");
  std::string text = std::string(trimUnicodeWhitespace(value.get<std::string>()));
  if (text.empty()) return std::optional<std::string>{};
  return std::optional<std::string>{std::move(text)};
}

Json toJson(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json();
}

// --- contact fields ---------------------------------------------------------

/// One field of a contact the desk may change: how its value reads from and
/// into a request.
struct ContactField {
  std::string_view name;
  std::function<Json(const Contact&)> get;
  std::function<Status(Contact&, const Json&)> set;
};

ContactField requiredText(std::string_view name, std::string Contact::*member) {
  return {name, [member](const Contact& c) { return Json(c.*member); },
          [member, name](Contact& c, const Json& value) -> Status {
            if (!value.is_string()) return invalid(std::string(name) + " must be text");
            c.*member = std::string(trimUnicodeWhitespace(value.get<std::string>()));
            return {};
          }};
}

ContactField optionalText(std::string_view name, std::optional<std::string> Contact::*member) {
  return {name, [member](const Contact& c) { return toJson(c.*member); },
          [member, name](Contact& c, const Json& value) -> Status {
            c.*member = QM_TRY(optionalText(value, name));
            return {};
          }};
}

ContactField flag(std::string_view name, bool Contact::*member) {
  return {name, [member](const Contact& c) { return Json(c.*member); },
          [member, name](Contact& c, const Json& value) -> Status {
            if (!value.is_boolean()) return invalid(std::string(name) + " must be true or false");
            c.*member = value.get<bool>();
            return {};
          }};
}

const std::vector<ContactField>& contactFields() {
  static const std::vector<ContactField> fields = [] {
    std::vector<ContactField> f{
        requiredText("firstName", &Contact::firstName),
        requiredText("lastName", &Contact::lastName),
        requiredText("company", &Contact::company),
        optionalText("title", &Contact::title),
        optionalText("email", &Contact::email),
        optionalText("phone", &Contact::phone),
        optionalText("linkedinURL", &Contact::linkedinURL),
        optionalText("city", &Contact::city),
        optionalText("stateRegion", &Contact::stateRegion),
        optionalText("country", &Contact::country),
        optionalText("postalCode", &Contact::postalCode),
        optionalText("ownedBy", &Contact::ownedBy),
        optionalText("tier", &Contact::tier),
        optionalText("aiActionPlan", &Contact::aiActionPlan),
        flag("isTarget", &Contact::isTarget),
        flag("isFavorite", &Contact::isFavorite),
    };
    f.push_back({"status", [](const Contact& c) { return Json(std::string(rawValue(c.status))); },
                 [](Contact& c, const Json& value) -> Status {
                   const auto status = value.is_string()
                                           ? parseEnum<MeetingStatus>(value.get<std::string>())
                                           : std::nullopt;
                   if (!status)
                     return invalid("status must be met, notMet, declined or noShow, not " +
                                    value.dump());
                   c.status = *status;
                   return {};
                 }});
    f.push_back(
        {"interactionRating",
         [](const Contact& c) { return c.interactionRating ? Json(*c.interactionRating) : Json(); },
         [](Contact& c, const Json& value) -> Status {
           if (value.is_null()) {
             c.interactionRating.reset();
             return {};
           }
           if (!value.is_number_integer() || value.get<std::int64_t>() < kLowestRating ||
               value.get<std::int64_t>() > kHighestRating)
             return invalid("interactionRating must be a whole number from 1 to 5");
           c.interactionRating = value.get<std::int64_t>();
           return {};
         }});
    f.push_back({"metAt",
                 [](const Contact& c) { return c.metAt ? Json(formatISO8601(*c.metAt)) : Json(); },
                 [](Contact& c, const Json& value) -> Status {
                   if (value.is_null()) {
                     c.metAt.reset();
                     return {};
                   }
                   const auto date =
                       value.is_string() ? parseISO8601(value.get<std::string>()) : std::nullopt;
                   if (!date) return invalid("metAt must be a date-time or null");
                   c.metAt = *date;
                   return {};
                 }});
    return f;
  }();
  return fields;
}

const ContactField* contactField(std::string_view name) {
  for (const ContactField& field : contactFields())
    if (field.name == name) return &field;
  return nullptr;
}

/// Applies every given field to `contact` and returns the old values of those
/// that changed; nothing is applied when one of them is refused.
Result<Json> applyContactEdits(Contact& contact, const Json& fields) {
  if (!fields.is_object() || fields.empty())
    return invalid("fields must name at least one field to change");
  Contact edited = contact;
  Json previous = Json::object();
  for (const auto& [name, value] : fields.items()) {
    const ContactField* field = contactField(name);
    if (!field) return invalid("A contact's " + name + " cannot be changed here");
    const Json before = field->get(edited);
    QM_TRY(field->set(edited, value));
    if (field->get(edited) != before && !previous.contains(name)) previous[name] = before;
  }
  QM_TRY(checkContact(edited));
  // Marking a contact met records when, unless the edit itself says when.
  if (previous.contains("status") && edited.status == MeetingStatus::met && !edited.metAt &&
      !fields.contains("metAt")) {
    previous["metAt"] = nullptr;
    edited.metAt = now();
  }
  contact = std::move(edited);
  return previous;
}

// --- opportunities ----------------------------------------------------------

/// Applies the opportunity fields a request gives; refuses a wrong one, or an
/// opportunity that `checkOpportunity` refuses, before anything changes. Of a
/// `stored` opportunity only what the request changes is checked.
Status applyOpportunityFields(Opportunity& opportunity, const Json& request, bool stored) {
  Opportunity edited = opportunity;
  for (const char* key : {"title", "companyName", "currency", "stage", "nextStep"}) {
    const auto value = request.find(key);
    if (value == request.end()) continue;
    if (!value->is_string()) return invalid(std::string(key) + " must be text");
    std::string text(trimUnicodeWhitespace(value->get<std::string>()));
    if (std::string_view(key) == "title") edited.title = std::move(text);
    if (std::string_view(key) == "companyName") edited.companyName = std::move(text);
    if (std::string_view(key) == "currency") edited.currency = std::move(text);
    if (std::string_view(key) == "stage") edited.stage = std::move(text);
    if (std::string_view(key) == "nextStep") edited.nextStep = std::move(text);
  }
  if (const auto value = request.find("value"); value != request.end()) {
    if (value->is_null()) {
      edited.value.reset();
    } else if (value->is_number()) {
      edited.value = value->get<double>();
    } else {
      return invalid("value must be an amount or null");
    }
  }
  if (const auto value = request.find("notes"); value != request.end())
    edited.notes = QM_TRY(optionalText(*value, "notes"));
  if (const auto value = request.find("timeline"); value != request.end())
    edited.timeline = QM_TRY(optionalText(*value, "timeline"));
  if (const auto value = request.find("confidence"); value != request.end())
    edited.confidence = QM_TRY(optionalText(*value, "confidence"));
  QM_TRY(checkOpportunity(edited, stored ? &opportunity : nullptr));
  opportunity = std::move(edited);
  return {};
}

Json stagesJson(const std::vector<PipelineStage>& stages) {
  return Json::parse(encodeStages(stages));
}

bool isColor(const std::string& text) {
  return text.size() == 6 &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); });
}

/// The stages a "pipeline.set" request gives, numbered in the order given.
Result<std::vector<PipelineStage>> stagesIn(const Json& request) {
  const auto given = request.find("stages");
  if (given == request.end() || !given->is_array() || given->empty())
    return invalid("The pipeline needs at least one stage");
  std::vector<PipelineStage> stages;
  std::set<std::string> names;
  for (const Json& item : *given) {
    if (!item.is_object()) return invalid("A stage must be an object, not " + item.dump());
    PipelineStage stage;
    stage.id = Uuid::random();
    if (item.contains("id") && !item["id"].is_null())
      stage.id = QM_TRY(idIn(item, "id", "The stage id"));
    if (!item.contains("name") || !item["name"].is_string())
      return invalid("Every stage needs a name");
    stage.name = std::string(trimUnicodeWhitespace(item["name"].get<std::string>()));
    if (stage.name.empty()) return invalid("Every stage needs a name");
    if (!names.insert(lowercaseUnicode(stage.name)).second)
      return invalid("Two stages are called " + stage.name);
    const auto color = item.find("colorHex");
    stage.colorHex = "888888";
    if (color != item.end() && !color->is_null()) {
      if (!color->is_string() || !isColor(color->get<std::string>()))
        return invalid("The colour of " + stage.name + " must be six hexadecimal digits");
      stage.colorHex = color->get<std::string>();
    }
    stage.sortOrder = static_cast<std::int64_t>(stages.size());
    stages.push_back(std::move(stage));
  }
  return stages;
}

}  // namespace

void RecordEditModule::registerCommands(ControlServer& control) {
  registerContactCommands(control);
  registerNoteCommands(control);
  registerOpportunityCommands(control);
  registerPipelineCommands(control);
}

void RecordEditModule::registerContactCommands(ControlServer& control) {
  control.handle("contact.update",
                 [this](const Json& request, std::shared_ptr<ControlReply> reply) {
                   Store& store = context_.app.store();
                   auto contact = recordIn<Contact>(store, request, "id", "contact");
                   if (!contact) return reply->fail(contact.error().message);
                   auto previous = applyContactEdits(*contact, request.value("fields", Json()));
                   if (!previous) return reply->fail(previous.error().message);
                   if (Status saved = store.update(*contact); !saved)
                     return reply->fail("Failed to save contact: " + saved.error().message);
                   const SyncModule::Push push = sync_.pushContact(*contact);
                   reply->succeed({{"id", contact->id.str()},
                                   {"name", contact->fullName()},
                                   {"previous", *previous},
                                   {"push", push.outcome},
                                   {"pushMessage", push.message}});
                 });
  control.handle("contacts.update",
                 [this](const Json& request, std::shared_ptr<ControlReply> reply) {
                   Store& store = context_.app.store();
                   const auto items = request.find("contacts");
                   if (items == request.end() || !items->is_array() || items->empty())
                     return reply->fail("contacts must name at least one contact");
                   // Every edit is checked before the first is written.
                   std::vector<Contact> contacts;
                   Json previous = Json::array();
                   for (const Json& item : *items) {
                     if (!item.is_object())
                       return reply->fail("Each contact is {\"id\", \"fields\"}");
                     auto contact = recordIn<Contact>(store, item, "id", "contact");
                     if (!contact) return reply->fail(contact.error().message);
                     auto was = applyContactEdits(*contact, item.value("fields", Json()));
                     if (!was) return reply->fail(contact->fullName() + ": " + was.error().message);
                     previous.push_back({{"id", contact->id.str()}, {"fields", std::move(*was)}});
                     contacts.push_back(std::move(*contact));
                   }
                   Status saved = store.transaction([&]() -> Status {
                     for (const Contact& c : contacts) QM_TRY(store.update(c));
                     return {};
                   });
                   if (!saved)
                     return reply->fail("Failed to save the contacts: " + saved.error().message);
                   Json answer = sync_.pushContacts(contacts);
                   answer["changed"] = contacts.size();
                   answer["previous"] = std::move(previous);
                   reply->succeed(answer);
                 });
}

void RecordEditModule::registerNoteCommands(ControlServer& control) {
  // Only notes written on this desktop change here: the phone's own notes
  // would come back with the next snapshot anyway.
  auto desktopNote = [this](const Json& request) -> Result<ContactNote> {
    ContactNote note = QM_TRY(recordIn<ContactNote>(context_.app.store(), request, "id", "note"));
    if (note.createdByDeviceID != context_.app.deviceIdentity().current())
      return Error(ErrorCode::permissionDenied,
                   "Only notes written on this computer can be changed here");
    return note;
  };
  auto pushOwner = [this](const std::optional<Uuid>& contactID) {
    if (!contactID) return SyncModule::Push{"failed", "The note belongs to no contact"};
    auto contact = context_.app.store().find<Contact>(*contactID);
    if (!contact || !*contact) return SyncModule::Push{"failed", "The contact is gone"};
    return sync_.pushContact(**contact);
  };
  auto noteText = [](const Json& request) -> Result<std::string> {
    const auto text = request.find("text");
    if (text == request.end() || !text->is_string()) return invalid("text is required");
    std::string trimmed(trimUnicodeWhitespace(text->get<std::string>()));
    QM_TRY(checkNoteText(trimmed));
    return trimmed;
  };
  // A new note is a text note unless the request names another type.
  auto noteType = [](const Json& request) -> Result<NoteType> {
    const auto type = request.find("type");
    if (type == request.end() || type->is_null()) return NoteType::text;
    if (!type->is_string()) return invalid("type must be text, voice or handwriting");
    return noteTypeNamed(type->get<std::string>());
  };

  control.handle("note.create", [this, noteText, noteType, pushOwner](
                                    const Json& request, std::shared_ptr<ControlReply> reply) {
    Store& store = context_.app.store();
    auto contact = recordIn<Contact>(store, request, "contactID", "contact");
    if (!contact) return reply->fail(contact.error().message);
    auto text = noteText(request);
    if (!text) return reply->fail(text.error().message);
    auto type = noteType(request);
    if (!type) return reply->fail(type.error().message);
    NoteAuthor author{std::nullopt, context_.app.deviceIdentity().current()};
    if (auto name = context_.app.settings().displayName(); !name.empty()) author.name = name;
    const ContactNote note = createDesktopNote(
        contact->id, {.noteType = *type, .textContent = std::move(*text), .createdAt = now()},
        author);
    if (Status saved = store.insert(note); !saved)
      return reply->fail("Failed to save note: " + saved.error().message);
    const auto push = pushOwner(contact->id);
    reply->succeed({{"id", note.id.str()}, {"push", push.outcome}, {"pushMessage", push.message}});
  });

  control.handle("note.update", [this, desktopNote, noteText, pushOwner](
                                    const Json& request, std::shared_ptr<ControlReply> reply) {
    auto note = desktopNote(request);
    if (!note) return reply->fail(note.error().message);
    auto text = noteText(request);
    if (!text) return reply->fail(text.error().message);
    const Json previous = toJson(note->textContent);
    note->textContent = std::move(*text);
    note->updatedAt = now();
    if (Status saved = context_.app.store().update(*note); !saved)
      return reply->fail("Failed to save note: " + saved.error().message);
    const auto push = pushOwner(note->contactID);
    reply->succeed({{"id", note->id.str()},
                    {"previous", previous},
                    {"push", push.outcome},
                    {"pushMessage", push.message}});
  });

  control.handle(
      "note.delete", [this, desktopNote](const Json& request, std::shared_ptr<ControlReply> reply) {
        auto note = desktopNote(request);
        if (!note) return reply->fail(note.error().message);
        if (Status removed = context_.app.store().remove<ContactNote>(note->id); !removed)
          return reply->fail("Failed to delete note: " + removed.error().message);
        reply->succeed({{"id", note->id.str()}});
      });
}

void RecordEditModule::registerOpportunityCommands(ControlServer& control) {
  control.handle(
      "opportunity.create", [this](const Json& request, std::shared_ptr<ControlReply> reply) {
        Store& store = context_.app.store();
        auto contact = recordIn<Contact>(store, request, "contactID", "contact");
        if (!contact) return reply->fail(contact.error().message);
        auto opportunity = Opportunity::create("", contact->company, contact->eventID);
        opportunity.createdAt = opportunity.updatedAt = now();
        opportunity.originContactID = contact->id;
        if (auto first = context_.app.pipeline().stages(); !first.empty())
          opportunity.stage = first.front().name;
        if (Status applied = applyOpportunityFields(opportunity, request, false); !applied)
          return reply->fail(applied.error().message);
        auto link = OpportunityStakeholder::create(contact->id, opportunity.id);
        link.addedAt = opportunity.createdAt;
        Status saved = store.transaction([&]() -> Status {
          QM_TRY(store.insert(opportunity));
          return store.insert(link);
        });
        if (!saved) return reply->fail("Failed to save opportunity: " + saved.error().message);
        reply->succeed({{"id", opportunity.id.str()}});
      });

  control.handle(
      "opportunity.update", [this](const Json& request, std::shared_ptr<ControlReply> reply) {
        Store& store = context_.app.store();
        auto opportunity = recordIn<Opportunity>(store, request, "id", "opportunity");
        if (!opportunity) return reply->fail(opportunity.error().message);
        if (Status applied = applyOpportunityFields(*opportunity, request, true); !applied)
          return reply->fail(applied.error().message);
        opportunity->updatedAt = now();
        if (Status saved = store.update(*opportunity); !saved)
          return reply->fail("Failed to save opportunity: " + saved.error().message);
        reply->succeed({{"id", opportunity->id.str()}});
      });

  control.handle("opportunity.delete",
                 [this](const Json& request, std::shared_ptr<ControlReply> reply) {
                   Store& store = context_.app.store();
                   auto opportunity = recordIn<Opportunity>(store, request, "id", "opportunity");
                   if (!opportunity) return reply->fail(opportunity.error().message);
                   if (Status removed = store.remove<Opportunity>(opportunity->id); !removed)
                     return reply->fail("Failed to delete opportunity: " + removed.error().message);
                   reply->succeed({{"id", opportunity->id.str()}});
                 });
}

void RecordEditModule::registerPipelineCommands(ControlServer& control) {
  control.handle("pipeline.set", [this](const Json& request, std::shared_ptr<ControlReply> reply) {
    auto stages = stagesIn(request);
    if (!stages) return reply->fail(stages.error().message);
    PipelineManager& pipeline = context_.app.pipeline();
    std::vector<PipelineStage> before = pipeline.stages();
    pipeline.setStages(std::move(*stages));
    if (Status saved = pipeline.save(); !saved) {
      pipeline.setStages(std::move(before));
      return reply->fail("Failed to save: " + saved.error().message);
    }
    reply->succeed({{"stages", stagesJson(pipeline.stages())}});
  });
}

}  // namespace qm
