#include "phone/phone_data_set.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "common/atomic_file.h"
#include "common/text.h"
#include "wire/wire_codec.h"

namespace qm::phone {
namespace {

// clang-format off
#define QM_PHONE_DATA_SET_FIELDS(F)                         \
  F(std::vector<EventSnapshotPayload>, events)              \
  F(std::optional<std::vector<phone::CaptureDetails>>, captures)   \
  F(std::optional<phone::LaterChanges>, later)
// clang-format on
/// The data set file as written.
struct DataSetFile {
  QM_PHONE_DATA_SET_FIELDS(QM_WIRE_MEMBER)
};

}  // namespace
}  // namespace qm::phone

namespace qm {
QM_DECLARE_WIRE_RECORD(phone::CaptureDetails, "CaptureDetails")
QM_DEFINE_WIRE_RECORD(phone::CaptureDetails, QM_CAPTURE_DETAILS_FIELDS)
QM_DECLARE_WIRE_RECORD(phone::LaterChanges, "LaterChanges")
QM_DEFINE_WIRE_RECORD(phone::LaterChanges, QM_LATER_CHANGES_FIELDS)
QM_DECLARE_WIRE_RECORD(phone::DataSetFile, "PhoneDataSet")
QM_DEFINE_WIRE_RECORD(phone::DataSetFile, QM_PHONE_DATA_SET_FIELDS)
}  // namespace qm

namespace qm::phone {
namespace {

Result<SyncEnvelope> errorEnvelope(std::string code, std::string message) {
  return SyncEnvelope::make(SyncMessageType::error,
                            ErrorPayload{std::move(code), std::move(message), {}});
}

}  // namespace

Result<PhoneDataSet> PhoneDataSet::load(const std::filesystem::path& file) {
  auto text = readFile(file);
  if (!text) return Error("Cannot read " + file.string() + ": " + text.error().message);
  auto decoded = decodeSyncJSON<DataSetFile>(*text);
  if (!decoded) return Error(file.string() + ": " + decoded.error().message);
  PhoneDataSet dataSet;
  dataSet.directory_ = file.parent_path();
  dataSet.events_ = std::move(decoded->events);
  dataSet.captures_ = std::move(decoded->captures).value_or(std::vector<CaptureDetails>{});
  dataSet.later_ = std::move(decoded->later).value_or(LaterChanges{});
  for (const auto& snapshot : dataSet.events_) {
    for (const auto& contact : snapshot.contacts) {
      for (const auto& name : contact.captureFileNames) {
        std::error_code ec;
        if (!isPlainFileName(name) ||
            !std::filesystem::is_regular_file(dataSet.directory_ / name, ec)) {
          return Error(file.string() + ": the capture image \"" + name + "\" of " +
                       contact.firstName + " " + contact.lastName + " is not a file beside it");
        }
      }
    }
  }
  return dataSet;
}

Result<std::vector<SyncEnvelope>> PhoneDataSet::answer(const SyncEnvelope& request) const {
  std::vector<SyncEnvelope> answers;
  auto add = [&](Result<SyncEnvelope> made) -> Status {
    if (!made) return made.error();
    answers.push_back(std::move(made).value());
    return {};
  };
  Status added;
  switch (request.type) {
    case SyncMessageType::eventListRequest: {
      EventListResponsePayload list;
      for (const auto& snapshot : events_) {
        const auto& e = snapshot.event;
        list.items.push_back({e.id, e.name, e.startDate, e.endDate, e.location,
                              static_cast<std::int64_t>(snapshot.contacts.size())});
      }
      added = add(SyncEnvelope::make(SyncMessageType::eventListResponse, list));
      break;
    }
    case SyncMessageType::eventSnapshotRequest: {
      if (auto one = request.decodePayload<EventSnapshotRequestPayload>()) {
        auto found = std::ranges::find_if(
            events_, [&](const auto& snapshot) { return snapshot.event.id == one->eventID; });
        added = add(found == events_.end()
                        ? errorEnvelope("event.notFound", "No event " + one->eventID.str())
                        : SyncEnvelope::make(SyncMessageType::eventSnapshot, *found));
        break;
      }
      auto full = request.decodePayload<SnapshotRequest>();
      if (!full) return full.error();
      for (const auto& snapshot : events_) {
        const auto known = full->eventTimestamps.find(snapshot.event.id);
        if (known != full->eventTimestamps.end() && snapshot.event.updatedAt <= known->second)
          continue;
        if (added = add(SyncEnvelope::make(SyncMessageType::eventSnapshot, snapshot)); !added)
          break;
      }
      break;
    }
    case SyncMessageType::mediaRequest: {
      auto media = request.decodePayload<MediaRequestPayload>();
      if (!media) return media.error();
      added = add(mediaBlob(*media));
      break;
    }
    default:
      break;
  }
  if (!added) return added.error();
  return answers;
}

Result<std::vector<SyncEnvelope>> PhoneDataSet::laterChangeMessages() const {
  std::vector<SyncEnvelope> messages;
  auto add = [&](SyncMessageType type, const auto& payloads) -> Status {
    for (const auto& payload : payloads.value_or(std::decay_t<decltype(*payloads)>{}))
      messages.push_back(QM_TRY(SyncEnvelope::make(type, payload)));
    return {};
  };
  QM_TRY(add(SyncMessageType::deltaContact, later_.contacts));
  QM_TRY(add(SyncMessageType::deltaNote, later_.notes));
  QM_TRY(add(SyncMessageType::deltaOpportunity, later_.opportunities));
  QM_TRY(add(SyncMessageType::deltaReport, later_.reports));
  return messages;
}

Result<SyncEnvelope> PhoneDataSet::mediaBlob(const MediaRequestPayload& request) const {
  // Only images the data set lists for that very contact are ever read.
  for (const auto& snapshot : events_) {
    if (snapshot.event.id != request.eventID) continue;
    for (const auto& contact : snapshot.contacts) {
      if (contact.syncID != request.contactSyncID ||
          std::ranges::find(contact.captureFileNames, request.fileName) ==
              contact.captureFileNames.end())
        continue;
      auto bytes = readFile(directory_ / request.fileName);
      if (!bytes) return errorEnvelope("media.unreadable", bytes.error().message);
      MediaBlobPayload blob;
      blob.eventID = request.eventID;
      blob.contactSyncID = request.contactSyncID;
      blob.fileName = request.fileName;
      blob.imageData.assign(bytes->begin(), bytes->end());
      blob.mimeType = mimeTypeOf(request.fileName);
      blob.captureType = "businessCard";
      const auto details =
          std::ranges::find(captures_, request.fileName, &CaptureDetails::fileName);
      if (details != captures_.end()) {
        blob.captureType = details->captureType;
        blob.caption = details->caption;
        blob.ocrExtractedText = details->ocrExtractedText;
      }
      blob.capturedAt = contact.metAt.value_or(snapshot.event.createdAt);
      return SyncEnvelope::make(SyncMessageType::mediaBlob, blob);
    }
  }
  return errorEnvelope("media.notFound", "No capture image \"" + request.fileName +
                                             "\" for contact " + request.contactSyncID.str());
}

std::string mimeTypeOf(const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  std::ranges::transform(extension, extension.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".png") return "image/png";
  if (extension == ".jpg" || extension == ".jpeg") return "image/jpeg";
  if (extension == ".heic") return "image/heic";
  return "application/octet-stream";
}

}  // namespace qm::phone
