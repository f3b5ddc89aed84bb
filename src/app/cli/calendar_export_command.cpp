// `quillmere export ics EVENT`: the event's follow-ups and opportunities' next
// steps as to-dos of an iCalendar file. It only reads the store, directly, like
// the other exports; the file is written whole and atomically.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>
#include <ostream>

#include "app/cli/cli_context.h"
#include "app/cli/event_argument.h"
#include "app/cli/export_commands.h"
#include "common/app_paths.h"
#include "export/calendar_history.h"
#include "export/follow_up_calendar.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/store.h"

namespace qm::cli {

namespace {

namespace fs = std::filesystem;

struct CalendarExportRequest {
  std::string event;
  std::string output;
};

std::string counted(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

int runCalendarExport(CliContext& context, const CalendarExportRequest& request) {
  auto store = openStore(context);
  if (!store) return 1;
  auto event = eventArgument(*store, request.event);
  if (!event) {
    context.err << event.error().message << "\n";
    return 1;
  }
  UserDefaults defaults(context.paths.defaultsFile());
  const AppSettings settings(defaults);
  const std::string proposed = proposedCalendarFileName(event->name);
  fs::path file;
  std::error_code ignored;
  if (!request.output.empty()) {
    file = expandHome(request.output);
    if (fs::is_directory(file, ignored)) file /= proposed;
  } else {
    file = settings.defaultExportFolderPath() / proposed;
  }
  const CalendarExportOptions options{
      .dueDays = settings.followUpDueDays(),
      .historyFile = CalendarHistory::fileIn(context.paths.applicationSupport)};
  auto summary = exportFollowUpCalendar(*store, event->id, options, file);
  if (!summary) {
    context.err << "Failed to save: " << summary.error().message << "\n";
    return 1;
  }
  for (const auto& warning : summary->warnings) context.err << warning << "\n";
  const fs::path absolute = fs::absolute(file, ignored);
  const std::string shown = (absolute.empty() ? file : absolute).string();
  if (summary->total() == 0) {
    context.out << "No follow-ups to put in the calendar for " << event->name
                << ": wrote an empty calendar to " << shown << "\n";
  } else {
    std::string what;
    if (summary->followUps > 0) what = counted(summary->followUps, "follow-up", "follow-ups");
    if (summary->followUps > 0 && summary->nextSteps > 0) what += " and ";
    if (summary->nextSteps > 0) what += counted(summary->nextSteps, "next step", "next steps");
    context.out << "Exported " << what << " to " << shown << "\n";
  }
  return 0;
}

}  // namespace

void addCalendarExportCommand(CLI::App& exportCommand, CliContext& context, int& exitCode) {
  auto request = std::make_shared<CalendarExportRequest>();
  auto* command = exportCommand.add_subcommand(
      "ics", "An event's follow-ups and next steps as to-dos of an iCalendar (.ics) file");
  command->add_option("EVENT", request->event, "The event: its id, its name or part of it")
      ->required();
  command->add_option("-o,--output", request->output,
                      "The file to write, or a folder for the proposed name (default: the "
                      "proposed name in the defaultExportFolder setting, else here)");
  command->callback(
      [&context, &exitCode, request] { exitCode = runCalendarExport(context, *request); });
}

}  // namespace qm::cli
