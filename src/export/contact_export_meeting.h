#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/uuid.h"
#include "store/contact.h"
#include "store/contact_note.h"

namespace qm {

/// What the CRM, spreadsheet and address book exports carry of the meetings
/// besides the contacts themselves: the event they were met at (a lead source,
/// a label, a category) and what was noted about each of them.
struct ContactExportMeeting {
  std::string eventName;
  /// Each contact's notes by contact id, in any order; a contact without
  /// notes may be left out.
  std::unordered_map<Uuid, std::vector<ContactNote>> notes;
};

/// The notes of `contact` that have text (`noteText`), newest first by
/// creation (equal times in the order given), each as "2026-03-05: text" with
/// the day it was written (UTC), joined by `separator`; empty when no note has
/// text. Line breaks inside a note are kept; each format deals with them.
std::string meetingNotesText(const ContactExportMeeting& meeting, const Contact& contact,
                             std::string_view separator);

/// The meeting status in words, as the window's list shows it: "Met",
/// "Not met", "Declined", "No-show".
std::string_view meetingStatusText(MeetingStatus status);

}  // namespace qm
