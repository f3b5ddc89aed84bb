#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/result.h"
#include "common/uuid.h"
#include "export/eml_message.h"

namespace qm {

class Store;

/// One saved file of a batch export.
struct ExportResult {
  std::filesystem::path fileURL;
  /// The contact's full name, or "Unknown" when the draft has no contact.
  std::string contactName;
};

/// A draft of a batch that could not be saved, and why.
struct ExportFailure {
  Uuid draftID;
  std::string contactName;
  Error error;
};

struct EmlBatchResult {
  std::vector<ExportResult> written;
  std::vector<ExportFailure> failed;
};

/// The draft with id `draftID` and its contact; `notFound` when there is none.
Result<DraftMessage> loadDraftMessage(Store& store, const Uuid& draftID);

/// The drafts an event's draft list exports, in stored order: those whose
/// contact belongs to the event, except the dismissed ones.
Result<std::vector<DraftMessage>> eventDraftsForExport(Store& store, const Uuid& eventID);

/// Writes the message to `file` whole and atomically (mode 0600: it names a
/// person), replacing what is there.
Status exportDraft(const DraftMessage& message, const EmlOptions& options,
                   const std::filesystem::path& file);

/// Writes each draft into `folder` (created if missing) under its proposed
/// name made unique there, in the order given. A draft that cannot be written
/// is listed with its error and the others are still written.
EmlBatchResult exportDrafts(const std::vector<DraftMessage>& messages, const EmlOptions& options,
                            const std::filesystem::path& folder);

}  // namespace qm
