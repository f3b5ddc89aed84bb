#pragma once

#include <optional>
#include <vector>

#include "settings/pipeline_manager.h"
#include "sync/contact_sync_model.h"
#include "sync/event_sync_model.h"
#include "wire/sync_payloads.h"

// The payload records that carry stored records (events, contacts, notes,
// opportunities, pipeline stages), declared like those of wire/sync_payloads.h,
// and the check that a payload decodes as the record its message type names.

namespace qm {

// clang-format off
#define QM_PIPELINE_STAGE_WIRE_FIELDS(F)      \
  F(Uuid, id)                                 \
  F(std::string, name)                        \
  F(std::int64_t, sortOrder)                  \
  F(std::string, colorHex)

#define QM_EVENT_SNAPSHOT_PAYLOAD_FIELDS(F)   \
  F(EventSyncModel, event)                    \
  F(std::vector<ContactSyncModel>, contacts)  \
  F(std::optional<std::vector<PipelineStage>>, pipelineStages)
/// "event.snapshot": one event with its contacts and, optionally, the phone's
/// pipeline stages.
struct EventSnapshotPayload {
  QM_EVENT_SNAPSHOT_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const EventSnapshotPayload&, const EventSnapshotPayload&) = default;
};

#define QM_DELTA_CONTACT_PAYLOAD_FIELDS(F)    \
  F(Uuid, eventID)                            \
  F(ContactSyncModel, contact)                \
  F(std::string, senderName)                  \
  F(std::string, senderDeviceID)
/// "delta.contact": one contact changed on the sending device.
struct DeltaContactPayload {
  QM_DELTA_CONTACT_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const DeltaContactPayload&, const DeltaContactPayload&) = default;
};

#define QM_DELTA_NOTE_PAYLOAD_FIELDS(F)       \
  F(Uuid, eventID)                            \
  F(Uuid, contactSyncID)                      \
  F(NoteSyncModel, note)                      \
  F(std::string, senderName)
/// "delta.note": a note added on the phone to the contact with `contactSyncID`.
struct DeltaNotePayload {
  QM_DELTA_NOTE_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const DeltaNotePayload&, const DeltaNotePayload&) = default;
};

#define QM_DELTA_OPPORTUNITY_PAYLOAD_FIELDS(F) \
  F(Uuid, eventID)                             \
  F(OpportunitySyncModel, opportunity)         \
  F(std::string, companyName)                  \
  F(std::string, senderName)
/// "delta.opportunity": an opportunity created or changed on the phone.
struct DeltaOpportunityPayload {
  QM_DELTA_OPPORTUNITY_PAYLOAD_FIELDS(QM_WIRE_MEMBER)
  friend bool operator==(const DeltaOpportunityPayload&, const DeltaOpportunityPayload&) = default;
};

// clang-format on

QM_DECLARE_WIRE_RECORD(PipelineStage, "PipelineStage")
QM_DECLARE_WIRE_RECORD(EventSnapshotPayload, "EventSnapshotPayload")
QM_DECLARE_WIRE_RECORD(DeltaContactPayload, "DeltaContactPayload")
QM_DECLARE_WIRE_RECORD(DeltaNotePayload, "DeltaNotePayload")
QM_DECLARE_WIRE_RECORD(DeltaOpportunityPayload, "DeltaOpportunityPayload")

/// The snapshot request of a full sync: `updatedAt` of every given event.
SnapshotRequest makeSnapshotRequest(const std::vector<Event>& storedEvents);

/// Calls `visit.template operator()<P>()` for every payload record P that a
/// message of `type` may carry, in order: one record for most types, both
/// request forms for "event.snapshot.request", none for "qlm.bundle" (whose
/// contents the desktop does not examine).
template <class Visitor>
void forEachPayloadRecord(SyncMessageType type, Visitor&& visit) {
  using T = SyncMessageType;
  switch (type) {
    case T::pairHandshake:
      return visit.template operator()<PairHandshakePayload>();
    case T::pairAck:
      return visit.template operator()<PairAckPayload>();
    case T::eventSnapshot:
      return visit.template operator()<EventSnapshotPayload>();
    case T::eventSnapshotRequest:
      visit.template operator()<EventSnapshotRequestPayload>();
      return visit.template operator()<SnapshotRequest>();
    case T::eventListRequest:
      return visit.template operator()<EventListRequestPayload>();
    case T::eventListResponse:
      return visit.template operator()<EventListResponsePayload>();
    case T::deltaContact:
      return visit.template operator()<DeltaContactPayload>();
    case T::deltaNote:
      return visit.template operator()<DeltaNotePayload>();
    case T::deltaOpportunity:
      return visit.template operator()<DeltaOpportunityPayload>();
    case T::deltaReport:
      return visit.template operator()<DeltaReportPayload>();
    case T::mediaRequest:
      return visit.template operator()<MediaRequestPayload>();
    case T::mediaBlob:
      return visit.template operator()<MediaBlobPayload>();
    case T::relayAIRequest:
    case T::relayCRMPush:
      return visit.template operator()<RelayRequestPayload>();
    case T::relayAIResponse:
    case T::relayCRMResult:
      return visit.template operator()<RelayResponsePayload>();
    case T::qlmBundle:
      return;
    case T::qlmImportResult:
      return visit.template operator()<QLMImportResultPayload>();
    case T::error:
      return visit.template operator()<ErrorPayload>();
  }
}

/// Whether the payload decodes as the record its envelope's type names
/// ("event.snapshot.request" either request form; a "qlm.bundle" is not
/// examined). The error names the record and the key at fault.
Status checkPayload(const SyncEnvelope& envelope);

}  // namespace qm
