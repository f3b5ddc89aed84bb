#include "mail/mail_account.h"

#include <fstream>
#include <sstream>

#include "common/app_paths.h"
#include "common/loopback_host.h"
#include "settings/app_settings.h"
#include "settings/keychain_store.h"

namespace qm {

namespace {

constexpr std::string_view kLoginHint = "quillmere mail login (or Settings ▸ Mail)";

/// Whether `file` can be read and holds at least one PEM certificate.
Status checkCAFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in)
    return Error(ErrorCode::notFound,
                 "Cannot read the certificate authority file " + file.string());
  std::ostringstream text;
  text << in.rdbuf();
  if (text.str().find("-----BEGIN CERTIFICATE-----") == std::string::npos)
    return Error(ErrorCode::invalidArgument,
                 "The certificate authority file " + file.string() +
                     " holds no certificate in PEM form (-----BEGIN CERTIFICATE-----)");
  return {};
}

}  // namespace

std::optional<MailSecurity> parseMailSecurity(std::string_view text) {
  if (text == "starttls") return MailSecurity::starttls;
  if (text == "tls") return MailSecurity::tls;
  if (text == "none") return MailSecurity::none;
  return std::nullopt;
}

std::string_view mailSecurityName(MailSecurity security) {
  switch (security) {
    case MailSecurity::starttls:
      return "starttls";
    case MailSecurity::tls:
      return "tls";
    case MailSecurity::none:
      return "none";
  }
  return "starttls";
}

int usualMailPort(MailSecurity security) {
  switch (security) {
    case MailSecurity::starttls:
      return 587;
    case MailSecurity::tls:
      return 465;
    case MailSecurity::none:
      return 25;
  }
  return 587;
}

Status checkMailAccount(const MailAccount& account) {
  if (account.host.empty())
    return Error(ErrorCode::failedPrecondition,
                 "No mail server is set up: " + std::string(kLoginHint));
  if (account.port < 1 || account.port > 65535)
    return Error(ErrorCode::invalidArgument, "The mail server's port must be from 1 to 65535");
  // Without TLS the password and every message cross the network readable by
  // anyone on the way; on this computer they never leave it.
  if (account.security == MailSecurity::none && !isLoopbackHost(account.host))
    return Error(ErrorCode::invalidArgument,
                 "Refusing to send mail to " + account.host +
                     " without encryption: choose starttls or tls, or plain SMTP (none) only "
                     "with a mail server on this computer (127.0.0.1, ::1 or localhost)");
  if (!account.user.empty() && account.password.empty())
    return Error(ErrorCode::failedPrecondition,
                 "No password is stored for " + account.user + ": " + std::string(kLoginHint));
  if (!account.caFile.empty()) QM_TRY(checkCAFile(account.caFile));
  return {};
}

Result<MailAccount> readMailAccount(const AppSettings& settings, KeychainStore& keychain) {
  MailAccount account;
  account.host = settings.smtpHost();
  account.security = parseMailSecurity(settings.smtpSecurity()).value_or(MailSecurity::starttls);
  const std::string port = settings.smtpPort();
  account.port = port.empty() ? usualMailPort(account.security) : std::stoi(port);
  account.user = settings.smtpUser();
  if (!account.user.empty()) account.password = keychain.load(kMailPasswordKey).value_or("");
  if (const std::string file = settings.smtpCAFile(); !file.empty())
    account.caFile = expandHome(file);
  QM_TRY(checkMailAccount(account));
  return account;
}

}  // namespace qm
