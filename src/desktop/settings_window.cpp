#include "desktop/settings_window.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "desktop/companion_link.h"
#include "desktop/settings_page.h"
#include "desktop/settings_templates_tab.h"

namespace qm::desktop {

namespace {

/// The command-line names of the tabs, in tab order.
constexpr std::array<const char*, 10> kTabNames{"general", "appearance", "ai",       "templates",
                                                "mail",    "export",     "pipeline", "mcp",
                                                "pairing", "privacy"};

}  // namespace

SettingsWindow::SettingsWindow(DesktopContext& context, QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Settings"));
  setObjectName(QStringLiteral("settings-window"));
  setModal(false);

  tabs_ = new QTabWidget(this);
  tabs_->setAccessibleName(tr("Settings sections"));
  tabs_->setUsesScrollButtons(true);
  tabs_->setDocumentMode(true);
  const std::array<std::pair<SettingsPage*, QString>, 10> pages{{
      {new GeneralSettingsTab(context, tabs_), tr("General")},
      {new AppearanceSettingsTab(context, tabs_), tr("Appearance")},
      {new AiSettingsTab(context, tabs_), tr("AI")},
      {new TemplatesSettingsTab(context, tabs_), tr("Templates")},
      {new MailSettingsTab(context, tabs_), tr("Mail")},
      {new ExportSettingsTab(context, tabs_), tr("Export")},
      {new PipelineSettingsTab(context, tabs_), tr("Pipeline")},
      {new McpSettingsTab(context, tabs_), tr("MCP")},
      {new PairingSettingsTab(context, tabs_), tr("Pairing")},
      {new PrivacySettingsTab(context, tabs_), tr("Privacy")},
  }};
  for (std::size_t i = 0; i < pages.size(); ++i) {
    pages[i].first->setObjectName(QStringLiteral("settings-%1").arg(kTabNames[i]));
    pages[i].first->setAccessibleName(pages[i].second);
    tabs_->addTab(pages[i].first, pages[i].second);
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  buttons->button(QDialogButtonBox::Close)->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_, 1);
  layout->addWidget(buttons);
  // Tall enough for the MCP tab's lists, within the screen.
  const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  const int available = screen ? screen->availableGeometry().height() : 800;
  resize(900, std::clamp(available - 60, 560, 820));

  // Ctrl+PgDown / Ctrl+PgUp move between the tabs from wherever the focus is.
  for (const auto& [key, step] : {std::pair{Qt::Key_PageDown, 1}, std::pair{Qt::Key_PageUp, -1}}) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | key), this);
    connect(shortcut, &QShortcut::activated, this, [this, step = step] {
      tabs_->setCurrentIndex((tabs_->currentIndex() + step + tabs_->count()) % tabs_->count());
    });
  }

  // The pages read again when what they show changes.
  connect(&context.link, &CompanionLink::recordsChanged, this, [this](const QStringList& tables) {
    if (!isVisible()) return;
    for (int i = 0; i < tabs_->count(); ++i) {
      auto* page = static_cast<SettingsPage*>(tabs_->widget(i));
      const QStringList shown = page->tables();
      if (shown.isEmpty()) continue;
      if (tables.isEmpty() || std::any_of(tables.begin(), tables.end(),
                                          [&](const QString& t) { return shown.contains(t); }))
        page->reload();
    }
  });
  connect(&context.link, &CompanionLink::feedConnectedChanged, this, [this](bool connected) {
    if (connected && isVisible()) reload();
  });
}

std::optional<SettingsWindow::Tab> SettingsWindow::tabNamed(const QString& name) {
  for (std::size_t i = 0; i < kTabNames.size(); ++i)
    if (name.compare(QLatin1String(kTabNames[i]), Qt::CaseInsensitive) == 0)
      return static_cast<Tab>(i);
  return std::nullopt;
}

void SettingsWindow::showTab(Tab tab) {
  tabs_->setCurrentIndex(static_cast<int>(tab));
}

SettingsWindow::Tab SettingsWindow::currentTab() const {
  return static_cast<Tab>(tabs_->currentIndex());
}

SettingsPage* SettingsWindow::page(Tab tab) const {
  return static_cast<SettingsPage*>(tabs_->widget(static_cast<int>(tab)));
}

void SettingsWindow::reload() {
  for (int i = 0; i < tabs_->count(); ++i) static_cast<SettingsPage*>(tabs_->widget(i))->reload();
}

void SettingsWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) reload();
}

}  // namespace qm::desktop
