#include "desktop/appearance.h"

#include <QApplication>
#include <QColor>
#include <QFontMetrics>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolTip>
#include <QWidget>
#include <algorithm>

namespace qm::desktop {

namespace {

/// The property of the application holding the density in force.
constexpr const char* kCompactProperty = "quillmere.compactDensity";

/// Extra height a list row gets above its text, in each density.
constexpr int kComfortableRowPadding = 12;
constexpr int kCompactRowPadding = 6;
/// Extra height an item of a list or tree gets over its content.
constexpr int kComfortableItemPadding = 8;
constexpr int kCompactItemPadding = 2;

int rowHeightFor(const QFontMetrics& metrics, bool compact) {
  const int text = metrics.height();
  return compact ? text + kCompactRowPadding : std::max(text + kComfortableRowPadding, 28);
}

QFontMetrics metricsOf(const QWidget* widget) {
  return widget ? widget->fontMetrics() : QFontMetrics(QApplication::font());
}

/// The density over whatever style draws the application: layout margins and
/// spacing, button margins and the heights of list rows and header sections.
class DensityStyle : public QProxyStyle {
 public:
  DensityStyle(QStyle* base, bool compact) : QProxyStyle(base), compact_(compact) {}

  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    switch (metric) {
      case PM_HeaderDefaultSectionSizeVertical:
        return rowHeightFor(option ? option->fontMetrics : metricsOf(widget), compact_);
      default:
        break;
    }
    if (!compact_) return QProxyStyle::pixelMetric(metric, option, widget);
    switch (metric) {
      case PM_LayoutLeftMargin:
      case PM_LayoutTopMargin:
      case PM_LayoutRightMargin:
      case PM_LayoutBottomMargin:
        return widget && widget->isWindow() ? 6 : 4;
      case PM_LayoutHorizontalSpacing:
      case PM_LayoutVerticalSpacing:
        return 4;
      case PM_ButtonMargin:
        return 4;
      case PM_HeaderMargin:
        return 2;
      case PM_ToolBarItemMargin:
      case PM_ToolBarFrameWidth:
        return 0;
      case PM_ToolBarItemSpacing:
        return 2;
      case PM_TabBarTabVSpace:
        return std::max(0, QProxyStyle::pixelMetric(metric, option, widget) - 4);
      default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
  }

  int layoutSpacing(QSizePolicy::ControlType control1, QSizePolicy::ControlType control2,
                    Qt::Orientation orientation, const QStyleOption* option,
                    const QWidget* widget) const override {
    const int spacing = QProxyStyle::layoutSpacing(control1, control2, orientation, option, widget);
    return compact_ ? std::min(spacing, 4) : spacing;
  }

  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    switch (type) {
      case CT_ItemViewItem:
        result.rheight() += compact_ ? kCompactItemPadding : kComfortableItemPadding;
        break;
      case CT_PushButton:
      case CT_ToolButton:
        if (compact_) result.rheight() = std::max(size.height() + 4, result.height() - 4);
        break;
      case CT_ComboBox:
      case CT_LineEdit:
        if (compact_) result.rheight() = std::max(size.height() + 4, result.height() - 2);
        break;
      default:
        break;
    }
    return result;
  }

 private:
  bool compact_;
};

struct Scheme {
  QColor window, windowText, base, alternateBase, text, placeholder;
  QColor button, buttonText, brightText;
  QColor light, midlight, mid, dark, shadow;
  QColor highlight, highlightedText, link, linkVisited;
  QColor toolTipBase, toolTipText;
  QColor disabledText, disabledBase, disabledButton, disabledHighlight, disabledHighlightedText;
};

// A neutral dark grey scheme: near-black fields on a charcoal window, light
// grey text with enough contrast for long lists, and a clear blue selection.
const Scheme kDark{
    .window = QColor(0x2b, 0x2d, 0x31),
    .windowText = QColor(0xe4, 0xe6, 0xea),
    .base = QColor(0x1f, 0x21, 0x24),
    .alternateBase = QColor(0x27, 0x29, 0x2d),
    .text = QColor(0xe4, 0xe6, 0xea),
    .placeholder = QColor(0x8b, 0x90, 0x97),
    .button = QColor(0x35, 0x38, 0x3d),
    .buttonText = QColor(0xe4, 0xe6, 0xea),
    .brightText = QColor(0xff, 0x6b, 0x6b),
    .light = QColor(0x4a, 0x4e, 0x55),
    .midlight = QColor(0x3d, 0x40, 0x46),
    .mid = QColor(0x30, 0x32, 0x37),
    .dark = QColor(0x1a, 0x1b, 0x1e),
    .shadow = QColor(0x0d, 0x0e, 0x10),
    .highlight = QColor(0x2f, 0x6f, 0xd0),
    .highlightedText = QColor(0xff, 0xff, 0xff),
    .link = QColor(0x6c, 0xb4, 0xff),
    .linkVisited = QColor(0xb3, 0x92, 0xf0),
    .toolTipBase = QColor(0x3a, 0x3d, 0x42),
    .toolTipText = QColor(0xf0, 0xf1, 0xf3),
    .disabledText = QColor(0x70, 0x74, 0x7a),
    .disabledBase = QColor(0x26, 0x28, 0x2b),
    .disabledButton = QColor(0x2f, 0x31, 0x35),
    .disabledHighlight = QColor(0x3f, 0x43, 0x49),
    .disabledHighlightedText = QColor(0x9a, 0x9e, 0xa4),
};

// A soft light scheme: white fields on a light grey window, near-black text,
// the same blue selection as the dark scheme.
const Scheme kLight{
    .window = QColor(0xf2, 0xf3, 0xf5),
    .windowText = QColor(0x1d, 0x1f, 0x23),
    .base = QColor(0xff, 0xff, 0xff),
    .alternateBase = QColor(0xf5, 0xf7, 0xfa),
    .text = QColor(0x1d, 0x1f, 0x23),
    .placeholder = QColor(0x86, 0x8b, 0x92),
    .button = QColor(0xfa, 0xfa, 0xfb),
    .buttonText = QColor(0x1d, 0x1f, 0x23),
    .brightText = QColor(0xd3, 0x2f, 0x2f),
    .light = QColor(0xff, 0xff, 0xff),
    .midlight = QColor(0xe9, 0xeb, 0xee),
    .mid = QColor(0xc5, 0xc9, 0xcf),
    .dark = QColor(0x9c, 0xa1, 0xa8),
    .shadow = QColor(0x5c, 0x60, 0x66),
    .highlight = QColor(0x2f, 0x6f, 0xd0),
    .highlightedText = QColor(0xff, 0xff, 0xff),
    .link = QColor(0x1a, 0x5f, 0xb4),
    .linkVisited = QColor(0x7b, 0x3f, 0xb4),
    .toolTipBase = QColor(0xff, 0xfd, 0xeb),
    .toolTipText = QColor(0x1d, 0x1f, 0x23),
    .disabledText = QColor(0xa3, 0xa7, 0xad),
    .disabledBase = QColor(0xf2, 0xf3, 0xf5),
    .disabledButton = QColor(0xee, 0xef, 0xf1),
    .disabledHighlight = QColor(0xd3, 0xd6, 0xdb),
    .disabledHighlightedText = QColor(0x6e, 0x72, 0x78),
};

QPalette paletteOf(const Scheme& s) {
  QPalette p;
  // Active and inactive alike: a window without focus keeps its selection
  // readable (and screenshots look the same whether focused or not).
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(group, QPalette::Window, s.window);
    p.setColor(group, QPalette::WindowText, s.windowText);
    p.setColor(group, QPalette::Base, s.base);
    p.setColor(group, QPalette::AlternateBase, s.alternateBase);
    p.setColor(group, QPalette::Text, s.text);
    p.setColor(group, QPalette::PlaceholderText, s.placeholder);
    p.setColor(group, QPalette::Button, s.button);
    p.setColor(group, QPalette::ButtonText, s.buttonText);
    p.setColor(group, QPalette::BrightText, s.brightText);
    p.setColor(group, QPalette::Light, s.light);
    p.setColor(group, QPalette::Midlight, s.midlight);
    p.setColor(group, QPalette::Mid, s.mid);
    p.setColor(group, QPalette::Dark, s.dark);
    p.setColor(group, QPalette::Shadow, s.shadow);
    p.setColor(group, QPalette::Highlight, s.highlight);
    p.setColor(group, QPalette::HighlightedText, s.highlightedText);
    p.setColor(group, QPalette::Link, s.link);
    p.setColor(group, QPalette::LinkVisited, s.linkVisited);
    p.setColor(group, QPalette::ToolTipBase, s.toolTipBase);
    p.setColor(group, QPalette::ToolTipText, s.toolTipText);
  }
  const QPalette::ColorGroup off = QPalette::Disabled;
  p.setColor(off, QPalette::Window, s.window);
  p.setColor(off, QPalette::WindowText, s.disabledText);
  p.setColor(off, QPalette::Base, s.disabledBase);
  p.setColor(off, QPalette::AlternateBase, s.disabledBase);
  p.setColor(off, QPalette::Text, s.disabledText);
  p.setColor(off, QPalette::PlaceholderText, s.disabledText);
  p.setColor(off, QPalette::Button, s.disabledButton);
  p.setColor(off, QPalette::ButtonText, s.disabledText);
  p.setColor(off, QPalette::BrightText, s.disabledText);
  p.setColor(off, QPalette::Light, s.light);
  p.setColor(off, QPalette::Midlight, s.midlight);
  p.setColor(off, QPalette::Mid, s.mid);
  p.setColor(off, QPalette::Dark, s.dark);
  p.setColor(off, QPalette::Shadow, s.shadow);
  p.setColor(off, QPalette::Highlight, s.disabledHighlight);
  p.setColor(off, QPalette::HighlightedText, s.disabledHighlightedText);
  p.setColor(off, QPalette::Link, s.disabledText);
  p.setColor(off, QPalette::LinkVisited, s.disabledText);
  p.setColor(off, QPalette::ToolTipBase, s.toolTipBase);
  p.setColor(off, QPalette::ToolTipText, s.disabledText);
  return p;
}

/// The platform's own style and colours, as the application had them before
/// the first appearance was applied: what "system" goes back to after "dark".
struct SystemLook {
  QString styleName;
  QPalette palette;
  QPalette toolTips;
};

const SystemLook& systemLook() {
  static const SystemLook look{QApplication::style() ? QApplication::style()->name() : QString(),
                               QApplication::palette(), QToolTip::palette()};
  return look;
}

/// The style the application draws with before any density is applied.
QStyle* baseStyle(bool fusion) {
  QStyle* style = QStyleFactory::create(fusion ? QStringLiteral("Fusion") : systemLook().styleName);
  return style ? style : QStyleFactory::create(QStringLiteral("Fusion"));
}

}  // namespace

void applyAppearance(QApplication& app, std::string_view appearance, std::string_view density) {
  const bool compact = density == "compact";
  const bool dark = appearance == "dark";
  const bool light = appearance == "light";
  const SystemLook& system = systemLook();  // taken before the first change
  QStyle* base = baseStyle(dark || light);
  app.setProperty(kCompactProperty, compact);
  QApplication::setStyle(new DensityStyle(base, compact));
  if (dark || light) {
    const QPalette palette = paletteOf(dark ? kDark : kLight);
    QApplication::setPalette(palette);
    QToolTip::setPalette(palette);
  } else {
    QApplication::setPalette(system.palette);
    QToolTip::setPalette(system.toolTips);
  }
}

bool isCompact() {
  return qApp && qApp->property(kCompactProperty).toBool();
}

int listRowHeight(const QWidget* widget) {
  return rowHeightFor(metricsOf(widget), isCompact());
}

}  // namespace qm::desktop
