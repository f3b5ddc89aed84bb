// The settings window over a running companion: what its tabs change reaches
// the companion (and an MCP client's next call), Export All Data writes the
// file and tells so for a moment, the pipeline editor keeps names apart, the
// template editor keeps only well-formed templates.

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QWidget>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/mcp_http_session.h"
#include "desktop/appearance.h"
#include "desktop/draft_editor.h"
#include "desktop/settings_page.h"
#include "desktop/settings_templates_tab.h"
#include "desktop/settings_window.h"
#include "desktop/tray_icon.h"
#include "desktop_fixture.h"
#include "settings/follow_up_template_defaults.h"
#include "settings/pipeline_manager.h"
#include "settings/user_defaults.h"
#include "support/http_client.h"
#include "support/local_http_server.h"
#include "support/temp_dir.h"

namespace qm::test {
namespace {

using desktop::qs;
using desktop::SettingsWindow;
using ::testing::HasSubstr;
using ::testing::Not;

/// HOME points at `folder` while this lives, then back where it was.
class HomeFolder {
 public:
  explicit HomeFolder(const std::filesystem::path& folder) : previous_(qgetenv("HOME")) {
    qputenv("HOME", QByteArray::fromStdString(folder.string()));
  }
  ~HomeFolder() { qputenv("HOME", previous_); }

 private:
  QByteArray previous_;
};

constexpr const char* kDenied = "Access denied. Client has been revoked.";

class SettingsTest : public DesktopFixture {
 protected:
  void SetUp() override {
    env["QUILLMERE_MCP_PORT"] = std::to_string(port);
    DesktopFixture::SetUp();
  }

  /// The settings window shown on `tab`.
  std::unique_ptr<SettingsWindow> open(SettingsWindow::Tab tab) {
    auto window = std::make_unique<SettingsWindow>(context(), nullptr);
    window->showTab(tab);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return window;
  }
  std::string setting(const std::string& key) {
    auto got = cli({"settings", "get", key});
    return got.out.substr(0, got.out.find('\n'));
  }
  std::vector<std::string> storedStageNames() {
    UserDefaults defaults(paths.defaultsFile());
    PipelineManager stages(defaults);
    std::vector<std::string> names;
    for (const auto& stage : stages.stages()) names.push_back(stage.name);
    return names;
  }

  std::uint16_t port = freeLoopbackPort();
};

TEST_F(SettingsTest, AClientRevokedInTheMcpTabIsRefusedOnItsNextCallUntilRestored) {
  ASSERT_EQ(cli({"mcp", "enable", "--yes"}).exitCode, 0);
  McpHttpSession claude(port);
  ASSERT_TRUE(QTest::qWaitFor([&] { return claude.initialize("Claude"); }, 10000));
  ASSERT_THAT(claude.callTool("list_events").value_or(kDenied), Not(HasSubstr(kDenied)));

  auto window = open(SettingsWindow::Tab::mcp);
  auto* tab = static_cast<desktop::McpSettingsTab*>(window->page(SettingsWindow::Tab::mcp));
  QTreeWidget* clients = tab->clientList();
  ASSERT_EQ(clients->topLevelItemCount(), 1);
  EXPECT_EQ(clients->topLevelItem(0)->text(0), "Claude");
  EXPECT_EQ(clients->topLevelItem(0)->text(1), "Active, reads only");
  EXPECT_EQ(tab->activityLog()->topLevelItemCount(), 1);
  EXPECT_EQ(tab->activityLog()->topLevelItem(0)->text(1), "list_events");
  EXPECT_FALSE(tab->restoreButton()->isEnabled());

  clients->setCurrentItem(clients->topLevelItem(0));
  QTest::mouseClick(tab->revokeButton(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return tab->restoreButton()->isEnabled(); }, 5000));
  EXPECT_EQ(clients->topLevelItem(0)->text(1), "Revoked");
  EXPECT_THAT(claude.callTool("list_events").value_or(""), HasSubstr(kDenied));

  QTest::mouseClick(tab->restoreButton(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return tab->revokeButton()->isEnabled(); }, 5000));
  EXPECT_THAT(claude.callTool("list_events").value_or(kDenied), Not(HasSubstr(kDenied)));
}

TEST_F(SettingsTest, TheMcpTabInstallsAndRemovesAnAssistantsEntryAndShowsEachState) {
  // The assistants' files live under the home folder: a scratch one here.
  const HomeFolder scratchHome(outDir.path());
  const std::filesystem::path goose = outDir.path() / ".config/goose/config.yaml";
  std::filesystem::create_directories(goose.parent_path());
  { std::ofstream(goose) << "extensions: [unclosed\n"; }

  auto window = open(SettingsWindow::Tab::mcp);
  auto* tab = static_cast<desktop::McpSettingsTab*>(window->page(SettingsWindow::Tab::mcp));
  QTreeWidget* list = tab->setupClientList();
  const auto row = [&](const QString& name) {
    const auto found = list->findItems(name, Qt::MatchExactly, 0);
    return found.isEmpty() ? nullptr : found.front();
  };
  ASSERT_EQ(list->topLevelItemCount(), 13);
  ASSERT_NE(row("goose"), nullptr);
  EXPECT_EQ(row("goose")->text(1), "Unreadable file");
  EXPECT_EQ(row("Zed")->text(1), "Not installed");

  // The entry names the port the companion serves on.
  list->setCurrentItem(row("Zed"));
  const QString url = QStringLiteral("http://127.0.0.1:%1/mcp").arg(port);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return tab->snippetView()->toPlainText().contains(url); }, 5000))
      << tab->snippetView()->toPlainText().toStdString();
  EXPECT_FALSE(tab->uninstallButton()->isEnabled());
  QTest::mouseClick(tab->installButton(), Qt::LeftButton);
  EXPECT_EQ(row("Zed")->text(1), "Installed");
  EXPECT_THAT(tab->setupOutcome()->text().toStdString(), HasSubstr("Created "));
  const std::filesystem::path zed = outDir.path() / ".config/zed/settings.json";
  EXPECT_EQ(nlohmann::json::parse(std::ifstream(zed))["context_servers"]["quillmere"]["url"],
            url.toStdString());
  EXPECT_FALSE(tab->installButton()->isEnabled());
  QTest::mouseClick(tab->uninstallButton(), Qt::LeftButton);
  EXPECT_EQ(row("Zed")->text(1), "Not installed");
  EXPECT_EQ(nlohmann::json::parse(std::ifstream(zed))["context_servers"], nlohmann::json::object());

  // A file that does not parse is left as it was, and the person is told where.
  list->setCurrentItem(row("goose"));
  QTest::mouseClick(tab->installButton(), Qt::LeftButton);
  EXPECT_THAT(tab->setupOutcome()->text().toStdString(), HasSubstr("not valid YAML at line"));
  EXPECT_EQ(test::fileText(goose), "extensions: [unclosed\n");
}

TEST_F(SettingsTest, WhatTheTabsChangeReachesTheCompanion) {
  auto window = open(SettingsWindow::Tab::general);
  auto* name = window->findChild<QLineEdit*>("displayName");
  ASSERT_NE(name, nullptr);
  name->setFocus();
  QTest::keyClicks(name, QStringLiteral("Dana Åkesson"));
  QTest::keyClick(name, Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return setting("displayName") == "Dana Åkesson"; }, 5000));

  // A sender address the companion refuses stays in its field with the
  // reason; the corrected one is kept.
  auto* sender = window->findChild<QLineEdit*>("senderEmail");
  ASSERT_NE(sender, nullptr);
  sender->setFocus();
  QTest::keyClicks(sender, QStringLiteral("dana at example.com"));
  QTest::keyClick(sender, Qt::Key_Return);
  auto* error = sender->parentWidget()->findChild<QLabel*>(QStringLiteral("settings-error"));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return error && error->text().contains("e-mail address"); }, 5000));
  EXPECT_EQ(sender->text(), "dana at example.com");
  sender->setText(QStringLiteral("dana@example.com"));
  QTest::keyClick(sender, Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return setting("senderEmail") == "dana@example.com"; }, 5000));

  // Keyboard only: the next format, and the dark appearance two steps down.
  QTest::keyClick(name, Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(window->currentTab(), SettingsWindow::Tab::privacy);
  for (int i = 0; i < 6; ++i) QTest::keyClick(window.get(), Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(window->currentTab(), SettingsWindow::Tab::exportDefaults);
  auto* format = window->findChild<QComboBox*>("defaultExportFormat");
  format->setFocus();
  QTest::keyClick(format, Qt::Key_Down);
  EXPECT_TRUE(QTest::qWaitFor([&] { return setting("defaultExportFormat") == "hubspot"; }, 5000));
  auto* dueDays = window->findChild<QSpinBox*>("followUpDueDays");
  ASSERT_NE(dueDays, nullptr);
  EXPECT_EQ(dueDays->value(), 2) << "the default";
  dueDays->setFocus();
  QTest::keyClick(dueDays, Qt::Key_Up);
  EXPECT_TRUE(QTest::qWaitFor([&] { return setting("followUpDueDays") == "3"; }, 5000));
  window->showTab(SettingsWindow::Tab::appearance);
  auto* appearance = window->findChild<QComboBox*>("appearance");
  appearance->setFocus();
  QTest::keyClick(appearance, Qt::Key_Down);
  QTest::keyClick(appearance, Qt::Key_Down);
  EXPECT_TRUE(QTest::qWaitFor([&] { return setting("appearance") == "dark"; }, 5000));

  // The window took the appearance at once; the other tests keep the platform's.
  desktop::applyAppearance(*qApp, "system", "comfortable");

  // A window opened afterwards reads what was kept.
  auto again = open(SettingsWindow::Tab::general);
  EXPECT_EQ(again->findChild<QLineEdit*>("displayName")->text(), "Dana Åkesson");
  EXPECT_EQ(again->findChild<QComboBox*>("defaultExportFormat")->currentData(), "hubspot");
  EXPECT_EQ(again->findChild<QSpinBox*>("followUpDueDays")->value(), 3);
}

TEST_F(SettingsTest, TheTemplatesTabKeepsAWellFormedTemplateAndShowsTheMistakeOfAnother) {
  auto window = open(SettingsWindow::Tab::templates);
  auto* tab =
      static_cast<desktop::TemplatesSettingsTab*>(window->page(SettingsWindow::Tab::templates));
  const QString builtInWarm = qs(builtInFollowUpTemplate("warm", AppLanguage::en));
  EXPECT_EQ(tab->editor()->toPlainText(), qs(builtInFollowUpTemplate("neutral", AppLanguage::en)));
  EXPECT_EQ(tab->placeholderList()->count(), 8);
  tab->toneBox()->setCurrentIndex(0);
  EXPECT_EQ(tab->editor()->toPlainText(), builtInWarm);

  // A mistake is shown under the editor and never kept.
  tab->editor()->setPlainText("Subject: Hi\n\nHello {nickname}");
  ASSERT_TRUE(QTest::qWaitFor([&] { return tab->errorLabel()->isVisible(); }, 5000));
  EXPECT_EQ(tab->errorLabel()->text(),
            "Unknown placeholder {nickname} on line 3. The placeholders are those of the list.");
  EXPECT_EQ(setting("followUpTemplateWarm"), "");

  // Corrected, with a placeholder from the list, it is kept.
  tab->editor()->setPlainText("Subject: Hi \n\nHello");
  tab->editor()->moveCursor(QTextCursor::Start);
  tab->editor()->moveCursor(QTextCursor::EndOfLine);
  Q_EMIT tab->placeholderList()->itemActivated(tab->placeholderList()->item(0));
  EXPECT_FALSE(tab->errorLabel()->isVisible());
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return setting("followUpTemplateWarm") == "Subject: Hi {firstName}"; }, 5000));

  // Restore Default goes back to the built-in template, kept as no template of one's own.
  tab->restoreButton()->click();
  EXPECT_EQ(tab->editor()->toPlainText(), builtInWarm);
  EXPECT_TRUE(QTest::qWaitFor([&] { return setting("followUpTemplateWarm").empty(); }, 5000));
}

TEST_F(SettingsTest, TheAiTabLogsInAndItsTestShowsWhatTheEndpointAnswered) {
  LocalHTTPServer server;
  server.setReply({200, R"({"choices":[{"message":{"content":"OK"}}]})"});
  auto window = open(SettingsWindow::Tab::ai);
  auto* kind = window->findChild<QComboBox*>("aiEndpointKind");
  kind->setCurrentIndex(kind->findData("chatCompletions"));
  window->findChild<QLineEdit*>("aiEndpoint")->setText(desktop::qs(server.url()));
  window->findChild<QLineEdit*>("aiModel")->setText("tiny-model");
  auto* token = window->findChild<QLineEdit*>("aiToken");
  token->setText("s3cret");
  QTest::keyClick(token, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return token->text().isEmpty(); }, 5000))
      << "the token field empties once the token is kept";
  EXPECT_THAT(cli({"ai", "status"}).out, HasSubstr("credential: stored"));

  auto* result = window->findChild<QLabel*>("aiTestResult");
  QTest::mouseClick(window->findChild<QPushButton*>("aiTest"), Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return result->text().startsWith("✓"); }, 5000))
      << result->text().toStdString();
  EXPECT_THAT(result->text().toStdString(), HasSubstr("OK"));
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].headers.at("authorization"), "Bearer s3cret");

  server.setReply({401, "no"});
  QTest::mouseClick(window->findChild<QPushButton*>("aiTest"), Qt::LeftButton);
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return result->text().contains("Authentication failed (401)"); }, 5000))
      << result->text().toStdString();
}

TEST_F(SettingsTest, ExportAllDataWritesEveryRecordAndSaysSoForAMoment) {
  demoData(3);
  // "~/…" in the export folder setting is the home folder, here as for every
  // export the window proposes (the draft editor and the drafts list too).
  const HomeFolder scratchHome(outDir.path());
  ASSERT_EQ(cli({"settings", "set", "defaultExportFolder", "~/exports"}).exitCode, 0);
  const std::filesystem::path exports = outDir.path() / "exports";
  EXPECT_EQ(desktop::exportFolder(context()).toStdString(), exports.string());

  auto window = open(SettingsWindow::Tab::privacy);
  auto* tab = static_cast<desktop::PrivacySettingsTab*>(window->page(SettingsWindow::Tab::privacy));
  QString proposed;
  const std::filesystem::path file = outDir.path() / "everything.json";
  tab->chooseExportFile = [&](const QString& offered) {
    proposed = offered;
    return desktop::qs(file.string());
  };
  tab->successShownFor = std::chrono::milliseconds(300);

  QTest::mouseClick(tab->exportButton(), Qt::LeftButton);
  EXPECT_TRUE(proposed.endsWith(".json") && proposed.contains("Quillmere_Export_"))
      << proposed.toStdString();
  EXPECT_EQ(QFileInfo(proposed).path().toStdString(), exports.string());
  ASSERT_TRUE(std::filesystem::exists(file));
  // Every contact, note and draft: for the owner's eyes only.
  EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::ifstream in(file);
  const auto document = nlohmann::json::parse(in, nullptr, false);
  ASSERT_TRUE(document.is_object());
  EXPECT_EQ(document["Contact"].size(), 3u);
  EXPECT_TRUE(tab->successLabel()->isVisible());
  EXPECT_EQ(tab->successLabel()->text(), "✓ Data exported successfully.");
  EXPECT_FALSE(tab->errorLabel()->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !tab->successLabel()->isVisible(); }, 3000));

  // A place that cannot be written to is told, not passed over.
  tab->chooseExportFile = [&](const QString&) {
    return desktop::qs((outDir.path() / "no-such-folder" / "x.json").string());
  };
  QTest::mouseClick(tab->exportButton(), Qt::LeftButton);
  EXPECT_TRUE(tab->errorLabel()->isVisible());
  EXPECT_FALSE(tab->successLabel()->isVisible());
}

TEST_F(SettingsTest, ThePipelineEditorRefusesANameTakenInAnyCaseAndKeepsAGoodOne) {
  auto window = open(SettingsWindow::Tab::pipeline);
  auto* tab =
      static_cast<desktop::PipelineSettingsTab*>(window->page(SettingsWindow::Tab::pipeline));
  QListWidget* list = tab->stageList();
  ASSERT_EQ(list->count(), 4);
  ASSERT_EQ(list->item(1)->text(), "Interested");

  list->item(1)->setText(QStringLiteral("exploring"));
  EXPECT_TRUE(tab->errorLabel()->isVisible());
  EXPECT_THAT(tab->errorLabel()->text().toStdString(), HasSubstr("Exploring"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return list->item(1)->text() == "Interested"; }, 2000));
  QTest::qWait(200);
  EXPECT_FALSE(UserDefaults(paths.defaultsFile()).value(PipelineManager::kDefaultsKey));

  list->item(1)->setText(QStringLiteral("Qualified"));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return storedStageNames() ==
               std::vector<std::string>{"Exploring", "Qualified", "Committed", "Closed-Won"};
      },
      5000));
  EXPECT_FALSE(tab->errorLabel()->isVisible());
}

TEST_F(SettingsTest, TheTrayIconFollowsThePairingStateAndOpensTheWindow) {
  QWidget window;
  desktop::TrayIcon tray(context(), &window);
  link_->subscribe();
  EXPECT_TRUE(QTest::qWaitFor([&] { return tray.toolTip().contains("Not paired"); }, 5000))
      << tray.toolTip().toStdString();
  pairPhone();
  EXPECT_TRUE(QTest::qWaitFor([&] { return tray.toolTip().contains("Dana's phone"); }, 10000))
      << tray.toolTip().toStdString();

  EXPECT_FALSE(window.isVisible());
  tray.openAction()->trigger();
  EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace qm::test
