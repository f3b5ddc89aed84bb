#include "mcp/mcp_tool_handlers.h"

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <utility>

#include "common/text.h"
#include "mcp/contact_index.h"
#include "mcp/mcp_tool_support.h"

namespace qm::mcp {

namespace support {

const JSONValue* Arguments::find(std::string_view key) const {
  if (!object_) return nullptr;
  auto it = object_->find(std::string(key));
  return it == object_->end() ? nullptr : &*it;
}

std::optional<std::string> Arguments::wronglyTyped(
    std::initializer_list<std::pair<std::string_view, ArgumentType>> expected) const {
  for (const auto& [key, type] : expected) {
    const JSONValue* v = find(key);
    if (!v || v->is_null()) continue;
    switch (type) {
      case ArgumentType::text:
        if (!v->is_string()) return std::string(key) + " must be a string";
        break;
      case ArgumentType::integer:
        if (!v->is_number_integer()) return std::string(key) + " must be an integer";
        break;
      case ArgumentType::number:
        if (!v->is_number()) return std::string(key) + " must be a number";
        break;
      case ArgumentType::boolean:
        if (!v->is_boolean()) return std::string(key) + " must be a boolean";
        break;
    }
  }
  return std::nullopt;
}

std::optional<std::string> Arguments::string(std::string_view key) const {
  const JSONValue* v = find(key);
  if (!v || !v->is_string()) return std::nullopt;
  return v->get<std::string>();
}

std::optional<std::int64_t> Arguments::integer(std::string_view key) const {
  const JSONValue* v = find(key);
  if (!v || !v->is_number_integer()) return std::nullopt;
  if (v->is_number_unsigned()) {
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(std::min(v->get<std::uint64_t>(), kMax));
  }
  return v->get<std::int64_t>();
}

std::optional<bool> Arguments::boolean(std::string_view key) const {
  const JSONValue* v = find(key);
  if (!v || !v->is_boolean()) return std::nullopt;
  return v->get<bool>();
}

std::optional<double> Arguments::number(std::string_view key) const {
  const JSONValue* v = find(key);
  if (!v || !v->is_number()) return std::nullopt;
  return v->get<double>();
}

std::optional<Uuid> Arguments::uuid(std::string_view key) const {
  auto text = string(key);
  if (!text) return std::nullopt;
  return Uuid::parse(*text);
}

std::string encode(const JSONValue& value) {
  try {
    return value.dump();
  } catch (const JSONValue::type_error&) {
    return "null";  // a text value that is not UTF-8
  }
}

ToolOutcome success(const JSONValue& value) {
  const auto count = value.is_array() ? static_cast<std::int64_t>(value.size()) : 1;
  return ToolOutcome{encode(value), false, count};
}

ToolOutcome failure(std::string_view message) {
  JSONValue document = JSONValue::object();
  document["error"] = std::string(message);
  // A spliced-in name or platform message must not turn the document into
  // "null"; bytes that are not UTF-8 become U+FFFD instead.
  return ToolOutcome{document.dump(-1, ' ', false, JSONValue::error_handler_t::replace), true, 0};
}

std::string lowercased(std::string_view text) {
  return lowercaseUnicode(text);
}

}  // namespace support

namespace {

struct Property {
  const char* name;
  const char* type;
  const char* description;
};

JSONValue inputSchema(std::initializer_list<Property> properties,
                      std::initializer_list<const char*> required) {
  JSONValue props = JSONValue::object();
  for (const auto& p : properties)
    props[p.name] = {{"type", p.type}, {"description", p.description}};
  JSONValue names = JSONValue::array();
  for (const char* name : required) names.push_back(name);
  return {{"type", "object"}, {"properties", std::move(props)}, {"required", std::move(names)}};
}

constexpr const char* kEventRequired = "UUID of the event (required)";
constexpr const char* kContactRequired = "UUID of the contact (required)";

}  // namespace

struct MCPToolHandlers::Entry {
  MCPTool tool;
  std::string_view label;
  ToolOutcome (MCPToolHandlers::*run)(const JSONValue&);
};

const std::vector<MCPToolHandlers::Entry>& MCPToolHandlers::catalogue() {
  static const std::vector<Entry> entries{
      {{"list_events",
        "List all events with name, dates, location, contact/opportunity counts, team code, and "
        "met/target stats.",
        inputSchema({}, {})},
       "List all events with stats",
       &MCPToolHandlers::listEvents},
      {{"get_event",
        "Get full detail for a single event by ID. Includes all list_events fields plus "
        "description, website, booth number, team details, and computed stats.",
        inputSchema({{"event_id", "string", kEventRequired}}, {"event_id"})},
       "Full event detail by ID",
       &MCPToolHandlers::getEvent},
      {{"get_event_stats",
        "Aggregate statistics for an event: contact counts, met/not-met, targets, average rating, "
        "enrichment stats, opportunity pipeline, draft status, source breakdowns.",
        inputSchema({{"event_id", "string", kEventRequired}}, {"event_id"})},
       "Aggregate stats for an event",
       &MCPToolHandlers::getEventStats},
      {{"list_contacts",
        "List contacts for an event. Supports filtering by query (name/company substring, case and "
        "accents ignored), status "
        "(met/notMet/declined/noShow), is_target (true/false), limit (default 100), and offset "
        "for pagination.",
        inputSchema(
            {{"event_id", "string", kEventRequired},
             {"query", "string", "Search by name or company (optional)"},
             {"status", "string", "Filter: met, notMet, declined, noShow (optional)"},
             {"is_target", "boolean", "Filter to target contacts only (optional)"},
             {"limit", "integer", "Max results, default 100, max 500 (optional)"},
             {"offset", "integer", "Skip first N results for pagination (optional, default 0)"}},
            {"event_id"})},
       "Contacts for an event (paginated)",
       &MCPToolHandlers::listContacts},
      {{"search_contacts",
        "Search contacts across all events by name, company, or email substring, case and "
        "accents ignored (\"muller\" finds M\u00fcller; exact matches come first). Returns "
        "matching contacts with their event context.",
        inputSchema({{"query", "string", "Search term for name, company, or email (required)"},
                     {"limit", "integer", "Max results, default 25, max 100 (optional)"}},
                    {"query"})},
       "Search across all events",
       &MCPToolHandlers::searchContacts},
      {{"get_contact",
        "Get full detail for a single contact by ID. Includes identity, scores, intelligence, "
        "company enrichment, AI action plan, CRM push state, capture/draft counts, review state, "
        "sync info, and all available fields.",
        inputSchema({{"contact_id", "string", kContactRequired}}, {"contact_id"})},
       "Full contact detail by ID",
       &MCPToolHandlers::getContact},
      {{"list_notes",
        "List all notes for a contact, including type (text/voice/handwriting), content or "
        "transcript, author, and timestamps.",
        inputSchema({{"contact_id", "string", kContactRequired}}, {"contact_id"})},
       "Notes for a contact",
       &MCPToolHandlers::listNotes},
      {{"get_voice_transcript",
        "Get full voice transcript for a note: raw, processed, cleaned text, duration, language, "
        "and transcription engine.",
        inputSchema({{"note_id", "string", "UUID of the note (required)"}}, {"note_id"})},
       "Transcript text by ID",
       &MCPToolHandlers::getVoiceTranscript},
      {{"list_opportunities",
        "List sales opportunities. Filter by event_id or company name substring.",
        inputSchema({{"event_id", "string", "Filter by event UUID (optional)"},
                     {"company", "string", "Filter by company name substring (optional)"}},
                    {})},
       "Opportunities by event or company",
       &MCPToolHandlers::listOpportunities},
      {{"list_drafts",
        "List AI-generated follow-up email drafts. Filter by contact_id or status "
        "(draft/approved/sent/dismissed).",
        inputSchema({{"contact_id", "string", "Filter by contact UUID (optional)"},
                     {"status", "string", "Filter: draft, approved, sent, dismissed (optional)"}},
                    {})},
       "Follow-up drafts by status",
       &MCPToolHandlers::listDrafts},
      {{"list_captures", "List business card photos and OCR data for a contact.",
        inputSchema({{"contact_id", "string", kContactRequired}}, {"contact_id"})},
       "Business card photos & OCR",
       &MCPToolHandlers::listCaptures},
      {{"list_reports",
        "List AI-generated event reports (SavedReport). Optionally filter by event_id.",
        inputSchema({{"event_id", "string", "Filter by event UUID (optional)"}}, {})},
       "AI-generated event reports",
       &MCPToolHandlers::listReports},
      {{"create_note", "Create a text note on a contact.",
        inputSchema(
            {{"contact_id", "string", kContactRequired},
             {"text", "string", "Note text content (required)"},
             {"type", "string", "Note type: text (default), voice, handwriting (optional)"}},
            {"contact_id", "text"})},
       "Add a note to a contact",
       &MCPToolHandlers::createNote},
      {{"update_contact_status",
        "Update a contact's met/not-met status and optional star rating (1-5).",
        inputSchema({{"contact_id", "string", kContactRequired},
                     {"status", "string", "New status: met or notMet (required)"},
                     {"rating", "integer", "Interaction rating 1-5 (optional)"}},
                    {"contact_id", "status"})},
       "Set met/not-met and rating",
       &MCPToolHandlers::updateContactStatus},
      {{"create_opportunity", "Create a sales opportunity linked to an event.",
        inputSchema({{"event_id", "string", kEventRequired},
                     {"title", "string", "Opportunity title (required)"},
                     {"company_name", "string", "Company name (required)"},
                     {"value", "number", "Deal value (optional)"},
                     {"currency", "string", "Currency code, default EUR (optional)"},
                     {"stage", "string", "Pipeline stage, default Exploring (optional)"},
                     {"notes", "string", "Additional notes (optional)"}},
                    {"event_id", "title", "company_name"})},
       "Create a sales opportunity",
       &MCPToolHandlers::createOpportunity},
      {{"update_opportunity", "Update an existing sales opportunity.",
        inputSchema({{"opportunity_id", "string", "UUID of the opportunity (required)"},
                     {"title", "string", "New title (optional)"},
                     {"value", "number", "New deal value (optional)"},
                     {"stage", "string", "New pipeline stage (optional)"},
                     {"notes", "string", "New notes (optional)"},
                     {"next_step", "string", "New next step (optional)"}},
                    {"opportunity_id"})},
       "Update an opportunity",
       &MCPToolHandlers::updateOpportunity},
  };
  return entries;
}

MCPToolHandlers::MCPToolHandlers(Store& store, const AppSettings& settings,
                                 DeviceIdentity& identity, Clock clock)
    : store_(store),
      settings_(settings),
      identity_(identity),
      clock_(std::move(clock)),
      contacts_(std::make_unique<ContactIndex>(kSearchWindow)) {}

MCPToolHandlers::~MCPToolHandlers() = default;

const std::vector<MCPTool>& MCPToolHandlers::tools() {
  static const std::vector<MCPTool> list = [] {
    std::vector<MCPTool> out;
    for (const auto& entry : catalogue()) out.push_back(entry.tool);
    return out;
  }();
  return list;
}

std::string_view MCPToolHandlers::label(std::string_view toolName) {
  for (const auto& entry : catalogue())
    if (entry.tool.name == toolName) return entry.label;
  return toolName;  // not a tool of ours: shown as called
}

ToolOutcome MCPToolHandlers::callTool(std::string_view name, const JSONValue& arguments) {
  for (const auto& entry : catalogue())
    if (entry.tool.name == name) return (this->*entry.run)(arguments);
  return support::failure("Unknown tool: " + std::string(name));
}

}  // namespace qm::mcp
