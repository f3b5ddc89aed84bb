#include <CLI/CLI.hpp>
#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/cli/companion_restart.h"
#include "app/cli/word_choice.h"
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

/// Asks before a language change, which restarts the running companion.
bool confirmLanguageChange(CliContext& context, const std::string& value) {
  auto language = parseEnum<AppLanguage>(value);
  const std::string label = language ? std::string(displayLabel(*language)) : value;
  return askChoice(context, "Change Language?", "Quillmere will restart to switch to " + label,
                   {"Change & Restart", "Cancel"}, "Cancel") == "Change & Restart";
}

/// The value as the setting stores it: a word of a setting with a fixed set of
/// values may be typed in any case and with dashes or spaces ("Compact",
/// "chat-completions"); free text is kept as typed.
Result<std::string> settingValue(const std::string& key, const std::string& typed) {
  const auto& all = AppSettings::descriptors();
  const auto d = std::ranges::find(all, std::string_view(key), &SettingDescriptor::key);
  if (d == all.end()) return typed;
  std::vector<WordChoice> words;
  if (d->kind == SettingKind::boolean) words = {{"true"}, {"false"}};
  for (const auto allowed : d->allowedValues) words.push_back({std::string(allowed)});
  if (words.empty()) return typed;
  return WordChoices("a value of " + key, std::move(words)).match(typed);
}

/// Changes the setting through the running companion; a new language restarts
/// it (after asking, unless `options.yes`), and this waits until it is back.
int setThroughCompanion(CliContext& context, const SettingsOptions& options,
                        const std::string& value, bool languageChanges) {
  const auto socket = context.paths.controlSocket();
  std::optional<CompanionLaunch> before;
  if (options.key == "appLanguage") {
    auto launch = currentLaunch(socket);
    if (!launch) {
      context.err << launch.error().message << "\n";
      return 1;
    }
    before = std::move(*launch);
  }
  if (languageChanges && !options.yes && !confirmLanguageChange(context, value)) {
    context.out << "Nothing changed.\n";
    return 1;
  }
  auto answer = sendControlRequest(
      socket, {{"command", "settings.set"}, {"key", options.key}, {"value", value}});
  if (!answer) {
    context.err << answer.error().message << "\n";
    return 1;
  }
  context.out << options.key << " = " << answer->value("value", "") << "\n";
  if (!answer->value("relaunching", false) || !before) return 0;
  context.out << "Restarting Quillmere…" << std::endl;
  if (auto back = waitForRestart(socket, *before, std::chrono::seconds(30)); !back) {
    context.err << back.error().message << "\n";
    return 1;
  }
  const auto language = parseEnum<AppLanguage>(value);
  context.out << "Quillmere has restarted in "
              << (language == AppLanguage::system ? std::string("the system's language")
                                                  : std::string(displayLabel(*language)))
              << ".\n";
  // A window reads the language when it opens; it reconnects by itself.
  if (before->feedSubscribers > 0)
    context.out << "A Quillmere window that is open keeps its language until you reopen it.\n";
  return 0;
}

int setSetting(CliContext& context, const SettingsOptions& options) {
  auto value = settingValue(options.key, options.value);
  if (!value) {
    context.err << value.error().message << "\n";
    return 2;
  }
  if (auto valid = AppSettings::validate(options.key, *value); !valid) {
    context.err << valid.error().message << "\n";
    return 2;
  }
  UserDefaults defaults(context.paths.defaultsFile());
  AppSettings settings(defaults);
  if (companionIsRunning(context.paths.controlSocket())) {
    const bool languageChanges =
        options.key == "appLanguage" && *settings.get(options.key) != *value;
    return setThroughCompanion(context, options, *value, languageChanges);
  }
  // Nothing runs that would need a restart: the next start reads the file.
  if (auto set = settings.set(options.key, *value); !set) {
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
  set->add_flag("-y,--yes", options->yes,
                "Do not ask before a language change restarts the running companion");
  set->callback([&, options] { exitCode = setSetting(context, *options); });
}

}  // namespace qm::cli
