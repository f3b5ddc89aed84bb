#include "mail/smtp_client.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <system_error>
#include <thread>
#include <utility>

#include "common/log.h"

namespace qm {

/// What the client and its threads share. Only `post` and `stopping` are
/// used off the main loop.
struct SmtpClient::Shared {
  Poster post;
  std::atomic<bool> stopping{false};
  bool closed = false;
  std::uint64_t nextWorker = 0;
  std::map<std::uint64_t, std::thread> workers;
};

SmtpClient::SmtpClient(Poster post, SmtpTimeouts timeouts)
    : timeouts_(timeouts), shared_(std::make_shared<Shared>()) {
  shared_->post = std::move(post);
}

SmtpClient::~SmtpClient() {
  shared_->stopping = true;
  shared_->closed = true;
  for (auto& [id, worker] : shared_->workers) worker.join();
  shared_->workers.clear();
}

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
  const std::uint64_t id = shared_->nextWorker++;
  auto task = [shared = shared_, id, work = std::move(work), done]() {
    Status result = work(shared->stopping);
    shared->post([shared, id, done, result = std::move(result)] {
      if (shared->closed) return;
      if (auto worker = shared->workers.find(id); worker != shared->workers.end()) {
        worker->second.join();  // it has posted this and is about to end
        shared->workers.erase(worker);
      }
      done(result);
    });
  };
  try {
    shared_->workers.emplace(id, std::thread(std::move(task)));
  } catch (const std::system_error& error) {
    log::mail().error("Cannot start a thread for the mail server: {}", error.what());
    shared_->post([shared = shared_, done = std::move(done), what = std::string(error.what())] {
      if (!shared->closed)
        done(Error(ErrorCode::internal, "Cannot start talking to the mail server: " + what));
    });
  }
}

}  // namespace qm
