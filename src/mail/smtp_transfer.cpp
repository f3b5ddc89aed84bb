#include "mail/smtp_transfer.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "common/log.h"
#include "common/loopback_host.h"
#include "mail/mail_account.h"
#include "mail/outgoing_mail.h"
#include "mail/smtp_failure.h"

namespace qm {

namespace {

struct CurlCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlHandle = std::unique_ptr<CURL, CurlCleanup>;
using RecipientList = std::unique_ptr<curl_slist, ListCleanup>;

/// What one conversation collects through libcurl's callbacks.
struct Conversation {
  SmtpSession session;
  const std::atomic<bool>* stopping = nullptr;
  std::string_view message;
  std::size_t sent = 0;
  std::string partial;  // a line of the server's not yet ended
  std::string reply;    // the lines of the reply being read
  bool awaitingAuthAnswer = false;
  bool quitting = false;  // the goodbye's "221" must not hide the reply that ended it

  /// One line from the server: "250-…" goes on, "250 …" ends a reply.
  void serverLine(std::string_view line) {
    if (line.size() < 3 || quitting) return;
    const std::string_view text = line.size() > 4 ? line.substr(4) : std::string_view();
    if ((text.starts_with("AUTH ") || text.starts_with("AUTH=")) && line.starts_with("250"))
      session.offeredLogin = true;
    if (reply.empty()) reply = line.substr(0, 3);
    if (!text.empty()) reply += " " + std::string(text);
    if (line.size() == 3 || line[3] == ' ') {
      session.lastReply = std::exchange(reply, {});
      awaitingAuthAnswer = line.starts_with("334");
    }
  }

  /// One command sent. Only its verb is kept: the rest of an AUTH line, and the
  /// lines answering the server's 334 challenges, carry the credentials.
  void clientCommand(std::string_view line) {
    if (std::exchange(awaitingAuthAnswer, false)) return;
    std::string verb(line.substr(0, line.find_first_of(" \r\n")));
    std::transform(verb.begin(), verb.end(), verb.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (verb == "QUIT") quitting = true;
    static constexpr std::string_view kVerbs[] = {"EHLO", "HELO", "STARTTLS", "AUTH",
                                                  "MAIL", "RCPT", "DATA",     "NOOP"};
    if (std::find(std::begin(kVerbs), std::end(kVerbs), verb) == std::end(kVerbs)) return;
    session.lastCommand = verb;
    if (verb == "EHLO" || verb == "HELO") session.offeredLogin = false;
  }
};

int traceConversation(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
  auto& conversation = *static_cast<Conversation*>(user);
  const std::string_view bytes(data, size);
  if (type == CURLINFO_HEADER_OUT) {
    conversation.clientCommand(bytes);
  } else if (type == CURLINFO_HEADER_IN) {
    conversation.partial.append(bytes);
    for (auto end = conversation.partial.find('\n'); end != std::string::npos;
         end = conversation.partial.find('\n')) {
      std::string line = conversation.partial.substr(0, end);
      conversation.partial.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      conversation.serverLine(line);
    }
  }
  return 0;
}

std::size_t readMessage(char* buffer, std::size_t size, std::size_t count, void* user) {
  auto& conversation = *static_cast<Conversation*>(user);
  const std::size_t n = std::min(size * count, conversation.message.size() - conversation.sent);
  std::copy_n(conversation.message.data() + conversation.sent, n, buffer);
  conversation.sent += n;
  return n;
}

/// Replies to commands without a message (the NOOP) are not wanted.
std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
  return size * count;
}

int checkStopping(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const Conversation*>(user)->stopping->load() ? 1 : 0;
}

void initialiseCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

/// The name this computer greets the server with (EHLO): its host name when
/// that is a plain DNS name, else libcurl's default.
std::string greetingName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  const std::string_view text(name);
  const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
  });
  return plain ? std::string(text) : std::string();
}

std::string serverURL(const MailAccount& account) {
  const bool bracket = account.host.find(':') != std::string::npos && account.host.front() != '[';
  std::string url = account.security == MailSecurity::tls ? "smtps://" : "smtp://";
  url += bracket ? "[" + account.host + "]" : account.host;
  url += ":" + std::to_string(account.port) + "/" + greetingName();
  return url;
}

/// Runs one conversation with the server: a message when `mail` is given,
/// else a NOOP after the login.
Status converse(const MailAccount& account, const OutgoingMail* mail,
                const std::atomic<bool>& stopping, const SmtpTimeouts& timeouts) {
  QM_TRY(checkMailAccount(account));
  initialiseCurl();
  CurlHandle curl(curl_easy_init());
  if (!curl) return Error(ErrorCode::internal, "Cannot start a connection to the mail server");
  CURL* h = curl.get();
  Conversation conversation;
  conversation.stopping = &stopping;
  char errorBuffer[CURL_ERROR_SIZE] = {};

  const std::string url = serverURL(account);
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts.total.count()));
  curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, traceConversation);
  curl_easy_setopt(h, CURLOPT_DEBUGDATA, &conversation);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, checkStopping);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &conversation);
  if (account.security == MailSecurity::starttls)
    curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
  curl_easy_setopt(h, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  // The file is trusted besides the system's authorities, which libcurl still
  // reads from its certificate folder.
  if (!account.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, account.caFile.c_str());
  if (isLoopbackHost(account.host)) curl_easy_setopt(h, CURLOPT_NOPROXY, "*");
  if (!account.user.empty()) {
    curl_easy_setopt(h, CURLOPT_USERNAME, account.user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, account.password.c_str());
  }

  RecipientList recipients;
  std::string sender;
  if (mail) {
    sender = "<" + mail->sender + ">";
    recipients.reset(curl_slist_append(nullptr, ("<" + mail->recipient + ">").c_str()));
    if (!recipients) return Error(ErrorCode::internal, "Cannot prepare the recipient list");
    conversation.message = mail->message;
    curl_easy_setopt(h, CURLOPT_MAIL_FROM, sender.c_str());
    curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, readMessage);
    curl_easy_setopt(h, CURLOPT_READDATA, &conversation);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(mail->message.size()));
  } else {
    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, "NOOP");
  }

  const CURLcode code = curl_easy_perform(h);
  const SmtpSession& session = conversation.session;
  const std::string reply = shownReply(session.lastReply, account.password);
  if (code != CURLE_OK) {
    Error error = smtpFailure(code, errorBuffer, session, account, mail ? mail->sender : "",
                              mail ? mail->recipient : "");
    log::mail().warn("{} through {}:{} failed: {}", mail ? "Mail" : "Login check", account.host,
                     account.port, error.message);
    return error;
  }
  if (!mail && !account.user.empty() && !session.offeredLogin)
    return Error(ErrorCode::failedPrecondition,
                 "The mail server " + account.host +
                     " offered no login (AUTH), so the user name and password could not be "
                     "checked; leave the user empty if it takes mail without one");
  if (mail) {
    log::mail().info("Mail to {} accepted by {}:{}: {}", mail->recipient, account.host,
                     account.port, reply);
  } else {
    log::mail().info("Logged in to {}:{} as {}", account.host, account.port,
                     account.user.empty() ? "nobody (no login)" : account.user);
  }
  return {};
}

}  // namespace

Status transferMail(const MailAccount& account, const OutgoingMail& mail,
                    const std::atomic<bool>& stopping, const SmtpTimeouts& timeouts) {
  return converse(account, &mail, stopping, timeouts);
}

Status checkMailLogin(const MailAccount& account, const std::atomic<bool>& stopping,
                      const SmtpTimeouts& timeouts) {
  return converse(account, nullptr, stopping, timeouts);
}

}  // namespace qm
