#pragma once

#include <string_view>

class QApplication;

namespace qm::desktop {

/// Applies the `appearance` setting ("system", "light", "dark") and the
/// `density` setting ("comfortable", "compact") to the whole application.
void applyAppearance(QApplication& app, std::string_view appearance, std::string_view density);

}  // namespace qm::desktop
