#include "desktop/capture_preview.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "common/enum_info.h"
#include "desktop/language.h"
#include "desktop/qt_text.h"

namespace qm::desktop {

CapturePreview::CapturePreview(const CaptureMedia& capture, const QString& imageFile,
                               QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(
      tr("%1 · %2").arg(coreText(displayLabel(capture.captureType)),
                        QLocale().toString(toQDateTime(capture.capturedAt), QLocale::ShortFormat)));
  auto* layout = new QVBoxLayout(this);

  QImageReader reader(imageFile);
  reader.setAutoTransform(true);
  image_ = reader.read();

  imageLabel_ = new QLabel(this);
  imageLabel_->setAlignment(Qt::AlignCenter);
  imageLabel_->setMinimumSize(160, 120);
  imageLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  if (image_.isNull()) {
    imageLabel_->setText(tr("missing"));
    imageLabel_->setToolTip(imageFile);
    imageLabel_->setEnabled(false);
  } else {
    imageLabel_->setAccessibleName(tr("Capture image"));
  }
  layout->addWidget(imageLabel_, 3);

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

void CapturePreview::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  fitImage();
}

void CapturePreview::fitImage() {
  if (image_.isNull()) return;
  const QSize room = imageLabel_->contentsRect().size();
  if (room.isEmpty()) return;
  const qreal ratio = devicePixelRatioF();
  QImage scaled = image_.scaled(room * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  scaled.setDevicePixelRatio(ratio);
  imageLabel_->setPixmap(QPixmap::fromImage(scaled));
}

}  // namespace qm::desktop
