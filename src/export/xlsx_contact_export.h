#pragma once

#include <string>
#include <vector>

#include "common/result.h"
#include "store/contact.h"

namespace qm {

/// The contacts as an Excel workbook (the bytes of an .xlsx file) with one
/// sheet, "Contacts", in the generic columns: a bold, frozen header row with
/// a filter, scores and ratings as numbers, "Met At" as a date-time (UTC)
/// with a date format, target and favourite as TRUE/FALSE, everything else as
/// text (never as a formula, whatever it starts with; line breaks as line
/// feeds). Texts longer than a cell holds are cut at a character boundary.
/// Fails only when the library or the temporary folder does.
Result<std::string> xlsxContacts(const std::vector<Contact>& contacts);

}  // namespace qm
