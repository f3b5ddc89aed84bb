#pragma once

#include <atomic>
#include <chrono>

#include "common/result.h"

namespace qm {

struct MailAccount;
struct OutgoingMail;

/// How long a conversation with the mail server may take.
struct SmtpTimeouts {
  std::chrono::milliseconds connect = std::chrono::seconds(20);
  std::chrono::milliseconds total = std::chrono::seconds(90);
};

/// Hands `mail` to the account's server and blocks until it answered: TLS from
/// the start or after STARTTLS as the account says (the certificate and the
/// host name it names are checked), the login when the account has a user,
/// then the message to its one recipient. Success means the server accepted
/// the message. The error says what the server refused, with its reply, or
/// why it could not be reached (mail/smtp_failure.h); `cancelled` once
/// `stopping` is set. Checks the account first, so plain SMTP to another
/// computer is refused before anything is connected to.
Status transferMail(const MailAccount& account, const OutgoingMail& mail,
                    const std::atomic<bool>& stopping, const SmtpTimeouts& timeouts = {});

/// Connects and logs in as `transferMail` does, then asks the server for a NOOP
/// and ends, sending no message. Fails also when the account has a user but
/// the server offered no login, since the password was then never tried.
Status checkMailLogin(const MailAccount& account, const std::atomic<bool>& stopping,
                      const SmtpTimeouts& timeouts = {});

}  // namespace qm
