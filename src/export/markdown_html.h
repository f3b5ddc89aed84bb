#pragma once

#include <string>
#include <string_view>

namespace qm {

/// The HTML document of a draft's body written in the light markdown drafts
/// use: lines starting with "- ", "* " or "• " become items of a bulleted
/// list (the bullet itself dropped, so "- **Price**" keeps its bold), runs of
/// other non-empty lines become paragraphs (their lines joined
/// by "<br>"), empty lines end paragraphs, and each line goes through
/// `inlineMarkdown`. Lines of the result are joined by a line feed. A CR before
/// a line feed counts as part of the line break.
std::string markdownToHTML(std::string_view body);

/// One line of text as HTML: "&", "<" and ">" escaped, then **bold** and
/// __bold__ as <strong>, *italic* and _italic_ as <em>. A rule that cannot run
/// on the line (text that is not valid UTF-8) leaves the line as it was.
std::string inlineMarkdown(std::string_view line);

}  // namespace qm
