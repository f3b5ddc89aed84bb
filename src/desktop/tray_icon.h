#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

#include "desktop/desktop_context.h"

class QAction;
class QSystemTrayIcon;
class QWidget;

namespace qm::desktop {

/// The icon in the desktop's system tray: its colour and tooltip tell the
/// pairing and sync state; its menu opens the window, syncs now or quits.
/// Made only where a system tray is available (`isAvailable`).
class TrayIcon : public QObject {
  Q_OBJECT
 public:
  /// `window` is what Open shows.
  TrayIcon(DesktopContext& context, QWidget* window);
  ~TrayIcon() override;

  static bool isAvailable();

  /// The tooltip as shown: the pairing state, the phone, the sync state.
  QString toolTip() const;
  QAction* openAction() const { return open_; }
  QAction* syncAction() const { return sync_; }
  QAction* quitAction() const { return quit_; }

 private:
  void showWindow();
  void update();

  DesktopContext& context_;
  QWidget* window_;
  QSystemTrayIcon* icon_ = nullptr;
  QAction* open_ = nullptr;
  QAction* sync_ = nullptr;
  QAction* quit_ = nullptr;
  QJsonObject pairing_;
  QJsonObject syncState_;
  QString error_;
};

}  // namespace qm::desktop
