#include "export/contact_export_loader.h"

#include "store/contact_queries.h"
#include "store/event.h"

namespace qm {

Result<ContactExportMeeting> loadContactExportMeeting(Store& store, const Uuid& eventID) {
  auto event = QM_TRY(store.find<Event>(eventID));
  if (!event) return Error(ErrorCode::notFound, "No event with the id " + eventID.str());
  ContactExportMeeting meeting{.eventName = std::move(event->name), .notes = {}};
  // Only what `noteText` and the ordering look at, for every note of the event.
  const auto positions = QM_TRY(notePositionsOfEvent(store, eventID));
  auto notes = QM_TRY(
      store.fetchOnlyAt<ContactNote>({"contactID", "createdAt", "cleanedText", "textContent",
                                      "transcriptionProcessed", "transcriptionRaw", "rawOCRText"},
                                     positions));
  for (ContactNote& note : notes)
    if (note.contactID) meeting.notes[*note.contactID].push_back(std::move(note));
  return meeting;
}

}  // namespace qm
