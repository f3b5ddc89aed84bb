#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "common/result.h"

// Framing of the peer link: every message travels as a 4-byte big-endian
// length followed by that many bytes. `FrameReader` turns the byte stream a
// connection receives back into whole messages; it does no I/O, so the same
// code runs under the sockets, in unit tests and under the fuzzer.

namespace qm {

/// Frames announcing more than this many bytes end the connection.
inline constexpr std::size_t kMaxFrameBytes = 64 * 1024 * 1024;

/// Spare capacity every delivered frame keeps past its last byte, so that the
/// JSON decoder can parse it in place (it reads up to 64 bytes ahead).
inline constexpr std::size_t kFrameSpareBytes = 64;

/// The 4-byte length prefix of a frame carrying `size` bytes.
std::array<char, 4> frameHeader(std::uint32_t size);

/// Reassembles frames from bytes as they arrive, in whatever pieces.
///
/// Memory follows what actually arrived, never what a header announced: the
/// buffer of a frame in progress starts small and at most doubles as its bytes
/// come in, so a peer that announces 64 MiB and sends ten bytes costs ten
/// bytes (plus a small first chunk), not 64 MiB.
class FrameReader {
 public:
  explicit FrameReader(std::size_t maxFrameBytes = kMaxFrameBytes);

  /// Takes the next bytes of the stream. Whole frames become available through
  /// `next`. Fails when a header announces more than the limit; the reader then
  /// stays failed and takes nothing more (frames completed before the bad
  /// header remain available).
  Status feed(std::string_view bytes);

  /// Whether a whole frame waits to be taken.
  bool hasFrame() const { return !frames_.empty(); }
  /// Takes the oldest whole frame (empty when there is none). Its capacity
  /// leaves at least `kFrameSpareBytes` past its end.
  std::string next();

  /// Lowers or raises the limit for frames whose header has not arrived yet.
  void setMaxFrameBytes(std::size_t maxFrameBytes) { maxFrameBytes_ = maxFrameBytes; }

  bool failed() const { return failed_; }
  /// Bytes held for the frame in progress (header and body) and for whole
  /// frames not yet taken: what the reader costs in memory right now.
  std::size_t bufferedCapacity() const;

 private:
  void append(std::string_view bytes);
  void finishFrame();

  std::size_t maxFrameBytes_;
  std::array<unsigned char, 4> header_{};
  std::size_t headerFilled_ = 0;
  bool inBody_ = false;
  std::size_t expected_ = 0;  ///< body size announced by the current header
  std::string body_;
  std::deque<std::string> frames_;
  bool failed_ = false;
  std::string failure_;
};

}  // namespace qm
