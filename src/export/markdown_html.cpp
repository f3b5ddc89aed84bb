#define PCRE2_CODE_UNIT_WIDTH 8
#include "export/markdown_html.h"

#include <pcre2.h>

#include <array>
#include <memory>
#include <vector>

namespace qm {

namespace {

struct CodeDeleter {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
using Code = std::unique_ptr<pcre2_code, CodeDeleter>;

/// One substitution rule of the inline markdown, compiled once.
struct InlineRule {
  Code code;
  std::string_view replacement;
};

Code compile(std::string_view pattern) {
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  return Code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), PCRE2_UTF,
                            &errorCode, &errorOffset, nullptr));
}

const std::array<InlineRule, 4>& inlineRules() {
  static const std::array<InlineRule, 4> rules{{
      {compile(R"(\*\*(.+?)\*\*)"), "<strong>$1</strong>"},
      {compile(R"(__(.+?)__)"), "<strong>$1</strong>"},
      {compile(R"((?<!\*)\*(?!\*)(.+?)(?<!\*)\*(?!\*))"), "<em>$1</em>"},
      {compile(R"((?<!_)_(?!_)(.+?)(?<!_)_(?!_))"), "<em>$1</em>"},
  }};
  return rules;
}

/// `text` with every match of `rule` replaced; `text` itself when the rule did
/// not compile or cannot run on it.
std::string substituteAll(const InlineRule& rule, const std::string& text) {
  if (!rule.code) return text;
  std::string out(text.size() + 64, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    PCRE2_SIZE length = out.size();
    const int rc = pcre2_substitute(
        rule.code.get(), reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0,
        PCRE2_SUBSTITUTE_GLOBAL | PCRE2_SUBSTITUTE_OVERFLOW_LENGTH, nullptr, nullptr,
        reinterpret_cast<PCRE2_SPTR>(rule.replacement.data()), rule.replacement.size(),
        reinterpret_cast<PCRE2_UCHAR*>(out.data()), &length);
    if (rc >= 0) {
      out.resize(length);
      return out;
    }
    if (rc != PCRE2_ERROR_NOMEMORY) return text;
    out.assign(length, '\0');  // the length needed, found on the first attempt
  }
  return text;
}

std::string escapeHTML(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (char c : line) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string_view trimSpacesAndTabs(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool startsBullet(std::string_view line) {
  return line.starts_with("- ") || line.starts_with("* ") || line.starts_with("\u2022 ");
}

/// The item's text: `line` without its bullet and the spaces after it. Only
/// the one bullet goes, so an item that starts with **bold** keeps its marks.
std::string_view dropBullet(std::string_view line) {
  constexpr std::string_view kBullet = "\u2022";
  line.remove_prefix(line.starts_with(kBullet) ? kBullet.size() : 1);
  return trimSpacesAndTabs(line);
}

constexpr std::string_view kHead =
    "<!DOCTYPE html>\n<html>\n<head><meta charset=\"UTF-8\"></head>\n<body style=\"font-family: "
    "-apple-system, BlinkMacSystemFont, 'Segoe UI', Roboto, sans-serif; font-size: 14px; "
    "line-height: 1.5; color: #1F2937;\">";

}  // namespace

std::string inlineMarkdown(std::string_view line) {
  std::string html = escapeHTML(line);
  for (const auto& rule : inlineRules()) html = substituteAll(rule, html);
  return html;
}

std::string markdownToHTML(std::string_view body) {
  std::vector<std::string> output{std::string(kHead)};
  std::vector<std::string> paragraph;
  bool inList = false;
  auto flushParagraph = [&] {
    if (paragraph.empty()) return;
    std::string entry = "<p>";
    for (std::size_t i = 0; i < paragraph.size(); ++i) {
      if (i > 0) entry += "<br>\n";
      entry += paragraph[i];
    }
    entry += "</p>";
    output.push_back(std::move(entry));
    paragraph.clear();
  };

  std::size_t start = 0;
  while (start <= body.size()) {
    auto end = body.find('\n', start);
    if (end == std::string_view::npos) end = body.size();
    std::string_view line = body.substr(start, end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    start = end + 1;

    const auto trimmed = trimSpacesAndTabs(line);
    if (startsBullet(trimmed)) {
      flushParagraph();
      if (!inList) {
        output.emplace_back("<ul>");
        inList = true;
      }
      output.push_back("  <li>" + inlineMarkdown(dropBullet(trimmed)) + "</li>");
      continue;
    }
    if (inList) {
      output.emplace_back("</ul>");
      inList = false;
    }
    if (trimmed.empty()) {
      flushParagraph();
    } else {
      paragraph.push_back(inlineMarkdown(trimmed));
    }
  }
  if (inList) output.emplace_back("</ul>");
  flushParagraph();
  output.emplace_back("</body>");
  output.emplace_back("</html>");

  std::string html;
  for (std::size_t i = 0; i < output.size(); ++i) {
    if (i > 0) html += '\n';
    html += output[i];
  }
  return html;
}

}  // namespace qm
