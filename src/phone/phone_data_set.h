#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "sync/record_payloads.h"
#include "wire/sync_envelope.h"

// The phone simulator's data: the events a phone holds, each as the snapshot
// it would send, with the capture images of its contacts as files, and the
// changes made on the phone after those snapshots, which it sends as deltas.
// Read from a JSON file in sync JSON:
//   {"events": [EventSnapshotPayload, ...],
//    "captures": [CaptureDetails, ...],            (optional)
//    "later": {"contacts": [DeltaContactPayload], "notes": [DeltaNotePayload],
//              "opportunities": [DeltaOpportunityPayload],
//              "reports": [DeltaReportPayload]}}  (optional, each list too)
// A contact's `captureFileNames` name image files beside that file.

namespace qm::phone {

// clang-format off
#define QM_CAPTURE_DETAILS_FIELDS(F)                \
  F(std::string, fileName)                          \
  F(std::string, captureType)                       \
  F(std::optional<std::string>, caption)            \
  F(std::optional<std::string>, ocrExtractedText)
#define QM_LATER_CHANGES_FIELDS(F)                                      \
  F(std::optional<std::vector<DeltaContactPayload>>, contacts)          \
  F(std::optional<std::vector<DeltaNotePayload>>, notes)                \
  F(std::optional<std::vector<DeltaOpportunityPayload>>, opportunities) \
  F(std::optional<std::vector<DeltaReportPayload>>, reports)
// clang-format on

/// What the phone knows of one capture image besides its bytes ("businessCard"
/// and no text when the data set says nothing).
struct CaptureDetails {
  QM_CAPTURE_DETAILS_FIELDS(QM_WIRE_MEMBER)
};

/// Records changed on the phone after its snapshots were taken.
struct LaterChanges {
  QM_LATER_CHANGES_FIELDS(QM_WIRE_MEMBER)
};

class PhoneDataSet {
 public:
  /// The data set in `file`. Fails, naming the file and the fault, when it is
  /// not readable, not a valid list of event snapshots, or names a capture
  /// image that is not a plain file name or not a file beside it.
  static Result<PhoneDataSet> load(const std::filesystem::path& file);

  const std::vector<EventSnapshotPayload>& events() const { return events_; }

  /// What the phone sends back for `request`, unsigned and in order: an event
  /// list for "event.list.request"; the asked-for snapshot, or for a full sync
  /// every event newer than the desktop's copy or unknown to it, for
  /// "event.snapshot.request"; a "media.blob" for "media.request". An
  /// "error" when the event or image is not in the data set; nothing for any
  /// other message.
  Result<std::vector<SyncEnvelope>> answer(const SyncEnvelope& request) const;

  /// The later changes as unsigned delta messages: contacts, then notes,
  /// opportunities and reports, each in the file's order.
  Result<std::vector<SyncEnvelope>> laterChangeMessages() const;

 private:
  std::filesystem::path directory_;
  std::vector<EventSnapshotPayload> events_;
  std::vector<CaptureDetails> captures_;
  LaterChanges later_;

  Result<SyncEnvelope> mediaBlob(const MediaRequestPayload& request) const;
};

/// The MIME type of an image file by its extension ("image/png", "image/jpeg",
/// "image/heic"); "application/octet-stream" for anything else.
std::string mimeTypeOf(const std::filesystem::path& file);

}  // namespace qm::phone
