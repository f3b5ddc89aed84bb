// vCard text: escaping, folding at 75 octets without splitting a character,
// and the cards of both versions.
#include <gmock/gmock.h>

#include "export/content_line.h"
#include "export/vcard_contact_export.h"
#include "export_test_contacts.h"

namespace qm {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::string escaped(std::string_view text) {
  std::string out;
  appendEscapedText(out, text);
  return out;
}

std::string folded(std::string_view line) {
  std::string out;
  appendFoldedLine(out, line);
  return out;
}

/// The physical lines of `text`, which must end with CR LF.
std::vector<std::string> physicalLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

/// The content lines of `text`, unfolded.
std::string unfolded(const std::string& text) {
  std::string out;
  for (const auto& line : physicalLines(text)) {
    if (!line.empty() && line[0] == ' ')
      out += line.substr(1);
    else
      out += (out.empty() ? "" : "\n") + line;
  }
  return out;
}

TEST(VCardText, EscapesSeparatorsBackslashAndLineBreaks) {
  EXPECT_EQ(escaped("Müller, Anna; CEO\\CTO"), "Müller\\, Anna\\; CEO\\\\CTO");
  EXPECT_EQ(escaped("one\r\ntwo\nthree\rfour"), "one\\ntwo\\nthree\\nfour");
  EXPECT_EQ(escaped("plain: text"), "plain: text");
}

TEST(VCardText, FoldsAtSeventyFiveOctets) {
  const std::string exact(75, 'a');
  EXPECT_EQ(folded(exact), exact + "\r\n");
  EXPECT_EQ(folded(exact + "b"), exact + "\r\n b\r\n");
  // Continuation lines hold 74 octets after their space.
  const std::string longLine(75 + 74 + 10, 'x');
  const auto lines = physicalLines(folded(longLine));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].size(), 75u);
  EXPECT_EQ(lines[1].size(), 75u);
  EXPECT_EQ(lines[2], " " + std::string(10, 'x'));
}

TEST(VCardText, NeverSplitsAMultiByteCharacter) {
  // 74 ASCII octets and a 3-octet character: the character does not fit in
  // the first line and moves whole to the next.
  const std::string line = std::string(74, 'a') + "田" + "中";
  auto lines = physicalLines(folded(line));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(74, 'a'));
  EXPECT_EQ(lines[1], " 田中");
  // 72 octets and the character end exactly at 75: no fold.
  const std::string exact = std::string(72, 'a') + "田";
  EXPECT_EQ(folded(exact), exact + "\r\n");
  // Two-octet characters all the way: every line ends on a character boundary.
  std::string umlauts;
  for (int i = 0; i < 100; ++i) umlauts += "ü";
  lines = physicalLines(folded(umlauts));
  for (const auto& l : lines) {
    EXPECT_LE(l.size(), 75u);
    const std::string_view content = l[0] == ' ' ? std::string_view(l).substr(1) : l;
    EXPECT_EQ(content.size() % 2, 0u) << l;
  }
  EXPECT_EQ(unfolded(folded(umlauts)), umlauts);
}

TEST(VCardContacts, WritesVersionFourCards) {
  const auto contacts = test::sampleContacts();
  const std::string cards =
      contactVCards(contacts, test::sampleMeeting(contacts[0]), VCardVersion::v4);
  for (const auto& line : physicalLines(cards)) EXPECT_LE(line.size(), 75u);
  const std::string text = unfolded(cards);
  EXPECT_THAT(text, HasSubstr("BEGIN:VCARD\nVERSION:4.0\nFN:Anna Müller\nN:Müller;Anna;;;\n"
                              "ORG:Acme\\, Inc.\nTITLE:Head of \"Growth\"\n"
                              "EMAIL;TYPE=work:anna.mueller@acme.example\n"
                              "TEL;TYPE=work,voice:+49 30 1234\n"
                              "ADR;TYPE=work:;;;New York;NY;10001;Germany\n"
                              "URL;TYPE=work:https://acme.example\n"
                              "X-SOCIALPROFILE;TYPE=linkedin:https://www.linkedin.com/in/"
                              "anna-mueller\n"
                              "CATEGORIES:Tech Expo\\, Berlin\n"
                              "NOTE:2026-03-05: Wants a pilot\\, \"soon\"\\;\\nsend the deck\\n"
                              "2026-03-05: Call back Tuesday\\n2026-03-04: Asked about pricing\\n"
                              "Follow-Up Owner: Sam Lee\\n"
                              "Summary: Runs growth\\;\\nbudget in Q3\\nneeds a demo\\nsoon\\n"
                              "Why Meet: Budget\\, timing\\nPriority: A\n"
                              "UID:urn:uuid:"));
  // Only a first name and no company: FN still names the person, N keeps its five parts.
  EXPECT_THAT(text, HasSubstr("FN:田中\nN:;田中;;;\nCATEGORIES:Tech Expo\\, Berlin\nUID:"));
  EXPECT_EQ(std::count(cards.begin(), cards.end(), '\n'),
            std::count(cards.begin(), cards.end(), '\r'));
  EXPECT_THAT(cards, ::testing::EndsWith("END:VCARD\r\n"));
}

TEST(VCardContacts, WritesVersionThreeCardsForOlderAddressBooks) {
  const std::string text = unfolded(contactVCards({test::annaMuller()}, {}, VCardVersion::v3));
  EXPECT_THAT(text, HasSubstr("VERSION:3.0\n"));
  EXPECT_THAT(text, HasSubstr("EMAIL;TYPE=INTERNET,WORK:anna.mueller@acme.example\n"));
  EXPECT_THAT(text, HasSubstr("TEL;TYPE=WORK,VOICE:+49 30 1234\n"));
  EXPECT_THAT(text, Not(HasSubstr("urn:uuid:")));
}

TEST(VCardContacts, NamesACardWithoutANameByCompanyOrAddress) {
  Contact company = Contact::create("", "", "Bergen Fisk");
  Contact address = Contact::create(" ", "", "");
  address.email = "who@example.org";
  const std::string text = unfolded(contactVCards({company, address}, {}, VCardVersion::v4));
  EXPECT_THAT(text, HasSubstr("FN:Bergen Fisk\n"));
  EXPECT_THAT(text, HasSubstr("FN:who@example.org\n"));
  EXPECT_EQ(contactVCards({}, {}, VCardVersion::v4), "");
}

}  // namespace
}  // namespace qm
