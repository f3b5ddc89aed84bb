#pragma once

#include "common/result.h"
#include "common/uuid.h"
#include "export/contact_export_meeting.h"
#include "store/store.h"

namespace qm {

/// The event's name and the notes of all its contacts, read from `store` with
/// two statements whatever the number of contacts. Fails when the event is
/// not in the store or the store cannot be read.
Result<ContactExportMeeting> loadContactExportMeeting(Store& store, const Uuid& eventID);

}  // namespace qm
