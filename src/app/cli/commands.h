#pragma once

namespace CLI {
class App;
}

namespace qm::cli {

struct CliContext;

// Each adds one subcommand (with its own --help) to the command-line tool.
void addRunCommand(CLI::App& app, CliContext& context, int& exitCode);
void addStatusCommand(CLI::App& app, CliContext& context, int& exitCode);
void addSettingsCommand(CLI::App& app, CliContext& context, int& exitCode);
void addResetCommand(CLI::App& app, CliContext& context, int& exitCode);
void addMcpCommand(CLI::App& app, CliContext& context, int& exitCode);
void addDemoCommand(CLI::App& app, CliContext& context, int& exitCode);
void addPairCommand(CLI::App& app, CliContext& context, int& exitCode);
/// `sync`, `events`, `import` and `push`.
void addSyncCommands(CLI::App& app, CliContext& context, int& exitCode);
/// `drafts generate|batch|cancel|list|show|edit|set-status|send`.
void addDraftsCommand(CLI::App& app, CliContext& context, int& exitCode);
/// `drafts send`, added to the `drafts` command.
void addDraftsSendCommand(CLI::App& drafts, CliContext& context, int& exitCode);
/// `mail login|status|logout`.
void addMailCommand(CLI::App& app, CliContext& context, int& exitCode);
/// `contacts`, `companies` and `dashboard`.
void addListCommands(CLI::App& app, CliContext& context, int& exitCode);
/// `report`: an event's post-show report as a PDF.
void addReportCommand(CLI::App& app, CliContext& context, int& exitCode);
/// `search`.
void addSearchCommand(CLI::App& app, CliContext& context, int& exitCode);
/// `export` with its formats, and `restore`.
void addExportCommands(CLI::App& app, CliContext& context, int& exitCode);
/// `ai login|logout|status`.
void addAiCommand(CLI::App& app, CliContext& context, int& exitCode);
/// `service install|uninstall|status`.
void addServiceCommand(CLI::App& app, CliContext& context, int& exitCode);
/// `watch`: the companion's change feed, until Ctrl-C.
void addWatchCommand(CLI::App& app, CliContext& context, int& exitCode);
/// `update check`: whether the package manager offers a newer Quillmere.
void addUpdateCommand(CLI::App& app, CliContext& context, int& exitCode);

}  // namespace qm::cli
