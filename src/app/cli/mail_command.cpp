// `quillmere mail login|status|logout`: the mail server follow-up drafts are
// sent through. The running companion checks the login and keeps the account;
// the password goes into its keychain and is never shown back.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/cli/companion_requests.h"
#include "app/cli/secret_input.h"
#include "app/cli/word_choice.h"

namespace qm::cli {

namespace {

struct LoginOptions {
  std::string host;
  std::optional<std::string> port;
  std::string security = "starttls";
  std::string user;
  std::string passwordFile;
  std::string caFile;
  bool noCheck = false;
};

void printAccount(CliContext& context, const nlohmann::json& account) {
  const std::string host = account.value("host", "");
  if (host.empty()) {
    context.out << "server: (none)\n";
  } else {
    context.out << "server: " << host << ", port " << account.value("port", 0) << ", "
                << account.value("security", "") << "\n";
  }
  const std::string user = account.value("user", "");
  context.out << "user: " << (user.empty() ? "(none, no login)" : user) << "\n"
              << "password: " << (account.value("passwordStored", false) ? "stored" : "none")
              << "\n";
  const std::string caFile = account.value("caFile", "");
  context.out << "certificate authorities: the system's"
              << (caFile.empty() ? "" : " and those in " + caFile) << "\n";
  const std::string sender = account.value("senderEmail", "");
  context.out << "sender: " << (sender.empty() ? "(none)" : sender) << "\n";
  if (account.value("ready", false))
    context.out << "ready: yes\n";
  else
    context.out << "ready: no, " << account.value("problem", "") << "\n";
}

int login(CliContext& context, const LoginOptions& o) {
  nlohmann::json request = {
      {"command", "mail.login"}, {"host", o.host}, {"port", o.port.value_or("")},
      {"security", o.security},  {"user", o.user}, {"check", !o.noCheck}};
  if (!o.caFile.empty()) {
    // The companion runs elsewhere: the setting holds a full path.
    std::error_code ec;
    const auto full = std::filesystem::absolute(o.caFile, ec);
    request["caFile"] = ec ? o.caFile : full.string();
  }
  if (!o.user.empty()) {
    auto password = readSecret(context, o.passwordFile, "password");
    if (!password) {
      context.err << password.error().message << "\n";
      return 2;
    }
    if (!password->empty()) request["password"] = *password;
  }
  int exitCode = 0;
  auto answer = askCompanion(context, request, exitCode);
  if (!answer) return exitCode;
  if (answer->value("checked", false)) {
    context.out << (o.user.empty() ? "Connected to the mail server.\n"
                                   : "Logged in to the mail server.\n");
  } else {
    context.out << "Saved without trying the login (--no-check).\n";
  }
  printAccount(context, *answer);
  return 0;
}

int status(CliContext& context) {
  int exitCode = 0;
  auto answer = askCompanion(context, {{"command", "mail.status"}}, exitCode);
  if (!answer) return exitCode;
  printAccount(context, *answer);
  return 0;
}

int logout(CliContext& context) {
  int exitCode = 0;
  auto answer = askCompanion(context, {{"command", "mail.logout"}}, exitCode);
  if (!answer) return exitCode;
  context.out << (answer->value("removed", false) ? "Forgot the mail account and its password.\n"
                                                  : "No mail account was set.\n");
  return 0;
}

}  // namespace

void addMailCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto o = std::make_shared<LoginOptions>();
  auto* mail = app.add_subcommand("mail", "The mail server that sends follow-up drafts");
  mail->require_subcommand(1);

  auto* loginCommand = mail->add_subcommand(
      "login",
      "Set the mail server and log in; the password is read from --password-file or standard "
      "input");
  loginCommand->add_option("--host", o->host, "The mail server, such as smtp.example.com")
      ->required();
  loginCommand->add_option("--port", o->port,
                           "Its port (default: 587 for starttls, 465 for tls, 25 for none)");
  addWordOption(*loginCommand, "--security", o->security,
                WordChoices("a kind of security", {{"starttls"}, {"tls"}, {"none"}}),
                "How the connection is protected (none: plain SMTP, only to this computer)")
      ->capture_default_str();
  loginCommand->add_option("--user", o->user, "The user name to log in with (often the address)");
  loginCommand->add_option("--password-file", o->passwordFile,
                           "A file whose first line is the password or app password");
  loginCommand->add_option(
      "--ca-file", o->caFile,
      "A PEM file of certificate authorities to trust besides the system's (a company server "
      "with its own authority)");
  loginCommand->add_flag("--no-check", o->noCheck, "Save without logging in to the server now");
  loginCommand->callback([&, o] { exitCode = login(context, *o); });

  mail->add_subcommand("status",
                       "The mail account, whether a password is stored, and whether "
                       "drafts can be sent")
      ->callback([&] { exitCode = status(context); });
  mail->add_subcommand("logout", "Forget the mail account and its password")->callback([&] {
    exitCode = logout(context);
  });
}

}  // namespace qm::cli
