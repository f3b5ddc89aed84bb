#include "support/terminal_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace qm::test {

TerminalProcess::TerminalProcess(const std::filesystem::path& program,
                                 const std::vector<std::string>& args,
                                 const std::map<std::string, std::string>& env) {
  std::vector<std::string> storage{program.string()};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  pid_ = forkpty(&terminal_, nullptr, nullptr, nullptr);
  if (pid_ < 0) throw std::runtime_error("forkpty failed");
  if (pid_ == 0) {
    for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  fcntl(terminal_, F_SETFL, fcntl(terminal_, F_GETFL) | O_NONBLOCK);
}

TerminalProcess::~TerminalProcess() {
  if (!exitCode_ && pid_ > 0) stop(SIGKILL, std::chrono::seconds(5));
  if (terminal_ >= 0) close(terminal_);
}

void TerminalProcess::readAvailable() {
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(terminal_, buffer, sizeof buffer);
    if (n <= 0) return;  // nothing more now, or the child closed the terminal
    for (ssize_t i = 0; i < n; ++i)
      if (buffer[i] != '\r') output_ += buffer[i];
  }
}

bool TerminalProcess::waitForOutput(std::string_view text, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    readAvailable();
    if (output_.find(text) != std::string::npos) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd ready{terminal_, POLLIN, 0};
    poll(&ready, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 100)));
  }
}

std::string TerminalProcess::output() {
  readAvailable();
  return output_;
}

std::optional<int> TerminalProcess::stop(int signal, std::chrono::milliseconds timeout) {
  if (exitCode_) return exitCode_;
  kill(pid_, signal);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    readAvailable();  // a child blocked on a full terminal could not end
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return exitCode_;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

}  // namespace qm::test
