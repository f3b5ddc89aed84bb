#pragma once

#include <QDialog>

#include "desktop/desktop_context.h"

namespace qm::desktop {

/// Pairing: the QR code the phone scans, the pairing state and the paired
/// phone's name, with Forget and Reconnect. Follows the change feed.
class PairingWindow : public QDialog {
  Q_OBJECT
 public:
  PairingWindow(DesktopContext& context, QWidget* parent);

 private:
  DesktopContext& context_;
};

}  // namespace qm::desktop
