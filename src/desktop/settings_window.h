#pragma once

#include <QDialog>
#include <QString>
#include <optional>

#include "desktop/desktop_context.h"

class QTabWidget;

namespace qm::desktop {

class SettingsPage;

/// The settings: General, Appearance, AI, Templates, Mail, Export, Pipeline,
/// MCP, Pairing and Privacy, one tab each. Every tab reads what it shows from the settings file
/// and the store, and changes it through the companion; the tabs read again
/// when the companion reports a change, and when the window is shown.
class SettingsWindow : public QDialog {
  Q_OBJECT
 public:
  enum class Tab {
    general,
    appearance,
    ai,
    templates,
    mail,
    exportDefaults,
    pipeline,
    mcp,
    pairing,
    privacy
  };

  SettingsWindow(DesktopContext& context, QWidget* parent);

  /// The tab a command-line name stands for: "general", "appearance", "ai",
  /// "templates", "mail", "export", "pipeline", "mcp", "pairing" or "privacy".
  static std::optional<Tab> tabNamed(const QString& name);

  void showTab(Tab tab);
  Tab currentTab() const;
  QTabWidget* tabs() const { return tabs_; }
  SettingsPage* page(Tab tab) const;

  /// Reads every tab again.
  void reload();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QTabWidget* tabs_ = nullptr;
};

}  // namespace qm::desktop
