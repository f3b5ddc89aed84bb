#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "export/contact_export_meeting.h"
#include "export/csv_contact_layouts.h"
#include "store/contact.h"

namespace qm {

/// The workbook's columns: the generic ones, then the event, the teammate
/// who follows the contact up and the notes.
inline constexpr auto kWorkbookColumns = [] {
  std::array<std::string_view, kGenericColumns.size() + 3> columns{};
  std::copy(kGenericColumns.begin(), kGenericColumns.end(), columns.begin());
  columns[kGenericColumns.size()] = "Event";
  columns[kGenericColumns.size() + 1] = "Follow-Up Owner";
  columns[kGenericColumns.size() + 2] = "Notes";
  return columns;
}();

/// The contacts as an Excel workbook (the bytes of an .xlsx file) with one
/// sheet, "Contacts", in kWorkbookColumns: a bold, frozen header row with a
/// filter, scores and ratings as numbers, "Met At" as a date-time (UTC) with
/// a date format, target and favourite as TRUE/FALSE, the meeting status in
/// words, the notes newest first one per line, everything else as text (never
/// as a formula, whatever it starts with; line breaks as line feeds). Texts
/// longer than a cell holds are cut at a character boundary. Fails only when
/// the library or the temporary folder does.
Result<std::string> xlsxContacts(const std::vector<Contact>& contacts,
                                 const ContactExportMeeting& meeting);

}  // namespace qm
