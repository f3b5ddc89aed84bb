#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/result.h"
#include "store/record_enums.h"

namespace qm {

struct Contact;
struct Opportunity;

// What a record must be before a person at the desk or an AI client saves it.
// The desk's edit commands and the MCP write tools both check through these,
// so neither accepts what the other refuses. Records from the phone are the
// phone's and are stored as they come. Each check fails with
// `invalidArgument` and a text naming the rule.

/// What a contact's field breaks: the field as the desk's "contact.update"
/// names it ("firstName", "email") and the rule, in words that do not repeat
/// the value (an editor shows them beside the field).
struct ContactFieldProblem {
  std::string_view field;
  std::string_view rule;
};

/// The first rule `contact` breaks: it needs a first or a last name, and its
/// e-mail, when it has one, must be an address (hold an "@").
std::optional<ContactFieldProblem> contactProblem(const Contact& contact);

/// `contactProblem` as a status; the e-mail's text names the address.
Status checkContact(const Contact& contact);

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
