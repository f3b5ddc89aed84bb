#include "store/record_checks.h"

#include <cmath>
#include <string>

#include "common/enum_info.h"
#include "common/text.h"
#include "store/contact.h"
#include "store/opportunity.h"

namespace qm {

namespace {

Error refused(std::string message) {
  return Error(ErrorCode::invalidArgument, std::move(message));
}

bool blank(std::string_view text) {
  return trimUnicodeWhitespace(text).empty();
}

}  // namespace

std::optional<ContactFieldProblem> contactProblem(const Contact& contact) {
  if (blank(contact.firstName) && blank(contact.lastName))
    return ContactFieldProblem{"firstName", "A contact needs a first or a last name"};
  if (contact.email && contact.email->find('@') == std::string::npos)
    return ContactFieldProblem{"email", "Not an e-mail address"};
  return std::nullopt;
}

Status checkContact(const Contact& contact) {
  const auto problem = contactProblem(contact);
  if (!problem) return {};
  if (problem->field == "email") return refused(std::string(problem->rule) + ": " + *contact.email);
  return refused(std::string(problem->rule));
}

Status checkOpportunity(const Opportunity& opportunity, const Opportunity* before) {
  const Opportunity& o = opportunity;
  const auto changed = [&](auto Opportunity::*field) {
    return !before || o.*field != before->*field;
  };
  if (changed(&Opportunity::title) && blank(o.title))
    return refused("An opportunity needs a title");
  if (changed(&Opportunity::currency) && blank(o.currency))
    return refused("An opportunity needs a currency");
  if (changed(&Opportunity::stage) && blank(o.stage))
    return refused("An opportunity needs a stage");
  if (changed(&Opportunity::value) && o.value && !(std::isfinite(*o.value) && *o.value >= 0))
    return refused("An opportunity's value must be 0 or more");
  if (changed(&Opportunity::timeline) && o.timeline && !parseEnum<OpportunityTimeline>(*o.timeline))
    return refused(
        "An opportunity's timeline must be This month, This quarter, Next quarter or Next year");
  if (changed(&Opportunity::confidence) && o.confidence &&
      !parseEnum<OpportunityConfidence>(*o.confidence))
    return refused("An opportunity's confidence must be Low, Medium or High");
  return {};
}

Result<NoteType> noteTypeNamed(std::string_view text) {
  if (auto type = parseEnum<NoteType>(text)) return *type;
  return refused("A note's type must be text, voice or handwriting");
}

Status checkNoteText(std::string_view text) {
  if (blank(text)) return refused("A note needs some text");
  return {};
}

}  // namespace qm
