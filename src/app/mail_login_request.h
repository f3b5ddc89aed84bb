#pragma once

#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "common/result.h"
#include "mail/mail_account.h"

namespace qm {

class AppSettings;
class KeychainStore;

/// What a "mail.login" request asks to keep, checked in full before anything
/// is kept: the settings to write and the account they make, with the
/// password it gives, or the one stored when it gives none.
struct MailLogin {
  /// (setting key, value) for smtpHost, smtpPort, smtpSecurity, smtpUser, smtpCAFile.
  std::vector<std::pair<std::string, std::string>> settings;
  MailAccount account;
  /// Whether to log in to the server before keeping anything (default yes).
  bool check = true;
};

/// Reads {host, port?, security?, user?, password?, caFile?, check?}. Plain SMTP
/// to another computer is refused here, before any connection.
Result<MailLogin> readMailLogin(const nlohmann::json& request, KeychainStore& keychain);

/// The account as "mail.status" and the other "mail.*" commands answer it:
/// never the password, only whether one is stored; whether drafts can be
/// sent, and if not, why.
nlohmann::json mailStatusJSON(const AppSettings& settings, KeychainStore& keychain);

}  // namespace qm
