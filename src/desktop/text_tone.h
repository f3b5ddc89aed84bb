#pragma once

class QLabel;

namespace qm::desktop {

/// How a label's text stands apart from the text around it.
enum class TextTone {
  normal,     ///< the palette's text colour
  secondary,  ///< quieter: what describes a value (a field's name, a note's date)
  error,      ///< red: what went wrong
  warning,    ///< amber: what was only partly done
};

/// Draws `label` in `tone`, read from the palette it is shown with and never
/// below `kReadableContrast` on that palette's window colour, in light and
/// dark palettes alike; it follows when the palette changes.
void setTextTone(QLabel* label, TextTone tone);

}  // namespace qm::desktop
