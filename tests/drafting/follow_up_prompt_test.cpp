#include "drafting/follow_up_prompt.h"

#include <gmock/gmock.h>

#include <cmath>
#include <limits>

namespace qm {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  lines.push_back(text.substr(start));
  return lines;
}

class FollowUpPromptTest : public ::testing::Test {
 protected:
  std::string prompt(Tone tone = Tone::neutral, std::string_view locale = "en_US") {
    return buildFollowUpPrompt({contact, event, notes, opportunities}, tone, locale);
  }
  ContactNote note(NoteType type, std::optional<std::string> text,
                   std::optional<std::string> cleaned = std::nullopt,
                   std::optional<std::string> raw = std::nullopt) {
    ContactNote n{};
    n.noteType = type;
    n.textContent = type == NoteType::text ? text : std::nullopt;
    n.cleanedText = cleaned;
    n.transcriptionRaw = type == NoteType::voice ? raw : std::nullopt;
    n.rawOCRText = type == NoteType::handwriting ? raw : std::nullopt;
    return n;
  }

  Event event = Event::create("Hannover Messe");
  Contact contact = Contact::create("Ada", "Byron", "", event.id);
  std::vector<ContactNote> notes;
  std::vector<Opportunity> opportunities;
};

TEST_F(FollowUpPromptTest, AContactWithNothingToSayGivesTheTwentyOneFixedLines) {
  EXPECT_THAT(
      linesOf(prompt(Tone::warm)),
      ElementsAre("Write a short B2B follow-up email for a contact I met at Hannover Messe. This "
                  "is a first draft the user will edit before sending.",
                  "", "Rules:", "- 250 words maximum",
                  "- Write in a warm, personable tone — friendly but professional.",
                  HasSubstr("Do NOT include a signature"), HasSubstr("sender's name"),
                  HasSubstr("specific details"), HasSubstr("notes are thin"),
                  "- Avoid em-dashes (—). Use commas, periods, or semicolons instead", "",
                  "CONTACT:", "Ada Byron at Unknown Company", "", "MEETING:", "",
                  "Format your response exactly as:", "", "SUBJECT: [subject line]", "---",
                  "[email body — no signature]"));
}

TEST_F(FollowUpPromptTest, WritesWhatTheRecordsHold) {
  contact.title = "CTO";
  contact.company = "  Acme GmbH ";
  contact.companyIndustry = "Pumps";
  contact.industry = "ignored";
  contact.companySize = "51-200";
  contact.companySummary = " \tFamily-run pump maker.\t ";
  contact.metAt = parseISO8601("2025-03-14T12:00:00Z");
  contact.interactionRating = 4;
  contact.aiActionPlan = "Send the case study.";
  notes = {note(NoteType::text, "Wants a pilot."), note(NoteType::text, ""),
           note(NoteType::voice, {}, "", "raw words are not used"),
           note(NoteType::voice, {}, std::nullopt, "Spoken words."),
           note(NoteType::handwriting, {}, std::nullopt, "Scribbled words.")};
  Opportunity pilot = Opportunity::create("Pilot", "acme gmbh\n", event.id);
  pilot.stage = "Exploring";
  pilot.value = 48000.99;
  Opportunity open = Opportunity::create("Rollout", "ACME GMBH", event.id);
  open.stage = "Proposal";
  Opportunity other = Opportunity::create("Elsewhere", "Acme Inc", event.id);
  opportunities = {pilot, open, other};

  const std::string text = prompt(Tone::formal);
  EXPECT_THAT(text, HasSubstr("- Write in a formal business tone — polished and respectful.\n"));
  EXPECT_THAT(text, HasSubstr("\nCONTACT:\nAda Byron, CTO at   Acme GmbH \n"
                              "Company: Pumps · 51-200 employees\n"
                              "About: Family-run pump maker.\n\n"
                              "MEETING:\nMet: Mar 14, 2025\nInteraction rating: 4\n\n"
                              "MY NOTES:\nWants a pilot.\nSpoken words.\nScribbled words.\n\n"
                              "OPPORTUNITIES:\n- Pilot (Exploring) — EUR 48000\n"
                              "- Rollout (Proposal)\n\n"
                              "ACTION PLAN:\nSend the case study.\n\n"
                              "Format your response exactly as:"));
  EXPECT_THAT(text, Not(HasSubstr("Elsewhere")));

  // Only the older industry field; the date as the user's locale writes it.
  contact.companyIndustry.reset();
  contact.companySize.reset();
  EXPECT_THAT(prompt(Tone::neutral, "fr_FR"), HasSubstr("\nCompany: ignored\n"));
  EXPECT_THAT(prompt(Tone::neutral, "fr_FR"), HasSubstr("\nMet: 14 mars 2025\n"));
}

TEST_F(FollowUpPromptTest, TheContactLineNamesTheContactByItsFullName) {
  contact.lastName = "";
  contact.company = "Acme";
  EXPECT_THAT(linesOf(prompt()), ::testing::Contains("Ada at Acme"));
  contact.firstName = " ";
  contact.lastName = "Byron";
  EXPECT_THAT(linesOf(prompt()), ::testing::Contains("Byron at Acme"));
}

TEST_F(FollowUpPromptTest, AnEmptyCompanyMatchesNoOpportunity) {
  contact.company = " ";
  opportunities = {Opportunity::create("Blank", "", event.id)};
  EXPECT_THAT(prompt(), Not(HasSubstr("OPPORTUNITIES:")));
}

TEST(WholeNumber, DropsTheFractionAndNeverWritesExponentsOrNonNumbers) {
  EXPECT_EQ(wholeNumber(48000.99), "48000");
  EXPECT_EQ(wholeNumber(-3.7), "-3");
  EXPECT_EQ(wholeNumber(-0.2), "0");
  EXPECT_EQ(wholeNumber(1e20), "100000000000000000000");
  EXPECT_EQ(wholeNumber(std::numeric_limits<double>::infinity()), std::nullopt);
  EXPECT_EQ(wholeNumber(std::nan("")), std::nullopt);
}

TEST(ParseFollowUpReply, SplitsSubjectAndBodyWithItsFallbacks) {
  struct Case {
    const char* reply;
    FollowUpReply expected;
  };
  const Case cases[] = {
      {"SUBJECT: Pumps at Hannover\n---\nHello Ada,\nthanks.",
       {"Pumps at Hannover", "Hello Ada,\nthanks."}},
      {"subject:   Pilot next steps  \n  ---\t\n\nBody\n\n", {"Pilot next steps", "Body"}},
      {"Just a body\nwithout a separator  ",
       {"Follow-up: Ada Byron", "Just a body\nwithout a separator"}},
      {"SUBJECT:\n---\n", {"Follow-up: Ada Byron", "SUBJECT:\n---"}},
      {"A header without label\n---\nBody", {"A header without label", "Body"}},
      {"Größe SUBJECT: Ümlaut café\n---\nx", {"Ümlaut café", "x"}},
      // A subject wrapped over lines, with CR LF or LF, stays one header line.
      {"SUBJECT: Pumps \r\n  at Hannover\r\n---\nBody", {"Pumps at Hannover", "Body"}},
      {"Pumps\n\nat Hannover\n---\nBody", {"Pumps at Hannover", "Body"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    EXPECT_EQ(parseFollowUpReply(c.reply, "Ada Byron"), c.expected);
  }
}

}  // namespace
}  // namespace qm
