#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "peer_link/frame_reader.h"

namespace qm::test {

/// `body` as it travels: length prefix, then the bytes.
inline std::string frame(std::string_view body) {
  const auto header = frameHeader(static_cast<std::uint32_t>(body.size()));
  return std::string(header.data(), header.size()) + std::string(body);
}

}  // namespace qm::test
