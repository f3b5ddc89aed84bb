#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "desktop/desktop_context.h"
#include "mcp/mcp_client_setup.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace qm {
class AppSettings;
class UserDefaults;
}  // namespace qm

namespace qm::desktop {

class PairingWindow;

/// Starts this program again with the arguments it was given, on its own, and
/// quits this one; the new window waits for the restarting companion.
void relaunchWindow();

/// One tab of the settings window. It reads what it shows from the settings
/// file and the store and writes every change through the companion.
class SettingsPage : public QWidget {
  Q_OBJECT
 public:
  SettingsPage(DesktopContext& context, QWidget* parent);

  /// Reads what the page shows again.
  virtual void reload() = 0;
  /// The store tables whose records the page shows; a change of one reloads it.
  virtual QStringList tables() const { return {}; }

 protected:
  /// The settings as the file holds them now.
  struct StoredSettings {
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<AppSettings> settings;
  };
  StoredSettings readSettings() const;
  /// Changes one setting through the companion; `done` gets the error text,
  /// empty when it was kept.
  void setSetting(const QString& key, const QString& value,
                  std::function<void(const QString& error)> done = {});
  /// A red label for what went wrong, hidden while empty.
  QLabel* makeErrorLabel();
  static void showText(QLabel* label, const QString& text);
  /// A bold heading for a group of controls.
  QLabel* makeHeading(const QString& text);

  DesktopContext& context_;
};

/// Name, organisation, e-mail signature and the interface language.
class GeneralSettingsTab : public SettingsPage {
  Q_OBJECT
 public:
  GeneralSettingsTab(DesktopContext& context, QWidget* parent);
  void reload() override;

  /// Starts the window again after a language change; by default this program
  /// with the same arguments, detached, before this one quits.
  std::function<void()> relaunch;

 private:
  void commit(const QString& key, const QString& value);
  void languageChosen(int index);

  QLineEdit* displayName_ = nullptr;
  QLineEdit* organization_ = nullptr;
  QLineEdit* senderName_ = nullptr;
  QLineEdit* senderEmail_ = nullptr;
  QPlainTextEdit* signature_ = nullptr;
  QComboBox* language_ = nullptr;
  QCheckBox* checkForUpdates_ = nullptr;
  QLabel* error_ = nullptr;
  QTimer signatureTimer_;
  /// The value each text setting of the tab holds as far as it knows.
  std::map<QString, QString> stored_;
  QString storedLanguage_;
};

/// The colours (system, light, dark) and the density of lists; applied at once.
class AppearanceSettingsTab : public SettingsPage {
  Q_OBJECT
 public:
  AppearanceSettingsTab(DesktopContext& context, QWidget* parent);
  void reload() override;

 private:
  void chosen();

  QComboBox* appearance_ = nullptr;
  QComboBox* density_ = nullptr;
  QLabel* error_ = nullptr;
};

/// Where AI follow-up drafts are written: the endpoint, its model, its token,
/// and a test request.
class AiSettingsTab : public SettingsPage {
  Q_OBJECT
 public:
  AiSettingsTab(DesktopContext& context, QWidget* parent);
  void reload() override;

 private:
  void logIn();
  void logOut();
  void testConnection();
  void showEndpoint(const QJsonObject& answer);
  void kindChanged();

  QComboBox* kind_ = nullptr;
  QLineEdit* endpoint_ = nullptr;
  QLineEdit* model_ = nullptr;
  QLineEdit* token_ = nullptr;
  QLabel* credential_ = nullptr;
  QPushButton* logIn_ = nullptr;
  QPushButton* logOut_ = nullptr;
  QPushButton* test_ = nullptr;
  QLabel* result_ = nullptr;
  QLabel* error_ = nullptr;
};

/// The mail server follow-ups are sent through: host, security, port, user,
/// password (written to the companion's keychain with "mail.login", never
/// shown back), an extra certificate authority, Sign In (which tries the
/// login) and Sign Out.
class MailSettingsTab : public SettingsPage {
  Q_OBJECT
 public:
  MailSettingsTab(DesktopContext& context, QWidget* parent);
  void reload() override;

  /// Picks the certificate authority file; empty cancels. By default an open
  /// dialog for PEM files.
  std::function<QString()> chooseCAFile;

 private:
  void signIn();
  void signOut();
  void securityChanged();
  void showAccount(const QJsonObject& account);

  QLineEdit* host_ = nullptr;
  QComboBox* security_ = nullptr;
  QLineEdit* port_ = nullptr;
  QLineEdit* user_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* caFile_ = nullptr;
  QLabel* state_ = nullptr;
  QPushButton* signIn_ = nullptr;
  QPushButton* signOut_ = nullptr;
  QLabel* result_ = nullptr;
  QLabel* error_ = nullptr;
};

/// The format and folder exports propose, and the days until a follow-up of
/// the follow-up calendar is due.
class ExportSettingsTab : public SettingsPage {
  Q_OBJECT
 public:
  ExportSettingsTab(DesktopContext& context, QWidget* parent);
  void reload() override;

 private:
  void chooseFolder();
  void showDueDaysUnit();

  QComboBox* format_ = nullptr;
  QSpinBox* dueDays_ = nullptr;
  QLabel* dueDaysUnit_ = nullptr;
  QLineEdit* folder_ = nullptr;
  QPushButton* clear_ = nullptr;
  QLabel* error_ = nullptr;
};

/// The pipeline stages opportunities move through: add, rename, reorder,
/// colour and remove, each change written at once. There is always one stage
/// at least, and no two names differ only in letter case.
class PipelineSettingsTab : public SettingsPage {
  Q_OBJECT
 public:
  PipelineSettingsTab(DesktopContext& context, QWidget* parent);
  void reload() override;

  QListWidget* stageList() const { return list_; }
  QLabel* errorLabel() const { return error_; }

 private:
  void renamed(QListWidgetItem* item);
  void addStage();
  void removeStage();
  void move(int by);
  void chooseColor();
  void write();
  void showStages(const QJsonArray& stages);
  void updateButtons();

  QListWidget* list_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* rename_ = nullptr;
  QPushButton* color_ = nullptr;
  QPushButton* up_ = nullptr;
  QPushButton* down_ = nullptr;
  QPushButton* remove_ = nullptr;
  QLabel* error_ = nullptr;
  bool filling_ = false;
};

/// The MCP server for AI applications: on or off, its tools, the clients that
/// connected (revoke, restore), their recent calls and how to connect each
/// desktop client.
class McpSettingsTab : public SettingsPage {
  Q_OBJECT
 public:
  McpSettingsTab(DesktopContext& context, QWidget* parent);
  void reload() override;
  QStringList tables() const override;

  QTreeWidget* clientList() const { return clients_; }
  QTreeWidget* activityLog() const { return log_; }
  QPushButton* revokeButton() const { return revoke_; }
  QPushButton* restoreButton() const { return restore_; }
  QTreeWidget* setupClientList() const { return setupClients_; }
  QPushButton* installButton() const { return install_; }
  QPushButton* uninstallButton() const { return uninstall_; }
  QPlainTextEdit* snippetView() const { return snippet_; }
  QLabel* setupOutcome() const { return setupOutcome_; }

 private:
  void toggled(bool on);
  void changeClient(const char* command);
  void updateClientButtons();
  QWidget* makeSetupSection();
  std::optional<mcp::MCPClientSetup> chosenClient() const;
  mcp::MCPConnection connection() const;
  void showChosenSetup();
  void refreshSetupStates();
  void installChosen();
  void uninstallChosen();

  QCheckBox* enabled_ = nullptr;
  QLabel* running_ = nullptr;
  QTreeWidget* clients_ = nullptr;
  QTreeWidget* log_ = nullptr;
  QPushButton* revoke_ = nullptr;
  QPushButton* restore_ = nullptr;
  QLabel* error_ = nullptr;
  QTreeWidget* setupClients_ = nullptr;
  QPlainTextEdit* snippet_ = nullptr;
  QLabel* setupNote_ = nullptr;
  QPushButton* install_ = nullptr;
  QPushButton* uninstall_ = nullptr;
  QLabel* setupOutcome_ = nullptr;
  std::uint16_t port_ = mcp::configuredMCPPort();
};

/// The paired phone: the pairing state and name, with pairing and forgetting
/// done by the pairing window.
class PairingSettingsTab : public SettingsPage {
  Q_OBJECT
 public:
  PairingSettingsTab(DesktopContext& context, QWidget* parent);
  void reload() override;

 private:
  void showStatus(const QJsonObject& status);

  PairingWindow* pairing_ = nullptr;
  QLabel* state_ = nullptr;
  QLabel* phone_ = nullptr;
  QPushButton* forget_ = nullptr;
  QLabel* error_ = nullptr;
};

/// Export All Data and Reset All Local Data.
class PrivacySettingsTab : public SettingsPage {
  Q_OBJECT
 public:
  PrivacySettingsTab(DesktopContext& context, QWidget* parent);
  void reload() override {}

  /// Starts the window again once the companion deleted everything.
  std::function<void()> relaunch = relaunchWindow;
  /// Asks where the export goes, given the proposed path; empty cancels. By
  /// default a save dialog limited to JSON files.
  std::function<QString(const QString& proposed)> chooseExportFile;
  /// How long the success line stays.
  std::chrono::milliseconds successShownFor{3000};

  QLabel* successLabel() const { return success_; }
  QLabel* errorLabel() const { return error_; }
  QPushButton* exportButton() const { return export_; }

 private:
  void exportAllData();
  void resetAllData();

  QPushButton* export_ = nullptr;
  QLabel* success_ = nullptr;
  QLabel* error_ = nullptr;
  QTimer hideSuccess_;
};

}  // namespace qm::desktop
