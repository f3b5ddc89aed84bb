#pragma once

#include <QColor>

namespace qm::desktop {

/// The contrast text needs on its background to be read by most people
/// (WCAG 2 level AA for text of normal size).
inline constexpr double kReadableContrast = 4.5;

/// The contrast ratio of two colours as WCAG 2 defines it, from 1 (the same
/// luminance) to 21 (black on white). A translucent `foreground` counts as
/// drawn over `background`.
double contrastRatio(const QColor& foreground, const QColor& background);

/// `color`, moved towards `text` (the palette's own text colour) only as far
/// as it takes to read at `ratio` on `background`; `text` itself when even
/// that is not enough.
QColor readableOn(const QColor& color, const QColor& background, const QColor& text,
                  double ratio = kReadableContrast);

}  // namespace qm::desktop
