#include "sync/capture_image_folder.h"

#include <algorithm>
#include <array>
#include <string>
#include <system_error>

#include "common/atomic_file.h"
#include "common/text.h"
#include "store/capture_media.h"

namespace qm {

namespace {

bool startsWith(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

std::string_view textAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return {reinterpret_cast<const char*>(bytes.data()) + offset, 4};
}

/// An ISO-BMFF file whose leading "ftyp" box names a HEIC or HEIF brand, as its
/// major brand or among its compatible brands.
bool isHeif(std::span<const std::uint8_t> bytes) {
  static constexpr std::array<std::string_view, 9> kBrands = {
      "heic", "heix", "hevc", "heim", "heis", "hevm", "hevs", "mif1", "msf1"};
  if (bytes.size() < 16 || textAt(bytes, 4) != "ftyp") return false;
  const std::size_t boxSize = (std::size_t{bytes[0]} << 24) | (std::size_t{bytes[1]} << 16) |
                              (std::size_t{bytes[2]} << 8) | std::size_t{bytes[3]};
  const std::size_t end = std::min(boxSize, bytes.size());
  const auto isBrand = [&](std::size_t offset) {
    return std::find(kBrands.begin(), kBrands.end(), textAt(bytes, offset)) != kBrands.end();
  };
  if (boxSize < 16) return false;
  if (isBrand(8)) return true;
  // Offset 12 holds the minor version; the compatible brands follow it.
  for (std::size_t offset = 16; offset + 4 <= end; offset += 4)
    if (isBrand(offset)) return true;
  return false;
}

/// A bound as a person reads it: "2 GiB", "64 MiB", or a number of bytes.
std::string sizeText(std::uintmax_t bytes) {
  if (bytes >= (1u << 30) && bytes % (1u << 30) == 0) return std::to_string(bytes >> 30) + " GiB";
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
}

}  // namespace

bool isCaptureImageData(std::span<const std::uint8_t> bytes) {
  static constexpr std::array<std::uint8_t, 3> kJPEG = {0xFF, 0xD8, 0xFF};
  static constexpr std::array<std::uint8_t, 8> kPNG = {0x89, 0x50, 0x4E, 0x47,
                                                       0x0D, 0x0A, 0x1A, 0x0A};
  return startsWith(bytes, kJPEG) || startsWith(bytes, kPNG) || isHeif(bytes);
}

CaptureImageFolder::CaptureImageFolder(std::filesystem::path documents,
                                       std::uintmax_t maxEventBytes)
    : documents_(std::move(documents)), maxEventBytes_(maxEventBytes) {}

Result<std::uintmax_t> CaptureImageFolder::measure(const Uuid& eventID) const {
  const auto folder = captureImageURL(documents_, eventID, "x").parent_path();
  std::error_code ec;
  std::uintmax_t total = 0;
  std::filesystem::directory_iterator entries(folder, ec);
  if (ec == std::errc::no_such_file_or_directory) return total;
  for (; !ec && entries != std::filesystem::directory_iterator(); entries.increment(ec)) {
    std::error_code sizeError;
    if (!entries->is_regular_file(sizeError)) continue;
    const auto size = entries->file_size(sizeError);
    if (!sizeError) total += size;  // a file removed meanwhile takes nothing
  }
  if (ec)
    return Error(ErrorCode::internal,
                 "Could not read the capture folder " + folder.string() + ": " + ec.message());
  return total;
}

Status CaptureImageFolder::write(const Uuid& eventID, std::string_view fileName,
                                 std::span<const std::uint8_t> bytes) {
  if (!isPlainFileName(fileName)) return Error(ErrorCode::invalidArgument, "invalid file name");
  if (!isCaptureImageData(bytes))
    return Error(ErrorCode::invalidArgument, "not a JPEG, PNG or HEIC image");

  const auto file = captureImageURL(documents_, eventID, fileName);
  // A file of the same name is replaced: what it takes now is freed.
  std::error_code ec;
  std::uintmax_t replaced = std::filesystem::file_size(file, ec);
  if (ec) replaced = 0;
  const auto fits = [&](std::uintmax_t used) {
    return used - std::min(used, replaced) + bytes.size() <= maxEventBytes_;
  };
  auto cached = used_.find(eventID);
  if (cached == used_.end() || !fits(cached->second)) {
    cached = used_.insert_or_assign(eventID, QM_TRY(measure(eventID))).first;
    if (!fits(cached->second))
      return Error(ErrorCode::failedPrecondition,
                   "the capture images of this event would take "
                   "more than " +
                       sizeText(maxEventBytes_) + " on this computer");
  }

  createPrivateFolders(file.parent_path(), ec);
  if (ec)
    return Error(
        ec == std::errc::permission_denied ? ErrorCode::permissionDenied : ErrorCode::internal,
        ec.message());
  QM_TRY(writeFileAtomically(
      file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), 0600));
  cached->second = cached->second - std::min(cached->second, replaced) + bytes.size();
  return {};
}

}  // namespace qm
