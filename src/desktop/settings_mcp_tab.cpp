#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "desktop/companion_link.h"
#include "desktop/confirmation.h"
#include "desktop/language.h"
#include "desktop/locale_text.h"
#include "desktop/qt_text.h"
#include "desktop/settings_page.h"
#include "mcp/mcp_client_setup.h"
#include "mcp/mcp_tool_handlers.h"
#include "settings/app_settings.h"
#include "store/mcp_records.h"
#include "store/store.h"

namespace qm::desktop {

namespace {

/// How many rows of the activity log are shown, newest first.
constexpr std::size_t kLogRows = 200;

std::filesystem::path homeFolder() {
  return std::filesystem::path(utf8(QDir::homePath()));
}

/// The bridge script beside the companion program (this program's folder).
std::filesystem::path bridgeScript() {
  return mcp::findBridgeScript(std::filesystem::path(
      utf8(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quillmere")))));
}

/// "name — label" lines of the tools from `first` to `last`.
QLabel* toolList(std::size_t first, std::size_t last, QWidget* parent) {
  const auto& tools = mcp::MCPToolHandlers::tools();
  QString html = QStringLiteral("<table cellspacing=\"2\">");
  for (std::size_t i = first; i < last; ++i)
    html += QStringLiteral("<tr><td><code>%1</code></td><td>&nbsp;&nbsp;%2</td></tr>")
                .arg(qs(tools[i].name).toHtmlEscaped(),
                     qs(mcp::MCPToolHandlers::label(tools[i].name)).toHtmlEscaped());
  html += QStringLiteral("</table>");
  auto* label = new QLabel(html, parent);
  label->setTextFormat(Qt::RichText);
  return label;
}

}  // namespace

McpSettingsTab::McpSettingsTab(DesktopContext& context, QWidget* parent)
    : SettingsPage(context, parent) {
  auto* content = new QWidget;
  auto* layout = new QVBoxLayout(content);

  layout->addWidget(makeHeading(tr("MCP Server")));
  auto* about = new QLabel(
      tr("Allow AI applications to read your Quillmere data via the Model Context Protocol."),
      content);
  about->setWordWrap(true);
  layout->addWidget(about);
  enabled_ = new QCheckBox(tr("Enable MCP Server"), content);
  enabled_->setObjectName(QStringLiteral("mcpServerEnabled"));
  layout->addWidget(enabled_);
  running_ = new QLabel(content);
  running_->setAccessibleName(tr("MCP server state"));
  layout->addWidget(running_);
  error_ = makeErrorLabel();
  layout->addWidget(error_);

  const std::size_t reads = mcp::MCPToolHandlers::kReadToolCount;
  const std::size_t all = mcp::MCPToolHandlers::tools().size();
  layout->addSpacing(8);
  auto* readTools = new QVBoxLayout;
  readTools->addWidget(makeHeading(tr("Available Tools — Read-Only (%1)").arg(reads)));
  readTools->addWidget(toolList(0, reads, content));
  readTools->addStretch(1);
  auto* writeTools = new QVBoxLayout;
  writeTools->addWidget(makeHeading(tr("Available Tools — Write (%1)").arg(all - reads)));
  writeTools->addWidget(toolList(reads, all, content));
  writeTools->addStretch(1);
  auto* tools = new QHBoxLayout;
  tools->addLayout(readTools);
  tools->addSpacing(16);
  tools->addLayout(writeTools);
  tools->addStretch(1);
  layout->addLayout(tools);

  layout->addSpacing(8);
  layout->addWidget(makeHeading(tr("Connected Tools")));
  clients_ = new QTreeWidget(content);
  clients_->setObjectName(QStringLiteral("mcpClients"));
  clients_->setAccessibleName(tr("Connected Tools"));
  clients_->setHeaderLabels({tr("Client"), tr("Access"), QString()});
  clients_->setRootIsDecorated(false);
  // A few rows each, so the setup of the clients below stays in reach.
  clients_->setFixedHeight(clients_->fontMetrics().height() * 7);
  clients_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  clients_->header()->setStretchLastSection(false);
  clients_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  clients_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  layout->addWidget(clients_);
  revoke_ = new QPushButton(tr("Revoke"), content);
  revoke_->setAccessibleName(tr("Revoke the chosen client"));
  restore_ = new QPushButton(tr("Restore"), content);
  restore_->setAccessibleName(tr("Restore the chosen client"));
  auto* clientButtons = new QHBoxLayout;
  clientButtons->addWidget(revoke_);
  clientButtons->addWidget(restore_);
  clientButtons->addStretch(1);
  layout->addLayout(clientButtons);

  layout->addSpacing(8);
  layout->addWidget(makeHeading(tr("Activity Log")));
  log_ = new QTreeWidget(content);
  log_->setObjectName(QStringLiteral("mcpActivityLog"));
  log_->setAccessibleName(tr("Activity Log"));
  log_->setHeaderLabels({tr("Time"), tr("Tool"), tr("Results"), tr("Client")});
  log_->setRootIsDecorated(false);
  log_->setFixedHeight(log_->fontMetrics().height() * 11);
  layout->addWidget(log_);

  layout->addWidget(makeSetupSection());
  layout->addStretch(1);

  auto* scroll = new QScrollArea(this);
  scroll->setWidget(content);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll);

  connect(enabled_, &QCheckBox::clicked, this, &McpSettingsTab::toggled);
  connect(clients_, &QTreeWidget::currentItemChanged, this, &McpSettingsTab::updateClientButtons);
  connect(revoke_, &QPushButton::clicked, this, [this] { changeClient("mcp.revoke"); });
  connect(restore_, &QPushButton::clicked, this, [this] { changeClient("mcp.restore"); });
  updateClientButtons();
}

QStringList McpSettingsTab::tables() const {
  return {QStringLiteral("MCPClientAuthorization"), QStringLiteral("MCPAccessLog")};
}

QWidget* McpSettingsTab::makeSetupSection() {
  auto* box = new QGroupBox(tr("Connect an AI assistant"));
  box->setObjectName(QStringLiteral("mcp-setup"));
  auto* layout = new QVBoxLayout(box);
  auto* about =
      new QLabel(tr("Install adds Quillmere to the assistant's own configuration file "
                    "(the old file is kept beside it); restart the assistant afterwards."),
                 box);
  about->setWordWrap(true);
  layout->addWidget(about);
  setupClients_ = new QTreeWidget(box);
  setupClients_->setObjectName(QStringLiteral("mcpSetupClients"));
  setupClients_->setAccessibleName(tr("AI assistants"));
  setupClients_->setHeaderLabels({tr("Assistant"), tr("State"), tr("File")});
  setupClients_->setRootIsDecorated(false);
  setupClients_->setFixedHeight(setupClients_->fontMetrics().height() * 15);
  setupClients_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  setupClients_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  for (const auto& client : mcp::mcpClients(homeFolder())) {
    auto* item =
        new QTreeWidgetItem(setupClients_, {qs(client.name), QString(), qs(client.displayPath)});
    item->setData(0, Qt::UserRole, qs(client.id));
  }
  layout->addWidget(setupClients_);

  layout->addWidget(new QLabel(tr("Add to your config file:"), box));
  snippet_ = new QPlainTextEdit(box);
  snippet_->setObjectName(QStringLiteral("mcpSnippet"));
  snippet_->setReadOnly(true);
  snippet_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  snippet_->setAccessibleName(tr("Configuration for the chosen assistant"));
  snippet_->setFixedHeight(snippet_->fontMetrics().lineSpacing() * 9 + 16);
  snippet_->setLineWrapMode(QPlainTextEdit::NoWrap);
  snippet_->setTabChangesFocus(true);
  layout->addWidget(snippet_);
  setupNote_ = new QLabel(box);
  setupNote_->setWordWrap(true);
  layout->addWidget(setupNote_);
  auto* copy = new QPushButton(tr("Copy"), box);
  copy->setAccessibleName(tr("Copy the configuration for the chosen assistant"));
  install_ = new QPushButton(tr("Install"), box);
  install_->setAccessibleName(tr("Add Quillmere to the chosen assistant's configuration file"));
  uninstall_ = new QPushButton(tr("Remove"), box);
  uninstall_->setAccessibleName(
      tr("Take Quillmere out of the chosen assistant's configuration file"));
  setupOutcome_ = new QLabel(box);
  setupOutcome_->setObjectName(QStringLiteral("mcpSetupOutcome"));
  setupOutcome_->setWordWrap(true);
  setupOutcome_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  setupOutcome_->hide();
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(copy);
  buttons->addWidget(install_);
  buttons->addWidget(uninstall_);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  layout->addWidget(setupOutcome_);

  connect(setupClients_, &QTreeWidget::currentItemChanged, this, [this] {
    setupOutcome_->hide();
    showChosenSetup();
  });
  connect(copy, &QPushButton::clicked, this, [this] {
    QGuiApplication::clipboard()->setText(snippet_->toPlainText());
    setupOutcome_->setStyleSheet({});
    showText(setupOutcome_, tr("Copied."));
  });
  connect(install_, &QPushButton::clicked, this, &McpSettingsTab::installChosen);
  connect(uninstall_, &QPushButton::clicked, this, &McpSettingsTab::uninstallChosen);
  setupClients_->setCurrentItem(setupClients_->topLevelItem(0));
  return box;
}

std::optional<mcp::MCPClientSetup> McpSettingsTab::chosenClient() const {
  const QTreeWidgetItem* item = setupClients_->currentItem();
  if (!item) return std::nullopt;
  for (auto& c : mcp::mcpClients(homeFolder()))
    if (qs(c.id) == item->data(0, Qt::UserRole).toString()) return c;
  return std::nullopt;
}

void McpSettingsTab::showChosenSetup() {
  const auto client = chosenClient();
  if (!client) return;
  snippet_->setPlainText(qs(mcp::mcpClientSnippet(*client, connection())));
  setupNote_->setText(coreText(client->note));
  refreshSetupStates();
}

mcp::MCPConnection McpSettingsTab::connection() const {
  return {port_, bridgeScript(), false};
}

void McpSettingsTab::refreshSetupStates() {
  using Kind = mcp::MCPClientState::Kind;
  const auto clients = mcp::mcpClients(homeFolder());
  for (int i = 0; i < setupClients_->topLevelItemCount() && i < static_cast<int>(clients.size());
       ++i) {
    const auto state = mcp::inspectMCPClient(clients[static_cast<std::size_t>(i)], port_);
    QString text;
    switch (state.kind) {
      case Kind::noFile:
      case Kind::notInstalled:
        text = tr("Not installed");
        break;
      case Kind::installed:
        text = tr("Installed");
        break;
      case Kind::pointsElsewhere:
        text =
            state.port ? tr("Points elsewhere (port %1)").arg(*state.port) : tr("Points elsewhere");
        break;
      case Kind::unreadable:
        text = tr("Unreadable file");
        break;
    }
    QTreeWidgetItem* item = setupClients_->topLevelItem(i);
    item->setText(1, text);
    item->setToolTip(1, qs(state.detail));
  }
  const auto chosen = chosenClient();
  const auto state = chosen ? mcp::inspectMCPClient(*chosen, port_) : mcp::MCPClientState{};
  install_->setEnabled(chosen.has_value() && state.kind != Kind::installed);
  uninstall_->setEnabled(chosen.has_value() &&
                         (state.kind == Kind::installed || state.kind == Kind::pointsElsewhere));
}

void McpSettingsTab::installChosen() {
  const auto client = chosenClient();
  if (!client) return;
  auto done = mcp::installMCPClient(*client, connection());
  const QString shown = qs(client->configFile.string());
  if (!done) {
    setupOutcome_->setStyleSheet(QStringLiteral("color: #c62828;"));
    showText(setupOutcome_, qs(done.error().message));
  } else {
    setupOutcome_->setStyleSheet({});
    switch (*done) {
      case mcp::InstallOutcome::created:
        showText(setupOutcome_, tr("Created %1.").arg(shown));
        break;
      case mcp::InstallOutcome::updated:
        showText(setupOutcome_, tr("Updated %1 (the old file is kept beside it).").arg(shown));
        break;
      case mcp::InstallOutcome::unchanged:
        showText(setupOutcome_, tr("%1 is already set up.").arg(shown));
        break;
    }
  }
  refreshSetupStates();
}

void McpSettingsTab::uninstallChosen() {
  const auto client = chosenClient();
  if (!client) return;
  auto done = mcp::uninstallMCPClient(*client);
  if (!done) {
    setupOutcome_->setStyleSheet(QStringLiteral("color: #c62828;"));
    showText(setupOutcome_, qs(done.error().message));
  } else {
    setupOutcome_->setStyleSheet({});
    showText(setupOutcome_,
             *done ? tr("Removed Quillmere from %1 (the old file is kept beside it).")
                         .arg(qs(client->configFile.string()))
                   : tr("%1 has no Quillmere entry.").arg(qs(client->configFile.string())));
  }
  refreshSetupStates();
}

void McpSettingsTab::reload() {
  refreshSetupStates();
  const StoredSettings stored = readSettings();
  enabled_->setChecked(stored.settings->mcpServerEnabled());
  QPointer<McpSettingsTab> self(this);
  context_.link.request({{"command", "status"}}, [self](const QJsonObject& status, const QString&) {
    if (!self) return;
    // The entries name the port the companion serves on, which may differ
    // from this window's environment.
    const int port = status.value("mcpPort").toInt();
    if (port > 0 && port < 65536 && port != self->port_) {
      self->port_ = static_cast<std::uint16_t>(port);
      self->showChosenSetup();
    }
    const bool running = status.value("mcpServerRunning").toBool();
    showText(self->running_, running
                                 ? tr("Active on localhost:%1").arg(status.value("mcpPort").toInt())
                                 : QString());
  });

  const QString chosen = clients_->currentItem() ? clients_->currentItem()->text(0) : QString();
  clients_->clear();
  std::map<Uuid, QString> names;
  const Date at = now();
  // "3 minutes", "1 hour", "2 days": how long ago `then` was.
  const auto relativeTime = [](Date then, Date when) {
    const long long seconds = std::max<long long>(
        std::chrono::duration_cast<std::chrono::seconds>(when - then).count(), 0);
    if (seconds < 60) return tr("%Ln seconds", nullptr, static_cast<int>(seconds));
    if (seconds < 3600) return tr("%Ln minutes", nullptr, static_cast<int>(seconds / 60));
    if (seconds < 86400) return tr("%Ln hours", nullptr, static_cast<int>(seconds / 3600));
    return tr("%Ln days", nullptr, static_cast<int>(seconds / 86400));
  };
  if (auto records = context_.store.fetch<MCPClientAuthorization>()) {
    for (const auto& c : *records) {
      names.emplace(c.id, qs(c.clientName));
      const QString access = !c.isActive()                  ? tr("Revoked")
                             : c.permissions == "readWrite" ? tr("Active, reads and writes")
                                                            : tr("Active, reads only");
      auto* item = new QTreeWidgetItem(
          clients_, {qs(c.clientName), access,
                     tr("Last access: %1 ago").arg(relativeTime(c.lastAccessedAt, at))});
      item->setData(0, Qt::UserRole, c.isActive());
      if (item->text(0) == chosen) clients_->setCurrentItem(item);
    }
  } else {
    showText(error_, qs(records.error().message));
  }
  if (!clients_->currentItem() && clients_->topLevelItemCount() > 0)
    clients_->setCurrentItem(clients_->topLevelItem(0));
  updateClientButtons();

  log_->clear();
  if (auto rows = context_.store.fetch<MCPAccessLog>()) {
    std::sort(rows->begin(), rows->end(), [](const MCPAccessLog& a, const MCPAccessLog& b) {
      return a.timestamp > b.timestamp;
    });
    for (std::size_t i = 0; i < rows->size() && i < kLogRows; ++i) {
      const MCPAccessLog& r = (*rows)[i];
      const auto name = names.find(r.clientID);
      new QTreeWidgetItem(
          log_,
          {mediumDateTime(r.timestamp), qs(r.method),
           r.resultCount ? tr("%Ln results", nullptr, static_cast<int>(*r.resultCount)) : QString(),
           name == names.end() ? QString() : name->second});
    }
  }
  for (int c = 0; c < log_->columnCount(); ++c) log_->resizeColumnToContents(c);
}

void McpSettingsTab::toggled(bool on) {
  if (on) {
    if (!confirm(this,
                 {tr("Enable MCP Server?"), tr("Enable MCP Server?"),
                  tr("This allows AI applications on this computer to read your Quillmere data "
                     "(contacts, notes, drafts). No data leaves your local network."),
                  tr("Enable"), QMessageBox::AcceptRole, QMessageBox::Question})) {
      enabled_->setChecked(false);
      return;
    }
  }
  showText(error_, {});
  setSetting(QStringLiteral("mcpServerEnabled"),
             on ? QStringLiteral("true") : QStringLiteral("false"), [this](const QString& error) {
               showText(error_, error);
               // The server starts or stops with the setting; its state follows.
               QTimer::singleShot(300, this, &McpSettingsTab::reload);
             });
}

void McpSettingsTab::changeClient(const char* command) {
  QTreeWidgetItem* item = clients_->currentItem();
  if (!item) return;
  showText(error_, {});
  QPointer<McpSettingsTab> self(this);
  context_.link.request({{"command", QLatin1String(command)}, {"client", item->text(0)}},
                        [self](const QJsonObject&, const QString& error) {
                          if (!self) return;
                          showText(self->error_, error);
                          self->reload();
                        });
}

void McpSettingsTab::updateClientButtons() {
  const QTreeWidgetItem* item = clients_->currentItem();
  const bool active = item && item->data(0, Qt::UserRole).toBool();
  revoke_->setEnabled(item && active);
  restore_->setEnabled(item && !active);
}

}  // namespace qm::desktop
