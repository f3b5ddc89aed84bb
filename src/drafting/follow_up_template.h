#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "common/result.h"
#include "drafting/follow_up_prompt.h"
#include "settings/settings_enums.h"

namespace qm {

/// The values of a template's placeholders, by name. A placeholder without a
/// value has no entry.
using TemplateValues = std::map<std::string, std::string, std::less<>>;

/// What a template says of `subject` in `language` (`en` or `fr`), each value
/// trimmed and on one line, and left out when empty:
/// - firstName: the contact's first name, else the full name;
/// - fullName, company, title: the contact's;
/// - event: the event's name;
/// - meetingDate: when the contact was met, as an abbreviated date of the
///   language ("Mar 14, 2025", "14 mars 2025");
/// - noteFirstLine: the first line with text of the newest note that has text;
/// - myName: `myName` (the sender's name, else the display name).
TemplateValues followUpTemplateValues(const FollowUpSubject& subject, std::string_view myName,
                                      AppLanguage language);

/// The draft `text` (a template of `settings/follow_up_template_form.h`)
/// writes with `values`. A body line that uses a placeholder without a value
/// is left out, and so is a blank line that would then be doubled; a subject
/// that would be left out reads "Follow-up: <full name>" ("Suivi : …" in
/// French). An error names what is wrong with the template.
Result<FollowUpReply> renderFollowUpTemplate(std::string_view text, const TemplateValues& values,
                                             AppLanguage language);

}  // namespace qm
