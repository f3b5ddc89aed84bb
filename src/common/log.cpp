#include "common/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <string>

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/dist_sink.h>
#include <spdlog/sinks/stdout_sinks.h>

namespace qm::log {

namespace {

constexpr const char* kPattern = "%Y-%m-%dT%H:%M:%S.%e %^%l%$ [%n] %v";

enum Category : std::size_t { kData, kPairing, kSync, kMcp, kProxy, kMail, kCategoryCount };
constexpr std::array<const char*, kCategoryCount> kNames = {"data", "pairing", "sync",
                                                            "mcp",  "proxy",   "mail"};

// All the categories write through one distributing sink. Adding the log file
// to it later is safe while other threads log, which changing each logger's
// own sink list would not be.
class Loggers {
 public:
  Loggers()
      : console_(std::make_shared<spdlog::sinks::stderr_sink_mt>()),
        sink_(std::make_shared<spdlog::sinks::dist_sink_mt>()) {
    console_->set_pattern(kPattern);
    sink_->add_sink(console_);
    for (std::size_t i = 0; i < kCategoryCount; ++i) {
      loggers_[i] = std::make_shared<spdlog::logger>(kNames[i], sink_);
      loggers_[i]->set_level(spdlog::level::info);
      // Every line reaches the file at once: the companion logs a few lines per
      // event, and someone following the file (or a crash) should not miss one.
      loggers_[i]->flush_on(spdlog::level::info);
    }
  }

  spdlog::logger& get(Category category) { return *loggers_[category]; }

  void setLevel(spdlog::level::level_enum level) {
    for (auto& logger : loggers_) logger->set_level(level);
  }

  // Opening the file throws spdlog::spdlog_ex when it cannot be created; the
  // caller decides whether running without a log file is acceptable.
  void addFile(const std::filesystem::path& file) {
    // The log names the people met: this user's alone, whatever the umask.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    std::error_code ignored;
    std::filesystem::permissions(
        file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
        std::filesystem::perm_options::replace, ignored);
    auto fileSink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(file.string(), false);
    fileSink->set_pattern(kPattern);
    // Replacing the whole list is one locked step, so no message falls between
    // an old file and a new one. A second call moves logging to the new file.
    sink_->set_sinks({console_, std::move(fileSink)});
  }

 private:
  std::shared_ptr<spdlog::sinks::sink> console_;
  std::shared_ptr<spdlog::sinks::dist_sink_mt> sink_;
  std::array<std::shared_ptr<spdlog::logger>, kCategoryCount> loggers_;
};

Loggers& loggers() {
  static Loggers instance;
  return instance;
}

}  // namespace

spdlog::logger& data() {
  return loggers().get(kData);
}
spdlog::logger& pairing() {
  return loggers().get(kPairing);
}
spdlog::logger& sync() {
  return loggers().get(kSync);
}
spdlog::logger& mcp() {
  return loggers().get(kMcp);
}
spdlog::logger& proxy() {
  return loggers().get(kProxy);
}
spdlog::logger& mail() {
  return loggers().get(kMail);
}

void logToFile(const std::filesystem::path& file) {
  loggers().addFile(file);
}

void setLevel(spdlog::level::level_enum level) {
  loggers().setLevel(level);
}

}  // namespace qm::log
