#include "support/subprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "support/temp_dir.h"

namespace qm::test {

namespace {

pid_t spawn(const std::filesystem::path& program, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& env, int in, int out, int err) {
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
    std::vector<std::string> storage{program.string()};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

std::optional<int> waitFor(pid_t pid, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    struct timespec ts {
      0, 10'000'000
    };
    nanosleep(&ts, nullptr);
  }
}

}  // namespace

Subprocess::Subprocess(const std::filesystem::path& program, const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env,
                       const std::filesystem::path& outDir)
    : outFile_(outDir / "stdout.txt"), errFile_(outDir / "stderr.txt") {
  int in = open("/dev/null", O_RDONLY);
  int out = open(outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int err = open(errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_ = spawn(program, args, env, in, out, err);
  close(in);
  close(out);
  close(err);
}

Subprocess::~Subprocess() {
  if (!exitCode_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitFor(pid_, std::chrono::seconds(5));
  }
}

std::optional<int> Subprocess::stop(int signal, std::chrono::milliseconds timeout) {
  if (exitCode_) return exitCode_;
  kill(pid_, signal);
  return wait(timeout);
}

std::optional<int> Subprocess::wait(std::chrono::milliseconds timeout) {
  if (!exitCode_) exitCode_ = waitFor(pid_, timeout);
  return exitCode_;
}

bool Subprocess::running() {
  if (exitCode_) return false;
  exitCode_ = waitFor(pid_, std::chrono::milliseconds(0));
  return !exitCode_;
}

std::string Subprocess::output() const {
  return fileText(outFile_);
}
std::string Subprocess::errors() const {
  return fileText(errFile_);
}

CommandResult runCommand(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::string& input) {
  char dir[] = "/tmp/quillmere-cmd-XXXXXX";
  if (!mkdtemp(dir)) throw std::runtime_error("mkdtemp failed");
  const std::filesystem::path base(dir);
  { std::ofstream(base / "stdin.txt") << input; }
  int in = open((base / "stdin.txt").c_str(), O_RDONLY);
  int out = open((base / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int err = open((base / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = spawn(program, args, env, in, out, err);
  close(in);
  close(out);
  close(err);
  CommandResult result;
  result.exitCode = waitFor(pid, std::chrono::seconds(30)).value_or(-1);
  result.out = fileText(base / "stdout.txt");
  result.err = fileText(base / "stderr.txt");
  std::filesystem::remove_all(base);
  return result;
}

std::optional<PairingOffer> waitForPairingOffer(const Subprocess& pair) {
  std::optional<PairingOffer> offer;
  eventually([&] {
    const std::string shown = pair.output();
    std::smatch qr, port;
    if (!std::regex_search(shown, qr, std::regex("QR string: (\\S+)")) ||
        !std::regex_search(shown, port, std::regex("listening on port (\\d+)")))
      return false;
    offer = PairingOffer{qr[1], port[1]};
    return true;
  });
  return offer;
}

}  // namespace qm::test
