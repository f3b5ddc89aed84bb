#include "sync/record_payloads.h"

#include "store/event.h"
#include "wire/wire_codec.h"

namespace qm {

QM_DEFINE_WIRE_RECORD(PipelineStage, QM_PIPELINE_STAGE_WIRE_FIELDS)
QM_DEFINE_WIRE_RECORD(EventSnapshotPayload, QM_EVENT_SNAPSHOT_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(DeltaContactPayload, QM_DELTA_CONTACT_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(DeltaNotePayload, QM_DELTA_NOTE_PAYLOAD_FIELDS)
QM_DEFINE_WIRE_RECORD(DeltaOpportunityPayload, QM_DELTA_OPPORTUNITY_PAYLOAD_FIELDS)

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
