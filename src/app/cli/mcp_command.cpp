#include <unistd.h>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/cli/word_choice.h"
#include "app/control_client.h"
#include "mcp/mcp_auth_manager.h"
#include "mcp/mcp_client_setup.h"
#include "mcp/mcp_probe.h"
#include "mcp/mcp_tool_handlers.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"
#include "store/mcp_records.h"
#include "store/store.h"

namespace qm::cli {

namespace {

std::filesystem::path homeFolder() {
  const char* home = std::getenv("HOME");
  return home && *home ? std::filesystem::path(home) : std::filesystem::path(".");
}

/// The AI clients by their command-line names, or by their own names
/// ("Claude Desktop").
WordChoices clientChoices() {
  std::vector<WordChoice> choices;
  for (const auto& c : mcp::mcpClients(homeFolder())) choices.push_back({c.id, {c.name}});
  return WordChoices("a client", std::move(choices));
}

std::filesystem::path programPath() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path("quillmere") : exe;
}

/// "3 minutes", "1 hour", "2 days": how long ago `then` was.
std::string relativeTime(Date then, Date at) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(at - then).count();
  auto plural = [](long long n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
  };
  if (seconds < 60) return plural(std::max<long long>(seconds, 0), "second");
  if (seconds < 3600) return plural(seconds / 60, "minute");
  if (seconds < 86400) return plural(seconds / 3600, "hour");
  return plural(seconds / 86400, "day");
}

/// Turns the server on or off: through the running companion (which then
/// starts or stops it at once) or, when it is not running, in the settings file.
int setEnabled(CliContext& context, bool enabled) {
  const std::string value = enabled ? "true" : "false";
  const auto socket = context.paths.controlSocket();
  if (companionIsRunning(socket)) {
    auto answer = sendControlRequest(
        socket, {{"command", "settings.set"}, {"key", "mcpServerEnabled"}, {"value", value}});
    if (!answer) {
      context.err << answer.error().message << "\n";
      return 1;
    }
  } else {
    UserDefaults defaults(context.paths.defaultsFile());
    AppSettings settings(defaults);
    if (auto set = settings.setMcpServerEnabled(enabled); !set) {
      context.err << set.error().message << "\n";
      return 1;
    }
  }
  context.out << "MCP Server " << (enabled ? "enabled" : "disabled") << ".\n";
  return 0;
}

Result<std::unique_ptr<Store>> openStoreOrError(CliContext& context) {
  auto store = Store::open(context.paths.storeFile());
  if (!store) return Error("Cannot open the store: " + store.error().message);
  return store;
}

void printClients(CliContext& context, Store& store) {
  context.out << "Connected Tools\n";
  auto clients = store.fetch<MCPClientAuthorization>();
  if (!clients || clients->empty()) {
    context.out << "  (none)\n";
    return;
  }
  const Date at = now();
  for (const auto& c : *clients) {
    const char* access = !c.isActive()                  ? "revoked"
                         : c.permissions == "readWrite" ? "active, reads and writes"
                                                        : "active, reads only";
    context.out << "  " << c.clientName << "  " << access
                << "  Last access: " << relativeTime(c.lastAccessedAt, at) << " ago\n";
  }
}

void printLog(CliContext& context, Store& store, std::size_t limit) {
  context.out << "Activity Log\n";
  auto rows = store.fetch<MCPAccessLog>();
  if (!rows || rows->empty()) {
    context.out << "  (empty)\n";
    return;
  }
  auto clients = store.fetch<MCPClientAuthorization>();
  std::map<Uuid, std::string> names;
  if (clients)
    for (const auto& c : *clients) names.emplace(c.id, c.clientName);
  const std::size_t first = rows->size() > limit ? rows->size() - limit : 0;
  for (std::size_t i = rows->size(); i-- > first;) {  // newest first
    const auto& r = (*rows)[i];
    context.out << "  " << formatISO8601(r.timestamp) << "  " << r.method;
    if (r.resultCount) context.out << "  " << *r.resultCount << " results";
    auto name = names.find(r.clientID);
    if (name != names.end()) context.out << "  (" << name->second << ")";
    context.out << "\n";
  }
}

void printStatus(CliContext& context) {
  UserDefaults defaults(context.paths.defaultsFile());
  AppSettings settings(defaults);
  context.out << "MCP Server\n"
              << "Allow AI applications to read your Quillmere data via the Model Context "
                 "Protocol.\n"
              << "Enable MCP Server: " << (settings.mcpServerEnabled() ? "on" : "off") << "\n";
  auto status = sendControlRequest(context.paths.controlSocket(), {{"command", "status"}});
  if (status && status->value("mcpServerRunning", false)) {
    context.out << "Active on localhost:" << status->value("mcpPort", 23816) << "\n";
  } else if (!status) {
    context.out << kNotRunningText << "\n";
  }
  const auto& tools = mcp::MCPToolHandlers::tools();
  context.out << "\nAvailable Tools — Read-Only (" << mcp::MCPToolHandlers::kReadToolCount << ")\n";
  for (std::size_t i = 0; i < tools.size(); ++i) {
    if (i == mcp::MCPToolHandlers::kReadToolCount)
      context.out << "\nAvailable Tools — Write (" << tools.size() - i << ")\n";
    context.out << "  " << tools[i].name << "  " << mcp::MCPToolHandlers::label(tools[i].name)
                << "\n";
  }
  if (auto store = openStoreOrError(context)) {
    context.out << "\n";
    printClients(context, **store);
    context.out << "\n";
    printLog(context, **store, 20);
  }
}

/// Changes what a client may do: through the running companion (`request`
/// with the client's name added), else in the store file. False, with the
/// reason written, when it failed.
bool changeClient(CliContext& context, nlohmann::json request, const std::string& client,
                  const std::function<Status(Store&)>& inStore) {
  const auto socket = context.paths.controlSocket();
  Status done;
  if (companionIsRunning(socket)) {
    request["client"] = client;
    auto answer = sendControlRequest(socket, request);
    if (!answer) done = answer.error();
  } else {
    auto store = openStoreOrError(context);
    done = store ? inStore(**store) : Status(store.error());
  }
  if (!done) context.err << done.error().message << "\n";
  return done.ok();
}

mcp::MCPConnection connectionFor(bool stdio) {
  return {mcp::configuredMCPPort(), mcp::findBridgeScript(programPath()), stdio};
}

mcp::MCPClientSetup clientNamed(const std::string& id) {
  for (auto& c : mcp::mcpClients(homeFolder()))
    if (c.id == id) return c;
  return {};
}

/// `text` with every line indented by two spaces, to stand out from the prose.
std::string indented(const std::string& text) {
  std::string out = "  ";
  for (char c : text) {
    out += c;
    if (c == '\n') out += "  ";
  }
  return out;
}

/// One line per client: its file, its entry and what to do about it, then
/// whether the server answers an MCP handshake now. 0 when every entry
/// there is reaches this companion's server and the server answers.
int runDoctor(CliContext& context) {
  using Kind = mcp::MCPClientState::Kind;
  const std::uint16_t port = mcp::configuredMCPPort();
  bool allWell = true;
  context.out << "AI clients (this companion's server: " << mcp::mcpServerURL(port) << ")\n";
  for (const auto& c : mcp::mcpClients(homeFolder())) {
    const auto state = mcp::inspectMCPClient(c, port);
    context.out << "  " << c.id << "  " << c.displayPath << "  ";
    switch (state.kind) {
      case Kind::noFile:
        context.out << "no file";
        break;
      case Kind::notInstalled:
        context.out << "no quillmere entry";
        break;
      case Kind::installed:
        context.out << "installed" << (state.throughBridge ? " (through the bridge)" : "");
        break;
      case Kind::pointsElsewhere:
        allWell = false;
        context.out << "points elsewhere"
                    << (state.port ? " (port " + std::to_string(*state.port) + ")" : "")
                    << "; update it with: quillmere mcp install " << c.id;
        break;
      case Kind::unreadable:
        allWell = false;
        context.out << "unreadable: " << state.detail;
        break;
    }
    context.out << "\n";
  }
  auto answer = mcp::probeMCPServer(port);
  if (answer) {
    context.out << "MCP server: answers on port " << port << " (" << *answer << ")\n";
  } else {
    allWell = false;
    context.out << "MCP server: does not answer: " << answer.error().message
                << ". Is the companion running with the server on? (quillmere mcp enable)\n";
  }
  return allWell ? 0 : 1;
}

struct McpOptions {
  bool yes = false;
  bool stdio = false;
  std::string client;
  std::size_t limit = 50;
};

}  // namespace

void addMcpCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto options = std::make_shared<McpOptions>();
  auto* mcp = app.add_subcommand("mcp", "The MCP server for AI applications on this computer");
  mcp->require_subcommand(1);

  auto* enable = mcp->add_subcommand("enable", "Enable MCP Server (asks first)");
  enable->add_flag("-y,--yes", options->yes, "Do not ask for confirmation");
  enable->callback([&, options] {
    if (!options->yes &&
        askChoice(
            context, "Enable MCP Server?",
            "This allows AI applications on this computer to read your Quillmere data (contacts, "
            "notes, drafts). No data leaves your local network.",
            {"Cancel", "Enable"}, "Cancel") != "Enable") {
      context.out << "Nothing changed.\n";
      exitCode = 1;
      return;
    }
    exitCode = setEnabled(context, true);
  });

  mcp->add_subcommand("disable", "Turn the MCP server off")->callback([&] {
    exitCode = setEnabled(context, false);
  });

  mcp->add_subcommand("status", "The server, its tools, connected clients and recent activity")
      ->callback([&] { printStatus(context); });

  mcp->add_subcommand("clients", "AI clients that have connected")->callback([&] {
    auto store = openStoreOrError(context);
    if (!store) {
      context.err << store.error().message << "\n";
      exitCode = 1;
      return;
    }
    printClients(context, **store);
  });

  auto* log = mcp->add_subcommand("log", "Tool calls of the last 30 days, newest first");
  log->add_option("-n,--limit", options->limit, "How many rows (default 50)");
  log->callback([&, options] {
    auto store = openStoreOrError(context);
    if (!store) {
      context.err << store.error().message << "\n";
      exitCode = 1;
      return;
    }
    printLog(context, **store, options->limit);
  });

  auto* revoke = mcp->add_subcommand("revoke", "Cut an AI client off");
  revoke->add_option("name", options->client, "The client's name, as listed by `mcp clients`")
      ->required();
  revoke->callback([&, options] {
    if (changeClient(context, {{"command", "mcp.revoke"}}, options->client, [&](Store& store) {
          return mcp::MCPAuthManager::revoke(store, options->client, now());
        }))
      context.out << options->client << " is revoked.\n";
    else
      exitCode = 1;
  });

  auto* restore = mcp->add_subcommand("restore", "Let a revoked AI client back in");
  restore->add_option("name", options->client, "The client's name")->required();
  restore->callback([&, options] {
    if (changeClient(context, {{"command", "mcp.restore"}}, options->client, [&](Store& store) {
          return mcp::MCPAuthManager::restore(store, options->client);
        }))
      context.out << options->client << " is active again.\n";
    else
      exitCode = 1;
  });

  for (const bool allowed : {true, false}) {
    auto* grant = mcp->add_subcommand(
        allowed ? "allow-writes" : "read-only",
        allowed ? "Let an AI client change records too" : "Let an AI client only read again");
    grant->add_option("name", options->client, "The client's name")->required();
    grant->callback([&, options, allowed] {
      if (!changeClient(context, {{"command", "mcp.allowWrites"}, {"allowed", allowed}},
                        options->client, [&](Store& store) {
                          return mcp::MCPAuthManager::allowWrites(store, options->client, allowed);
                        })) {
        exitCode = 1;
        return;
      }
      context.out << options->client
                  << (allowed ? " may now read and change records.\n" : " may now only read.\n");
    });
  }

  auto* config = mcp->add_subcommand("config", "Show how to connect an AI client");
  addWordOption(*config, "client", options->client, clientChoices(),
                "The AI client (default: all)");
  config->add_flag("--stdio", options->stdio,
                   "The entry that starts the bridge script with node, instead of the address");
  config->callback([&, options] {
    const auto connection = connectionFor(options->stdio);
    for (const auto& c : mcp::mcpClients(homeFolder())) {
      if (!options->client.empty() && options->client != c.id) continue;
      context.out << c.title << "  (quillmere mcp install " << c.id << ")\n"
                  << c.displayPath << "\n"
                  << "Add to your config file:\n"
                  << indented(mcp::mcpClientSnippet(c, connection)) << "\n"
                  << c.note << "\n\n";
    }
  });

  auto* install = mcp->add_subcommand(
      "install", "Add Quillmere to an AI client's config file (keeps a backup)");
  addWordOption(*install, "client", options->client, clientChoices(), "The AI client")->required();
  install->add_flag("--stdio", options->stdio,
                    "Start the bridge script with node instead of connecting over HTTP");
  install->callback([&, options] {
    const auto c = clientNamed(options->client);
    auto done = mcp::installMCPClient(c, connectionFor(options->stdio));
    if (!done) {
      context.err << done.error().message << "\n";
      exitCode = 1;
      return;
    }
    switch (*done) {
      case mcp::InstallOutcome::created:
        context.out << "Created " << c.configFile.string() << ".\n";
        break;
      case mcp::InstallOutcome::updated:
        context.out << "Updated " << c.configFile.string()
                    << " (the old file is kept beside it).\n";
        break;
      case mcp::InstallOutcome::unchanged:
        context.out << c.configFile.string() << " is already set up.\n";
        break;
    }
    context.out << c.note << "\n";
  });

  auto* uninstall =
      mcp->add_subcommand("uninstall", "Take Quillmere out of an AI client's config file");
  addWordOption(*uninstall, "client", options->client, clientChoices(), "The AI client")
      ->required();
  uninstall->callback([&, options] {
    const auto c = clientNamed(options->client);
    auto done = mcp::uninstallMCPClient(c);
    if (!done) {
      context.err << done.error().message << "\n";
      exitCode = 1;
      return;
    }
    context.out << (*done ? "Removed Quillmere from " + c.configFile.string() +
                                " (the old file is kept beside it).\n"
                          : c.configFile.string() + " has no Quillmere entry.\n");
  });

  mcp->add_subcommand("doctor", "Check every AI client's entry and whether the server answers")
      ->callback([&] { exitCode = runDoctor(context); });
}

}  // namespace qm::cli
