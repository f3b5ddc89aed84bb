#pragma once

#include <string_view>

#include "common/result.h"
#include "store/record_enums.h"

namespace qm {

struct Opportunity;

// What a record must be before a person at the desk or an AI client saves it.
// The desk's edit commands and the MCP write tools both check through these,
// so neither accepts what the other refuses. Records from the phone are the
// phone's and are stored as they come. Each check fails with
// `invalidArgument` and a text naming the rule.

/// An opportunity needs a title, a currency and a stage that are not blank; a
/// value, when it has one, of 0 or more; a timeline and a confidence, when set,
/// among their cases ("This month" …, "Low" …). With `before` (the stored
/// opportunity being edited) only the fields the edit changes are checked, so
/// whatever the phone sent can still be edited elsewhere.
Status checkOpportunity(const Opportunity& opportunity, const Opportunity* before = nullptr);

/// The note type whose raw text is `text` exactly: "text", "voice" or
/// "handwriting".
Result<NoteType> noteTypeNamed(std::string_view text);

/// A note's text must hold more than white space.
Status checkNoteText(std::string_view text);

}  // namespace qm
