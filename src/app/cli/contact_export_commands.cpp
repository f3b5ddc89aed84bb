// `quillmere export csv|hubspot|salesforce|pipedrive|xlsx|vcard EVENT`: an
// event's contacts as a file for a CRM, a spreadsheet or an address book. The
// contacts and their notes are read from the store directly; the file is written whole and
// atomically, by default under the proposed name in the export folder setting.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/cli/cli_context.h"
#include "app/cli/event_argument.h"
#include "app/cli/export_commands.h"
#include "app/cli/word_choice.h"
#include "common/app_paths.h"
#include "common/atomic_file.h"
#include "export/contact_export.h"
#include "export/contact_export_loader.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/relationships.h"
#include "store/store.h"

namespace qm::cli {

namespace {

namespace fs = std::filesystem;

struct ContactExportRequest {
  std::string event;
  std::string scope = "all";
  std::string output;
  bool vcard3 = false;
};

/// Where the export goes: -o FILE, or the proposed name inside -o DIR, inside
/// the export folder setting, or else inside the current folder.
fs::path destination(CliContext& context, const ContactExportRequest& request,
                     const std::string& proposedName) {
  if (!request.output.empty()) {
    const fs::path output = expandHome(request.output);
    std::error_code ignored;
    return fs::is_directory(output, ignored) ? output / proposedName : output;
  }
  UserDefaults defaults(context.paths.defaultsFile());
  const fs::path folder = AppSettings(defaults).defaultExportFolderPath();
  if (folder.empty()) return fs::path(proposedName);
  return folder / proposedName;
}

int runContactExport(CliContext& context, ExportFormat format,
                     const ContactExportRequest& request) {
  auto store = Store::open(context.paths.storeFile());
  if (!store) {
    context.err << store.error().message << "\n";
    return 1;
  }
  auto event = eventArgument(**store, request.event);
  if (!event) {
    context.err << event.error().message << "\n";
    return 1;
  }
  auto contacts = contactsOf(**store, event->id);
  if (!contacts) {
    context.err << contacts.error().message << "\n";
    return 1;
  }
  auto meeting = loadContactExportMeeting(**store, event->id);
  if (!meeting) {
    context.err << meeting.error().message << "\n";
    return 1;
  }
  const auto scope = parseEnum<ExportScope>(request.scope).value_or(ExportScope::all);
  const std::vector<Contact> chosen = contactsInScope(std::move(*contacts), scope);
  auto document = exportContacts(format, chosen, *meeting, {.vcard3 = request.vcard3});
  if (!document) {
    context.err << "Failed to save: " << document.error().message << "\n";
    return 1;
  }
  const fs::path path = destination(context, request, proposedExportFileName(event->name, format));
  // Exports hold other people's personal data: readable by the user only.
  if (auto written = writeFileAtomically(path, *document, 0600); !written) {
    context.err << "Failed to save: " << written.error().message << "\n";
    return 1;
  }
  std::error_code ignored;
  const fs::path shown = fs::absolute(path, ignored);
  context.out << "Exported " << chosen.size() << (chosen.size() == 1 ? " contact" : " contacts")
              << " to " << (shown.empty() ? path : shown).string() << "\n";
  return 0;
}

}  // namespace

void addContactExportCommands(CLI::App& exportCommand, CliContext& context, int& exitCode) {
  struct Format {
    ExportFormat format;
    const char* description;
  };
  static constexpr Format kFormats[] = {
      {ExportFormat::csv, "An event's contacts as CSV with the app's analysis columns"},
      {ExportFormat::hubspot, "An event's contacts as CSV for HubSpot's contact import"},
      {ExportFormat::salesforce, "An event's contacts as CSV for Salesforce's lead import"},
      {ExportFormat::pipedrive, "An event's contacts as CSV for Pipedrive's people import"},
      {ExportFormat::xlsx, "An event's contacts as an Excel workbook"},
      {ExportFormat::vcard, "An event's contacts as vCards for an address book"},
  };
  for (const Format& f : kFormats) {
    auto request = std::make_shared<ContactExportRequest>();
    auto* command = exportCommand.add_subcommand(std::string(rawValue(f.format)), f.description);
    command->add_option("EVENT", request->event, "The event: its id, its name or part of it")
        ->required();
    addWordOption(*command, "--scope", request->scope,
                  WordChoices::of<ExportScope>("a scope", {{"favourites", "favorites"}}),
                  "Which of its contacts")
        ->capture_default_str();
    command->add_option("-o,--output", request->output,
                        "The file to write, or a folder for the proposed name (default: the "
                        "proposed name in the defaultExportFolder setting, else here)");
    if (f.format == ExportFormat::vcard)
      command->add_flag("--vcard3", request->vcard3, "vCard 3.0 for older address books");
    const ExportFormat format = f.format;
    command->callback([&context, &exitCode, format, request] {
      exitCode = runContactExport(context, format, *request);
    });
  }
}

}  // namespace qm::cli
