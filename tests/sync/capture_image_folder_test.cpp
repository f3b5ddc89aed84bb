// Capture images on disk: which bytes count as an image, and what one event's
// images may take together.
#include "sync/capture_image_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/atomic_file.h"
#include "store/capture_media.h"
#include "support/status_matchers.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) {
  return {text.begin(), text.end()};
}

/// An ISO-BMFF file whose "ftyp" box has `major` and then `compatible` brands.
std::vector<std::uint8_t> isoFile(std::string_view major, std::string_view compatible = "") {
  const std::size_t size = 16 + compatible.size();
  std::string box = {0, 0, 0, static_cast<char>(size)};
  box += "ftyp" + std::string(major) + std::string("\0\0\0\0", 4) + std::string(compatible);
  return bytesOf(box + "....mdat");
}

TEST(CaptureImageDataTest, TakesJpegPngAndHeicBySignatureOnly) {
  EXPECT_TRUE(isCaptureImageData(bytesOf("\xFF\xD8\xFF\xDB rest")));
  EXPECT_TRUE(isCaptureImageData(bytesOf("\x89PNG\r\n\x1A\n rest")));
  EXPECT_TRUE(isCaptureImageData(isoFile("heic")));
  EXPECT_TRUE(isCaptureImageData(isoFile("heix")));
  EXPECT_TRUE(isCaptureImageData(isoFile("mif1", "miafheic")));
  EXPECT_TRUE(isCaptureImageData(isoFile("isom", "avc1msf1")));

  EXPECT_FALSE(isCaptureImageData({}));
  EXPECT_FALSE(isCaptureImageData(bytesOf("#!/bin/sh\nrm -rf ~\n")));
  EXPECT_FALSE(isCaptureImageData(bytesOf("\xFF\xD8")));
  EXPECT_FALSE(isCaptureImageData(bytesOf("\x89PNG\r\n\x1A")));
  EXPECT_FALSE(isCaptureImageData(isoFile("isom", "mp42avc1")));  // a video
  // A brand past the end of the "ftyp" box is not one of its brands.
  auto shortBox = isoFile("isom", "heic");
  shortBox[3] = 16;
  EXPECT_FALSE(isCaptureImageData(shortBox));
}

TEST(CaptureImageFolderTest, KeepsOneEventsImagesWithinTheBound) {
  test::TempDir dir;
  const Uuid event = Uuid::random();
  const Uuid otherEvent = Uuid::random();
  const auto image = [](std::size_t size) {
    auto bytes = bytesOf(std::string(size, 'x'));
    bytes[0] = 0xFF;
    bytes[1] = 0xD8;
    bytes[2] = 0xFF;
    return bytes;
  };
  const auto file = [&](const Uuid& eventID, std::string_view name) {
    return captureImageURL(dir / "documents", eventID, name);
  };
  CaptureImageFolder folder(dir / "documents", 100);

  ASSERT_OK(folder.write(event, "a.jpg", image(60)));
  EXPECT_EQ(std::filesystem::file_size(file(event, "a.jpg")), 60u);
  EXPECT_THAT(folder.write(event, "b.jpg", image(41)),
              test::IsError(ErrorCode::failedPrecondition,
                            testing::Eq("the capture images of this event would take more than "
                                        "100 bytes on this computer")));
  EXPECT_FALSE(std::filesystem::exists(file(event, "b.jpg")));
  EXPECT_OK(folder.write(event, "b.jpg", image(40)));
  // Another event has a bound of its own; a replaced file frees what it took.
  EXPECT_OK(folder.write(otherEvent, "a.jpg", image(100)));
  EXPECT_OK(folder.write(event, "a.jpg", image(50)));
  EXPECT_OK(folder.write(event, "c.jpg", image(10)));
  EXPECT_THAT(folder.write(event, "d.jpg", image(3)), test::IsError(ErrorCode::failedPrecondition));

  // Images removed meanwhile, and images already on disk at start, count as they are.
  std::filesystem::remove(file(event, "b.jpg"));
  EXPECT_OK(folder.write(event, "d.jpg", image(40)));
  CaptureImageFolder restarted(dir / "documents", 100);
  EXPECT_THAT(restarted.write(event, "e.jpg", image(3)),
              test::IsError(ErrorCode::failedPrecondition));
  EXPECT_FALSE(std::filesystem::exists(file(event, "e.jpg")));
}

}  // namespace
}  // namespace qm
