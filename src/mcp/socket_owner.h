#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/result.h"

namespace qm::mcp {

/// One end of a TCP connection over IPv4: address in host order, and port.
struct IPv4Endpoint {
  std::uint32_t address = 0;
  std::uint16_t port = 0;
};

/// The user who owns the socket at `local` connected to `remote`, as the
/// kernel lists it in `table` (the text of /proc/net/tcp); nothing when no
/// such connection is listed.
std::optional<uid_t> tcpSocketOwnerIn(std::string_view table, IPv4Endpoint local,
                                      IPv4Endpoint remote);

/// The same, asked of the kernel's socket diagnostics (or read from
/// /proc/net/tcp where those cannot be asked). Fails when neither answers.
/// For a connection on this machine, the client's end is `local`: its owner
/// is the user of the process that connected.
Result<std::optional<uid_t>> tcpSocketOwner(IPv4Endpoint local, IPv4Endpoint remote);

}  // namespace qm::mcp
