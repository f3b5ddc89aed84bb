#include "export/contact_export_meeting.h"

#include <algorithm>

#include "common/date.h"
#include "store/note_text.h"

namespace qm {

std::string meetingNotesText(const ContactExportMeeting& meeting, const Contact& contact,
                             std::string_view separator) {
  const auto found = meeting.notes.find(contact.id);
  if (found == meeting.notes.end()) return {};
  std::vector<const ContactNote*> written;
  for (const ContactNote& note : found->second)
    if (!noteText(note).empty()) written.push_back(&note);
  std::stable_sort(written.begin(), written.end(), [](const ContactNote* a, const ContactNote* b) {
    return a->createdAt > b->createdAt;
  });
  std::string text;
  for (const ContactNote* note : written) {
    if (!text.empty()) text.append(separator);
    const std::string stamp = formatISO8601(note->createdAt);
    text.append(stamp, 0, stamp.find('T')).append(": ").append(noteText(*note));
  }
  return text;
}

std::string_view meetingStatusText(MeetingStatus status) {
  switch (status) {
    case MeetingStatus::met:
      return "Met";
    case MeetingStatus::notMet:
      return "Not met";
    case MeetingStatus::declined:
      return "Declined";
    case MeetingStatus::noShow:
      return "No-show";
  }
  return {};
}

}  // namespace qm
