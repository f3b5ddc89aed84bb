#pragma once

#include <functional>
#include <memory>

#include "common/blocking_workers.h"
#include "common/result.h"
#include "mail/mail_account.h"
#include "mail/outgoing_mail.h"
#include "mail/smtp_transfer.h"

namespace qm {

/// Talks to mail servers off the main loop: each conversation runs on a thread
/// of its own (a transfer blocks for as long as the server takes) and its
/// outcome comes back through `post`, which runs a function on the main loop
/// (the companion posts to its io_context). Every call is made on the main
/// loop, and `done` always runs later there.
class SmtpClient {
 public:
  using Poster = BlockingWorkers::Poster;

  explicit SmtpClient(Poster post, SmtpTimeouts timeouts = {});
  /// Stops the conversations still running (within about a second) and waits
  /// for their threads; their `done` functions are not called.
  ~SmtpClient();
  SmtpClient(const SmtpClient&) = delete;
  SmtpClient& operator=(const SmtpClient&) = delete;

  /// Sends `mail` through `account` (`transferMail`).
  void send(MailAccount account, OutgoingMail mail, std::function<void(Status)> done);
  /// Logs in to `account`'s server and sends nothing (`checkMailLogin`).
  void checkLogin(MailAccount account, std::function<void(Status)> done);

 private:
  void run(std::function<Status(const std::atomic<bool>& stopping)> work,
           std::function<void(Status)> done);

  SmtpTimeouts timeouts_;
  BlockingWorkers workers_;
};

}  // namespace qm
