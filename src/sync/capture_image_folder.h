#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <unordered_map>

#include "common/result.h"
#include "common/uuid.h"

namespace qm {

/// What the capture images of one event may take on disk together: 2 GiB.
/// Captures are photos of cards, badges and documents, a few hundred KB to a
/// few MB each, so this holds well over a thousand full-size phone photos,
/// more than the captures of a large show; yet a phone that goes wrong (or
/// means harm) cannot fill this computer's disk through one event, however
/// many 64 MiB frames it sends.
inline constexpr std::uintmax_t kMaxEventCaptureBytes = std::uintmax_t{2} << 30;

/// Whether `bytes` are image data a capture can hold, told by the file's
/// signature: JPEG (FF D8 FF), PNG (89 50 4E 47 0D 0A 1A 0A), or HEIC/HEIF (an
/// ISO-BMFF "ftyp" box at offset 4 whose major or a compatible brand is heic,
/// heix, hevc, heim, heis, hevm, hevs, mif1 or msf1).
bool isCaptureImageData(std::span<const std::uint8_t> bytes);

/// The capture images on disk, documents / "events" / event UUID / "photos"
/// (see `captureImageURL`): writes what the phone sends, each file whole and
/// atomically (mode 0600), and keeps what one event's images take together
/// within a bound. What each event's folder takes is counted once and then
/// kept in step with the writes; it is counted again before an image is
/// refused, in case files were removed meanwhile.
class CaptureImageFolder {
 public:
  explicit CaptureImageFolder(std::filesystem::path documents,
                              std::uintmax_t maxEventBytes = kMaxEventCaptureBytes);

  /// Writes `bytes` as the capture image `fileName` of `eventID`, replacing a
  /// file of that name (creating the folders on the first image). Refuses with
  /// `invalidArgument` a name that is not a plain file name and bytes that are
  /// no JPEG, PNG or HEIC image, and with `failedPrecondition` an image that
  /// would take the event's images past the bound. Nothing is written when it
  /// refuses or fails.
  Status write(const Uuid& eventID, std::string_view fileName, std::span<const std::uint8_t> bytes);

 private:
  /// What the files in the event's photo folder take now (0 without a folder).
  Result<std::uintmax_t> measure(const Uuid& eventID) const;

  std::filesystem::path documents_;
  std::uintmax_t maxEventBytes_;
  std::unordered_map<Uuid, std::uintmax_t> used_;
};

}  // namespace qm
