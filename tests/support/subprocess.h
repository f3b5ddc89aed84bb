#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qm::test {

/// A child process with its standard output and error captured in files.
class Subprocess {
 public:
  /// Starts `program` with `args`; `env` entries are added to (or replace) the
  /// test's environment. Standard input is empty.
  Subprocess(const std::filesystem::path& program, const std::vector<std::string>& args,
             const std::map<std::string, std::string>& env, const std::filesystem::path& outDir);
  ~Subprocess();

  pid_t pid() const { return pid_; }
  /// Sends `signal` and waits up to `timeout`; returns the exit code (128 + signal
  /// when killed), or nothing if it did not end in time.
  std::optional<int> stop(int signal, std::chrono::milliseconds timeout);
  /// Waits for the process to end by itself.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  bool running();
  std::string output() const;
  std::string errors() const;

 private:
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
  std::filesystem::path outFile_, errFile_;
};

/// Runs a command to completion; returns its exit code and output.
struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
CommandResult runCommand(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env,
                         const std::string& input = "");

/// Polls `condition` every 20 ms until it holds or `timeout` passes.
template <class F>
bool eventually(F condition, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    struct timespec ts {
      0, 20'000'000
    };
    nanosleep(&ts, nullptr);
  }
  return condition();
}

/// What `quillmere pair` shows for a phone to pair with.
struct PairingOffer {
  std::string qrString;
  std::string port;
};
/// Waits until `pair` (a running `quillmere pair`) has shown its QR string and
/// peer-link port; nothing when it has not within ten seconds.
std::optional<PairingOffer> waitForPairingOffer(const Subprocess& pair);

}  // namespace qm::test
