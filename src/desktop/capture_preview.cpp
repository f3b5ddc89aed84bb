#include "desktop/capture_preview.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

#include "common/enum_info.h"
#include "desktop/language.h"
#include "desktop/locale_text.h"
#include "desktop/qt_text.h"

namespace qm::desktop {

CapturePreview::CapturePreview(const CaptureMedia& capture, const QString& imageFile,
                               QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(tr("%1 · %2").arg(coreText(displayLabel(capture.captureType)),
                                   mediumDateTime(capture.capturedAt)));
  auto* layout = new QVBoxLayout(this);

  QImageReader reader(imageFile);
  reader.setAutoTransform(true);
  image_ = reader.read();

  scroll_ = new QScrollArea(this);
  scroll_->setAlignment(Qt::AlignCenter);
  scroll_->setAccessibleName(tr("Capture image"));
  imageLabel_ = new QLabel(scroll_);
  imageLabel_->setAlignment(Qt::AlignCenter);
  imageLabel_->setMinimumSize(160, 120);
  imageLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  if (image_.isNull()) {
    imageLabel_->setText(imageFile.isEmpty() ? tr("This capture has no image file.")
                                             : tr("The image file is missing:\n%1").arg(imageFile));
    imageLabel_->setWordWrap(true);
    imageLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    imageLabel_->setAccessibleName(tr("Capture image missing"));
  } else {
    imageLabel_->setAccessibleName(tr("Capture image"));
  }
  scroll_->setWidget(imageLabel_);
  scroll_->setWidgetResizable(true);
  // The viewport gets its size after the dialog's layout has run.
  scroll_->viewport()->installEventFilter(this);
  layout->addWidget(scroll_, 3);

  if (capture.caption && !capture.caption->empty()) {
    auto* caption = new QLabel(qs(capture.caption), this);
    caption->setWordWrap(true);
    caption->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    caption->setAccessibleName(tr("Caption"));
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    layout->addWidget(caption);
  }
  if (capture.ocrExtractedText && !capture.ocrExtractedText->empty()) {
    auto* heading = new QLabel(tr("Recognised text"), this);
    layout->addWidget(heading);
    auto* text = new QPlainTextEdit(qs(capture.ocrExtractedText), this);
    text->setReadOnly(true);
    text->setAccessibleName(tr("Recognised text"));
    text->setMaximumHeight(160);
    layout->addWidget(text, 1);
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  fitButton_ = buttons->addButton(tr("Fit"), QDialogButtonBox::ActionRole);
  fitButton_->setToolTip(tr("Scale the image to the window (Ctrl+9)"));
  actualButton_ = buttons->addButton(tr("Actual Size"), QDialogButtonBox::ActionRole);
  actualButton_->setToolTip(tr("Show the image at its actual size (Ctrl+0)"));
  for (QPushButton* b : {fitButton_, actualButton_}) {
    b->setCheckable(true);
    b->setAutoDefault(false);
    b->setAccessibleName(b->text());
    b->setEnabled(!image_.isNull());
  }
  fitButton_->setChecked(true);
  connect(fitButton_, &QPushButton::clicked, this, [this] { setFitToWindow(true); });
  connect(actualButton_, &QPushButton::clicked, this, [this] { setFitToWindow(false); });
  auto* fitKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_9), this);
  connect(fitKey, &QShortcut::activated, this, [this] { setFitToWindow(true); });
  auto* actualKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_0), this);
  connect(actualKey, &QShortcut::activated, this, [this] { setFitToWindow(false); });
  layout->addWidget(buttons);

  // As large as the image, up to most of the screen.
  QSize size(640, 560);
  if (!image_.isNull()) size = image_.size() + QSize(40, 160);
  if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    const QSize room = screen->availableSize() * 0.8;
    size = size.boundedTo(room);
  }
  resize(size.expandedTo(QSize(360, 300)));
}

bool CapturePreview::eventFilter(QObject* watched, QEvent* event) {
  if (watched == scroll_->viewport() && event->type() == QEvent::Resize) fitImage();
  return QDialog::eventFilter(watched, event);
}

void CapturePreview::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  fitImage();
}

void CapturePreview::setFitToWindow(bool fit) {
  fitButton_->setChecked(fit);
  actualButton_->setChecked(!fit);
  if (image_.isNull() || fit == fit_) return;
  fit_ = fit;
  if (fit) {
    scroll_->setWidgetResizable(true);
    fitImage();
  } else {
    scroll_->setWidgetResizable(false);
    QPixmap actual = QPixmap::fromImage(image_);
    actual.setDevicePixelRatio(devicePixelRatioF());
    imageLabel_->setPixmap(actual);
    imageLabel_->resize(actual.deviceIndependentSize().toSize());
  }
}

void CapturePreview::fitImage() {
  if (image_.isNull() || !fit_) return;
  const QSize room = scroll_->viewport()->contentsRect().size();
  if (room.isEmpty()) return;
  const qreal ratio = devicePixelRatioF();
  QImage scaled = image_.scaled(room * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  scaled.setDevicePixelRatio(ratio);
  imageLabel_->setPixmap(QPixmap::fromImage(scaled));
}

}  // namespace qm::desktop
