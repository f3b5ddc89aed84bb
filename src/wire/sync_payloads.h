#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/base64.h"
#include "common/date.h"
#include "common/enum_info.h"
#include "common/result.h"
#include "common/uuid.h"
#include "wire/sync_envelope.h"
#include "wire/sync_json.h"

// The payload records of the messages between the desktop and the phone. Each
// is declared once as an X-macro list `F(Type, key)`: the key is the JSON key,
// `std::optional` marks a key that may be missing or null.

namespace qm {

// clang-format off
#define QM_PAIR_HANDSHAKE_PAYLOAD_FIELDS(F)   \
  F(std::string, iPhoneDeviceUUID)            \
  F(std::string, iPhoneDisplayName)           \
  F(std::string, publicKeyBase64)             \
  F(std::string, signedNonce)
/// "pair.handshake": the phone introduces itself and its X25519 public key.
struct PairHandshakePayload {
  QM_PAIR_HANDSHAKE_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const PairHandshakePayload&, const PairHandshakePayload&) = default;
};

#define QM_PAIR_ACK_PAYLOAD_FIELDS(F)         \
  F(std::string, macDeviceUUID)               \
  F(std::string, macDisplayName)              \
  F(bool, accepted)
/// "pair.ack": the desktop's answer to a handshake (always accepted).
struct PairAckPayload {
  QM_PAIR_ACK_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const PairAckPayload&, const PairAckPayload&) = default;
};

#define QM_EVENT_LIST_REQUEST_PAYLOAD_FIELDS(F)
/// "event.list.request": no fields, the empty object.
struct EventListRequestPayload {
  friend bool operator==(const EventListRequestPayload&, const EventListRequestPayload&) = default;
};

#define QM_EVENT_LIST_ITEM_FIELDS(F)          \
  F(Uuid, id)                                 \
  F(std::string, name)                        \
  F(std::optional<Date>, startDate)           \
  F(std::optional<Date>, endDate)             \
  F(std::optional<std::string>, location)     \
  F(std::int64_t, contactCount)
/// One event the phone holds, with its number of contacts.
struct EventListItem {
  QM_EVENT_LIST_ITEM_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const EventListItem&, const EventListItem&) = default;
};

#define QM_EVENT_LIST_RESPONSE_PAYLOAD_FIELDS(F) \
  F(std::vector<EventListItem>, items)
/// "event.list.response": the phone's events.
struct EventListResponsePayload {
  QM_EVENT_LIST_RESPONSE_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const EventListResponsePayload&, const EventListResponsePayload&) = default;
};

#define QM_EVENT_SNAPSHOT_REQUEST_PAYLOAD_FIELDS(F) \
  F(Uuid, eventID)
/// "event.snapshot.request" for one event.
struct EventSnapshotRequestPayload {
  QM_EVENT_SNAPSHOT_REQUEST_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const EventSnapshotRequestPayload&, const EventSnapshotRequestPayload&) = default;
};

/// Event id to the event's `updatedAt`.
using EventTimestamps = std::map<Uuid, Date>;
#define QM_SNAPSHOT_REQUEST_FIELDS(F)         \
  F(EventTimestamps, eventTimestamps)
/// "event.snapshot.request" for a full sync: every stored event's `updatedAt`
/// keyed by its id.
struct SnapshotRequest {
  QM_SNAPSHOT_REQUEST_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const SnapshotRequest&, const SnapshotRequest&) = default;
};

#define QM_DELTA_REPORT_PAYLOAD_FIELDS(F)     \
  F(Uuid, eventID)                            \
  F(Uuid, reportID)                           \
  F(std::string, reportType)                  \
  F(Date, generatedAt)                        \
  F(std::optional<Date>, updatedAt)           \
  F(std::string, reportContent)               \
  F(std::optional<std::string>, providerUsed) \
  F(std::optional<std::string>, detailLevel)  \
  F(std::optional<std::string>, selectedSections)
/// "delta.report": an event report generated on the phone.
struct DeltaReportPayload {
  QM_DELTA_REPORT_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const DeltaReportPayload&, const DeltaReportPayload&) = default;
};

#define QM_MEDIA_REQUEST_PAYLOAD_FIELDS(F)    \
  F(Uuid, eventID)                            \
  F(Uuid, contactSyncID)                      \
  F(std::string, fileName)
/// "media.request": the desktop asks for one capture image.
struct MediaRequestPayload {
  QM_MEDIA_REQUEST_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const MediaRequestPayload&, const MediaRequestPayload&) = default;
};

#define QM_MEDIA_BLOB_PAYLOAD_FIELDS(F)       \
  F(Uuid, eventID)                            \
  F(Uuid, contactSyncID)                      \
  F(std::string, fileName)                    \
  F(Bytes, imageData)                         \
  F(std::string, mimeType)                    \
  F(std::string, captureType)                 \
  F(Date, capturedAt)                         \
  F(std::optional<std::string>, caption)      \
  F(std::optional<std::string>, ocrExtractedText) \
  F(std::optional<std::string>, ocrParsedData) \
  F(std::optional<std::string>, syncedFrom)
/// "media.blob": one capture image with what the phone knows of it.
struct MediaBlobPayload {
  QM_MEDIA_BLOB_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const MediaBlobPayload&, const MediaBlobPayload&) = default;
};
// clang-format on

/// What a relay request asks the phone to do.
enum class RelayRequestType { aiGenerate, aiSummarize, crmPush };

template <>
struct EnumInfo<RelayRequestType> {
  using E = RelayRequestType;
  static constexpr std::array<EnumCase<E>, 3> cases{{
      {E::aiGenerate, "ai.generate", "ai.generate"},
      {E::aiSummarize, "ai.summarize", "ai.summarize"},
      {E::crmPush, "crm.push", "crm.push"},
  }};
};

using RelayOptions = std::map<std::string, std::string>;

// clang-format off
#define QM_RELAY_REQUEST_PAYLOAD_FIELDS(F)    \
  F(RelayRequestType, requestType)            \
  F(std::optional<std::string>, provider)     \
  F(std::string, prompt)                      \
  F(std::optional<RelayOptions>, options)     \
  F(std::optional<std::vector<Uuid>>, contactIDs)
/// "relay.ai.request" and "relay.crm.push": work the desktop hands to the phone.
struct RelayRequestPayload {
  QM_RELAY_REQUEST_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const RelayRequestPayload&, const RelayRequestPayload&) = default;
};

#define QM_RELAY_RESPONSE_PAYLOAD_FIELDS(F)   \
  F(bool, success)                            \
  F(std::optional<std::string>, content)      \
  F(std::optional<std::string>, errorMessage) \
  F(std::optional<std::string>, provider)
/// "relay.ai.response" and "relay.crm.result"; the envelope's `correlationID`
/// names the request.
struct RelayResponsePayload {
  QM_RELAY_RESPONSE_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const RelayResponsePayload&, const RelayResponsePayload&) = default;
};

#define QM_QLM_IMPORT_RESULT_PAYLOAD_FIELDS(F) \
  F(bool, success)                             \
  F(std::optional<std::int64_t>, contactsImported) \
  F(std::optional<std::string>, errorMessage)
/// "qlm.import.result": how an import on the phone went.
struct QLMImportResultPayload {
  QM_QLM_IMPORT_RESULT_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const QLMImportResultPayload&, const QLMImportResultPayload&) = default;
};

#define QM_ERROR_PAYLOAD_FIELDS(F)            \
  F(std::string, code)                        \
  F(std::string, message)                     \
  F(std::optional<std::string>, details)
/// "error": the phone reports a failure.
struct ErrorPayload {
  QM_ERROR_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const ErrorPayload&, const ErrorPayload&) = default;
};
// clang-format on

QM_DECLARE_WIRE_RECORD(PairHandshakePayload, "PairHandshakePayload")
QM_DECLARE_WIRE_RECORD(PairAckPayload, "PairAckPayload")
QM_DECLARE_WIRE_RECORD(EventListRequestPayload, "EventListRequestPayload")
QM_DECLARE_WIRE_RECORD(EventListItem, "EventListItem")
QM_DECLARE_WIRE_RECORD(EventListResponsePayload, "EventListResponsePayload")
QM_DECLARE_WIRE_RECORD(EventSnapshotRequestPayload, "EventSnapshotRequestPayload")
QM_DECLARE_WIRE_RECORD(SnapshotRequest, "SnapshotRequest")
QM_DECLARE_WIRE_RECORD(DeltaReportPayload, "DeltaReportPayload")
QM_DECLARE_WIRE_RECORD(MediaRequestPayload, "MediaRequestPayload")
QM_DECLARE_WIRE_RECORD(MediaBlobPayload, "MediaBlobPayload")
QM_DECLARE_WIRE_RECORD(RelayRequestPayload, "RelayRequestPayload")
QM_DECLARE_WIRE_RECORD(RelayResponsePayload, "RelayResponsePayload")
QM_DECLARE_WIRE_RECORD(QLMImportResultPayload, "QLMImportResultPayload")
QM_DECLARE_WIRE_RECORD(ErrorPayload, "ErrorPayload")

}  // namespace qm
