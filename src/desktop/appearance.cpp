#include "desktop/appearance.h"

namespace qm::desktop {

void applyAppearance(QApplication&, std::string_view, std::string_view) {}

}  // namespace qm::desktop
