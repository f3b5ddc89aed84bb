#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"

namespace qm {

class AppSettings;
class KeychainStore;

/// The keychain item holding the mail server's password (or app password).
/// It is kept nowhere else: not in the settings, the log or any answer.
inline constexpr std::string_view kMailPasswordKey = "smtpPassword";

/// How the connection to the mail server is protected.
enum class MailSecurity {
  starttls,  ///< a plain connection turned into TLS before anything else is said (port 587)
  tls,       ///< TLS from the first byte (port 465)
  none,      ///< no encryption, allowed only to a server on this computer (port 25)
};

/// "starttls", "tls" or "none", as the `smtpSecurity` setting holds them.
std::optional<MailSecurity> parseMailSecurity(std::string_view text);
std::string_view mailSecurityName(MailSecurity security);
/// The port a mail server of this security usually listens on: 587, 465 or 25.
int usualMailPort(MailSecurity security);

/// The account follow-up drafts are sent through.
struct MailAccount {
  std::string host;
  int port = 587;
  MailSecurity security = MailSecurity::starttls;
  /// Empty when the server takes mail without a login.
  std::string user;
  std::string password;
  /// A PEM file of certificate authorities trusted besides the system's;
  /// empty for the system's alone.
  std::filesystem::path caFile;
};

/// Whether mail may go through `account`: a host, a port from 1 to 65535, a
/// password for a user, encryption unless the host is this computer, and a
/// readable file of certificates when one is named. Nothing is connected to.
/// The error is the sentence a person reads.
Status checkMailAccount(const MailAccount& account);

/// The account the settings (`smtpHost`, `smtpPort`, `smtpSecurity`,
/// `smtpUser`, `smtpCAFile`) and the keychain hold, checked as above. An
/// empty port is the security's usual one. `failedPrecondition` when no mail
/// server is set or its password is missing.
Result<MailAccount> readMailAccount(const AppSettings& settings, KeychainStore& keychain);

}  // namespace qm
