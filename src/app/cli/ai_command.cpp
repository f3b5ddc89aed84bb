// `quillmere ai login|logout|status`: where AI follow-up drafts are written
// and the credential that endpoint takes.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/cli/secret_input.h"
#include "app/cli/word_choice.h"
#include "app/control_client.h"
#include "drafting/mac_proxy_service.h"
#include "settings/app_settings.h"
#include "settings/keychain_store.h"
#include "settings/user_defaults.h"

namespace qm::cli {

namespace {

struct LoginOptions {
  std::optional<std::string> endpoint;
  std::optional<std::string> kind;
  std::optional<std::string> model;
  std::string tokenFile;
};

/// Writes a setting where a running companion sees it at once: through the
/// companion when it runs, else in the settings file.
Status writeSetting(CliContext& context, AppSettings& settings, const std::string& key,
                    const std::string& value) {
  const auto socket = context.paths.controlSocket();
  if (companionIsRunning(socket)) {
    auto answer =
        sendControlRequest(socket, {{"command", "settings.set"}, {"key", key}, {"value", value}});
    if (!answer) return answer.error();
    return {};
  }
  return settings.set(key, value);
}

/// Why requests cannot be sent to the configured endpoint; nothing when they can.
std::optional<std::string> unusableBecause(AppSettings& settings, bool hasToken) {
  const std::string endpoint = settings.aiEndpoint();
  if (endpoint.empty()) return "no endpoint is set";
  if (auto checked = checkAIEndpoint(endpoint); !checked) return checked.error().message;
  if (settings.aiEndpointKind() == AIEndpointKind::proxy && !hasToken)
    return "the AI proxy needs a token (quillmere ai login)";
  return std::nullopt;
}

void printConfiguration(CliContext& context, AppSettings& settings, bool hasToken) {
  const std::string endpoint = settings.aiEndpoint();
  const std::string model = settings.aiModel();
  context.out << "endpoint: " << (endpoint.empty() ? "(none)" : endpoint) << "\n"
              << "kind: " << rawValue(settings.aiEndpointKind()) << "\n"
              << "model: " << (model.empty() ? "(none)" : model) << "\n"
              << "credential: " << (hasToken ? "stored" : "none") << "\n";
  if (auto reason = unusableBecause(settings, hasToken)) {
    context.out << "usable: no, " << *reason << "\n";
  } else {
    context.out << "usable: yes\n";
  }
}

bool holdsToken(KeychainStore& keychain) {
  auto token = keychain.load(kAIEndpointTokenKey);
  return token && !token->empty();
}

int login(CliContext& context, const LoginOptions& options) {
  for (const auto& [key, value] :
       {std::pair{"aiEndpoint", options.endpoint}, std::pair{"aiEndpointKind", options.kind},
        std::pair{"aiModel", options.model}}) {
    if (!value) continue;
    if (auto valid = AppSettings::validate(key, *value); !valid) {
      context.err << valid.error().message << "\n";
      return 2;
    }
  }
  if (auto made = context.paths.createFolders(); !made) {
    context.err << made.error().message << "\n";
    return 1;
  }
  UserDefaults defaults(context.paths.defaultsFile());
  AppSettings settings(defaults);
  const std::string endpoint = options.endpoint.value_or(settings.aiEndpoint());
  const std::string kind = options.kind.value_or(std::string(rawValue(settings.aiEndpointKind())));
  if (endpoint.empty()) {
    context.err << "No AI endpoint is set: give one with --endpoint URL\n";
    return 2;
  }
  if (auto checked = checkAIEndpoint(endpoint); !checked) {
    context.err << checked.error().message << "\n";
    return 2;
  }

  auto token = readSecret(context, options.tokenFile, "token");
  if (!token) {
    context.err << token.error().message << "\n";
    return 2;
  }
  if (token->empty() && kind == rawValue(AIEndpointKind::proxy)) {
    context.err << "The AI proxy needs a token: give it on standard input or with --token-file\n";
    return 2;
  }

  for (const auto& [key, value] :
       {std::pair{"aiEndpoint", options.endpoint}, std::pair{"aiEndpointKind", options.kind},
        std::pair{"aiModel", options.model}}) {
    if (!value) continue;
    if (auto written = writeSetting(context, settings, key, *value); !written) {
      context.err << written.error().message << "\n";
      return 1;
    }
  }
  defaults.reload();  // the companion may have written them

  FileKeychainBackend backend(context.paths.keychainFile());
  KeychainStore keychain(backend);
  const bool kept = token->empty() ? keychain.remove(kAIEndpointTokenKey)
                                   : keychain.save(kAIEndpointTokenKey, *token);
  if (!kept) {
    context.err << "Cannot " << (token->empty() ? "remove" : "store")
                << " the AI endpoint token in " << context.paths.keychainFile().string() << "\n";
    return 1;
  }
  printConfiguration(context, settings, !token->empty());
  return 0;
}

int logout(CliContext& context) {
  FileKeychainBackend backend(context.paths.keychainFile());
  KeychainStore keychain(backend);
  const bool held = holdsToken(keychain);
  if (!keychain.remove(kAIEndpointTokenKey)) {
    context.err << "Cannot remove the AI endpoint token from "
                << context.paths.keychainFile().string() << "\n";
    return 1;
  }
  context.out << (held ? "Removed the AI endpoint token.\n" : "No AI endpoint token was stored.\n");
  return 0;
}

int showStatus(CliContext& context) {
  UserDefaults defaults(context.paths.defaultsFile());
  AppSettings settings(defaults);
  FileKeychainBackend backend(context.paths.keychainFile());
  KeychainStore keychain(backend);
  printConfiguration(context, settings, holdsToken(keychain));
  return 0;
}

}  // namespace

void addAiCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto options = std::make_shared<LoginOptions>();
  auto* ai = app.add_subcommand("ai", "The AI endpoint that writes follow-up drafts");
  ai->require_subcommand(1);

  auto* loginCommand = ai->add_subcommand(
      "login", "Set the AI endpoint and store its token, read from --token-file or standard input");
  loginCommand->add_option("--endpoint", options->endpoint,
                           "Base address: https://…, or http:// on this computer");
  addWordOption(*loginCommand, "--kind", options->kind,
                WordChoices::of<AIEndpointKind>("a kind of endpoint"),
                "The AI proxy service, or an OpenAI-compatible server");
  loginCommand->add_option("--model", options->model, "The model a chatCompletions server runs");
  loginCommand->add_option("--token-file", options->tokenFile,
                           "A file whose first line is the token");
  loginCommand->callback([&, options] { exitCode = login(context, *options); });

  ai->add_subcommand("logout", "Remove the stored token")->callback([&] {
    exitCode = logout(context);
  });
  ai->add_subcommand("status", "The endpoint, whether a token is stored, and whether it is usable")
      ->callback([&] { exitCode = showStatus(context); });
}

}  // namespace qm::cli
