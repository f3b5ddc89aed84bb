#include "drafting/follow_up_prompt.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "common/text.h"

namespace qm {

namespace {

constexpr std::string_view kFallbackSubject = "Follow-up: ";

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
bool isBlankOrBreak(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

template <class Pred>
std::string_view trimmed(std::string_view text, Pred drop) {
  while (!text.empty() && drop(text.front())) text.remove_prefix(1);
  while (!text.empty() && drop(text.back())) text.remove_suffix(1);
  return text;
}

/// Trimmed of spaces and line breaks, then lower-cased, for comparing company names.
std::string companyKey(std::string_view name) {
  return lowercaseUnicode(trimmed(name, isBlankOrBreak));
}

/// Where `label` (ASCII, lower case) first occurs in `text`, letter case aside.
std::size_t findIgnoringCase(std::string_view text, std::string_view label) {
  const auto lower = [](char ch) {
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
  };
  for (std::size_t at = 0; at + label.size() <= text.size(); ++at) {
    std::size_t k = 0;
    while (k < label.size() && lower(text[at + k]) == label[k]) ++k;
    if (k == label.size()) return at;
  }
  return std::string_view::npos;
}

}  // namespace

std::string oneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '\n' && text[i] != '\r') {
      out += text[i++];
      continue;
    }
    while (!out.empty() && isBlank(out.back())) out.pop_back();
    while (i < text.size() && isBlankOrBreak(text[i])) ++i;
    out += ' ';
  }
  return out;
}

std::string abbreviatedDate(Date date, std::string_view locale) {
  const icu::Locale where =
      locale.empty() ? icu::Locale::getDefault() : icu::Locale(std::string(locale).c_str());
  std::unique_ptr<icu::DateFormat> format(
      icu::DateFormat::createDateInstance(icu::DateFormat::kMedium, where));
  if (!format) return formatISO8601(date);
  const double millis = static_cast<double>(unixMicros(date)) / 1000.0;
  icu::UnicodeString text;
  format->format(millis, text);
  std::string out;
  text.toUTF8String(out);
  return out;
}

const std::optional<std::string>& noteText(const ContactNote& note) {
  switch (note.noteType) {
    case NoteType::voice:
      return note.cleanedText ? note.cleanedText : note.transcriptionRaw;
    case NoteType::handwriting:
      return note.cleanedText ? note.cleanedText : note.rawOCRText;
    case NoteType::text:
      break;
  }
  return note.textContent;
}

std::string_view toneLine(Tone tone) {
  switch (tone) {
    case Tone::warm:
      return "Write in a warm, personable tone — friendly but professional.";
    case Tone::neutral:
      return "Write in a straightforward professional tone — clear and direct.";
    case Tone::formal:
      return "Write in a formal business tone — polished and respectful.";
  }
  return {};
}

std::optional<std::string> wholeNumber(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  char text[400];  // the largest double has 309 digits
  std::snprintf(text, sizeof text, "%.0f", std::trunc(value));
  std::string out = text;
  if (out == "-0") out = "0";
  return out;
}

std::string buildFollowUpPrompt(const FollowUpSubject& s, Tone tone, std::string_view locale) {
  const Contact& c = s.contact;
  std::vector<std::string> lines;
  lines.push_back("Write a short B2B follow-up email for a contact I met at " + s.event.name +
                  ". This is a first draft the user will edit before sending.");
  lines.push_back("");
  lines.push_back("Rules:");
  lines.push_back("- 250 words maximum");
  lines.push_back("- " + std::string(toneLine(tone)));
  lines.push_back(
      "- Do NOT include a signature, sign-off name, or closing like \"Best regards, [Name]\" — "
      "the user sends from their own email client");
  lines.push_back(
      "- Do NOT put the sender's name in the subject line — keep the subject about the topic or "
      "event, not who is writing");
  lines.push_back("- Reference specific details from the notes — avoid generic filler");
  lines.push_back("- If notes are thin, keep the email shorter rather than padding");
  lines.push_back("- Avoid em-dashes (—). Use commas, periods, or semicolons instead");
  lines.push_back("");
  lines.push_back("CONTACT:");

  std::string contactLine = c.fullName();
  if (hasText(c.title)) contactLine += ", " + *c.title;
  contactLine += " at " + c.displayCompany();
  lines.push_back(std::move(contactLine));

  std::vector<std::string> companyParts;
  const auto& industry = c.companyIndustry ? c.companyIndustry : c.industry;
  if (hasText(industry)) companyParts.push_back(*industry);
  if (hasText(c.companySize)) companyParts.push_back(*c.companySize + " employees");
  if (!companyParts.empty()) {
    std::string line = "Company: ";
    for (std::size_t i = 0; i < companyParts.size(); ++i)
      line += (i ? " · " : "") + companyParts[i];
    lines.push_back(std::move(line));
  }
  if (hasText(c.companySummary))
    lines.push_back("About: " + std::string(trimmed(*c.companySummary, isBlank)));

  lines.push_back("");
  lines.push_back("MEETING:");
  if (c.metAt) lines.push_back("Met: " + abbreviatedDate(*c.metAt, locale));
  if (c.interactionRating)
    lines.push_back("Interaction rating: " + std::to_string(*c.interactionRating));

  std::string notes;
  for (const auto& note : s.notes) {
    const auto& text = noteText(note);
    if (!hasText(text)) continue;
    if (!notes.empty()) notes += "\n";
    notes += *text;
  }
  if (!notes.empty()) {
    lines.push_back("");
    lines.push_back("MY NOTES:");
    lines.push_back(std::move(notes));
  }

  const std::string company = companyKey(c.company);
  std::vector<std::string> opportunities;
  if (!company.empty()) {
    for (const auto& o : s.eventOpportunities) {
      if (companyKey(o.companyName) != company) continue;
      std::string line = "- " + o.title + " (" + o.stage + ")";
      if (o.value) {
        if (auto whole = wholeNumber(*o.value)) line += " — " + o.currency + " " + *whole;
      }
      opportunities.push_back(std::move(line));
    }
  }
  if (!opportunities.empty()) {
    lines.push_back("");
    lines.push_back("OPPORTUNITIES:");
    for (auto& line : opportunities) lines.push_back(std::move(line));
  }
  if (hasText(c.aiActionPlan)) {
    lines.push_back("");
    lines.push_back("ACTION PLAN:");
    lines.push_back(*c.aiActionPlan);
  }

  lines.push_back("");
  lines.push_back("Format your response exactly as:");
  lines.push_back("");
  lines.push_back("SUBJECT: [subject line]");
  lines.push_back("---");
  lines.push_back("[email body — no signature]");

  std::string prompt;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) prompt += "\n";
    prompt += lines[i];
  }
  return prompt;
}

FollowUpReply parseFollowUpReply(std::string_view reply, std::string_view contactName) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = reply.find('\n', start);
    lines.push_back(reply.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  const auto join = [&](std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) {
      if (i > from) text += "\n";
      text += lines[i];
    }
    return std::string(trimmed(text, isBlankOrBreak));
  };
  const std::string whole(trimmed(reply, isBlankOrBreak));
  const std::string fallback = std::string(kFallbackSubject) + std::string(contactName);

  std::size_t separator = 0;
  while (separator < lines.size() && trimmed(lines[separator], isBlank) != "---") ++separator;
  if (separator == lines.size()) return {fallback, whole};

  const std::string header = join(0, separator);
  std::string subject = header;
  if (const auto label = findIgnoringCase(header, "subject:"); label != std::string::npos)
    subject = std::string(trimmed(std::string_view(header).substr(label + 8), isBlankOrBreak));
  subject = oneLine(subject);
  std::string body = join(separator + 1, lines.size());
  if (subject.empty()) subject = fallback;
  if (body.empty()) body = whole;
  return {std::move(subject), std::move(body)};
}

}  // namespace qm
