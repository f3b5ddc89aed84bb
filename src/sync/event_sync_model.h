#pragma once

#include "store/event.h"
#include "sync/wire_from_store.h"
#include "wire/sync_json.h"

namespace qm {

// clang-format off
/// Every wire field of an event has its stored field's name and type.
#define QM_EVENT_SYNC_FIELDS(F)                         \
  QM_STORED(F, Event, id)                               \
  QM_STORED(F, Event, name)                             \
  QM_STORED(F, Event, eventDate)                        \
  QM_STORED(F, Event, startDate)                        \
  QM_STORED(F, Event, endDate)                          \
  QM_STORED(F, Event, location)                         \
  QM_STORED(F, Event, createdAt)                        \
  QM_STORED(F, Event, updatedAt)                        \
  QM_STORED(F, Event, teamCode)                         \
  QM_STORED(F, Event, isAdminDevice)                    \
  QM_STORED(F, Event, adminDeviceID)                    \
  QM_STORED(F, Event, teamMemberDeviceIDs)              \
  QM_STORED(F, Event, isArchived)                       \
  QM_STORED(F, Event, eventDescription)                 \
  QM_STORED(F, Event, eventWebsite)                     \
  QM_STORED(F, Event, ourBoothNumber)
// clang-format on

/// The wire form of an event.
struct EventSyncModel {
  QM_EVENT_SYNC_FIELDS(QM_WIRE_MEMBER)

  static EventSyncModel from(const Event& event);
  friend bool operator==(const EventSyncModel&, const EventSyncModel&) = default;
};

QM_DECLARE_WIRE_RECORD(EventSyncModel, "EventSyncModel")

}  // namespace qm
