#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::test {

/// A child process in a pseudo-terminal of its own, as when a person starts it
/// in a terminal window: its standard input, output and error are the terminal,
/// and what it writes is collected (line ends as "\n").
class TerminalProcess {
 public:
  /// Starts `program` with `args`; `env` entries are added to (or replace) the
  /// test's environment.
  TerminalProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env);
  ~TerminalProcess();
  TerminalProcess(const TerminalProcess&) = delete;
  TerminalProcess& operator=(const TerminalProcess&) = delete;

  /// Waits until the output holds `text`, up to `timeout`.
  bool waitForOutput(std::string_view text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10));
  /// What it wrote so far.
  std::string output();
  /// Sends `signal` and waits up to `timeout`; the exit code (128 + signal when
  /// killed), or nothing if it did not end in time.
  std::optional<int> stop(int signal, std::chrono::milliseconds timeout);

 private:
  void readAvailable();

  pid_t pid_ = -1;
  int terminal_ = -1;
  std::string output_;
  std::optional<int> exitCode_;
};

}  // namespace qm::test
