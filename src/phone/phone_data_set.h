#pragma once

#include <filesystem>
#include <vector>

#include "common/result.h"
#include "sync/record_payloads.h"
#include "wire/sync_envelope.h"

// The phone simulator's data: the events a phone holds, each as the snapshot
// it would send, with the capture images of its contacts as files. Read from
// a JSON file of the form {"events": [EventSnapshotPayload, ...]} in sync
// JSON; a contact's `captureFileNames` name image files beside that file.

namespace qm::phone {

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

 private:
  std::filesystem::path directory_;
  std::vector<EventSnapshotPayload> events_;

  Result<SyncEnvelope> mediaBlob(const MediaRequestPayload& request) const;
};

/// The MIME type of an image file by its extension ("image/png", "image/jpeg",
/// "image/heic"); "application/octet-stream" for anything else.
std::string mimeTypeOf(const std::filesystem::path& file);

}  // namespace qm::phone
