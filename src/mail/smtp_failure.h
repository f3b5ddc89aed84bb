#pragma once

#include <string>
#include <string_view>

#include "common/result.h"

namespace qm {

struct MailAccount;

/// What a conversation with a mail server showed by its end.
struct SmtpSession {
  /// The verb of the last command sent: "EHLO", "STARTTLS", "AUTH", "MAIL",
  /// "RCPT", "DATA" or "NOOP" (empty before the first).
  std::string lastCommand;
  /// The server's last complete reply, on one line ("535 5.7.8 …").
  std::string lastReply;
  /// Whether the last EHLO reply offered a login (AUTH).
  bool offeredLogin = false;
};

/// The error for a conversation that libcurl ended with `curlCode` (a
/// CURLcode) and the text of its error buffer, `detail`: what the server
/// refused (the login, the sender, the recipient, the message) with its reply,
/// or why it could not be reached. `sender` and `recipient` are the envelope's,
/// empty for a login check. The password never appears in the text.
Error smtpFailure(int curlCode, std::string_view detail, const SmtpSession& session,
                  const MailAccount& account, std::string_view sender, std::string_view recipient);

/// A server's reply line as it is shown: control characters removed, at most
/// 300 characters, and `secret` (the password) replaced wherever it appears.
std::string shownReply(std::string_view reply, std::string_view secret);

}  // namespace qm
