#pragma once

#include <array>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/result.h"

namespace qm {

/// The placeholders a follow-up template may hold, each written between braces
/// ("{firstName}"), in the order they are listed to people.
inline constexpr std::array<std::string_view, 8> kFollowUpPlaceholders = {
    "firstName", "fullName", "company", "title", "event", "meetingDate", "noteFirstLine", "myName"};

/// A run of literal text, or a placeholder by its name.
struct TemplatePiece {
  std::string text;
  bool isPlaceholder = false;
  friend bool operator==(const TemplatePiece&, const TemplatePiece&) = default;
};
using TemplateLine = std::vector<TemplatePiece>;

/// A follow-up template read into its subject and the lines of its body.
struct FollowUpTemplate {
  TemplateLine subject;
  std::vector<TemplateLine> body;
};

/// What keeps a text from being a follow-up template. `written` is the
/// offending text as typed ("{frstName}", "{firstName", "}") and `line` its
/// line, counting the subject line as 1; both are empty for the form's
/// problems. A window words it in its own language; `message` is English.
struct TemplateProblem {
  enum class Kind {
    noSubjectLine,
    emptySubject,
    noBody,
    unknownPlaceholder,
    unclosedPlaceholder,
    strayClosingBrace
  };
  Kind kind = Kind::noSubjectLine;
  std::string written;
  int line = 0;

  std::string message() const;
};

/// Reads a follow-up template. Its form: a first line "Subject: …" (or
/// "Objet : …"; the label in any letter case), a blank line, then the body.
/// Placeholders are names of `kFollowUpPlaceholders` in braces; "{{" and "}}"
/// write a brace. Blank lines before the body are skipped; a line break may
/// be LF or CR LF.
std::variant<FollowUpTemplate, TemplateProblem> readFollowUpTemplate(std::string_view text);

/// The same, with the problem as an `invalidArgument` error in English.
Result<FollowUpTemplate> parseFollowUpTemplate(std::string_view text);

/// The check of a template setting: what is wrong with `value`, or empty when
/// it is a template or empty (the built-in template).
std::string followUpTemplateSettingProblem(std::string_view value);

}  // namespace qm
