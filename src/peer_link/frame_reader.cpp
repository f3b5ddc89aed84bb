#include "peer_link/frame_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qm {

namespace {

/// The buffer a new frame starts with (or less, for a smaller frame); it then
/// doubles at most as bytes arrive.
constexpr std::size_t kFirstChunk = 16 * 1024;

}  // namespace

std::array<char, 4> frameHeader(std::uint32_t size) {
  return {static_cast<char>((size >> 24) & 0xff), static_cast<char>((size >> 16) & 0xff),
          static_cast<char>((size >> 8) & 0xff), static_cast<char>(size & 0xff)};
}

FrameReader::FrameReader(std::size_t maxFrameBytes) : maxFrameBytes_(maxFrameBytes) {}

Status FrameReader::feed(std::string_view bytes) {
  if (failed_) return Error(failure_);
  while (!bytes.empty()) {
    if (!inBody_) {
      const std::size_t take = std::min(header_.size() - headerFilled_, bytes.size());
      std::memcpy(header_.data() + headerFilled_, bytes.data(), take);
      headerFilled_ += take;
      bytes.remove_prefix(take);
      if (headerFilled_ < header_.size()) break;
      headerFilled_ = 0;
      expected_ = (std::size_t{header_[0]} << 24) | (std::size_t{header_[1]} << 16) |
                  (std::size_t{header_[2]} << 8) | std::size_t{header_[3]};
      if (expected_ > maxFrameBytes_) {
        failed_ = true;
        failure_ = "a frame of " + std::to_string(expected_) +
                   " bytes was announced, over the limit of " + std::to_string(maxFrameBytes_) +
                   " bytes";
        return Error(failure_);
      }
      inBody_ = true;
      body_ = std::string();
      if (expected_ == 0) {
        finishFrame();
        continue;
      }
      // Nothing is set aside for a body before some of it arrived.
      if (bytes.empty()) break;
    }
    const std::size_t take = std::min(expected_ - body_.size(), bytes.size());
    append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (body_.size() == expected_) finishFrame();
  }
  return {};
}

void FrameReader::append(std::string_view bytes) {
  const std::size_t needed = body_.size() + bytes.size();
  if (body_.capacity() < needed + kFrameSpareBytes) {
    // Grow ahead of need (so a large frame is not copied once per read), but
    // only by as much as already arrived, and never past the announced size.
    const std::size_t ahead = std::min(expected_, std::max(2 * body_.size(), kFirstChunk));
    body_.reserve(std::max(needed, ahead) + kFrameSpareBytes);
  }
  body_.append(bytes);
}

void FrameReader::finishFrame() {
  if (body_.capacity() < body_.size() + kFrameSpareBytes) {
    body_.reserve(body_.size() + kFrameSpareBytes);
  }
  frames_.push_back(std::move(body_));
  body_ = std::string();
  inBody_ = false;
  expected_ = 0;
}

std::string FrameReader::next() {
  if (frames_.empty()) return {};
  std::string frame = std::move(frames_.front());
  frames_.pop_front();
  return frame;
}

std::size_t FrameReader::bufferedCapacity() const {
  std::size_t total = body_.capacity();
  for (const auto& frame : frames_) total += frame.capacity();
  return total;
}

}  // namespace qm
