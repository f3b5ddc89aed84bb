#pragma once

#include <filesystem>
#include <string>

#include "store/field.h"
#include "store/record_enums.h"

namespace qm {

// clang-format off
/// The stored fields of a capture. The image itself is a file (see
/// `captureImageURL`); the store keeps only its name.
#define QM_CAPTURE_MEDIA_FIELDS(F)                                    \
  F(Uuid, id, {}, kUnique)                                            \
  F(std::optional<Uuid>, contactID, {}, ownedBy("Contact"))           \
  F(Date, capturedAt, {}, {})                                         \
  F(CaptureType, captureType, CaptureType::other, {})                 \
  F(std::string, imageFileName, {}, {})                               \
  F(std::optional<std::string>, caption, {}, {})                      \
  F(std::optional<std::string>, ocrExtractedText, {}, {})             \
  F(std::optional<std::string>, ocrParsedData, {}, {})                \
  F(std::optional<std::string>, syncedFrom, {}, {})
// clang-format on

/// A photo of a business card, badge or document taken for a contact.
struct CaptureMedia {
  QM_CAPTURE_MEDIA_FIELDS(QM_RECORD_MEMBER)
  friend bool operator==(const CaptureMedia&, const CaptureMedia&) = default;
};

template <>
struct RecordInfo<CaptureMedia> {
  static constexpr std::string_view table = "CaptureMedia";
  static const std::vector<Field<CaptureMedia>>& fields();
};

/// Where a capture image lives: documents / "events" / event UUID (upper case) /
/// "photos" / file name. Only the location; nothing is created here.
std::filesystem::path captureImageURL(const std::filesystem::path& documentsDirectory,
                                      const Uuid& eventID, std::string_view fileName);

}  // namespace qm
