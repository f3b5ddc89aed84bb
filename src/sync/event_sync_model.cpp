#include "sync/event_sync_model.h"

#include "wire/wire_codec.h"

namespace qm {

QM_DEFINE_WIRE_RECORD(EventSyncModel, QM_EVENT_SYNC_FIELDS)

EventSyncModel EventSyncModel::from(const Event& stored) {
  EventSyncModel wire;
  QM_EVENT_SYNC_FIELDS(QM_ASSIGN_FROM_STORE)
  return wire;
}

}  // namespace qm
