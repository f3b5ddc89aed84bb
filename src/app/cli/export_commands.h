#pragma once

namespace CLI {
class App;
}

namespace qm::cli {

struct CliContext;

/// `export csv|hubspot|salesforce|pipedrive|xlsx|vcard EVENT …`: contact files.
void addContactExportCommands(CLI::App& exportCommand, CliContext& context, int& exitCode);
/// `export ics EVENT …`: the follow-up calendar.
void addCalendarExportCommand(CLI::App& exportCommand, CliContext& context, int& exitCode);
/// `export eml …` and `export all …` under `exportCommand`, and `restore FILE` on `app`.
void addDraftAndDataExportCommands(CLI::App& app, CLI::App& exportCommand, CliContext& context,
                                   int& exitCode);

}  // namespace qm::cli
