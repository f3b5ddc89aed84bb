#include "drafting/follow_up_template.h"

#include <unicode/locid.h>

#include <algorithm>
#include <optional>

#include "common/text.h"
#include "settings/follow_up_template_form.h"

namespace qm {

namespace {

/// The ICU locale a draft's dates are written in: this computer's when it
/// speaks the draft's language (a British English date stays British), else
/// France's or the United States'.
std::string draftLocale(AppLanguage language) {
  const std::string_view code = language == AppLanguage::fr ? "fr" : "en";
  const icu::Locale& here = icu::Locale::getDefault();
  if (code == here.getLanguage() && std::string_view(here.getVariant()) != "POSIX")
    return here.getName();
  return language == AppLanguage::fr ? "fr_FR" : "en_US";
}

void put(TemplateValues& values, std::string_view name, std::string_view text) {
  std::string value = oneLine(trimUnicodeWhitespace(text));
  if (!value.empty()) values.emplace(std::string(name), std::move(value));
}

/// The first line with text of the newest note that has text (the later one
/// in stored order when two were written at the same time).
std::optional<std::string> newestNoteFirstLine(const std::vector<ContactNote>& notes) {
  const ContactNote* newest = nullptr;
  for (const ContactNote& note : notes) {
    const auto& text = noteText(note);
    if (!hasText(text) || trimUnicodeWhitespace(*text).empty()) continue;
    if (newest == nullptr || note.createdAt >= newest->createdAt) newest = &note;
  }
  if (newest == nullptr) return std::nullopt;
  std::string_view rest = *noteText(*newest);
  for (;;) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = trimUnicodeWhitespace(rest.substr(0, end));
    if (!line.empty()) return std::string(line);
    if (end == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(end + 1);
  }
}

/// `line` with its values, or nothing when one of its placeholders has none.
std::optional<std::string> filled(const TemplateLine& line, const TemplateValues& values) {
  std::string text;
  for (const TemplatePiece& piece : line) {
    if (!piece.isPlaceholder) {
      text += piece.text;
      continue;
    }
    const auto value = values.find(piece.text);
    if (value == values.end()) return std::nullopt;
    text += value->second;
  }
  return text;
}

bool isBlankLine(std::string_view line) {
  return trimUnicodeWhitespace(line).empty();
}

}  // namespace

TemplateValues followUpTemplateValues(const FollowUpSubject& subject, std::string_view myName,
                                      AppLanguage language) {
  const Contact& c = subject.contact;
  TemplateValues values;
  put(values, "fullName", c.fullName());
  put(values, "firstName", trimUnicodeWhitespace(c.firstName).empty() ? c.fullName() : c.firstName);
  put(values, "company", c.company);
  if (c.title) put(values, "title", *c.title);
  put(values, "event", subject.event.name);
  if (c.metAt) put(values, "meetingDate", abbreviatedDate(*c.metAt, draftLocale(language)));
  if (auto line = newestNoteFirstLine(subject.notes)) put(values, "noteFirstLine", *line);
  put(values, "myName", myName);
  return values;
}

Result<FollowUpReply> renderFollowUpTemplate(std::string_view text, const TemplateValues& values,
                                             AppLanguage language) {
  const FollowUpTemplate form = QM_TRY(parseFollowUpTemplate(text));
  FollowUpReply draft;
  if (auto subject = filled(form.subject, values); subject && !isBlankLine(*subject)) {
    draft.subject = std::string(trimUnicodeWhitespace(*subject));
  } else {
    draft.subject = language == AppLanguage::fr ? "Suivi" : "Follow-up";
    if (const auto name = values.find("fullName"); name != values.end())
      draft.subject += (language == AppLanguage::fr ? " : " : ": ") + name->second;
  }
  std::vector<std::string> lines;
  for (const TemplateLine& line : form.body) {
    auto written = filled(line, values);
    if (!written) continue;
    // A blank line only separates paragraphs: never two, never at either end.
    if (isBlankLine(*written) && (lines.empty() || lines.back().empty())) continue;
    lines.push_back(isBlankLine(*written) ? std::string() : std::move(*written));
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) draft.body += "\n";
    draft.body += lines[i];
  }
  return draft;
}

}  // namespace qm
