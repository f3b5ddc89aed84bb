#include "app/mail_login_request.h"

#include <nlohmann/json.hpp>

#include "common/app_paths.h"
#include "mail/outgoing_mail.h"
#include "settings/app_settings.h"
#include "settings/keychain_store.h"

namespace qm {

namespace {

/// The text member `key`, or `fallback` when it is absent or null.
Result<std::string> textIn(const nlohmann::json& request, const char* key,
                           std::string fallback = {}) {
  const auto value = request.find(key);
  if (value == request.end() || value->is_null()) return fallback;
  if (!value->is_string())
    return Error(ErrorCode::invalidArgument, std::string(key) + " must be text");
  return value->get<std::string>();
}

bool hasControlCharacters(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return true;
  }
  return false;
}

}  // namespace

Result<MailLogin> readMailLogin(const nlohmann::json& request, KeychainStore& keychain) {
  MailLogin login;
  const std::string host = QM_TRY(textIn(request, "host"));
  if (host.empty()) return Error(ErrorCode::invalidArgument, "The mail server's host is needed");
  std::string port;
  if (const auto value = request.find("port"); value != request.end() && value->is_number_integer())
    port = std::to_string(value->get<long long>());
  else
    port = QM_TRY(textIn(request, "port"));
  const std::string security = QM_TRY(textIn(request, "security", "starttls"));
  const std::string user = QM_TRY(textIn(request, "user"));
  const std::string caFile = QM_TRY(textIn(request, "caFile"));
  std::string password = QM_TRY(textIn(request, "password"));
  if (hasControlCharacters(password))
    return Error(ErrorCode::invalidArgument, "The password contains control characters");
  if (const auto check = request.find("check"); check != request.end()) {
    if (!check->is_boolean())
      return Error(ErrorCode::invalidArgument, "check must be true or false");
    login.check = check->get<bool>();
  }

  login.settings = {{"smtpHost", host},
                    {"smtpPort", port},
                    {"smtpSecurity", security},
                    {"smtpUser", user},
                    {"smtpCAFile", caFile}};
  for (const auto& [key, value] : login.settings) QM_TRY(AppSettings::validate(key, value));

  MailAccount& account = login.account;
  account.host = host;
  account.security = parseMailSecurity(security).value_or(MailSecurity::starttls);
  account.port = port.empty() ? usualMailPort(account.security) : std::stoi(port);
  account.user = user;
  // A login without a password keeps the stored one (the window never shows it back).
  if (!user.empty())
    account.password = password.empty() ? keychain.load(kMailPasswordKey).value_or("") : password;
  if (!caFile.empty()) account.caFile = expandHome(caFile);
  if (!user.empty() && account.password.empty())
    return Error(ErrorCode::invalidArgument, "A password is needed to log in as " + user);
  QM_TRY(checkMailAccount(account));
  return login;
}

nlohmann::json mailStatusJSON(const AppSettings& settings, KeychainStore& keychain) {
  const auto password = keychain.load(kMailPasswordKey);
  const auto security = parseMailSecurity(settings.smtpSecurity()).value_or(MailSecurity::starttls);
  const std::string port = settings.smtpPort();
  nlohmann::json status = {
      {"host", settings.smtpHost()},
      {"port", port.empty() ? usualMailPort(security) : std::stoi(port)},
      {"portSetting", port},
      {"security", std::string(mailSecurityName(security))},
      {"user", settings.smtpUser()},
      {"caFile", settings.smtpCAFile()},
      {"passwordStored", password && !password->empty()},
      {"senderEmail", settings.senderEmail()},
  };
  const Status ready = [&]() -> Status {
    QM_TRY(readMailAccount(settings, keychain));
    QM_TRY(senderAddress(settings));
    return {};
  }();
  status["ready"] = ready.ok();
  if (!ready) status["problem"] = ready.error().message;
  return status;
}

}  // namespace qm
