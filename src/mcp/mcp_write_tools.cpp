// The four write tools. Each checks all of its arguments before it changes
// anything, then writes through the store; a call that fails a check writes
// nothing. The store keeps no unsaved changes between calls, so a refused call
// cannot leak into a later one.

#include <optional>
#include <string>
#include <utility>

#include "mcp/mcp_tool_handlers.h"
#include "mcp/mcp_tool_support.h"
#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "store/contact.h"
#include "store/contact_note.h"
#include "store/event.h"
#include "store/note_authoring.h"
#include "store/opportunity.h"
#include "store/record_checks.h"

namespace qm::mcp {

using support::Arguments;
using support::ArgumentType;
using support::failure;
using support::findRecord;
using support::success;

namespace {

constexpr std::int64_t kLowestRating = 1;
constexpr std::int64_t kHighestRating = 5;

/// A required text argument: present as a string and not empty.
std::optional<std::string> requiredText(const Arguments& args, std::string_view key) {
  auto text = args.string(key);
  if (!text || text->empty()) return std::nullopt;
  return text;
}

}  // namespace

NoteAuthor MCPToolHandlers::desktopNoteAuthor() const {
  NoteAuthor author{std::nullopt, identity_.current()};
  if (auto name = settings_.displayName(); !name.empty()) author.name = std::move(name);
  return author;
}

ToolOutcome MCPToolHandlers::createNote(const JSONValue& arguments) {
  const Arguments args(arguments);
  if (auto wrong = args.wronglyTyped({{"contact_id", ArgumentType::text},
                                      {"text", ArgumentType::text},
                                      {"type", ArgumentType::text}}))
    return failure(*wrong);
  const auto contactID = args.uuid("contact_id");
  if (!contactID) return failure("contact_id is required");
  auto text = requiredText(args, "text");
  if (!text) return failure("text is required");
  // The same rules as for a note written at the desk.
  if (auto checked = checkNoteText(*text); !checked) return failure(checked.error().message);
  auto type = noteTypeNamed(args.string("type").value_or("text"));
  if (!type) return failure(type.error().message);
  if (!findRecord<Contact>(store_, *contactID)) return failure("Contact not found");

  const ContactNote note = createDesktopNote(
      *contactID, {.noteType = *type, .textContent = std::move(text), .createdAt = clock_()},
      desktopNoteAuthor());
  if (auto saved = store_.insert(note); !saved)
    return failure("Failed to save note: " + saved.error().message);
  return success({{"success", true}, {"noteId", note.id.str()}});
}

ToolOutcome MCPToolHandlers::updateContactStatus(const JSONValue& arguments) {
  const Arguments args(arguments);
  if (auto wrong = args.wronglyTyped({{"contact_id", ArgumentType::text},
                                      {"status", ArgumentType::text},
                                      {"rating", ArgumentType::integer}}))
    return failure(*wrong);
  const auto contactID = args.uuid("contact_id");
  if (!contactID) return failure("contact_id is required");
  const auto statusText = args.string("status");
  if (!statusText) return failure("status is required");
  const auto status = parseEnum<MeetingStatus>(*statusText);
  if (!status) return failure("Invalid status. Use: met, notMet, declined, noShow");
  auto contact = findRecord<Contact>(store_, *contactID);
  if (!contact) return failure("Contact not found");
  // The rating is checked before the contact is touched: a refused call must
  // leave no half-made change behind.
  const auto rating = args.integer("rating");
  if (rating && (*rating < kLowestRating || *rating > kHighestRating))
    return failure("rating must be between 1 and 5");

  contact->status = *status;
  if (*status == MeetingStatus::met && !contact->metAt) contact->metAt = clock_();
  if (rating) contact->interactionRating = *rating;
  if (auto saved = store_.update(*contact); !saved)
    return failure("Failed to save contact: " + saved.error().message);

  JSONValue answer{{"success", true}, {"status", std::string(rawValue(contact->status))}};
  if (contact->interactionRating) answer["rating"] = *contact->interactionRating;
  return success(answer);
}

ToolOutcome MCPToolHandlers::createOpportunity(const JSONValue& arguments) {
  const Arguments args(arguments);
  if (auto wrong = args.wronglyTyped({{"event_id", ArgumentType::text},
                                      {"title", ArgumentType::text},
                                      {"company_name", ArgumentType::text},
                                      {"value", ArgumentType::number},
                                      {"stage", ArgumentType::text},
                                      {"currency", ArgumentType::text},
                                      {"notes", ArgumentType::text}}))
    return failure(*wrong);
  const auto eventID = args.uuid("event_id");
  if (!eventID) return failure("event_id is required");
  auto title = requiredText(args, "title");
  if (!title) return failure("title is required");
  auto companyName = requiredText(args, "company_name");
  if (!companyName) return failure("company_name is required");

  auto opportunity = Opportunity::create(std::move(*title), std::move(*companyName), *eventID);
  opportunity.createdAt = opportunity.updatedAt = clock_();
  opportunity.currency = args.string("currency").value_or("EUR");
  // Any stage text is kept as given; the pipeline's own stages are not enforced here.
  opportunity.stage = args.string("stage").value_or("Exploring");
  opportunity.value = args.number("value");
  opportunity.notes = args.string("notes");
  // The same rules as for an opportunity made at the desk.
  if (auto checked = checkOpportunity(opportunity); !checked)
    return failure(checked.error().message);
  if (!findRecord<Event>(store_, *eventID)) return failure("Event not found");
  if (auto saved = store_.insert(opportunity); !saved)
    return failure("Failed to save opportunity: " + saved.error().message);
  return success({{"success", true}, {"opportunityId", opportunity.id.str()}});
}

ToolOutcome MCPToolHandlers::updateOpportunity(const JSONValue& arguments) {
  const Arguments args(arguments);
  if (auto wrong = args.wronglyTyped({{"opportunity_id", ArgumentType::text},
                                      {"title", ArgumentType::text},
                                      {"value", ArgumentType::number},
                                      {"stage", ArgumentType::text},
                                      {"notes", ArgumentType::text},
                                      {"next_step", ArgumentType::text}}))
    return failure(*wrong);
  const auto id = args.uuid("opportunity_id");
  if (!id) return failure("opportunity_id is required");
  auto opportunity = findRecord<Opportunity>(store_, *id);
  if (!opportunity) return failure("Opportunity not found");

  // Only arguments given with the right type change a field; none clears one.
  const Opportunity before = *opportunity;
  if (auto title = args.string("title")) opportunity->title = std::move(*title);
  if (auto value = args.number("value")) opportunity->value = *value;
  if (auto stage = args.string("stage")) opportunity->stage = std::move(*stage);
  if (auto notes = args.string("notes")) opportunity->notes = std::move(*notes);
  if (auto nextStep = args.string("next_step")) opportunity->nextStep = std::move(*nextStep);
  if (auto checked = checkOpportunity(*opportunity, &before); !checked)
    return failure(checked.error().message);
  opportunity->updatedAt = clock_();
  if (auto saved = store_.update(*opportunity); !saved)
    return failure("Failed to save opportunity: " + saved.error().message);
  return success({{"success", true}});
}

}  // namespace qm::mcp
