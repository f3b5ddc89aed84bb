#include "desktop/contrast.h"

#include <algorithm>
#include <cmath>

namespace qm::desktop {

namespace {

double channel(double value) {
  return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& color) {
  return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
         0.0722 * channel(color.blueF());
}

QColor mixed(const QColor& from, const QColor& to, double amount) {
  const auto mix = [amount](double a, double b) { return a + (b - a) * amount; };
  return QColor::fromRgbF(static_cast<float>(mix(from.redF(), to.redF())),
                          static_cast<float>(mix(from.greenF(), to.greenF())),
                          static_cast<float>(mix(from.blueF(), to.blueF())));
}

/// What a translucent colour looks like drawn over an opaque one.
QColor over(const QColor& color, const QColor& background) {
  if (color.alpha() == 255) return color;
  return mixed(background.toRgb(), color.toRgb(), color.alphaF());
}

}  // namespace

double contrastRatio(const QColor& foreground, const QColor& background) {
  const double a = luminance(over(foreground, background).toRgb());
  const double b = luminance(background.toRgb());
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor readableOn(const QColor& color, const QColor& background, const QColor& text, double ratio) {
  const QColor start = over(color, background).toRgb();
  const QColor end = over(text, background).toRgb();
  constexpr int kSteps = 20;
  for (int step = 0; step <= kSteps; ++step) {
    const QColor candidate = mixed(start, end, static_cast<double>(step) / kSteps);
    if (contrastRatio(candidate, background) >= ratio) return candidate;
  }
  return end;
}

}  // namespace qm::desktop
