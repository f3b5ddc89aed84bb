#include "desktop/pairing_window.h"

namespace qm::desktop {

PairingWindow::PairingWindow(DesktopContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {}

}  // namespace qm::desktop
