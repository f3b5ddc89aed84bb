#include "export/eml_export.h"

#include <map>
#include <system_error>

#include "common/atomic_file.h"
#include "export/eml_file_name.h"
#include "store/store.h"

namespace qm {

namespace {

constexpr mode_t kPrivateFile = 0600;

std::string contactNameOf(const DraftMessage& message) {
  return message.contact ? message.contact->fullName() : std::string("Unknown");
}

}  // namespace

Result<DraftMessage> loadDraftMessage(Store& store, const Uuid& draftID) {
  auto draft = QM_TRY(store.find<FollowUpDraft>(draftID));
  if (!draft) return Error(ErrorCode::notFound, "No draft with id " + draftID.str());
  DraftMessage message{std::move(*draft), std::nullopt};
  if (message.draft.contactID)
    message.contact = QM_TRY(store.find<Contact>(*message.draft.contactID));
  return message;
}

Result<std::vector<DraftMessage>> eventDraftsForExport(Store& store, const Uuid& eventID) {
  auto contacts = QM_TRY(store.fetchOnly<Contact>({"id", "firstName", "lastName", "email"},
                                                  {Match{"eventID", eventID}}));
  std::map<Uuid, Contact> byID;
  for (auto& c : contacts) byID.emplace(c.id, std::move(c));
  auto drafts = QM_TRY(store.fetch<FollowUpDraft>());
  std::vector<DraftMessage> out;
  for (auto& draft : drafts) {
    if (!draft.contactID || draft.status == rawValue(DraftStatus::dismissed)) continue;
    const auto contact = byID.find(*draft.contactID);
    if (contact == byID.end()) continue;
    out.push_back({std::move(draft), contact->second});
  }
  return out;
}

Status exportDraft(const DraftMessage& message, const EmlOptions& options,
                   const std::filesystem::path& file) {
  return writeFileAtomically(file, emlContent(message, options), kPrivateFile);
}

EmlBatchResult exportDrafts(const std::vector<DraftMessage>& messages, const EmlOptions& options,
                            const std::filesystem::path& folder) {
  EmlBatchResult result;
  std::error_code ec;
  createPrivateFolders(folder, ec);
  if (ec) {
    for (const auto& m : messages)
      result.failed.push_back(
          {m.draft.id, contactNameOf(m),
           Error(ErrorCode::permissionDenied,
                 "Cannot create the folder " + folder.string() + ": " + ec.message())});
    return result;
  }
  for (const auto& message : messages) {
    const auto file = uniqueFileURL(folder, emlFileName(message));
    if (auto written = exportDraft(message, options, file); written) {
      result.written.push_back({file, contactNameOf(message)});
    } else {
      result.failed.push_back({message.draft.id, contactNameOf(message), written.error()});
    }
  }
  return result;
}

}  // namespace qm
