// Drafts written from a template: what each placeholder says of the contact,
// lines left out for what the contact lacks, the built-in templates as they
// read in English and in French, and a malformed template refused.
#include "drafting/follow_up_template.h"

#include <gmock/gmock.h>

#include "settings/follow_up_template_defaults.h"
#include "support/status_matchers.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::IsError;
using ::testing::AllOf;
using ::testing::HasSubstr;

class FollowUpTemplateTest : public ::testing::Test {
 protected:
  FollowUpTemplateTest() {
    ada.title = "Head of Research";
    ada.metAt = parseISO8601("2025-03-14T12:00:00Z");
  }
  ContactNote note(NoteType type, std::string text, Date at) {
    ContactNote n{};
    n.noteType = type;
    n.createdAt = at;
    (type == NoteType::text ? n.textContent : n.cleanedText) = std::move(text);
    return n;
  }
  Result<FollowUpReply> render(std::string_view text, const Contact& contact,
                               AppLanguage language = AppLanguage::en,
                               std::string_view myName = "Dana Weber") {
    const auto values = followUpTemplateValues({contact, event, notes, {}}, myName, language);
    return renderFollowUpTemplate(text, values, language);
  }

  Event event = Event::create("Hannover Messe");
  Contact ada = Contact::create("Ada", "Lovelace", "Analytical Engines", event.id);
  Contact bare = Contact::create("", "Byron", "", event.id);
  std::vector<ContactNote> notes;
};

constexpr std::string_view kEveryPlaceholder =
    "Subject: {event} · {fullName}\n"
    "\n"
    "{firstName}|{fullName}|{company}|{title}|{event}|{meetingDate}|{noteFirstLine}|{myName}";

TEST_F(FollowUpTemplateTest, EveryPlaceholderSaysItsValue) {
  const Date day = *parseISO8601("2025-03-10T09:00:00Z");
  notes = {note(NoteType::text, "Older note", day),
           note(NoteType::voice, "\n   \n  Pilot in Hamburg  \nsecond line", day + 3600s),
           note(NoteType::handwriting, "  ", day + 7200s)};  // newer, but says nothing
  auto english = render(kEveryPlaceholder, ada);
  ASSERT_OK(english);
  EXPECT_EQ(english->subject, "Hannover Messe · Ada Lovelace");
  EXPECT_THAT(english->body, HasSubstr("Ada|Ada Lovelace|Analytical Engines|Head of Research|"
                                       "Hannover Messe|"));
  EXPECT_THAT(english->body, AllOf(HasSubstr("Mar"), HasSubstr("14"), HasSubstr("2025|")));
  EXPECT_THAT(english->body, HasSubstr("|Pilot in Hamburg|Dana Weber"));

  // The date in the draft's language; a value that spans lines comes on one.
  ada.company = "Analytical\nEngines ";
  auto french = render(kEveryPlaceholder, ada, AppLanguage::fr);
  ASSERT_OK(french);
  EXPECT_THAT(french->body, HasSubstr("|Analytical Engines|"));
  EXPECT_THAT(french->body, HasSubstr("|14 mars 2025|"));
}

TEST_F(FollowUpTemplateTest, LinesWhoseValueIsMissingAreLeftOut) {
  auto drafted =
      render(builtInFollowUpTemplate("neutral", AppLanguage::en), bare, AppLanguage::en, "");
  ASSERT_OK(drafted);
  EXPECT_EQ(drafted->subject, "Following up from Hannover Messe");
  EXPECT_EQ(drafted->body,
            "Hello Byron,\n"
            "\n"
            "Thank you for your time at Hannover Messe.\n"
            "\n"
            "Would you be open to a short call next week?\n"
            "\n"
            "Best regards,");

  // A subject that would be left out names the contact instead.
  EXPECT_EQ(render("Subject: {company}\n\nHello", bare)->subject, "Follow-up: Byron");
  EXPECT_EQ(render("Subject: {company}\n\nBonjour", bare, AppLanguage::fr)->subject,
            "Suivi : Byron");
}

TEST_F(FollowUpTemplateTest, TheBuiltInTemplatesReadWellInEnglishAndInFrench) {
  notes = {note(NoteType::text, "Pilot in Hamburg", now())};
  auto warm = render(builtInFollowUpTemplate("warm", AppLanguage::en), ada);
  ASSERT_OK(warm);
  EXPECT_EQ(warm->subject, "Great to meet you at Hannover Messe");
  EXPECT_EQ(warm->body,
            "Hi Ada,\n"
            "\n"
            "Thank you for taking the time to talk with me at Hannover Messe. I really enjoyed our "
            "conversation.\n"
            "\n"
            "I've been thinking about what we discussed: Pilot in Hamburg\n"
            "\n"
            "I'd love to hear more about what you're working on at Analytical Engines and to see "
            "how we might help.\n"
            "\n"
            "Would you have time for a quick call in the next couple of weeks?\n"
            "\n"
            "All the best,\n"
            "Dana Weber");

  auto formal = render(builtInFollowUpTemplate("formal", AppLanguage::fr), ada, AppLanguage::fr);
  ASSERT_OK(formal);
  EXPECT_EQ(formal->subject, "Suite à notre entretien lors de Hannover Messe");
  EXPECT_EQ(formal->body,
            "Bonjour Ada Lovelace,\n"
            "\n"
            "Je vous remercie d'avoir pris le temps de me rencontrer lors de Hannover Messe.\n"
            "\n"
            "Ce fut un plaisir d'échanger avec vous le 14 mars 2025, et je souhaite donner suite "
            "à notre discussion.\n"
            "\n"
            "Concernant les points abordés : Pilot in Hamburg\n"
            "\n"
            "Ce serait un plaisir d'étudier ensemble les possibilités de collaboration avec "
            "Analytical Engines.\n"
            "\n"
            "N'hésitez pas à m'indiquer le moment qui vous conviendrait pour un prochain "
            "rendez-vous.\n"
            "\n"
            "Avec mes salutations distinguées,\n"
            "Dana Weber");

  // Every tone in both languages writes a subject and a body for a contact
  // with nothing more than a name.
  for (const auto& setting : kFollowUpTemplateSettings) {
    for (AppLanguage language : {AppLanguage::en, AppLanguage::fr}) {
      auto drafted = render(builtInFollowUpTemplate(setting.tone, language), bare, language, "");
      ASSERT_OK(drafted) << setting.tone;
      EXPECT_THAT(drafted->subject, HasSubstr("Hannover Messe")) << setting.tone;
      EXPECT_THAT(drafted->body, HasSubstr("Byron,\n\n")) << setting.tone;
      EXPECT_THAT(drafted->body, ::testing::Not(HasSubstr("\n\n\n"))) << setting.tone;
    }
  }
}

TEST_F(FollowUpTemplateTest, AMalformedTemplateIsRefusedWithWhatIsWrong) {
  EXPECT_THAT(render("Subject: Hello\n\nHi {nickname}", ada),
              IsError(ErrorCode::invalidArgument, HasSubstr("Unknown placeholder {nickname}")));
  EXPECT_THAT(render("Hi {firstName}", ada), IsError(HasSubstr("\"Subject: …\"")));
}

}  // namespace
}  // namespace qm
