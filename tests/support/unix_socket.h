#pragma once

#include <filesystem>

namespace qm::test {

/// A raw connection to the Unix socket at `path` (the companion's control
/// socket), for tests that must write and close it themselves, such as a
/// client that goes away mid-request. -1 when it cannot connect.
int connectUnixSocket(const std::filesystem::path& path);

}  // namespace qm::test
