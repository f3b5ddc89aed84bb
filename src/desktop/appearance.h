#pragma once

#include <string_view>

class QApplication;
class QWidget;

namespace qm::desktop {

/// Applies the `appearance` setting ("system", "light", "dark") and the
/// `density` setting ("comfortable", "compact") to the whole application.
///
/// "light" and "dark" use the Fusion style with a full palette of their own;
/// "system" keeps (or goes back to) the platform's style and colours. The density is a proxy
/// over the chosen style: "compact" tightens layout margins and spacing,
/// button margins, header and list row heights; "comfortable" (also what any
/// other value means) keeps roomy rows. Call it once, before the first window
/// is created; calling it again replaces the previous choice.
void applyAppearance(QApplication& app, std::string_view appearance, std::string_view density);

/// Whether the application runs with the compact density.
bool isCompact();

/// The height of one row of a list or table shown in `widget` (its font),
/// for the current density. Views whose rows are fixed in height set it as
/// their vertical header's default section size; the style already gives it
/// to every header that does not set its own.
int listRowHeight(const QWidget* widget);

}  // namespace qm::desktop
