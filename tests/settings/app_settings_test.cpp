#include "settings/app_settings.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace qm {
namespace {

using ::testing::ElementsAre;
using Strings = std::vector<std::string>;

template <class R>
std::string errorText(const R& result) {
  return result.ok() ? "(accepted)" : result.error().message;
}

class AppSettingsTest : public ::testing::Test {
 protected:
  Strings allAsText() const {
    Strings texts;
    for (const auto& d : AppSettings::descriptors()) {
      texts.push_back(std::string(d.key) + "=" + *settings_.get(d.key));
    }
    return texts;
  }

  test::TempDir dir_;
  UserDefaults defaults_{dir_ / "defaults.json"};
  AppSettings settings_{defaults_};
};

TEST_F(AppSettingsTest, NeverWrittenSettingsReadTheirDefaults) {
  EXPECT_EQ(settings_.appLanguage(), AppLanguage::system);
  EXPECT_EQ(settings_.defaultReportDetailLevel(), ReportDetailLevel::standard);
  EXPECT_EQ(settings_.defaultExportFormat(), ExportFormat::csv);
  EXPECT_TRUE(settings_.preferOnDeviceAI());
  EXPECT_FALSE(settings_.mcpServerEnabled());
  EXPECT_THAT(allAsText(), ElementsAre("appLanguage=system", "displayName=", "organizationName=",
                                       "emailSignature=", "appearance=system",
                                       "density=comfortable", "defaultReportDetailLevel=standard",
                                       "defaultExportFormat=csv", "defaultExportFolder=",
                                       "preferOnDeviceAI=true", "mcpServerEnabled=false"));
}

TEST_F(AppSettingsTest, StoredValuesOutsideTheAllowedSetReadTheFallback) {
  ASSERT_TRUE(defaults_.set("appLanguage", std::string("de")).ok());
  ASSERT_TRUE(defaults_.set("appearance", std::string("purple")).ok());
  ASSERT_TRUE(defaults_.set("density", std::string("")).ok());
  ASSERT_TRUE(defaults_.set("defaultReportDetailLevel", std::string("verbose")).ok());
  ASSERT_TRUE(defaults_.set("defaultExportFormat", std::string("pdf")).ok());
  ASSERT_TRUE(defaults_.set("displayName", true).ok());                       // wrong type
  ASSERT_TRUE(defaults_.set("preferOnDeviceAI", std::string("false")).ok());  // wrong type

  EXPECT_EQ(settings_.appLanguage(), AppLanguage::system);
  EXPECT_EQ(settings_.appearance(), "system");
  EXPECT_EQ(settings_.density(), "comfortable");
  EXPECT_EQ(settings_.defaultReportDetailLevel(), ReportDetailLevel::standard);
  EXPECT_EQ(settings_.defaultExportFormat(), ExportFormat::csv);
  EXPECT_EQ(settings_.displayName(), "");
  EXPECT_TRUE(settings_.preferOnDeviceAI());
}

TEST_F(AppSettingsTest, TypedSettersWriteTheirOwnKeys) {
  ASSERT_TRUE(settings_.setAppLanguage(AppLanguage::fr).ok());
  ASSERT_TRUE(settings_.setDisplayName("Ada").ok());
  ASSERT_TRUE(settings_.setOrganizationName("Engines").ok());
  ASSERT_TRUE(settings_.setEmailSignature("Best,\nAda").ok());
  ASSERT_TRUE(settings_.setAppearance("dark").ok());
  ASSERT_TRUE(settings_.setDensity("compact").ok());
  ASSERT_TRUE(settings_.setDefaultReportDetailLevel(ReportDetailLevel::detailed).ok());
  ASSERT_TRUE(settings_.setDefaultExportFormat(ExportFormat::salesforce).ok());
  ASSERT_TRUE(settings_.setDefaultExportFolder("/home/ada").ok());
  ASSERT_TRUE(settings_.setPreferOnDeviceAI(false).ok());
  ASSERT_TRUE(settings_.setMcpServerEnabled(true).ok());
  EXPECT_FALSE(settings_.setDensity("spacious").ok());

  EXPECT_THAT(allAsText(),
              ElementsAre("appLanguage=fr", "displayName=Ada", "organizationName=Engines",
                          "emailSignature=Best,\nAda", "appearance=dark", "density=compact",
                          "defaultReportDetailLevel=detailed", "defaultExportFormat=salesforce",
                          "defaultExportFolder=/home/ada", "preferOnDeviceAI=false",
                          "mcpServerEnabled=true"));
  EXPECT_EQ(settings_.organizationName(), "Engines");
  EXPECT_EQ(settings_.defaultReportDetailLevel(), ReportDetailLevel::detailed);
}

TEST_F(AppSettingsTest, TextSetValidatesKeyAndValue) {
  const std::string unknown =
      "Unknown setting \"colour\". Known settings: appLanguage, displayName, organizationName, "
      "emailSignature, appearance, density, defaultReportDetailLevel, defaultExportFormat, "
      "defaultExportFolder, preferOnDeviceAI, mcpServerEnabled";
  EXPECT_EQ(errorText(settings_.set("colour", "blue")), unknown);
  EXPECT_EQ(errorText(settings_.get("colour")), unknown);
  EXPECT_EQ(errorText(settings_.set("defaultExportFormat", "pdf")),
            "Invalid value \"pdf\" for defaultExportFormat. Allowed values: csv, hubspot, "
            "salesforce, pipedrive, xlsx, vcard");
  EXPECT_EQ(errorText(settings_.set("mcpServerEnabled", "yes")),
            "Invalid value \"yes\" for mcpServerEnabled. Allowed values: true, false");
  EXPECT_FALSE(settings_.set("appearance", "Dark").ok());  // exact match only
  EXPECT_TRUE(defaults_.keys().empty());                   // nothing refused was stored

  ASSERT_TRUE(settings_.set("mcpServerEnabled", "true").ok());
  ASSERT_TRUE(settings_.set("defaultExportFormat", "xlsx").ok());
  EXPECT_EQ(defaults_.boolean("mcpServerEnabled"), true);
  EXPECT_EQ(settings_.defaultExportFormat(), ExportFormat::xlsx);
}

TEST_F(AppSettingsTest, LanguagePreferenceFollowsTheChosenLanguage) {
  ASSERT_TRUE(settings_.setAppLanguage(AppLanguage::fr).ok());
  settings_.applyLanguagePreference();
  EXPECT_EQ(defaults_.value(AppSettings::kLanguagesKey), DefaultsValue(Strings{"fr"}));
  EXPECT_EQ(settings_.preferredLanguage(), "fr");

  ASSERT_TRUE(settings_.setAppLanguage(AppLanguage::system).ok());
  settings_.applyLanguagePreference();
  EXPECT_EQ(defaults_.value(AppSettings::kLanguagesKey), std::nullopt);
  EXPECT_EQ(settings_.preferredLanguage(), std::nullopt);
}

}  // namespace
}  // namespace qm
