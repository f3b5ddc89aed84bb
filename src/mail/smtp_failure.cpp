#include "mail/smtp_failure.h"

#include <curl/curl.h>

#include "mail/mail_account.h"

namespace qm {

namespace {

constexpr std::size_t kMaxShownReply = 300;

/// ": <reply>" when there is one, for the end of a sentence.
std::string saying(const std::string& reply) {
  return reply.empty() ? std::string() : ": " + reply;
}

std::string server(const MailAccount& account) {
  return account.host + " (port " + std::to_string(account.port) + ")";
}

}  // namespace

std::string shownReply(std::string_view reply, std::string_view secret) {
  std::string text;
  for (const char c : reply) {
    const auto byte = static_cast<unsigned char>(c);
    text += byte < 0x20 || byte == 0x7f ? ' ' : c;
  }
  if (!secret.empty()) {
    for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at))
      text.replace(at, secret.size(), "[password]");
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.size() > kMaxShownReply) text = text.substr(0, kMaxShownReply - 3) + "...";
  return text;
}

Error smtpFailure(int curlCode, std::string_view detail, const SmtpSession& session,
                  const MailAccount& account, std::string_view sender, std::string_view recipient) {
  const auto code = static_cast<CURLcode>(curlCode);
  const std::string reply = shownReply(session.lastReply, account.password);
  const std::string why =
      shownReply(detail.empty() ? curl_easy_strerror(code) : detail, account.password);
  switch (code) {
    case CURLE_ABORTED_BY_CALLBACK:
      return Error(ErrorCode::cancelled, "Sending was stopped");
    case CURLE_COULDNT_RESOLVE_HOST:
      return Error(ErrorCode::unavailable,
                   "Cannot find the mail server " + account.host + ": " + why);
    case CURLE_COULDNT_CONNECT:
      return Error(ErrorCode::unavailable,
                   "Cannot connect to the mail server " + server(account) + ": " + why);
    case CURLE_OPERATION_TIMEDOUT:
      return Error(ErrorCode::deadlineExceeded,
                   "The mail server " + server(account) + " did not answer in time");
    case CURLE_PEER_FAILED_VERIFICATION:
      return Error(ErrorCode::permissionDenied,
                   "The mail server's certificate is not trusted (" + why +
                       "). For a company server with a certificate authority of its own, give "
                       "that authority's file with quillmere mail login --ca-file FILE");
    case CURLE_SSL_CONNECT_ERROR:
      return Error(ErrorCode::unavailable,
                   "The secure connection to the mail server " + server(account) + " failed (" +
                       why +
                       "): check the port and the security (tls usually on 465, starttls "
                       "on 587)");
    case CURLE_USE_SSL_FAILED:
      return Error(ErrorCode::unavailable, "The mail server " + server(account) +
                                               " did not agree to a secure connection (STARTTLS)" +
                                               saying(reply) + "; nothing was sent");
    case CURLE_LOGIN_DENIED:
      return Error(ErrorCode::permissionDenied, "The mail server refused the login" +
                                                    (reply.empty() ? ": " + why : saying(reply)));
    default:
      break;
  }
  // The server answered a command with a refusal: which one says what it refused.
  if (!reply.empty()) {
    if (session.lastCommand == "AUTH")
      return Error(ErrorCode::permissionDenied,
                   "The mail server refused the login" + saying(reply));
    if (session.lastCommand == "MAIL")
      return Error(ErrorCode::failedPrecondition, "The mail server refused the sender address " +
                                                      std::string(sender) + saying(reply));
    if (session.lastCommand == "RCPT")
      return Error(ErrorCode::failedPrecondition, "The mail server refused the recipient " +
                                                      std::string(recipient) + saying(reply));
    if (session.lastCommand == "DATA")
      return Error(ErrorCode::failedPrecondition,
                   "The mail server refused the message" + saying(reply));
  }
  std::string text = "Sending through the mail server " + server(account) + " failed: " + why;
  if (!reply.empty()) text += " (its last reply: " + reply + ")";
  return Error(ErrorCode::unavailable, text);
}

}  // namespace qm
