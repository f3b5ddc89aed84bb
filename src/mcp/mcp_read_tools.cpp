// The twelve read tools: events, contacts, notes, opportunities, drafts,
// captures and reports as JSON for an AI client.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/search_folding.h"
#include "mcp/contact_index.h"
#include "mcp/mcp_tool_handlers.h"
#include "mcp/mcp_tool_support.h"
#include "store/contact_queries.h"
#include "store/relationships.h"

namespace qm::mcp {

using support::Arguments;
using support::ArgumentType;
using support::failure;
using support::findRecord;
using support::putIfPresent;
using support::readOr;
using support::success;

namespace {

constexpr std::int64_t kListContactsDefaultLimit = 100;
constexpr std::int64_t kListContactsMaxLimit = 500;
constexpr std::int64_t kSearchDefaultLimit = 25;
constexpr std::int64_t kSearchMaxLimit = 100;

std::string iso(Date date) {
  return formatISO8601(date);
}

std::string raw(auto value) {
  return std::string(rawValue(value));
}

bool contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

/// The store condition "`field` is `id`", or no condition when there is no id.
std::vector<Match> byField(std::string_view field, const std::optional<Uuid>& id) {
  if (!id) return {};
  return {Match{field, *id}};
}

/// Sorts records newest first by `member`; records with equal dates keep their stored order.
template <class R>
void sortNewestFirst(std::vector<R>& records, Date R::*member) {
  std::ranges::stable_sort(records,
                           [member](const R& a, const R& b) { return a.*member > b.*member; });
}

/// Event names by id, read once per call when first needed (events are few).
class EventNames {
 public:
  explicit EventNames(Store& store) : store_(store) {}

  const std::string* find(const std::optional<Uuid>& id) {
    if (!id) return nullptr;
    if (!loaded_) {
      for (auto& event : readOr(store_.fetch<Event>(), std::vector<Event>{}, "events"))
        names_.emplace(event.id, std::move(event.name));
      loaded_ = true;
    }
    auto it = names_.find(*id);
    return it == names_.end() ? nullptr : &it->second;
  }

  /// Adds `event_id` and `event_name` when the record belongs to an event.
  void put(JSONValue& object, const std::optional<Uuid>& id) {
    if (const std::string* name = find(id)) {
      object["event_id"] = id->str();
      object["event_name"] = *name;
    }
  }

 private:
  Store& store_;
  bool loaded_ = false;
  std::unordered_map<Uuid, std::string> names_;
};

/// Contact full names by id, each read once per call.
class ContactNames {
 public:
  explicit ContactNames(Store& store) : store_(store) {}

  const std::optional<std::string>& find(const Uuid& id) {
    auto it = names_.find(id);
    if (it == names_.end()) {
      // The two name fields only: a whole contact is a hundred fields.
      auto found = readOr(store_.fetchOnly<Contact>({"firstName", "lastName"}, {{"id", id}}),
                          std::vector<Contact>{}, "contact names");
      it = names_.emplace(id, found.empty() ? std::nullopt : std::optional(found[0].fullName()))
               .first;
    }
    return it->second;
  }

  /// Adds `contact_id` and `contact_name` when the record points at an existing contact.
  void put(JSONValue& object, const std::optional<Uuid>& id) {
    if (!id) return;
    if (const auto& name = find(*id)) {
      object["contact_id"] = id->str();
      object["contact_name"] = *name;
    }
  }

 private:
  Store& store_;
  std::unordered_map<Uuid, std::optional<std::string>> names_;
};

JSONValue eventSummary(Store& store, const Event& event) {
  const auto counts =
      readOr(countContactsOfEvent(store, event.id), EventContactCounts{}, "contact counts");
  JSONValue o{
      {"id", event.id.str()},
      {"name", event.name},
      {"contact_count", counts.contacts},
      {"opportunity_count", readOr(store.count<Opportunity>({{"eventID", event.id}}),
                                   std::int64_t{0}, "opportunity counts")},
      {"created_at", iso(event.createdAt)},
      {"met_count", counts.met},
      {"target_count", counts.targets},
  };
  putIfPresent(o, "start_date", event.startDate);
  putIfPresent(o, "end_date", event.endDate);
  putIfPresent(o, "event_date", event.eventDate);
  putIfPresent(o, "location", event.location);
  return o;
}

JSONValue contactListItem(const Contact& c, std::string name) {
  JSONValue o{{"id", c.id.str()},        {"name", std::move(name)}, {"company", c.company},
              {"status", raw(c.status)}, {"is_target", c.isTarget}, {"is_favorite", c.isFavorite}};
  putIfPresent(o, "title", c.title);
  putIfPresent(o, "email", c.email);
  putIfPresent(o, "interaction_rating", c.interactionRating);
  putIfPresent(o, "company_industry", c.companyIndustry);
  putIfPresent(o, "company_size", c.companySize);
  putIfPresent(o, "company_hq", c.companyHQ);
  putIfPresent(o, "crm_pushed_to", c.crmPushedTo);
  return o;
}

/// The fields `contactListItem` shows.
const std::vector<std::string_view> kContactListFields{
    "id",          "firstName", "lastName",        "company",    "title",
    "email",       "status",    "isTarget",        "isFavorite", "interactionRating",
    "companySize", "companyHQ", "companyIndustry", "crmPushedTo"};

/// The fields a search result shows.
const std::vector<std::string_view> kSearchFields{
    "id",    "eventID", "firstName", "lastName", "company",
    "title", "email",   "status",    "isTarget", "interactionRating"};

/// The optional text fields of the contact detail, under their output keys.
constexpr std::pair<const char*, std::optional<std::string> Contact::*> kContactDetailTexts[] = {
    {"title", &Contact::title},
    {"email", &Contact::email},
    {"phone", &Contact::phone},
    {"linkedin_url", &Contact::linkedinURL},
    {"country", &Contact::country},
    {"city", &Contact::city},
    {"profile_image_url", &Contact::profileImageURL},
    {"why_meet", &Contact::whyMeet},
    {"approach_angle", &Contact::approachAngle},
    {"watch_outs", &Contact::watchOuts},
    {"who_they_are", &Contact::whoTheyAre},
    {"company_snapshot", &Contact::companySnapshot},
    {"person_talking_points", &Contact::personTalkingPoints},
    {"company_industry", &Contact::companyIndustry},
    {"company_size", &Contact::companySize},
    {"company_summary", &Contact::companySummary},
    {"company_website", &Contact::companyWebsite},
    {"company_hq", &Contact::companyHQ},
    {"company_revenue", &Contact::companyRevenue},
    {"company_type", &Contact::companyType},
    {"company_founded", &Contact::companyFounded},
    {"company_employee_count", &Contact::companyEmployeeCount},
    {"company_funding_total", &Contact::companyFundingTotal},
    {"company_funding_stage", &Contact::companyFundingStage},
    {"company_tags", &Contact::companyTags},
    {"company_linkedin_url", &Contact::companyLinkedInURL},
    {"verified_email", &Contact::verifiedEmail},
    {"verified_phone", &Contact::verifiedPhone},
    {"priority_tier", &Contact::priorityTier},
    {"ai_summary", &Contact::aiSummary},
    {"ai_action_plan", &Contact::aiActionPlan},
    {"ai_follow_up_priority", &Contact::aiFollowUpPriority},
    {"owned_by", &Contact::ownedBy},
    {"captured_by", &Contact::capturedBy},
};

JSONValue noteJSON(const ContactNote& n) {
  JSONValue o{{"id", n.id.str()},
              {"type", raw(n.noteType)},
              {"created_at", iso(n.createdAt)},
              {"updated_at", iso(n.updatedAt)}};
  const auto putText = [&](const char* key, const std::optional<std::string>& text) {
    if (text && !text->empty()) o[key] = *text;
  };
  switch (n.noteType) {
    case NoteType::text:
      putText("content", n.textContent);
      break;
    case NoteType::handwriting:
      putText("content", n.cleanedText ? n.cleanedText : n.rawOCRText);
      break;
    case NoteType::voice:
      putText("transcript",
              n.transcriptionProcessed ? n.transcriptionProcessed : n.transcriptionRaw);
      break;
  }
  putIfPresent(o, "language", n.transcriptionLanguage);
  putIfPresent(o, "created_by", n.createdByName);
  return o;
}

/// The event (by `event_id`) a tool is about, or the error document that ends it.
struct EventLookup {
  std::optional<Event> event;
  std::optional<ToolOutcome> error;
};

EventLookup requiredEvent(Store& store, const Arguments& args) {
  auto id = args.uuid("event_id");
  if (!id) return {std::nullopt, failure("event_id is required")};
  auto event = findRecord<Event>(store, *id);
  if (!event) return {std::nullopt, failure("Event not found")};
  return {std::move(event), std::nullopt};
}

struct ContactLookup {
  std::optional<Contact> contact;
  std::optional<ToolOutcome> error;
};

ContactLookup requiredContact(Store& store, const Arguments& args) {
  auto id = args.uuid("contact_id");
  if (!id) return {std::nullopt, failure("contact_id is required")};
  auto contact = findRecord<Contact>(store, *id);
  if (!contact) return {std::nullopt, failure("Contact not found")};
  return {std::move(contact), std::nullopt};
}

}  // namespace

ToolOutcome MCPToolHandlers::listEvents(const JSONValue&) {
  auto events = readOr(store_.fetch<Event>(), std::vector<Event>{}, "events");
  sortNewestFirst(events, &Event::createdAt);
  JSONValue list = JSONValue::array();
  for (const auto& event : events) list.push_back(eventSummary(store_, event));
  return success(list);
}

ToolOutcome MCPToolHandlers::getEvent(const JSONValue& arguments) {
  auto lookup = requiredEvent(store_, Arguments(arguments));
  if (lookup.error) return *lookup.error;
  const Event& event = *lookup.event;
  JSONValue o = eventSummary(store_, event);
  putIfPresent(o, "event_description", event.eventDescription);
  putIfPresent(o, "event_website", event.eventWebsite);
  return success(o);
}

ToolOutcome MCPToolHandlers::getEventStats(const JSONValue& arguments) {
  auto lookup = requiredEvent(store_, Arguments(arguments));
  if (lookup.error) return *lookup.error;
  const Event& event = *lookup.event;
  // Counted by the store's indexes: no contact is read.
  const auto counts =
      readOr(countContactsOfEvent(store_, event.id), EventContactCounts{}, "contact counts");
  const auto ratings = readOr(ratingsOfEvent(store_, event.id), EventRatings{}, "ratings");
  const auto companies =
      readOr(countCompaniesOfEvent(store_, event.id), std::int64_t{0}, "companies");
  // An event has few opportunities; their values are summed in stored order.
  const auto opportunities =
      readOr(store_.fetchOnly<Opportunity>({"value"}, {{"eventID", event.id}}),
             std::vector<Opportunity>{}, "opportunities");
  double pipeline = 0;
  for (const auto& o : opportunities)
    if (o.value) pipeline += *o.value;

  JSONValue stats{{"event_id", event.id.str()},
                  {"event_name", event.name},
                  {"total_contacts", counts.contacts},
                  {"met_count", counts.met},
                  {"target_count", counts.targets},
                  {"companies_count", companies},
                  {"opportunity_count", static_cast<std::int64_t>(opportunities.size())},
                  {"pipeline_total_value", pipeline}};
  if (ratings.rated > 0) {
    const double mean = static_cast<double>(ratings.sum) / static_cast<double>(ratings.rated);
    stats["average_rating"] = std::round(mean * 100) / 100;  // half away from zero
  }
  return success(stats);
}

ToolOutcome MCPToolHandlers::listContacts(const JSONValue& arguments) {
  const Arguments args(arguments);
  auto lookup = requiredEvent(store_, args);
  if (lookup.error) return *lookup.error;
  // A filter or page of the wrong type is refused, not read as absent: the
  // client would take the whole list for the filtered one.
  if (auto wrong = args.wronglyTyped({{"status", ArgumentType::text},
                                      {"is_target", ArgumentType::boolean},
                                      {"query", ArgumentType::text},
                                      {"offset", ArgumentType::integer},
                                      {"limit", ArgumentType::integer}}))
    return failure(*wrong);

  const ContactListFilter filter{args.string("status"), args.boolean("is_target")};
  const std::string query = foldForSearch(args.string("query").value_or(""));
  if (!query.empty())
    if (auto followed = contacts_->refresh(store_); !followed)
      log::mcp().error("Could not follow the contacts: {}", followed.error().message);
  const std::int64_t offset = std::max(args.integer("offset").value_or(0), std::int64_t{0});
  const std::int64_t limit = std::clamp(args.integer("limit").value_or(kListContactsDefaultLimit),
                                        std::int64_t{0}, kListContactsMaxLimit);

  // The store's list order index gives the event's contacts in list order
  // (rank, then name) and answers the status and target filters itself; only
  // the page is read.
  std::vector<Store::Position> page;
  std::int64_t matched = 0;
  if (limit > 0) {
    const auto keep = [&](const ContactListEntry& e) {
      return query.empty() || contacts_->nameOrCompanyHolds(e, query);
    };
    const auto visit = [&](const ContactListEntry& e) {
      if (matched++ >= offset) page.push_back(e.position);
      return static_cast<std::int64_t>(page.size()) < limit;
    };
    if (auto walked = visitContactsInListOrder(store_, lookup.event->id, filter, keep, visit);
        !walked)
      log::mcp().error("Could not read the contacts: {}", walked.error().message);
  }
  JSONValue list = JSONValue::array();
  for (const auto& c : readOr(store_.fetchOnlyAt<Contact>(kContactListFields, page),
                              std::vector<Contact>{}, "contacts"))
    list.push_back(contactListItem(c, c.fullName()));
  return success(list);
}

ToolOutcome MCPToolHandlers::searchContacts(const JSONValue& arguments) {
  const Arguments args(arguments);
  const auto query = args.string("query");
  if (!query || query->empty()) return failure("query is required");
  if (auto wrong = args.wronglyTyped({{"limit", ArgumentType::integer}})) return failure(*wrong);
  const std::int64_t limit = std::clamp(args.integer("limit").value_or(kSearchDefaultLimit),
                                        std::int64_t{0}, kSearchMaxLimit);

  // The first contacts by last name, in collation order, exact matches first.
  std::vector<Store::Position> found;
  if (limit > 0)
    found = readOr(contacts_->search(store_, *query, static_cast<std::size_t>(limit)),
                   std::vector<Store::Position>{}, "the contacts");

  EventNames events(store_);
  JSONValue list = JSONValue::array();
  for (const auto& c : readOr(store_.fetchOnlyAt<Contact>(kSearchFields, found),
                              std::vector<Contact>{}, "contacts")) {
    JSONValue o{{"id", c.id.str()},
                {"name", c.fullName()},
                {"company", c.company},
                {"status", raw(c.status)},
                {"is_target", c.isTarget}};
    putIfPresent(o, "title", c.title);
    putIfPresent(o, "email", c.email);
    putIfPresent(o, "interaction_rating", c.interactionRating);
    events.put(o, c.eventID);
    list.push_back(std::move(o));
  }
  return success(list);
}

ToolOutcome MCPToolHandlers::getContact(const JSONValue& arguments) {
  auto lookup = requiredContact(store_, Arguments(arguments));
  if (lookup.error) return *lookup.error;
  const Contact& c = *lookup.contact;
  JSONValue o{{"id", c.id.str()},        {"first_name", c.firstName},  {"last_name", c.lastName},
              {"company", c.company},    {"status", raw(c.status)},    {"source", raw(c.source)},
              {"is_target", c.isTarget}, {"is_favorite", c.isFavorite}};
  for (const auto& [key, member] : kContactDetailTexts) putIfPresent(o, key, c.*member);
  putIfPresent(o, "interaction_rating", c.interactionRating);
  putIfPresent(o, "met_at", c.metAt);
  if (!c.alsoMetBy.empty()) o["also_met_by"] = c.alsoMetBy;
  EventNames(store_).put(o, c.eventID);
  return success(o);
}

ToolOutcome MCPToolHandlers::listNotes(const JSONValue& arguments) {
  auto lookup = requiredContact(store_, Arguments(arguments));
  if (lookup.error) return *lookup.error;
  auto notes = readOr(notesOf(store_, lookup.contact->id), std::vector<ContactNote>{}, "notes");
  sortNewestFirst(notes, &ContactNote::createdAt);
  JSONValue list = JSONValue::array();
  for (const auto& note : notes) list.push_back(noteJSON(note));
  return success(list);
}

ToolOutcome MCPToolHandlers::getVoiceTranscript(const JSONValue& arguments) {
  const auto id = Arguments(arguments).uuid("note_id");
  if (!id) return failure("note_id is required");
  const auto note = findRecord<ContactNote>(store_, *id);
  if (!note) return failure("Note not found");
  if (note->noteType != NoteType::voice) return failure("Note is not a voice note");

  JSONValue o{
      {"id", note->id.str()}, {"type", raw(NoteType::voice)}, {"created_at", iso(note->createdAt)}};
  if (note->transcriptionProcessed && !note->transcriptionProcessed->empty())
    o["transcription_processed"] = *note->transcriptionProcessed;
  if (note->isAICleaned) putIfPresent(o, "transcription_cleaned", note->cleanedText);
  putIfPresent(o, "language", note->transcriptionLanguage);
  ContactNames(store_).put(o, note->contactID);
  return success(o);
}

ToolOutcome MCPToolHandlers::listOpportunities(const JSONValue& arguments) {
  const Arguments args(arguments);
  const auto eventID = args.uuid("event_id");
  const std::string company = foldForSearch(args.string("company").value_or(""));

  auto opportunities = readOr(store_.fetch<Opportunity>(byField("eventID", eventID)),
                              std::vector<Opportunity>{}, "opportunities");
  sortNewestFirst(opportunities, &Opportunity::createdAt);
  if (!company.empty()) {
    std::erase_if(opportunities, [&](const Opportunity& o) {
      return !contains(foldForSearch(o.companyName), company);
    });
  }

  std::unordered_map<Uuid, std::vector<OpportunityStakeholder>> links;
  if (!opportunities.empty()) {
    for (auto& link : readOr(store_.fetch<OpportunityStakeholder>(),
                             std::vector<OpportunityStakeholder>{}, "stakeholders"))
      if (link.opportunityID) links[*link.opportunityID].push_back(std::move(link));
  }

  EventNames events(store_);
  ContactNames contacts(store_);
  JSONValue list = JSONValue::array();
  for (const auto& opp : opportunities) {
    JSONValue o{{"id", opp.id.str()},
                {"title", opp.title},
                {"company", opp.companyName},
                {"stage", opp.stage},
                {"next_step", opp.nextStep},
                {"currency", opp.currency},
                {"created_at", iso(opp.createdAt)}};
    putIfPresent(o, "value", opp.value);
    putIfPresent(o, "timeline", opp.timeline);
    putIfPresent(o, "confidence", opp.confidence);
    putIfPresent(o, "notes", opp.notes);
    JSONValue stakeholders = JSONValue::array();
    if (auto it = links.find(opp.id); it != links.end()) {
      for (const auto& link : it->second) {
        if (!link.contactID) continue;
        const auto& name = contacts.find(*link.contactID);
        if (!name) continue;
        JSONValue s{{"contact_id", link.contactID->str()}, {"contact_name", *name}};
        putIfPresent(s, "role", link.role);
        stakeholders.push_back(std::move(s));
      }
    }
    if (!stakeholders.empty()) o["stakeholders"] = std::move(stakeholders);
    events.put(o, opp.eventID);
    list.push_back(std::move(o));
  }
  return success(list);
}

ToolOutcome MCPToolHandlers::listDrafts(const JSONValue& arguments) {
  const Arguments args(arguments);
  const auto contactID = args.uuid("contact_id");
  const auto status = args.string("status");

  auto drafts = readOr(store_.fetch<FollowUpDraft>(byField("contactID", contactID)),
                       std::vector<FollowUpDraft>{}, "drafts");
  sortNewestFirst(drafts, &FollowUpDraft::generatedAt);
  if (status) std::erase_if(drafts, [&](const FollowUpDraft& d) { return d.status != *status; });

  ContactNames contacts(store_);
  JSONValue list = JSONValue::array();
  for (const auto& d : drafts) {
    JSONValue o{{"id", d.id.str()},
                {"subject", d.subject},
                {"body", d.body},
                {"tone", d.tone},
                {"status", d.status},
                {"language", d.language},
                {"generated_at", iso(d.generatedAt)}};
    putIfPresent(o, "edited_at", d.editedAt);
    contacts.put(o, d.contactID);
    list.push_back(std::move(o));
  }
  return success(list);
}

ToolOutcome MCPToolHandlers::listCaptures(const JSONValue& arguments) {
  auto lookup = requiredContact(store_, Arguments(arguments));
  if (lookup.error) return *lookup.error;
  const Contact& contact = *lookup.contact;
  auto captures = readOr(capturesOf(store_, contact.id), std::vector<CaptureMedia>{}, "captures");
  sortNewestFirst(captures, &CaptureMedia::capturedAt);

  const std::string contactName = contact.fullName();
  JSONValue list = JSONValue::array();
  for (const auto& m : captures) {
    JSONValue o{{"id", m.id.str()},
                {"capture_type", raw(m.captureType)},
                {"captured_at", iso(m.capturedAt)},
                {"image_file_name", m.imageFileName}};
    putIfPresent(o, "caption", m.caption);
    putIfPresent(o, "ocr_extracted_text", m.ocrExtractedText);
    o["contact_id"] = contact.id.str();
    o["contact_name"] = contactName;
    list.push_back(std::move(o));
  }
  return success(list);
}

ToolOutcome MCPToolHandlers::listReports(const JSONValue& arguments) {
  const auto eventID = Arguments(arguments).uuid("event_id");
  // Filtered by the store, so other events' reports (and their PDFs) are never read.
  auto reports = readOr(store_.fetch<SavedReport>(byField("eventID", eventID)),
                        std::vector<SavedReport>{}, "reports");
  sortNewestFirst(reports, &SavedReport::generatedAt);

  EventNames events(store_);
  JSONValue list = JSONValue::array();
  for (const auto& r : reports) {
    JSONValue o{{"id", r.id.str()},
                {"report_type", r.reportType},
                {"generated_at", iso(r.generatedAt)},
                {"report_content", r.reportContent},
                {"detail_level", r.detailLevel},
                {"selected_sections", r.selectedSections}};
    events.put(o, r.eventID);
    list.push_back(std::move(o));
  }
  return success(list);
}

}  // namespace qm::mcp
