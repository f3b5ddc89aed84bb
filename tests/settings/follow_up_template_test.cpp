// The follow-up templates as settings: their form, the built-in texts of
// each tone and language, the refusal of a malformed one with what a person
// needs to fix it, and the language a draft is written in.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/atomic_file.h"
#include "settings/app_settings.h"
#include "settings/effective_language.h"
#include "settings/follow_up_template_defaults.h"
#include "settings/follow_up_template_form.h"
#include "support/status_matchers.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using test::IsError;
using ::testing::HasSubstr;
using Kind = TemplateProblem::Kind;

TEST(FollowUpTemplateFormTest, ReadsTheSubjectTheBodyLinesAndTheirPlaceholders) {
  auto read = readFollowUpTemplate(
      "objet : Bonjour {firstName}\r\n\r\n\r\nChez {company}, {{pas}} {event}}}\r\n\r\nFin\n\n");
  ASSERT_TRUE(std::holds_alternative<FollowUpTemplate>(read));
  const auto& form = std::get<FollowUpTemplate>(read);
  EXPECT_EQ(form.subject, (TemplateLine{{"Bonjour ", false}, {"firstName", true}}));
  ASSERT_EQ(form.body.size(), 3u);  // the blank lines around the body are not part of it
  EXPECT_EQ(form.body[0], (TemplateLine{{"Chez ", false},
                                        {"company", true},
                                        {", {pas} ", false},
                                        {"event", true},
                                        {"}", false}}));
  EXPECT_TRUE(form.body[1].empty());
  EXPECT_EQ(form.body[2], (TemplateLine{{"Fin", false}}));
}

// What a person reads names the mistake as typed and where it is.
TEST(FollowUpTemplateFormTest, AMalformedTemplateSaysWhatAndWhere) {
  const std::map<std::string, std::tuple<Kind, std::string, std::string>> cases = {
      {"Dear {firstName},\n\nBody", {Kind::noSubjectLine, "", "\"Subject: …\""}},
      {"Subject:   \n\nBody", {Kind::emptySubject, "", "subject line is empty"}},
      {"Subject: Hello\n\n  \n", {Kind::noBody, "", "no body"}},
      {"Subject: Hello\n\nHi {first_name},",
       {Kind::unknownPlaceholder, "{first_name}",
        "Unknown placeholder {first_name} on line 3. The placeholders are {firstName}, "
        "{fullName}, {company}, {title}, {event}, {meetingDate}, {noteFirstLine} and {myName}"}},
      {"Subject: Hello {}\n\nBody", {Kind::unknownPlaceholder, "{}", "{} on line 1"}},
      {"Subject: Hello\n\nHi,\nsee you at {event and soon",
       {Kind::unclosedPlaceholder, "{event", "placeholder {event on line 4 has no closing }"}},
      {"Subject: Hello\n\nHi {firstName}},",
       {Kind::strayClosingBrace, "}", "The } on line 3 closes no placeholder; write }}"}},
  };
  for (const auto& [text, expected] : cases) {
    const auto& [kind, written, message] = expected;
    auto read = readFollowUpTemplate(text);
    ASSERT_TRUE(std::holds_alternative<TemplateProblem>(read)) << text;
    const auto& problem = std::get<TemplateProblem>(read);
    EXPECT_EQ(problem.kind, kind) << text;
    EXPECT_EQ(problem.written, written) << text;
    EXPECT_THAT(problem.message(), HasSubstr(message)) << text;
    EXPECT_THAT(parseFollowUpTemplate(text), IsError(ErrorCode::invalidArgument)) << text;
  }
}

class TemplateSettingsTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  UserDefaults defaults_{dir_ / "defaults.json"};
  AppSettings settings_{defaults_};
};

TEST_F(TemplateSettingsTest, AMalformedTemplateIsRefusedAndTheStoredOneOrTheBuiltInIsUsed) {
  EXPECT_EQ(followUpTemplateText(settings_, "warm", AppLanguage::fr),
            builtInFollowUpTemplate("warm", AppLanguage::fr));

  const std::string mine = "Subject: {event}\n\nHi {firstName}";
  ASSERT_OK(settings_.set("followUpTemplateWarm", mine));
  EXPECT_EQ(followUpTemplateText(settings_, "warm", AppLanguage::fr), mine);
  EXPECT_EQ(followUpTemplateText(settings_, "formal", AppLanguage::en),
            builtInFollowUpTemplate("formal", AppLanguage::en));

  // Refused, with the key and the mistake; the template kept is unchanged.
  EXPECT_THAT(settings_.set("followUpTemplateWarm", "Subject: {event}\n\nHi {name}"),
              IsError(HasSubstr("Invalid value for followUpTemplateWarm. Unknown placeholder "
                                "{name} on line 3")));
  EXPECT_THAT(settings_.set("followUpTemplateNeutral", "Subject: Hi {firstName"),
              IsError(HasSubstr("{firstName on line 1 has no closing }")));
  EXPECT_EQ(*settings_.get("followUpTemplateWarm"), mine);
  EXPECT_FALSE(defaults_.value("followUpTemplateNeutral"));

  // One edited into the file by hand reads as the built-in template.
  ASSERT_OK(defaults_.set("followUpTemplateWarm", std::string("Subject: {oops}\n\nBody")));
  EXPECT_EQ(followUpTemplateText(settings_, "warm", AppLanguage::en),
            builtInFollowUpTemplate("warm", AppLanguage::en));
}

TEST(EffectiveLanguageTest, SystemFollowsTheSessionAsTheWindowDoes) {
  using Env = std::map<std::string, std::string>;
  const auto in = [](AppLanguage chosen, Env env) {
    return effectiveLanguage(chosen, [env = std::move(env)](const char* name) -> const char* {
      const auto found = env.find(name);
      return found == env.end() ? nullptr : found->second.c_str();
    });
  };
  const Env french{{"LANG", "fr_FR.UTF-8"}};
  EXPECT_EQ(in(AppLanguage::system, french), AppLanguage::fr);
  EXPECT_EQ(in(AppLanguage::en, french), AppLanguage::en);
  EXPECT_EQ(in(AppLanguage::fr, {}), AppLanguage::fr);
  EXPECT_EQ(in(AppLanguage::system, {}), AppLanguage::en);
  EXPECT_EQ(in(AppLanguage::system, {{"LANG", "fr_FR.UTF-8"}, {"LC_ALL", "en_GB.UTF-8"}}),
            AppLanguage::en);
  EXPECT_EQ(in(AppLanguage::system, {{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "fr:de"}}),
            AppLanguage::fr);
  EXPECT_EQ(in(AppLanguage::system, {{"LANG", "C.UTF-8"}, {"LANGUAGE", "fr"}}), AppLanguage::en);
}

}  // namespace
}  // namespace qm
