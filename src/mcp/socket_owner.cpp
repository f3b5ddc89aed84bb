#include "mcp/socket_owner.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include <charconv>
#include <string>

#include "common/atomic_file.h"

namespace qm::mcp {

namespace {

/// The next white-space separated field of `line` from `at`, moving `at` past it.
std::string_view nextField(std::string_view line, std::size_t& at) {
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  const std::size_t start = at;
  while (at < line.size() && line[at] != ' ' && line[at] != '\t') ++at;
  return line.substr(start, at - start);
}

/// "0100007F:1F90": the address as the kernel stores it (network byte order,
/// printed as a native number) and the port in host order, both in hexadecimal.
std::optional<IPv4Endpoint> parseEndpoint(std::string_view text) {
  const auto colon = text.find(':');
  if (colon != 8 || text.size() != 13) return std::nullopt;
  std::uint32_t raw = 0;
  std::uint16_t port = 0;
  if (std::from_chars(text.data(), text.data() + 8, raw, 16).ec != std::errc{}) return std::nullopt;
  if (std::from_chars(text.data() + 9, text.data() + 13, port, 16).ec != std::errc{})
    return std::nullopt;
  return IPv4Endpoint{ntohl(raw), port};
}

bool same(IPv4Endpoint a, IPv4Endpoint b) {
  return a.address == b.address && a.port == b.port;
}

}  // namespace

std::optional<uid_t> tcpSocketOwnerIn(std::string_view table, IPv4Endpoint local,
                                      IPv4Endpoint remote) {
  // Columns: sl local_address rem_address st tx:rx tr:when retrnsmt uid ...
  std::size_t lineStart = table.find('\n');  // the first line names the columns
  while (lineStart != std::string_view::npos && lineStart < table.size()) {
    const std::size_t lineEnd = table.find('\n', lineStart + 1);
    const std::string_view line =
        table.substr(lineStart + 1,
                     (lineEnd == std::string_view::npos ? table.size() : lineEnd) - lineStart - 1);
    lineStart = lineEnd;
    std::size_t at = 0;
    nextField(line, at);  // sl
    const auto from = parseEndpoint(nextField(line, at));
    const auto to = parseEndpoint(nextField(line, at));
    if (!from || !to || !same(*from, local) || !same(*to, remote)) continue;
    for (int skip = 0; skip < 4; ++skip) nextField(line, at);  // st, queues, timer, retransmits
    const std::string_view uidText = nextField(line, at);
    uid_t uid = 0;
    if (std::from_chars(uidText.data(), uidText.data() + uidText.size(), uid).ec != std::errc{})
      return std::nullopt;
    return uid;
  }
  return std::nullopt;
}

namespace {

/// Asks the kernel's socket diagnostics for the one socket with this address
/// pair: a lookup by key, where the text table lists every socket of the
/// machine (thousands while clients come and go quickly).
Result<std::optional<uid_t>> askSocketDiagnostics(IPv4Endpoint local, IPv4Endpoint remote) {
  const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
  if (fd < 0) return Error(std::error_code(errno, std::generic_category()).message());
  struct {
    nlmsghdr header;
    inet_diag_req_v2 request;
  } message{};
  message.header.nlmsg_len = sizeof message;
  message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  message.header.nlmsg_flags = NLM_F_REQUEST;
  message.request.sdiag_family = AF_INET;
  message.request.sdiag_protocol = IPPROTO_TCP;
  message.request.idiag_states = ~0U;
  message.request.id.idiag_sport = htons(local.port);
  message.request.id.idiag_dport = htons(remote.port);
  message.request.id.idiag_src[0] = htonl(local.address);
  message.request.id.idiag_dst[0] = htonl(remote.address);
  message.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
  message.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
  alignas(nlmsghdr) char answer[1024];
  ssize_t received = -1;
  if (::send(fd, &message, sizeof message, 0) == static_cast<ssize_t>(sizeof message))
    received = ::recv(fd, answer, sizeof answer, 0);
  const int error = errno;
  ::close(fd);
  if (received < static_cast<ssize_t>(sizeof(nlmsghdr)))
    return Error(std::error_code(error, std::generic_category()).message());
  const auto* header = reinterpret_cast<const nlmsghdr*>(answer);
  if (header->nlmsg_type == NLMSG_ERROR) {
    const auto* failure = static_cast<const nlmsgerr*>(NLMSG_DATA(header));
    if (failure->error == -ENOENT) return std::optional<uid_t>();  // no such connection
    return Error(std::error_code(-failure->error, std::generic_category()).message());
  }
  if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
      received < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(inet_diag_msg))))
    return Error("unexpected socket diagnostics answer");
  return std::optional<uid_t>(static_cast<const inet_diag_msg*>(NLMSG_DATA(header))->idiag_uid);
}

}  // namespace

Result<std::optional<uid_t>> tcpSocketOwner(IPv4Endpoint local, IPv4Endpoint remote) {
  if (auto owner = askSocketDiagnostics(local, remote)) return owner;
  // Without socket diagnostics (some sandboxes), the table /proc shows.
  auto table = readFile("/proc/net/tcp");
  if (!table) return table.error();
  return tcpSocketOwnerIn(*table, local, remote);
}

}  // namespace qm::mcp
