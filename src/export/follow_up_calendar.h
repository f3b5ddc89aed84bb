#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/date.h"
#include "common/result.h"
#include "common/uuid.h"
#include "export/follow_up_tasks.h"

namespace qm {

class CalendarHistory;
class Store;

/// The unique id of a to-do in every follow-up calendar: made from the
/// record's id ("followup-<contact id>@quillmere",
/// "nextstep-<opportunity id>@quillmere"), so that a calendar importing a later
/// export updates the to-do instead of adding a second one.
std::string followUpTaskUID(const FollowUpTask& task);

/// The follow-up calendar of `tasks` as an iCalendar file (RFC 5545): one
/// VTODO per task with its SUMMARY, a DESCRIPTION of the person (name,
/// company, e-mail, the draft's subject) and the details, the person as
/// CONTACT, and DUE as a DATE value. SEQUENCE,
/// LAST-MODIFIED and DTSTAMP come from `history`, which records what changed.
/// Lines end with CR LF and are folded at 75 octets; no tasks gives a
/// calendar without components.
std::string followUpCalendar(const std::vector<FollowUpTask>& tasks, CalendarHistory& history,
                             Date now);

/// The file name a follow-up calendar of `eventName` proposes:
/// "Tech_Expo_2026_follow-ups.ics".
std::string proposedCalendarFileName(std::string_view eventName);

struct CalendarExportOptions {
  int dueDays = 2;                    ///< the followUpDueDays setting
  std::filesystem::path historyFile;  ///< CalendarHistory::fileIn(application support)
  Date now = qm::now();
};

/// What an export of the follow-up calendar wrote.
struct CalendarExportSummary {
  std::size_t followUps = 0;
  std::size_t nextSteps = 0;
  /// What went wrong with the history without stopping the export, for the
  /// person to read (a history that could not be read was set aside).
  std::vector<std::string> warnings;

  std::size_t total() const { return followUps + nextSteps; }
};

/// Writes the follow-up calendar of the event `eventID` to `file`, whole and
/// atomically (mode 0600: it names people), then records its revisions in
/// the history. Nothing is written when the store cannot be read or the
/// file cannot be written, and the history is then left as it was.
Result<CalendarExportSummary> exportFollowUpCalendar(Store& store, const Uuid& eventID,
                                                     const CalendarExportOptions& options,
                                                     const std::filesystem::path& file);

}  // namespace qm
