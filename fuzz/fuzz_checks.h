#pragma once

// What the fuzz targets check beyond "no crash, no sanitizer report": a record
// the decoder accepts must come back unchanged through the encoder, and the
// encoder's text must be its one canonical form. A broken check stops the run
// with a trap, so libFuzzer keeps the input as a crash reproducer.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "wire/sync_json.h"

namespace qm::fuzz {

/// The shared secret of the bond the fuzz targets verify messages against
/// (bytes 0x00 to 0x1f); the signed seed messages carry tags under it.
inline constexpr std::array<std::uint8_t, 32> kSecret = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f};

/// Reports a broken check with what is needed to understand it, then traps.
[[noreturn]] inline void fail(std::string_view check, std::string_view detail = {}) {
  constexpr std::size_t kShown = 4096;
  std::fprintf(stderr, "\n*** fuzz check failed: %.*s\n", static_cast<int>(check.size()),
               check.data());
  if (!detail.empty()) {
    const auto shown = detail.substr(0, kShown);
    std::fprintf(stderr, "%.*s%s\n", static_cast<int>(shown.size()), shown.data(),
                 detail.size() > kShown ? " [...]" : "");
  }
  std::fflush(stderr);
  __builtin_trap();
}

/// `decoded` (a record the decoder accepted) encodes, its text decodes to an
/// equal record, and encoding that record again gives the very same text.
template <WireRecordType M>
void checkRoundTrip(const M& decoded) {
  const std::string name(WireRecord<M>::name);
  const auto text = encodeSyncJSON(decoded);
  if (!text) fail(name + ": a decoded record does not encode", text.error().message);
  const auto again = decodeSyncJSON<M>(*text);
  if (!again) {
    fail(name + ": the encoder's text does not decode", again.error().message + "\n" + *text);
  }
  if (!(*again == decoded))
    fail(name + ": the record changed on its way through the encoder", *text);
  const auto textAgain = encodeSyncJSON(*again);
  if (!textAgain || *textAgain != *text) {
    fail(name + ": encoding the record again gives other text",
         *text + "\n" + (textAgain ? *textAgain : textAgain.error().message));
  }
}

}  // namespace qm::fuzz
