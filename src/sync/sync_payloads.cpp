#include "sync/sync_payloads.h"

#include "sync/wire_codec.h"

namespace qm {

QM_DEFINE_WIRE_RECORD(PairHandshakePayload, QM_PAIR_HANDSHAKE_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(PairAckPayload, QM_PAIR_ACK_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(EventListRequestPayload, QM_EVENT_LIST_REQUEST_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(EventListItem, QM_EVENT_LIST_ITEM_FIELDS)
QM_DEFINE_WIRE_RECORD(EventListResponsePayload, QM_EVENT_LIST_RESPONSE_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(EventSnapshotRequestPayload, QM_EVENT_SNAPSHOT_REQUEST_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(SnapshotRequest, QM_SNAPSHOT_REQUEST_FIELDS)
QM_DEFINE_WIRE_RECORD(PipelineStage, QM_PIPELINE_STAGE_WIRE_FIELDS)
QM_DEFINE_WIRE_RECORD(EventSnapshotPayload, QM_EVENT_SNAPSHOT_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(DeltaContactPayload, QM_DELTA_CONTACT_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(DeltaNotePayload, QM_DELTA_NOTE_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(DeltaOpportunityPayload, QM_DELTA_OPPORTUNITY_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(DeltaReportPayload, QM_DELTA_REPORT_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(MediaRequestPayload, QM_MEDIA_REQUEST_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(MediaBlobPayload, QM_MEDIA_BLOB_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(RelayRequestPayload, QM_RELAY_REQUEST_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(RelayResponsePayload, QM_RELAY_RESPONSE_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(QLMImportResultPayload, QM_QLM_IMPORT_RESULT_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(ErrorPayload, QM_ERROR_PAYLOAD_FIELDS)

SnapshotRequest makeSnapshotRequest(const std::vector<Event>& storedEvents) {
  SnapshotRequest request;
  for (const auto& event : storedEvents) request.eventTimestamps[event.id] = event.updatedAt;
  return request;
}

Status checkPayload(const SyncEnvelope& envelope) {
  bool candidates = false;
  bool decoded = false;
  std::string errors;
  forEachPayloadRecord(envelope.type, [&]<class P>() {
    candidates = true;
    auto payload = envelope.decodePayload<P>();
    if (payload) {
      decoded = true;
    } else {
      errors += (errors.empty() ? "" : "; ") + payload.error().message;
    }
  });
  if (!candidates || decoded) return {};
  return Error(errors);
}

}  // namespace qm
