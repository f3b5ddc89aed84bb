#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

using Bytes = std::vector<std::uint8_t>;

/// Standard Base64 (RFC 4648 alphabet "+/") with "=" padding.
std::string base64Encode(std::span<const std::uint8_t> data);
inline std::string base64Encode(std::string_view text) {
  return base64Encode(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

/// Strict decoding: the length must be a multiple of four, padding only at the
/// end (at most two "="), no white space, no characters outside the alphabet,
/// and unused bits of the last symbol must be zero. Anything else gives nothing.
/// `spareCapacity` bytes are reserved beyond the result (parsers that read ahead
/// of the last byte can then work on it in place).
std::optional<Bytes> base64Decode(std::string_view text, std::size_t spareCapacity = 0);

}  // namespace qm
