#include "app/change_feed_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <utility>

#include "app/control_client.h"

namespace qm {

namespace {

constexpr std::chrono::seconds kAcceptTime{10};

Error closedError() {
  return Error(ErrorCode::unavailable, "Quillmere closed the change feed");
}

}  // namespace

Result<ChangeFeedClient> ChangeFeedClient::subscribe(const std::filesystem::path& socketPath) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = socketPath.string();
  if (path.size() >= sizeof address.sun_path)
    return Error(ErrorCode::invalidArgument, "Control socket path too long: " + path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Error(ErrorCode::internal, std::string("socket: ") + std::strerror(errno));
  ChangeFeedClient client(fd);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    return Error(ErrorCode::unavailable, kNotRunningText);
  const std::string request = nlohmann::json{{"command", "subscribe"}}.dump() + "\n";
  if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size()))
    return Error(ErrorCode::internal, "Could not talk to Quillmere");
  auto line = QM_TRY(client.readLine(kAcceptTime));
  auto answer = nlohmann::json::parse(line, nullptr, false);
  if (!answer.is_object()) return Error(ErrorCode::internal, "Quillmere sent an unreadable answer");
  if (!answer.value("ok", false))
    return Error(ErrorCode::failedPrecondition,
                 answer.value("error", std::string("Quillmere refused the subscription")));
  return client;
}

ChangeFeedClient::ChangeFeedClient(ChangeFeedClient&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), buffer_(std::move(other.buffer_)) {}

ChangeFeedClient& ChangeFeedClient::operator=(ChangeFeedClient&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    buffer_ = std::move(other.buffer_);
  }
  return *this;
}

ChangeFeedClient::~ChangeFeedClient() {
  close();
}

void ChangeFeedClient::close() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

Result<std::string> ChangeFeedClient::readLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (auto end = buffer_.find('\n'); end != std::string::npos) {
      std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return line;
    }
    if (fd_ < 0) return closedError();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Error(ErrorCode::deadlineExceeded, "No change within the time");
    pollfd waiting{fd_, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR)
      return Error(ErrorCode::internal, std::string("poll: ") + std::strerror(errno));
    if (ready <= 0) continue;
    char chunk[4096];
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close();
      return closedError();
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

Result<std::optional<nlohmann::json>> ChangeFeedClient::next(std::chrono::milliseconds timeout) {
  auto line = readLine(timeout);
  if (!line) {
    if (line.error().code == ErrorCode::deadlineExceeded) return std::optional<nlohmann::json>();
    return line.error();
  }
  auto event = nlohmann::json::parse(*line, nullptr, false);
  if (!event.is_object()) return Error(ErrorCode::internal, "Quillmere sent an unreadable event");
  return std::optional<nlohmann::json>(std::move(event));
}

}  // namespace qm
