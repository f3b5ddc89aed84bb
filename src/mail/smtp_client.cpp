#include "mail/smtp_client.h"

#include <atomic>
#include <utility>

#include "common/log.h"

namespace qm {

SmtpClient::SmtpClient(Poster post, SmtpTimeouts timeouts)
    : timeouts_(timeouts), workers_(std::move(post)) {}

SmtpClient::~SmtpClient() = default;

void SmtpClient::send(MailAccount account, OutgoingMail mail, std::function<void(Status)> done) {
  run(
      [account = std::move(account), mail = std::move(mail),
       timeouts = timeouts_](const std::atomic<bool>& stopping) {
        return transferMail(account, mail, stopping, timeouts);
      },
      std::move(done));
}

void SmtpClient::checkLogin(MailAccount account, std::function<void(Status)> done) {
  run(
      [account = std::move(account), timeouts = timeouts_](const std::atomic<bool>& stopping) {
        return checkMailLogin(account, stopping, timeouts);
      },
      std::move(done));
}

void SmtpClient::run(std::function<Status(const std::atomic<bool>&)> work,
                     std::function<void(Status)> done) {
  auto failed = workers_.start([work = std::move(work), done](const std::atomic<bool>& stopping) {
    return std::function<void()>([done, result = work(stopping)] { done(result); });
  });
  if (!failed) return;
  log::mail().error("Cannot start a thread for the mail server: {}", *failed);
  workers_.later([done = std::move(done), what = *failed] {
    done(Error(ErrorCode::internal, "Cannot start talking to the mail server: " + what));
  });
}

}  // namespace qm
