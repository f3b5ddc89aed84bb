#include "settings/follow_up_template_form.h"

#include <algorithm>
#include <optional>

namespace qm {

namespace {

constexpr std::size_t kShownLimit = 40;

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool isKnownPlaceholder(std::string_view name) {
  return std::find(kFollowUpPlaceholders.begin(), kFollowUpPlaceholders.end(), name) !=
         kFollowUpPlaceholders.end();
}

std::string_view trimmedBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

/// At most `kShownLimit` bytes of `text` with "…" when cut, never inside a
/// UTF-8 sequence: what a message quotes of a long mistake.
std::string shortened(std::string_view text) {
  if (text.size() <= kShownLimit) return std::string(text);
  std::size_t end = kShownLimit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end)) + "…";
}

/// The lines of `text`, each without its CR of a CR LF.
std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

/// What follows the subject label ("Subject:" or "Objet :", any letter case,
/// blanks or a no-break space before the colon), or nothing without one.
std::optional<std::string_view> afterSubjectLabel(std::string_view line) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (const std::string_view label : {std::string_view("subject"), std::string_view("objet")}) {
    if (line.size() < label.size() || !std::equal(label.begin(), label.end(), line.begin(),
                                                  [&](char a, char b) { return a == lower(b); }))
      continue;
    std::string_view rest = line.substr(label.size());
    for (;;) {
      if (!rest.empty() && isBlank(rest.front())) {
        rest.remove_prefix(1);
      } else if (rest.starts_with("\xC2\xA0")) {
        rest.remove_prefix(2);
      } else {
        break;
      }
    }
    if (rest.starts_with(':')) return rest.substr(1);
  }
  return std::nullopt;
}

/// One line's pieces, or what is wrong with it.
std::variant<TemplateLine, TemplateProblem> readLine(std::string_view line, int number) {
  using Kind = TemplateProblem::Kind;
  TemplateLine pieces;
  std::string literal;
  const auto flush = [&] {
    if (!literal.empty()) pieces.push_back({std::move(literal), false});
    literal.clear();
  };
  for (std::size_t i = 0; i < line.size();) {
    const char c = line[i];
    const bool doubled = i + 1 < line.size() && line[i + 1] == c;
    if ((c == '{' || c == '}') && doubled) {
      literal += c;
      i += 2;
      continue;
    }
    if (c == '}') return TemplateProblem{Kind::strayClosingBrace, "}", number};
    if (c != '{') {
      literal += c;
      ++i;
      continue;
    }
    const std::size_t close = line.find('}', i + 1);
    if (close == std::string_view::npos) {
      std::size_t end = i + 1;
      while (end < line.size() && isNameCharacter(line[end])) ++end;
      return TemplateProblem{Kind::unclosedPlaceholder, shortened(line.substr(i, end - i)), number};
    }
    const std::string_view name = line.substr(i + 1, close - i - 1);
    if (!isKnownPlaceholder(name))
      return TemplateProblem{Kind::unknownPlaceholder, "{" + shortened(name) + "}", number};
    flush();
    pieces.push_back({std::string(name), true});
    i = close + 1;
  }
  flush();
  return pieces;
}

}  // namespace

std::string TemplateProblem::message() const {
  const std::string where = " on line " + std::to_string(line);
  switch (kind) {
    case Kind::noSubjectLine:
      return "The first line must give the subject, as \"Subject: …\"";
    case Kind::emptySubject:
      return "The subject line is empty";
    case Kind::noBody:
      return "The template has no body: write the message below the subject, after a blank line";
    case Kind::unknownPlaceholder: {
      std::string known;
      for (std::size_t i = 0; i < kFollowUpPlaceholders.size(); ++i) {
        if (i > 0) known += i + 1 == kFollowUpPlaceholders.size() ? " and " : ", ";
        known += "{" + std::string(kFollowUpPlaceholders[i]) + "}";
      }
      return "Unknown placeholder " + written + where + ". The placeholders are " + known;
    }
    case Kind::unclosedPlaceholder:
      return "The placeholder " + written + where + " has no closing }";
    case Kind::strayClosingBrace:
      return "The }" + where + " closes no placeholder; write }} for a brace";
  }
  return {};
}

std::variant<FollowUpTemplate, TemplateProblem> readFollowUpTemplate(std::string_view text) {
  using Kind = TemplateProblem::Kind;
  const std::vector<std::string_view> lines = linesOf(text);
  const auto subjectText = afterSubjectLabel(lines.front());
  if (!subjectText) return TemplateProblem{Kind::noSubjectLine, {}, 0};
  const std::string_view subject = trimmedBlanks(*subjectText);
  if (subject.empty()) return TemplateProblem{Kind::emptySubject, {}, 0};

  FollowUpTemplate read;
  auto subjectLine = readLine(subject, 1);
  if (auto* problem = std::get_if<TemplateProblem>(&subjectLine)) return std::move(*problem);
  read.subject = std::get<TemplateLine>(std::move(subjectLine));

  const auto isBlankLine = [](std::string_view line) { return trimmedBlanks(line).empty(); };
  std::size_t first = 1;
  while (first < lines.size() && isBlankLine(lines[first])) ++first;
  std::size_t end = lines.size();
  while (end > first && isBlankLine(lines[end - 1])) --end;
  if (first == end) return TemplateProblem{Kind::noBody, {}, 0};
  for (std::size_t i = first; i < end; ++i) {
    auto line = readLine(lines[i], static_cast<int>(i) + 1);
    if (auto* problem = std::get_if<TemplateProblem>(&line)) return std::move(*problem);
    read.body.push_back(std::get<TemplateLine>(std::move(line)));
  }
  return read;
}

Result<FollowUpTemplate> parseFollowUpTemplate(std::string_view text) {
  auto read = readFollowUpTemplate(text);
  if (auto* problem = std::get_if<TemplateProblem>(&read))
    return Error(ErrorCode::invalidArgument, problem->message());
  return std::get<FollowUpTemplate>(std::move(read));
}

std::string followUpTemplateSettingProblem(std::string_view value) {
  if (value.empty()) return {};
  const auto read = readFollowUpTemplate(value);
  if (const auto* problem = std::get_if<TemplateProblem>(&read)) return problem->message();
  return {};
}

}  // namespace qm
