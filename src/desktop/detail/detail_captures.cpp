#include "desktop/detail/detail_captures.h"

#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "desktop/capture_preview.h"
#include "desktop/detail/pane_text.h"
#include "desktop/language.h"
#include "desktop/qt_text.h"

namespace qm::desktop {

namespace {

constexpr int kThumbnail = 96;
constexpr int kThumbnailColumns = 3;

QImage thumbnail(const QString& file, qreal ratio) {
  QImageReader reader(file);
  reader.setAutoTransform(true);
  const QSize full = reader.size();
  if (full.isValid()) {
    reader.setScaledSize(
        full.scaled(QSize(kThumbnail, kThumbnail) * ratio, Qt::KeepAspectRatio).expandedTo({1, 1}));
  }
  QImage image = reader.read();
  if (!image.isNull() && !full.isValid())
    image = image.scaled(QSize(kThumbnail, kThumbnail) * ratio, Qt::KeepAspectRatio,
                         Qt::SmoothTransformation);
  image.setDevicePixelRatio(ratio);
  return image;
}

}  // namespace

DetailCaptures::DetailCaptures(const AppPaths& paths, QWidget* parent)
    : QWidget(parent), paths_(paths) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addWidget(sectionTitle(tr("Captures"), this));
}

void DetailCaptures::showRecord(const ContactRecord& record) {
  delete body_;
  body_ = nullptr;
  setVisible(!record.captures.empty());
  if (record.captures.empty()) return;
  body_ = new QWidget(this);
  auto* grid = new QGridLayout(body_);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(8);
  const qreal ratio = devicePixelRatioF();
  for (std::size_t i = 0; i < record.captures.size(); ++i) {
    const CaptureMedia& capture = record.captures[i];
    const QString caption = capture.caption && !capture.caption->empty()
                                ? qs(capture.caption)
                                : coreText(displayLabel(capture.captureType));
    auto* tile = new QWidget(body_);
    auto* tileLayout = new QVBoxLayout(tile);
    tileLayout->setContentsMargins(0, 0, 0, 0);
    tileLayout->setSpacing(2);
    auto* button = new QToolButton(tile);
    button->setFixedSize(kThumbnail + 8, kThumbnail + 8);
    button->setAutoRaise(true);
    button->setToolTip(caption);
    const QImage image = record.captureFilesPresent[i]
                             ? thumbnail(captureImageFile(paths_, record.contact, capture), ratio)
                             : QImage();
    if (image.isNull()) {
      button->setText(tr("missing"));
      button->setAccessibleName(tr("Capture image missing: %1").arg(caption));
    } else {
      button->setIcon(QIcon(QPixmap::fromImage(image)));
      button->setIconSize(QSize(kThumbnail, kThumbnail));
      button->setAccessibleName(tr("Capture image: %1").arg(caption));
    }
    connect(button, &QToolButton::clicked, this,
            [this, contact = record.contact, capture] { openPreview(contact, capture); });
    tileLayout->addWidget(button, 0, Qt::AlignHCenter);
    auto* label = new QLabel(tile);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setFixedWidth(kThumbnail + 8);
    label->setText(label->fontMetrics().elidedText(caption, Qt::ElideRight, kThumbnail + 8));
    tileLayout->addWidget(label);
    const int at = static_cast<int>(i);
    grid->addWidget(tile, at / kThumbnailColumns, at % kThumbnailColumns,
                    Qt::AlignLeft | Qt::AlignTop);
  }
  grid->setColumnStretch(kThumbnailColumns, 1);
  layout()->addWidget(body_);
  body_->show();
}

void DetailCaptures::openPreview(const Contact& contact, const CaptureMedia& capture) {
  auto* preview = new CapturePreview(capture, captureImageFile(paths_, contact, capture), this);
  preview->setAttribute(Qt::WA_DeleteOnClose);
  preview->open();
}

}  // namespace qm::desktop
