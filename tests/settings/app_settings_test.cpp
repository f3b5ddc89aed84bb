#include "settings/app_settings.h"

#include <map>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "support/status_matchers.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using test::IsError;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Json = nlohmann::json;
using Strings = std::vector<std::string>;

class AppSettingsTest : public ::testing::Test {
 protected:
  Strings allAsText() const {
    Strings texts;
    for (const auto& d : AppSettings::descriptors()) {
      texts.push_back(std::string(d.key) + "=" + *settings_.get(d.key));
    }
    return texts;
  }
  /// Puts `document` in the defaults file as another program might write it.
  void storeRaw(const Json& document) {
    ASSERT_OK(writeFileAtomically(defaults_.file(), document.dump()));
    defaults_.reload();
  }

  test::TempDir dir_;
  UserDefaults defaults_{dir_ / "defaults.json"};
  AppSettings settings_{defaults_};
};

// A flag that reads as true by accident (the MCP server switched on) is the
// fault to catch: only a stored JSON true or false counts.
TEST_F(AppSettingsTest, FlagsStoredWithTheWrongTypeReadTheirDefault) {
  const std::map<std::string_view, bool (AppSettings::*)() const> typed = {
      {"preferOnDeviceAI", &AppSettings::preferOnDeviceAI},
      {"mcpServerEnabled", &AppSettings::mcpServerEnabled},
      {"checkForUpdatesAtStart", &AppSettings::checkForUpdatesAtStart}};
  const Json wrong =
      Json::parse(R"(["yes", "true", "1", 1, -1, 0.5, {}, {"on": true}, [true], ["true"], null])");
  std::size_t flags = 0;
  for (const auto& d : AppSettings::descriptors()) {
    if (d.kind != SettingKind::boolean) continue;
    ++flags;
    ASSERT_TRUE(typed.contains(d.key)) << d.key << " has no typed reader in this table";
    const bool byDefault = d.defaultValue == "true";
    EXPECT_EQ((settings_.*typed.at(d.key))(), byDefault) << d.key << " never written";
    for (const Json& value : wrong) {
      storeRaw({{std::string(d.key), value}});
      EXPECT_EQ((settings_.*typed.at(d.key))(), byDefault) << d.key << "=" << value.dump();
      EXPECT_EQ(settings_.get(d.key).value(), d.defaultValue) << d.key << "=" << value.dump();
    }
    storeRaw({{std::string(d.key), !byDefault}});
    EXPECT_EQ((settings_.*typed.at(d.key))(), !byDefault) << d.key << " stored as a flag";
  }
  EXPECT_EQ(flags, typed.size());
}

TEST_F(AppSettingsTest, TextsOfTheWrongTypeOrOutsideTheAllowedSetReadTheFallback) {
  for (const auto& d : AppSettings::descriptors()) {
    if (d.kind != SettingKind::text) continue;
    for (const Json& value : Json::parse(R"([true, 1, {}, ["dark"], null])")) {
      storeRaw({{std::string(d.key), value}});
      EXPECT_EQ(settings_.get(d.key).value(), d.fallback) << d.key << "=" << value.dump();
    }
  }
  storeRaw({{"appLanguage", "de"},
            {"appearance", "Dark"},
            {"density", ""},
            {"defaultReportDetailLevel", "verbose"},
            {"defaultExportFormat", "pdf"}});
  EXPECT_EQ(settings_.appLanguage(), AppLanguage::system);
  EXPECT_EQ(settings_.appearance(), "system");
  EXPECT_EQ(settings_.density(), "comfortable");
  EXPECT_EQ(settings_.defaultReportDetailLevel(), ReportDetailLevel::standard);
  EXPECT_EQ(settings_.defaultExportFormat(), ExportFormat::csv);
}

// Each typed setter writes its own key, and the text interface reads it back.
TEST_F(AppSettingsTest, TypedSettersWriteTheirOwnKeys) {
  ASSERT_OK(settings_.setAppLanguage(AppLanguage::fr));
  ASSERT_OK(settings_.setDisplayName("Ada"));
  ASSERT_OK(settings_.setOrganizationName("Engines"));
  ASSERT_OK(settings_.setEmailSignature("Best,\nAda"));
  ASSERT_OK(settings_.setAppearance("dark"));
  ASSERT_OK(settings_.setDensity("compact"));
  ASSERT_OK(settings_.setDefaultReportDetailLevel(ReportDetailLevel::detailed));
  ASSERT_OK(settings_.setDefaultExportFormat(ExportFormat::salesforce));
  ASSERT_OK(settings_.setDefaultExportFolder("/home/ada"));
  ASSERT_OK(settings_.setPreferOnDeviceAI(false));
  ASSERT_OK(settings_.setMcpServerEnabled(true));
  ASSERT_OK(settings_.setAiEndpoint("https://ai.example.com"));
  ASSERT_OK(settings_.setAiEndpointKind(AIEndpointKind::chatCompletions));
  ASSERT_OK(settings_.setAiModel("llama3.1"));
  ASSERT_OK(settings_.setSenderName("Ada Lovelace"));
  ASSERT_OK(settings_.setSenderEmail("ada@engines.example"));
  ASSERT_OK(settings_.setCheckForUpdatesAtStart(true));
  EXPECT_FALSE(settings_.setDensity("spacious").ok());

  EXPECT_THAT(
      allAsText(),
      ElementsAre("appLanguage=fr", "displayName=Ada", "organizationName=Engines",
                  "emailSignature=Best,\nAda", "appearance=dark", "density=compact",
                  "defaultReportDetailLevel=detailed", "defaultExportFormat=salesforce",
                  "defaultExportFolder=/home/ada", "followUpDueDays=2", "preferOnDeviceAI=false",
                  "mcpServerEnabled=true", "aiEndpoint=https://ai.example.com",
                  "aiEndpointKind=chatCompletions", "aiModel=llama3.1", "senderName=Ada Lovelace",
                  "senderEmail=ada@engines.example",
                  "smtpHost=", "smtpPort=", "smtpSecurity=starttls",
                  "smtpUser=", "smtpCAFile=", "followUpTemplateWarm=", "followUpTemplateNeutral=",
                  "followUpTemplateFormal=", "checkForUpdatesAtStart=true"));
}

// The command line shows these messages: they name the key or value and list the choices.
TEST_F(AppSettingsTest, TextSetValidatesKeyAndValue) {
  const auto unknown = IsError(AllOf(HasSubstr("Unknown setting \"colour\""),
                                     HasSubstr("Known settings: appLanguage, displayName")));
  EXPECT_THAT(settings_.set("colour", "blue"), unknown);
  EXPECT_THAT(settings_.get("colour"), unknown);
  EXPECT_THAT(settings_.set("defaultExportFormat", "pdf"),
              IsError(HasSubstr("Invalid value \"pdf\" for defaultExportFormat. Allowed values: "
                                "csv, hubspot, salesforce, pipedrive, xlsx, vcard")));
  EXPECT_THAT(settings_.set("mcpServerEnabled", "yes"),
              IsError(HasSubstr("Allowed values: true, false")));
  EXPECT_FALSE(settings_.set("appearance", "Dark").ok());  // exact match only
  EXPECT_TRUE(defaults_.keys().empty());                   // nothing refused was stored

  ASSERT_OK(settings_.set("mcpServerEnabled", "true"));
  ASSERT_OK(settings_.set("defaultExportFormat", "xlsx"));
  EXPECT_EQ(defaults_.boolean("mcpServerEnabled"), true);
  EXPECT_EQ(settings_.defaultExportFormat(), ExportFormat::xlsx);
}

// The endpoint is an address or nothing; one edited into the file by hand
// that is not an address reads as no endpoint.
TEST_F(AppSettingsTest, AiEndpointIsAnHttpAddressOrNothing) {
  for (const char* url : {"", "https://ai.example.com/v1", "http://127.0.0.1:11434/v1"}) {
    EXPECT_OK(settings_.setAiEndpoint(url)) << url;
  }
  for (const char* url : {"ftp://ai.example.com", "ai.example.com", "https://", "http:///v1",
                          "https://ai.example.com/ v1", "https://ai.example.com\n"}) {
    EXPECT_THAT(settings_.set("aiEndpoint", url), IsError(HasSubstr("for aiEndpoint"))) << url;
  }
  storeRaw({{"aiEndpoint", "ftp://ai.example.com"}, {"aiEndpointKind", "ollama"}});
  EXPECT_EQ(settings_.aiEndpoint(), "");
  EXPECT_EQ(settings_.aiEndpointKind(), AIEndpointKind::proxy);
}

// What goes into a message's headers or names a mail server is one value
// of its form: anything else would put a second address or header line in
// every message sent.
TEST_F(AppSettingsTest, SenderAndMailServerSettingsHoldOneValueOfTheirForm) {
  for (const char* address : {"", "dana@example.com", "d.weber+shows@mail.example.co.uk"})
    EXPECT_OK(settings_.set("senderEmail", address)) << address;
  for (const char* address :
       {"dana", "@example.com", "dana@", "dana@@example.com", "dana@example.com, eve@example.com",
        "Dana <dana@example.com>", "dana@example.com\nBcc: eve@example.com", "dana@.example.com"})
    EXPECT_THAT(settings_.set("senderEmail", address), IsError(HasSubstr("for senderEmail")))
        << address;
  EXPECT_THAT(settings_.set("senderName", "Dana\r\nBcc: eve@example.com"),
              IsError(HasSubstr("line breaks")));

  for (const char* port : {"", "25", "587", "65535"}) EXPECT_OK(settings_.set("smtpPort", port));
  for (const char* port : {"0", "65536", "587a", "-1", "123456"})
    EXPECT_THAT(settings_.set("smtpPort", port), IsError(HasSubstr("1 to 65535"))) << port;
  EXPECT_OK(settings_.set("smtpHost", "smtp.example.com"));
  for (const char* host : {"smtps://smtp.example.com", "smtp example.com", "user@smtp.example.com"})
    EXPECT_FALSE(settings_.set("smtpHost", host).ok()) << host;
  EXPECT_THAT(settings_.set("smtpSecurity", "ssl"),
              IsError(HasSubstr("Allowed values: starttls, tls, none")));
  for (const char* file : {"", "/etc/ssl/company-ca.pem", "~/company-ca.pem"})
    EXPECT_OK(settings_.set("smtpCAFile", file)) << file;
  for (const char* file : {"company-ca.pem", "/etc/ssl/ca.pem\nsmtpHost=evil"})
    EXPECT_FALSE(settings_.set("smtpCAFile", file).ok()) << file;

  storeRaw({{"senderEmail", "not an address"}, {"smtpPort", "99999"}});
  EXPECT_EQ(settings_.senderEmail(), "");
  EXPECT_EQ(settings_.smtpPort(), "");
}

// The days until a calendar follow-up is due: a whole number of days within a year.
TEST_F(AppSettingsTest, FollowUpDueDaysIsAWholeNumberUpToAYear) {
  EXPECT_EQ(settings_.followUpDueDays(), 2);
  for (const char* days : {"0", "7", "365"}) {
    ASSERT_OK(settings_.set("followUpDueDays", days)) << days;
    EXPECT_EQ(std::to_string(settings_.followUpDueDays()), days);
  }
  for (const char* days : {"", "-1", "366", "1000", "2.5", "two", " 3", "0x10"})
    EXPECT_THAT(settings_.set("followUpDueDays", days),
                IsError(HasSubstr("Expected a number of days from 0 to 365")))
        << days;
  EXPECT_EQ(settings_.followUpDueDays(), 365) << "a refused value changes nothing";
  storeRaw({{"followUpDueDays", "9999"}});
  EXPECT_EQ(settings_.followUpDueDays(), 2) << "a stored value out of range reads as the default";
}

TEST_F(AppSettingsTest, LanguagePreferenceFollowsTheChosenLanguage) {
  ASSERT_OK(settings_.setAppLanguage(AppLanguage::fr));
  settings_.applyLanguagePreference();
  EXPECT_EQ(defaults_.value(AppSettings::kLanguagesKey), DefaultsValue(Strings{"fr"}));
  EXPECT_EQ(settings_.preferredLanguage(), "fr");

  ASSERT_OK(settings_.setAppLanguage(AppLanguage::system));
  settings_.applyLanguagePreference();
  EXPECT_EQ(defaults_.value(AppSettings::kLanguagesKey), std::nullopt);
  EXPECT_EQ(settings_.preferredLanguage(), std::nullopt);
}

}  // namespace
}  // namespace qm
