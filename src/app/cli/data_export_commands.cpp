// `quillmere export eml` (one draft, or an event's drafts into a folder),
// `quillmere export all` (every record as one JSON file) and
// `quillmere restore FILE` (such a file back into the store). The exports only
// read the store; the restore writes it directly and so refuses to run beside
// the companion, which would otherwise be a second writer.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <ostream>

#include "app/cli/cli_context.h"
#include "app/cli/event_argument.h"
#include "app/cli/export_commands.h"
#include "app/control_client.h"
#include "common/atomic_file.h"
#include "export/eml_export.h"
#include "export/eml_file_name.h"
#include "export/full_data_export.h"
#include "export/restore.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/store.h"

namespace qm::cli {

namespace {

namespace fs = std::filesystem;

struct EmlOptionsCli {
  std::string draftID, event, outputFile, folder;
};

/// The `defaultExportFolder` setting, or the current folder when none is set.
fs::path defaultFolder(CliContext& context) {
  UserDefaults defaults(context.paths.defaultsFile());
  AppSettings settings(defaults);
  const fs::path folder = settings.defaultExportFolderPath();
  return folder.empty() ? fs::current_path() : folder;
}

EmlOptions messageOptions(CliContext& context) {
  UserDefaults defaults(context.paths.defaultsFile());
  return emlOptionsFrom(AppSettings(defaults));
}

int exportOneDraft(CliContext& context, Store& store, const EmlOptionsCli& o) {
  const auto id = Uuid::parse(o.draftID);
  if (!id) {
    context.err << "Not a draft id: " << o.draftID << "\n";
    return 1;
  }
  auto message = loadDraftMessage(store, *id);
  if (!message) {
    context.err << message.error().message << "\n";
    return 1;
  }
  const fs::path file =
      !o.outputFile.empty()
          ? fs::path(o.outputFile)
          : uniqueFileURL(o.folder.empty() ? defaultFolder(context) : fs::path(o.folder),
                          emlFileName(*message));
  if (auto written = exportDraft(*message, messageOptions(context), file); !written) {
    context.err << "Failed to save: " << written.error().message << "\n";
    return 1;
  }
  context.out << "Wrote " << file.string() << "\n";
  return 0;
}

int exportEventDrafts(CliContext& context, Store& store, const EmlOptionsCli& o) {
  auto event = eventArgument(store, o.event);
  if (!event) {
    context.err << event.error().message << "\n";
    return 1;
  }
  auto messages = eventDraftsForExport(store, event->id);
  if (!messages) {
    context.err << messages.error().message << "\n";
    return 1;
  }
  if (messages->empty()) {
    context.out << "No drafts to export for " << event->name << ".\n";
    return 0;
  }
  const fs::path folder = o.folder.empty() ? defaultFolder(context) : fs::path(o.folder);
  const auto result = exportDrafts(*messages, messageOptions(context), folder);
  for (const auto& written : result.written)
    context.out << "Wrote " << written.fileURL.string() << " (" << written.contactName << ")\n";
  for (const auto& failed : result.failed)
    context.err << "Failed to save: the draft to " << failed.contactName << " ("
                << failed.draftID.str() << "): " << failed.error.message << "\n";
  const auto count = result.written.size();
  context.out << "Exported " << count << (count == 1 ? " draft" : " drafts") << " as .eml to "
              << folder.string() << "\n";
  return result.failed.empty() ? 0 : 1;
}

int exportEml(CliContext& context, const EmlOptionsCli& o) {
  if (o.draftID.empty() == o.event.empty()) {
    context.err << "Name one draft by its id, or an event's drafts with --event\n";
    return 1;
  }
  if (!o.event.empty() && !o.outputFile.empty()) {
    context.err << "An event's drafts go into a folder: use --dir instead of -o\n";
    return 1;
  }
  auto store = openStore(context);
  if (!store) return 1;
  return o.event.empty() ? exportOneDraft(context, *store, o)
                         : exportEventDrafts(context, *store, o);
}

int exportAll(CliContext& context, const std::string& outputFile) {
  auto store = openStore(context);
  if (!store) return 1;
  const Date exportedAt = now();
  auto data = buildFullDataExport(*store, exportedAt);
  if (!data) {
    context.err << data.error().message << "\n";
    return 1;
  }
  const fs::path file = outputFile.empty() ? defaultFolder(context) / dataExportFileName(exportedAt)
                                           : fs::path(outputFile);
  // Mode 0600: the file holds other people's personal data.
  if (auto written = writeFileAtomically(file, data->document, 0600); !written) {
    context.err << "Failed to save: " << written.error().message << "\n";
    return 1;
  }
  context.out << "Wrote " << file.string() << "\n";
  for (const auto& kind : data->counts)
    context.out << "  " << kind.kind << ": " << kind.count << "\n";
  return 0;
}

int restore(CliContext& context, const std::string& file, bool merge) {
  if (companionIsRunning(context.paths.controlSocket())) {
    context.err << "Quillmere is running: stop it first, then restore (the restore writes the "
                   "store, which may have one writer only).\n";
    return 1;
  }
  auto store = openStore(context);
  if (!store) return 1;
  auto summary =
      restoreDataExportFile(*store, file, merge ? RestoreMode::merge : RestoreMode::emptyStoreOnly);
  if (!summary) {
    context.err << summary.error().message << "\n";
    if (summary.error().code == ErrorCode::failedPrecondition)
      context.err << "Use quillmere restore " << file << " --merge to merge.\n";
    return 1;
  }
  context.out << "Restored " << summary->added() << " records from " << file << "\n";
  for (const auto& kind : summary->kinds) {
    if (kind.added == 0 && kind.kept == 0) continue;
    context.out << "  " << kind.kind << ": " << kind.added << " added";
    if (merge) context.out << ", " << kind.kept << " already stored and kept";
    context.out << "\n";
  }
  return 0;
}

}  // namespace

void addDraftAndDataExportCommands(CLI::App& app, CLI::App& exportCommand, CliContext& context,
                                   int& exitCode) {
  auto emlOptions = std::make_shared<EmlOptionsCli>();
  auto* eml = exportCommand.add_subcommand(
      "eml", "Save a follow-up draft, or an event's drafts, as .eml e-mail files");
  eml->add_option("DRAFT_ID", emlOptions->draftID, "The draft to save");
  eml->add_option("-o,--output", emlOptions->outputFile,
                  "The file to write (default: its proposed name in --dir)");
  eml->add_option("--event", emlOptions->event,
                  "Save every draft of this event (id or name) but the dismissed ones");
  eml->add_option("--dir", emlOptions->folder,
                  "The folder to write into (default: the defaultExportFolder setting, else the "
                  "current folder)");
  eml->callback([&context, &exitCode, emlOptions] { exitCode = exportEml(context, *emlOptions); });

  auto outputFile = std::make_shared<std::string>();
  auto* all = exportCommand.add_subcommand(
      "all", "Write every event, contact, note, draft and other record to one JSON file");
  all->add_option("-o,--output", *outputFile,
                  "The file to write (default: Quillmere_Export_<date>.json in the "
                  "defaultExportFolder setting, else the current folder)");
  all->callback([&context, &exitCode, outputFile] { exitCode = exportAll(context, *outputFile); });

  struct RestoreOptions {
    std::string file;
    bool merge = false;
  };
  auto restoreOptions = std::make_shared<RestoreOptions>();
  auto* restoreCommand =
      app.add_subcommand("restore", "Read a file of quillmere export all into the store");
  restoreCommand->add_option("FILE", restoreOptions->file, "The data export to read")->required();
  restoreCommand->add_flag("--merge", restoreOptions->merge,
                           "Add to a store that holds records; records already stored are kept");
  restoreCommand->callback([&context, &exitCode, restoreOptions] {
    exitCode = restore(context, restoreOptions->file, restoreOptions->merge);
  });
}

}  // namespace qm::cli
