#include "desktop/text_tone.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPalette>

#include "desktop/contrast.h"

namespace qm::desktop {

namespace {

/// The label's tone, as a number of TextTone.
constexpr const char* kToneProperty = "quillmere.textTone";

/// Gives the label its tone's colour, worked out from the palette it inherits.
void applyTone(QLabel* label) {
  const QWidget* parent = label->parentWidget();
  const QPalette inherited = parent ? parent->palette() : QApplication::palette();
  const QColor window = inherited.color(QPalette::Window);
  const QColor text = inherited.color(QPalette::WindowText);
  QColor wanted = text;
  switch (static_cast<TextTone>(label->property(kToneProperty).toInt())) {
    case TextTone::normal:
      break;
    case TextTone::secondary:
      wanted = readableOn(inherited.color(QPalette::PlaceholderText), window, text);
      break;
    case TextTone::error:
      wanted = readableOn(QColor(0xc6, 0x28, 0x28), window, text);
      break;
    case TextTone::warning:
      wanted = readableOn(QColor(0xb4, 0x53, 0x09), window, text);
      break;
  }
  if (label->palette().color(QPalette::WindowText) == wanted) return;
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, wanted);
  label->setPalette(palette);
}

/// Works the colour out again whenever the label's palette or parent changes
/// (another appearance chosen, the label moved into another widget).
class ToneKeeper : public QObject {
 public:
  explicit ToneKeeper(QLabel* label) : QObject(label) { label->installEventFilter(this); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange)
      applyTone(static_cast<QLabel*>(watched));
    return false;
  }
};

}  // namespace

void setTextTone(QLabel* label, TextTone tone) {
  const bool kept = label->property(kToneProperty).isValid();
  label->setProperty(kToneProperty, static_cast<int>(tone));
  if (!kept) new ToneKeeper(label);
  applyTone(label);
}

}  // namespace qm::desktop
