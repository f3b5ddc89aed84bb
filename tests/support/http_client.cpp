#include "support/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "support/http_text.h"

namespace qm::test {

namespace {

Error systemError(std::string_view what) {
  return Error(std::string(what) + ": " + std::strerror(errno));
}

}  // namespace

Result<HTTPReply> parseHTTPReply(std::string_view text) {
  const std::size_t headEnd = text.find("\r\n\r\n");
  if (headEnd == std::string_view::npos)
    return Error("incomplete response (" + std::to_string(text.size()) + " bytes)");
  std::string_view head = text.substr(0, headEnd);
  HTTPReply reply;
  reply.body = std::string(text.substr(headEnd + 4));

  std::size_t lineEnd = head.find("\r\n");
  const std::string_view statusLine = head.substr(0, lineEnd);
  if (statusLine.substr(0, 9) != "HTTP/1.1 " && statusLine.substr(0, 9) != "HTTP/1.0 ")
    return Error("not an HTTP response: " + std::string(statusLine.substr(0, 60)));
  reply.status = std::atoi(std::string(statusLine.substr(9, 3)).c_str());

  while (lineEnd != std::string_view::npos) {
    head.remove_prefix(lineEnd + 2);
    lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    reply.headers[lowercase(trimmed(line.substr(0, colon)))] =
        std::string(trimmed(line.substr(colon + 1)));
  }
  if (auto length = reply.headers.find("content-length"); length != reply.headers.end()) {
    if (std::to_string(reply.body.size()) != length->second)
      return Error("body of " + std::to_string(reply.body.size()) + " bytes, Content-Length says " +
                   length->second);
  }
  return reply;
}

Result<HTTPConnection> HTTPConnection::open(std::uint16_t port, std::chrono::milliseconds timeout) {
  HTTPConnection connection(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (connection.fd_ < 0) return systemError("socket");
  // Linux applies the send limit to connect too.
  timeval limit{};
  limit.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  limit.tv_usec = static_cast<suseconds_t>(timeout.count() % 1000 * 1000);
  ::setsockopt(connection.fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  const int noDelay = 1;
  ::setsockopt(connection.fd_, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(connection.fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    return systemError("connect");
  return connection;
}

HTTPConnection::~HTTPConnection() {
  close();
}

HTTPConnection::HTTPConnection(HTTPConnection&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), received_(std::move(other.received_)) {}

HTTPConnection& HTTPConnection::operator=(HTTPConnection&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    received_ = std::move(other.received_);
  }
  return *this;
}

Status HTTPConnection::send(std::string_view bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return systemError("send");
    }
    sent += static_cast<std::size_t>(n);
  }
  return {};
}

void HTTPConnection::finishSending() {
  ::shutdown(fd_, SHUT_WR);
}

void HTTPConnection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Result<std::string> HTTPConnection::readUntilClosed(std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  std::array<char, 16 * 1024> buffer;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd ready{fd_, POLLIN, 0};
    const int polled = left.count() > 0 ? ::poll(&ready, 1, static_cast<int>(left.count())) : 0;
    if (polled < 0) {
      if (errno == EINTR) continue;
      return systemError("poll");
    }
    if (polled == 0)
      return Error("the server did not close the connection within " +
                   std::to_string(limit.count()) + " ms (" + std::to_string(received_.size()) +
                   " bytes received)");
    const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
    if (n == 0 || (n < 0 && errno == ECONNRESET)) return received_;
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return systemError("receive");
    }
    received_.append(buffer.data(), static_cast<std::size_t>(n));
  }
}

Result<std::string> exchangeHTTP(std::uint16_t port, std::string_view request,
                                 std::chrono::milliseconds timeout) {
  auto connection = HTTPConnection::open(port, timeout);
  if (!connection) return connection.error();
  if (auto sent = connection->send(request); !sent) return sent.error();
  return connection->readUntilClosed(timeout);
}

std::uint16_t freeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                     ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0;
  ::close(fd);
  return bound ? ntohs(addr.sin_port) : 0;
}

}  // namespace qm::test
