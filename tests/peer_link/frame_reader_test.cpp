// Reassembling frames from the byte stream, whatever pieces it arrives in, and
// what the reader may cost in memory.
#include "peer_link/frame_reader.h"
#include "peer_link/framed.h"

#include <gmock/gmock.h>

#include <string>
#include <vector>

namespace qm {
namespace {

using test::frame;

using ::testing::ElementsAreArray;

/// A body of `size` bytes whose content depends on `seed`.
std::string body(std::size_t size, int seed) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 31 + seed) & 0xff);
  return text;
}

TEST(FrameReader, FramesComeOutWholeInOrderAndWithSpareCapacityWhateverTheReadSizes) {
  // Empty frames, sizes around the short-string and first-chunk boundaries, and
  // one larger than a first chunk.
  std::vector<std::string> bodies;
  int seed = 0;
  for (const std::size_t size : std::initializer_list<std::size_t>{
           0, 1, 15, 16, 100, 0, 4095, 16 * 1024 - 64, 16 * 1024, 70'000})
    bodies.push_back(body(size, ++seed));
  std::string stream;
  for (const auto& b : bodies) stream += frame(b);

  // Byte by byte (every length prefix split across four reads), small odd
  // pieces, pieces that end inside prefixes, and all at once.
  for (const std::size_t piece :
       std::initializer_list<std::size_t>{1, 3, 7, 4093, 65'536, stream.size()}) {
    SCOPED_TRACE("piece " + std::to_string(piece));
    FrameReader reader;
    std::vector<std::string> frames;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      ASSERT_TRUE(reader.feed(std::string_view(stream).substr(at, piece)));
      while (reader.hasFrame()) frames.push_back(reader.next());
    }
    EXPECT_THAT(frames, ElementsAreArray(bodies));
    // Room for the JSON decoder to read ahead in place.
    for (const auto& f : frames) EXPECT_GE(f.capacity() - f.size(), kFrameSpareBytes) << f.size();
  }
}

TEST(FrameReader, FramesOverTheLimitFailTheReaderForGood) {
  FrameReader reader;
  const auto over = frameHeader(static_cast<std::uint32_t>(kMaxFrameBytes + 1));
  // A whole frame before the bad header is still delivered.
  EXPECT_FALSE(reader.feed(frame("before") + std::string(over.data(), over.size()) + "x"));
  EXPECT_TRUE(reader.failed());
  ASSERT_TRUE(reader.hasFrame());
  EXPECT_EQ(reader.next(), "before");
  EXPECT_FALSE(reader.feed(frame("after")));
  EXPECT_FALSE(reader.hasFrame());

  // Exactly 64 MiB is allowed.
  FrameReader atLimit;
  const auto exact = frameHeader(static_cast<std::uint32_t>(kMaxFrameBytes));
  EXPECT_TRUE(atLimit.feed(std::string_view(exact.data(), exact.size())));

  // A lower limit holds until raised; the raised one applies to the next frame.
  FrameReader small(8);
  ASSERT_TRUE(small.feed(frame("12345678")));
  small.setMaxFrameBytes(1000);
  ASSERT_TRUE(small.feed(frame(body(900, 1))));
  EXPECT_EQ(small.next(), "12345678");
  EXPECT_EQ(small.next(), body(900, 1));
  EXPECT_FALSE(small.feed(frame(body(1001, 1))));
}

TEST(FrameReader, MemoryFollowsArrivedBytesNotTheAnnouncedSize) {
  FrameReader reader;
  const auto header = frameHeader(static_cast<std::uint32_t>(60 * 1024 * 1024));
  ASSERT_TRUE(reader.feed(std::string_view(header.data(), header.size())));
  EXPECT_LT(reader.bufferedCapacity(), 64u);
  ASSERT_TRUE(reader.feed("ten bytes!"));
  EXPECT_LT(reader.bufferedCapacity(), 64u * 1024);

  // As bytes arrive, the buffer stays within a small multiple of them.
  std::size_t arrived = 10;
  const std::string piece = body(256 * 1024, 3);
  while (arrived < 8 * 1024 * 1024) {
    ASSERT_TRUE(reader.feed(piece));
    arrived += piece.size();
    ASSERT_LE(reader.bufferedCapacity(), 4 * arrived) << "after " << arrived << " bytes";
  }
  EXPECT_FALSE(reader.hasFrame());
}

}  // namespace
}  // namespace qm
