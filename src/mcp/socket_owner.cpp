#include "mcp/socket_owner.h"

#include <arpa/inet.h>

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

Result<std::optional<uid_t>> tcpSocketOwner(IPv4Endpoint local, IPv4Endpoint remote) {
  auto table = readFile("/proc/net/tcp");
  if (!table) return table.error();
  return tcpSocketOwnerIn(*table, local, remote);
}

}  // namespace qm::mcp
