#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/control_client.h"
#include "settings/app_settings.h"
#include "settings/user_defaults.h"

namespace qm::cli {

namespace {

struct SettingsOptions {
  std::string key;
  std::string value;
  bool yes = false;
};

/// Asks before a language change, which restarts a running companion.
bool confirmLanguageChange(CliContext& context, const std::string& value) {
  auto language = parseEnum<AppLanguage>(value);
  const std::string label = language ? std::string(displayLabel(*language)) : value;
  return askChoice(context, "Change Language?", "Quillmere will restart to switch to " + label,
                   {"Change & Restart", "Cancel"}, "Cancel") == "Change & Restart";
}

int setSetting(CliContext& context, const SettingsOptions& options) {
  if (auto valid = AppSettings::validate(options.key, options.value); !valid) {
    context.err << valid.error().message << "\n";
    return 2;
  }
  UserDefaults defaults(context.paths.defaultsFile());
  AppSettings settings(defaults);
  if (options.key == "appLanguage" && *settings.get(options.key) != options.value && !options.yes &&
      !confirmLanguageChange(context, options.value)) {
    context.out << "Nothing changed.\n";
    return 1;
  }

  const auto socket = context.paths.controlSocket();
  if (companionIsRunning(socket)) {
    auto answer = sendControlRequest(
        socket, {{"command", "settings.set"}, {"key", options.key}, {"value", options.value}});
    if (!answer) {
      context.err << answer.error().message << "\n";
      return 1;
    }
    context.out << options.key << " = " << answer->value("value", "") << "\n";
    if (answer->value("relaunching", false)) context.out << "Quillmere is restarting.\n";
    return 0;
  }

  if (auto set = settings.set(options.key, options.value); !set) {
    context.err << set.error().message << "\n";
    return 1;
  }
  if (options.key == "appLanguage") settings.applyLanguagePreference();
  context.out << options.key << " = " << *settings.get(options.key) << "\n";
  return 0;
}

}  // namespace

void addSettingsCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto options = std::make_shared<SettingsOptions>();
  auto* settings = app.add_subcommand("settings", "Show or change the settings");
  settings->require_subcommand(1);

  auto* list = settings->add_subcommand("list", "List every setting with its value");
  list->callback([&] {
    UserDefaults defaults(context.paths.defaultsFile());
    AppSettings current(defaults);
    for (const auto& d : AppSettings::descriptors()) {
      context.out << d.key << " = " << *current.get(d.key);
      if (!defaults.value(d.key)) context.out << "  (default)";
      context.out << "\n";
    }
  });

  auto* get = settings->add_subcommand("get", "Print the value of one setting");
  get->add_option("key", options->key, "The setting's name")->required();
  get->callback([&, options] {
    UserDefaults defaults(context.paths.defaultsFile());
    AppSettings current(defaults);
    auto value = current.get(options->key);
    if (!value) {
      context.err << value.error().message << "\n";
      exitCode = 2;
      return;
    }
    context.out << *value << "\n";
  });

  auto* set = settings->add_subcommand(
      "set", "Change a setting; a running companion takes it over at once");
  set->add_option("key", options->key, "The setting's name")->required();
  set->add_option("value", options->value, "The new value")->required();
  set->add_flag("-y,--yes", options->yes, "Do not ask before a language change restarts Quillmere");
  set->callback([&, options] { exitCode = setSetting(context, *options); });
}

}  // namespace qm::cli
