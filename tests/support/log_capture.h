#pragma once

#include <spdlog/logger.h>
#include <spdlog/sinks/ostream_sink.h>

#include <memory>
#include <sstream>
#include <string>

namespace qm::test {

/// Collects what one log category writes while it lives.
class LogCapture {
 public:
  explicit LogCapture(spdlog::logger& logger)
      : logger_(logger), sink_(std::make_shared<spdlog::sinks::ostream_sink_mt>(text_)) {
    sink_->set_pattern("[%l] %v");
    logger_.sinks().push_back(sink_);
  }
  ~LogCapture() { std::erase(logger_.sinks(), sink_); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  /// Everything logged so far, one "[level] text" line per entry.
  std::string text() const { return text_.str(); }
  void clear() { text_.str({}); }

 private:
  spdlog::logger& logger_;
  std::ostringstream text_;
  std::shared_ptr<spdlog::sinks::ostream_sink_mt> sink_;
};

}  // namespace qm::test
