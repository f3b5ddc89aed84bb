// The .eml message of a follow-up draft: its markdown body as HTML, the
// quoted-printable encoding, the headers that must never let text start a
// header of its own, and the file names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "export/eml_file_name.h"
#include "export/eml_message.h"
#include "export/markdown_html.h"
#include "export/quoted_printable.h"

namespace qm {
namespace {

using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr std::string_view kHead =
    "<!DOCTYPE html>\n<html>\n<head><meta charset=\"UTF-8\"></head>\n<body style=\"font-family: "
    "-apple-system, BlinkMacSystemFont, 'Segoe UI', Roboto, sans-serif; font-size: 14px; "
    "line-height: 1.5; color: #1F2937;\">\n";

/// Undoes quoted-printable as a mail reader does.
std::string decodeQuotedPrintable(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i, 3) == "=\r\n") {
      i += 2;
    } else if (text[i] == '=') {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else if (text.substr(i, 2) == "\r\n") {
      out += '\n';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string> crlfLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (auto end = text.find("\r\n"); end != std::string_view::npos;
       start = end + 2, end = text.find("\r\n", start))
    lines.emplace_back(text.substr(start, end - start));
  lines.emplace_back(text.substr(start));
  return lines;
}

EmlOptions sentBy(std::string name) {
  EmlOptions options;
  options.senderName = std::move(name);
  return options;
}

DraftMessage message(std::string subject, std::string body, std::optional<Contact> contact = {}) {
  return DraftMessage{FollowUpDraft::create(std::move(subject), std::move(body)),
                      std::move(contact)};
}

Contact contact(std::string first, std::string last, std::optional<std::string> email = {}) {
  Contact c;
  c.id = Uuid::random();
  c.firstName = std::move(first);
  c.lastName = std::move(last);
  c.email = std::move(email);
  return c;
}

TEST(MarkdownToHTML, ParagraphsListsAndInlineRules) {
  EXPECT_EQ(markdownToHTML("Hi **Ana**,\n\n- first\n- second\nThanks"),
            std::string(kHead) +
                "<p>Hi <strong>Ana</strong>,</p>\n<ul>\n  <li>first</li>\n  <li>second</li>\n"
                "</ul>\n<p>Thanks</p>\n</body>\n</html>");
  EXPECT_EQ(markdownToHTML("one\r\ntwo"),
            std::string(kHead) + "<p>one<br>\ntwo</p>\n</body>\n</html>");
  EXPECT_EQ(markdownToHTML(""), std::string(kHead) + "</body>\n</html>");
  EXPECT_EQ(markdownToHTML("\u2022 Müller\n* **x**"),
            std::string(kHead) +
                "<ul>\n  <li>Müller</li>\n  <li><strong>x</strong></li>\n</ul>\n"
                "</body>\n</html>");

  EXPECT_EQ(inlineMarkdown("a < b & **c**"), "a &lt; b &amp; <strong>c</strong>");
  EXPECT_EQ(inlineMarkdown("__bold__ and *it* and snake_case_name"),
            "<strong>bold</strong> and <em>it</em> and snake<em>case</em>name");
  EXPECT_EQ(inlineMarkdown("<script>"), "&lt;script&gt;");
  // Not UTF-8: the rules cannot run, the escaping still does.
  EXPECT_EQ(inlineMarkdown("\xff **x** <"), "\xff **x** &lt;");
}

TEST(QuotedPrintable, ShortLinesThatDecodeToTheInput) {
  std::string text = "Grüße, Øystein = 田中\n" + std::string(300, 'x') + " \n\ttab " +
                     std::string(200, '=') + "\nend ";
  const std::string encoded = encodeQuotedPrintable(text);
  EXPECT_EQ(decodeQuotedPrintable(encoded), text);
  for (const auto& line : crlfLines(encoded)) {
    EXPECT_LE(line.size(), 76u) << line;
    EXPECT_THAT(line, Not(EndsWith(" ")));
    for (unsigned char c : line) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << line;
  }
  EXPECT_EQ(encodeQuotedPrintable("a=b"), "a=3Db");
  EXPECT_EQ(encodeQuotedPrintable("é"), "=C3=A9");
  EXPECT_EQ(encodeQuotedPrintable("end \nx"), "end=20\r\nx");
}

/// The decoded content of the part of `eml` whose Content-Type is `type`.
std::string partOf(const std::string& eml, std::string_view type) {
  const auto header = eml.find("Content-Type: " + std::string(type));
  if (header == std::string::npos) return "(no " + std::string(type) + " part)";
  const auto start = eml.find("\r\n\r\n", header) + 4;
  const auto end = eml.find("\r\n\r\n--=_qm_", start);
  return decodeQuotedPrintable(std::string_view(eml).substr(start, end - start));
}

TEST(EmlContent, HeadersInOrderAndBothPartsDecode) {
  auto m =
      message("Hello there", "Hi **Ana**\r\nSee you", contact("Ana", "Müller", "ana@example.org"));
  const std::string eml = emlContent(m, sentBy("Jo Smith"));
  const auto lines = crlfLines(eml);
  ASSERT_GE(lines.size(), 9u);
  EXPECT_EQ(lines[0], "MIME-Version: 1.0");
  EXPECT_THAT(lines[1], StartsWith("Date: "));
  EXPECT_THAT(lines[2], AllOf(StartsWith("Message-ID: <"), EndsWith("@quillmere.app>")));
  EXPECT_EQ(lines[3], "From: \"Jo Smith\" <no-reply@quillmere.app>");
  EXPECT_EQ(lines[4], "To: \"Ana Müller\" <ana@example.org>");
  EXPECT_EQ(lines[5], "Subject: Hello there");
  EXPECT_EQ(lines[6], "X-Mailer: Quillmere Companion");
  EXPECT_THAT(lines[7], StartsWith("Content-Type: multipart/alternative; boundary=\"=_qm_"));
  EXPECT_EQ(lines[8], "");
  EXPECT_THAT(eml, EndsWith("--\r\n"));
  EXPECT_EQ(partOf(eml, "text/plain"), "Hi **Ana**\nSee you");
  EXPECT_EQ(partOf(eml, "text/html"), markdownToHTML("Hi **Ana**\nSee you"));

  const std::string anonymous = emlContent(message("", ""), EmlOptions());
  EXPECT_THAT(anonymous, HasSubstr("\r\nFrom: \"Quillmere User\" <no-reply@quillmere.app>\r\n"));
  EXPECT_THAT(anonymous, HasSubstr("\r\nTo: <recipient@example.com>\r\n"));
  EXPECT_THAT(anonymous, HasSubstr("\r\nSubject: \r\n"));
  EXPECT_THAT(anonymous, Not(HasSubstr("X-Unsent")));
}

// The user's own sender, the signature under the body (never in the stored
// draft), the recipient chosen for this draft, and the mail program's draft
// header only when asked for.
TEST(EmlContent, SenderSignatureRecipientAndDraftHeader) {
  auto m = message("Hi", "Thanks for your time.\n\n", contact("Ana", "Li", "ana@example.org"));
  m.draft.recipientEmail = "ana.li@partner.example";
  const EmlOptions options{.senderName = "Dana Weber",
                           .senderEmail = "dana@weber.example",
                           .signature = "Dana Weber\r\nWeber & Co",
                           .forMailProgram = true};
  const std::string eml = emlContent(m, options);
  EXPECT_THAT(eml, HasSubstr("\r\nFrom: \"Dana Weber\" <dana@weber.example>\r\n"));
  EXPECT_THAT(eml, HasSubstr("\r\nTo: \"Ana Li\" <ana.li@partner.example>\r\n"));
  EXPECT_THAT(eml, HasSubstr("\r\nX-Unsent: 1\r\n"));
  EXPECT_EQ(partOf(eml, "text/plain"), "Thanks for your time.\n\n-- \nDana Weber\nWeber & Co");
  EXPECT_THAT(partOf(eml, "text/html"), HasSubstr("<p>--<br>\nDana Weber<br>\nWeber &amp; Co</p>"));
  EXPECT_EQ(m.draft.body, "Thanks for your time.\n\n");

  EXPECT_EQ(bodyWithSignature("Body", "-- \nSig"), "Body\n\n-- \nSig");
  EXPECT_EQ(bodyWithSignature("Body", " \n"), "Body");
  m.draft.recipientEmail = "";
  EXPECT_EQ(recipientAddress(m), "ana@example.org");
  m.contact->email.reset();
  EXPECT_EQ(recipientAddress(m), "");
}

TEST(EmlContent, NoTextStartsAHeaderOfItsOwn) {
  const auto m = message("Hi\r\nBcc: victim@example.org", "body",
                         contact("Ana\r\nBcc: x@example.org", "Li", "ana@example.org\r\nCc: y@z"));
  const std::string eml = emlContent(m, sentBy("Jo\nX-Evil: 1"));
  const std::string headers = eml.substr(0, eml.find("\r\n\r\n"));
  for (const auto& line : crlfLines(headers)) {
    if (line.starts_with(" ")) continue;  // a folded continuation
    const auto name = line.substr(0, line.find(':'));
    EXPECT_THAT(name, ::testing::AnyOf("MIME-Version", "Date", "Message-ID", "From", "To",
                                       "Subject", "Content-Type", "X-Mailer"))
        << line;
  }
  EXPECT_THAT(headers, HasSubstr("To: \"Ana  Bcc: x@example.org Li\" <ana@example.orgCc:y@z>"));
}

TEST(EncodeSubject, PlainASCIIOrFoldedEncodedWords) {
  EXPECT_EQ(encodeSubject("Great to meet you"), "Great to meet you");
  EXPECT_EQ(encodeSubject("Café"), "=?UTF-8?B?Q2Fmw6k=?=");
  EXPECT_EQ(encodeSubject("a=?b"), "=?UTF-8?B?YT0/Yg==?=");
  const std::string longSubject = "Grüße aus München, 田中さん — " + std::string(120, 'x');
  const std::string encoded = encodeSubject(longSubject);
  for (const auto& line : crlfLines("Subject: " + encoded)) {
    EXPECT_LE(line.size(), 76u) << line;
    EXPECT_THAT(
        line,
        AllOf(::testing::ContainsRegex("^(Subject: | )=\\?UTF-8\\?B\\?[A-Za-z0-9+/=]+\\?=$")));
  }
}

TEST(FormatAddress, QuotesAndEscapes) {
  EXPECT_EQ(formatAddress("", "a@b.c"), "<a@b.c>");
  EXPECT_EQ(formatAddress("Ana", ""), "\"Ana\" <no-reply@quillmere.app>");
  EXPECT_EQ(formatAddress("Li, \"Ana\"", "a@b.c"), "\"Li, \\\"Ana\\\"\" <a@b.c>");
  EXPECT_EQ(formatAddress("Nguyễn", "a@b.c"), "\"Nguyễn\" <a@b.c>");
  EXPECT_EQ(formatAddress("back\\slash", "a@b.c"), "\"back\\\\slash\" <a@b.c>");
}

TEST(EmlFileName, NameDashSubjectWithSafeCharacters) {
  EXPECT_EQ(emlFileName(message("Re: a/b \"x\"", "")), "Draft \u2014 Re- a-b x.eml");
  EXPECT_EQ(emlFileName(message("Hello", "", contact("Ana", "Müller"))),
            "Ana Müller \u2014 Hello.eml");
  // Forty characters of a subject of two-byte letters: never half a letter.
  const std::string accents = [] {
    std::string s;
    for (int i = 0; i < 50; ++i) s += "é";
    return s;
  }();
  std::string forty;
  for (int i = 0; i < 40; ++i) forty += "é";
  EXPECT_EQ(emlFileName(message(accents, "")), "Draft \u2014 " + forty + ".eml");
  EXPECT_EQ(emlFileName(message("two\nlines\t ", "")), "Draft \u2014 two lines.eml");
  EXPECT_LE(emlFileName(message("x", "", contact(std::string(400, 'a'), "b"))).size(), 255u);
}

}  // namespace
}  // namespace qm
