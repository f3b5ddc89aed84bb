#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/date.h"
#include "mcp/json_rpc.h"
#include "store/note_authoring.h"

namespace qm {
class AppSettings;
class DeviceIdentity;
class Store;
}  // namespace qm

namespace qm::mcp {

/// One entry of the tool catalogue.
struct MCPTool {
  std::string name;
  std::string description;
  JSONValue inputSchema;  ///< {"type":"object","properties":{...},"required":[...]}
};

/// What a tool call gives the router: the text (always one JSON document), the
/// error flag and the result count (0 on failure).
struct ToolOutcome {
  std::string text;
  bool isError = false;
  std::int64_t resultCount = 0;
};

/// The sixteen MCP tools over the local store: twelve read tools and four write
/// tools. Every failure is an error document ({"error": ...}) with the error
/// flag set, never an exception.
class ContactIndex;

class MCPToolHandlers {
 public:
  using Clock = std::function<Date()>;

  MCPToolHandlers(Store& store, const AppSettings& settings, DeviceIdentity& identity,
                  Clock clock = now);
  ~MCPToolHandlers();

  /// The catalogue, in its fixed order.
  static const std::vector<MCPTool>& tools();
  /// The short label of a tool as lists show it ("List all events with stats");
  /// a name that is not in the catalogue is given back unchanged.
  static std::string_view label(std::string_view toolName);
  /// How many of the tools are read tools (the first ones in the catalogue).
  static constexpr std::size_t kReadToolCount = 12;

  /// Runs the tool `name` with `arguments` (null when absent).
  ToolOutcome callTool(std::string_view name, const JSONValue& arguments);

 private:
  /// The `displayName` setting (none when empty) and this desktop's device.
  NoteAuthor desktopNoteAuthor() const;
  /// One catalogue entry with its label and the member function that runs it.
  struct Entry;
  static const std::vector<Entry>& catalogue();

  // The read tools (mcp_read_tools.cpp).
  ToolOutcome listEvents(const JSONValue& arguments);
  ToolOutcome getEvent(const JSONValue& arguments);
  ToolOutcome getEventStats(const JSONValue& arguments);
  ToolOutcome listContacts(const JSONValue& arguments);
  ToolOutcome searchContacts(const JSONValue& arguments);
  ToolOutcome getContact(const JSONValue& arguments);
  ToolOutcome listNotes(const JSONValue& arguments);
  ToolOutcome getVoiceTranscript(const JSONValue& arguments);
  ToolOutcome listOpportunities(const JSONValue& arguments);
  ToolOutcome listDrafts(const JSONValue& arguments);
  ToolOutcome listCaptures(const JSONValue& arguments);
  ToolOutcome listReports(const JSONValue& arguments);

  // The write tools (mcp_write_tools.cpp).
  ToolOutcome createNote(const JSONValue& arguments);
  ToolOutcome updateContactStatus(const JSONValue& arguments);
  ToolOutcome createOpportunity(const JSONValue& arguments);
  ToolOutcome updateOpportunity(const JSONValue& arguments);

  Store& store_;
  const AppSettings& settings_;
  DeviceIdentity& identity_;
  Clock clock_;
  /// What search_contacts and list_contacts' query look in, folded once.
  std::unique_ptr<ContactIndex> contacts_;
};

}  // namespace qm::mcp
