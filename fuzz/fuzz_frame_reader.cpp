// Feeds the input to the peer link's frame reader as a received byte stream.
//
// The first byte picks the frame limit (64 MiB, 1000 bytes or 0 bytes, so that
// short inputs reach the refusal too), the second seeds the sizes of the
// pieces the stream is cut into; the rest is the stream. For every input:
// - reading the stream in pieces gives the same frames, and the same failure,
//   as reading it at once;
// - the frames, framed again, are exactly the start of the stream; what
//   follows them is an unfinished frame or, after a failure, a header over
//   the limit;
// - every frame keeps the spare capacity the JSON decoder reads into;
// - the reader never holds much more memory than the bytes it was given,
//   whatever sizes the headers announce.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_checks.h"
#include "peer_link/frame_reader.h"

namespace qm::fuzz {
namespace {

struct Outcome {
  std::vector<std::string> frames;
  bool failed = false;
  std::string failure;
};

void take(FrameReader& reader, Outcome& outcome) {
  while (reader.hasFrame()) {
    std::string frame = reader.next();
    if (frame.capacity() - frame.size() < kFrameSpareBytes) {
      fail("a frame lacks spare capacity",
           std::to_string(frame.size()) + " bytes, capacity " + std::to_string(frame.capacity()));
    }
    outcome.frames.push_back(std::move(frame));
  }
}

void record(const Status& status, Outcome& outcome) {
  if (!status && !outcome.failed) {
    outcome.failed = true;
    outcome.failure = status.error().message;
  }
}

/// The most the reader may hold after `fed` bytes with `frames` whole frames
/// waiting: the body in progress grows to at most twice what arrived (or a
/// first chunk), each frame adds its spare bytes.
std::size_t memoryBound(std::size_t fed, std::size_t frames) {
  return 4 * fed + 2 * (kFrameSpareBytes + 1) * (frames + 1) + 2 * (16 * 1024 + kFrameSpareBytes);
}

Outcome readAtOnce(std::string_view stream, std::size_t limit) {
  FrameReader reader(limit);
  Outcome outcome;
  record(reader.feed(stream), outcome);
  take(reader, outcome);
  return outcome;
}

Outcome readInPieces(std::string_view stream, std::size_t limit, std::uint8_t seed) {
  FrameReader reader(limit);
  Outcome outcome;
  std::uint32_t state = seed * 2654435761u + 1;
  std::size_t fed = 0;
  while (fed < stream.size()) {
    state = state * 1103515245u + 12345u;
    // Mostly short pieces (prefixes split across reads), sometimes long ones.
    const std::size_t size =
        (state >> 16) % 8 == 0 ? (state >> 8) % 4096 + 1 : (state >> 16) % 7 + 1;
    const auto piece = stream.substr(fed, size);
    fed += piece.size();
    record(reader.feed(piece), outcome);
    const std::size_t held = reader.bufferedCapacity();
    const std::size_t before = outcome.frames.size();
    take(reader, outcome);
    if (held > memoryBound(fed, outcome.frames.size() - before)) {
      fail("the reader holds far more than it was given",
           std::to_string(held) + " bytes held after " + std::to_string(fed));
    }
  }
  return outcome;
}

std::uint32_t lengthAt(std::string_view stream, std::size_t at) {
  return (std::uint32_t{static_cast<unsigned char>(stream[at])} << 24) |
         (std::uint32_t{static_cast<unsigned char>(stream[at + 1])} << 16) |
         (std::uint32_t{static_cast<unsigned char>(stream[at + 2])} << 8) |
         std::uint32_t{static_cast<unsigned char>(stream[at + 3])};
}

}  // namespace
}  // namespace qm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qm;
  using namespace qm::fuzz;
  if (size < 2) return 0;
  static constexpr std::size_t kLimits[] = {kMaxFrameBytes, 1000, 0, kMaxFrameBytes};
  const std::size_t limit = kLimits[data[0] % 4];
  const std::uint8_t seed = data[1];
  const std::string_view stream(reinterpret_cast<const char*>(data) + 2, size - 2);

  const Outcome whole = readAtOnce(stream, limit);
  const Outcome pieces = readInPieces(stream, limit, seed);
  if (whole.frames != pieces.frames) fail("reading in pieces gives other frames");
  if (whole.failed != pieces.failed || whole.failure != pieces.failure) {
    fail("reading in pieces fails differently", whole.failure + "\n" + pieces.failure);
  }

  std::string framed;
  for (const auto& frame : whole.frames) {
    const auto header = frameHeader(static_cast<std::uint32_t>(frame.size()));
    framed.append(header.data(), header.size());
    framed += frame;
  }
  if (stream.substr(0, framed.size()) != framed) fail("the frames are not the start of the stream");
  const std::size_t rest = stream.size() - framed.size();
  if (whole.failed) {
    if (rest < 4 || lengthAt(stream, framed.size()) <= limit) {
      fail("the reader failed without a header over the limit", whole.failure);
    }
  } else if (rest >= 4) {
    const std::size_t announced = lengthAt(stream, framed.size());
    if (announced > limit) fail("a header over the limit was accepted");
    if (announced + 4 <= rest) fail("a whole frame was left in the reader");
  }
  return 0;
}
