// Reassembling frames from the byte stream, whatever pieces it arrives in, and
// what the reader may cost in memory.
#include "peer_link/frame_reader.h"

#include <gmock/gmock.h>

#include <string>
#include <vector>

namespace qm {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

/// `body` as it travels: length prefix, then the bytes.
std::string frame(std::string_view body) {
  const auto header = frameHeader(static_cast<std::uint32_t>(body.size()));
  return std::string(header.data(), header.size()) + std::string(body);
}

/// A body of `size` bytes whose content depends on `seed`.
std::string body(std::size_t size, int seed) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 31 + seed) & 0xff);
  return text;
}

/// Feeds `stream` in pieces of `piece` bytes and takes every frame.
std::vector<std::string> readInPieces(FrameReader& reader, std::string_view stream,
                                      std::size_t piece) {
  std::vector<std::string> frames;
  for (std::size_t at = 0; at < stream.size(); at += piece) {
    EXPECT_TRUE(reader.feed(stream.substr(at, piece)));
    while (reader.hasFrame()) frames.push_back(reader.next());
  }
  return frames;
}

const std::vector<std::string> kBodies = {body(0, 1),   body(1, 2),      body(100, 3),
                                          body(0, 4),   body(70'000, 5), body(16 * 1024, 6),
                                          body(4095, 7)};

std::string streamOf(const std::vector<std::string>& bodies) {
  std::string stream;
  for (const auto& b : bodies) stream += frame(b);
  return stream;
}

TEST(FrameReader, FramesComeOutWholeAndInOrderWhateverTheReadSizes) {
  const std::string stream = streamOf(kBodies);
  // Byte by byte (every length prefix split across four reads), small odd
  // pieces, pieces that end inside prefixes, and all at once.
  for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{7}, std::size_t{4093},
                                  std::size_t{65'536}, stream.size()}) {
    SCOPED_TRACE("piece " + std::to_string(piece));
    FrameReader reader;
    EXPECT_THAT(readInPieces(reader, stream, piece), ElementsAreArray(kBodies));
    EXPECT_FALSE(reader.hasFrame());
  }
}

TEST(FrameReader, SeveralFramesInOneReadAreAllAvailable) {
  FrameReader reader;
  ASSERT_TRUE(reader.feed(frame("one") + frame("") + frame("three") + frame("fo")));
  std::vector<std::string> frames;
  while (reader.hasFrame()) frames.push_back(reader.next());
  EXPECT_THAT(frames, ElementsAreArray({"one", "", "three", "fo"}));
  // Half a frame stays inside until the rest arrives.
  ASSERT_TRUE(reader.feed(frame("five").substr(0, 6)));
  EXPECT_FALSE(reader.hasFrame());
  ASSERT_TRUE(reader.feed("ve"));
  ASSERT_TRUE(reader.hasFrame());
  EXPECT_EQ(reader.next(), "five");
}

TEST(FrameReader, EveryFrameKeepsSpareCapacityForTheJsonDecoder) {
  for (const std::size_t size :
       {std::size_t{0}, std::size_t{1}, std::size_t{15}, std::size_t{16},
        std::size_t{16 * 1024 - 64}, std::size_t{16 * 1024}, std::size_t{1'000'003}}) {
    for (const std::size_t piece : {std::size_t{1000}, size + 4}) {
      if (size > 100'000 && piece == 1000) continue;  // slow and adds nothing
      SCOPED_TRACE("size " + std::to_string(size) + ", piece " + std::to_string(piece));
      FrameReader reader;
      const auto frames = readInPieces(reader, frame(body(size, 9)), piece);
      ASSERT_EQ(frames.size(), 1u);
      EXPECT_EQ(frames[0], body(size, 9));
      EXPECT_GE(frames[0].capacity() - frames[0].size(), kFrameSpareBytes);
    }
  }
}

TEST(FrameReader, HeaderOverTheLimitFailsAndTheReaderStaysFailed) {
  FrameReader reader;
  const auto over = frameHeader(static_cast<std::uint32_t>(kMaxFrameBytes + 1));
  // A whole frame before the bad header is still delivered.
  const Status status = reader.feed(frame("before") + std::string(over.data(), over.size()) + "x");
  ASSERT_FALSE(status);
  EXPECT_THAT(status.error().message, HasSubstr("67108865 bytes"));
  EXPECT_THAT(status.error().message, HasSubstr("limit of 67108864 bytes"));
  EXPECT_TRUE(reader.failed());
  ASSERT_TRUE(reader.hasFrame());
  EXPECT_EQ(reader.next(), "before");
  EXPECT_FALSE(reader.feed(frame("after")));
  EXPECT_FALSE(reader.hasFrame());

  // Exactly the limit is allowed, and so is the largest prefix under a raised one.
  FrameReader atLimit;
  const auto exact = frameHeader(static_cast<std::uint32_t>(kMaxFrameBytes));
  EXPECT_TRUE(atLimit.feed(std::string_view(exact.data(), exact.size())));
  FrameReader small(10);
  EXPECT_TRUE(small.feed(frame(body(10, 1))));
  EXPECT_FALSE(small.feed(frame(body(11, 1))));
}

TEST(FrameReader, LimitChangesApplyToFramesNotYetAnnounced) {
  FrameReader reader(8);
  ASSERT_TRUE(reader.feed(frame("12345678")));
  reader.setMaxFrameBytes(1000);
  ASSERT_TRUE(reader.feed(frame(body(900, 1))));
  EXPECT_EQ(reader.next(), "12345678");
  EXPECT_EQ(reader.next(), body(900, 1));
}

TEST(FrameReader, MemoryFollowsArrivedBytesNotTheAnnouncedSize) {
  FrameReader reader;
  const std::size_t announced = 60 * 1024 * 1024;
  const auto header = frameHeader(static_cast<std::uint32_t>(announced));
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
