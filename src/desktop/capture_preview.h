#pragma once

#include <QDialog>
#include <QImage>

#include "store/capture_media.h"

class QLabel;

namespace qm::desktop {

/// One capture image at full size, scaled to fit the dialog as it is
/// resized, with its caption and the text recognised on it.
class CapturePreview : public QDialog {
  Q_OBJECT
 public:
  /// `imageFile` may be missing; the dialog then says so instead of the image.
  CapturePreview(const CaptureMedia& capture, const QString& imageFile, QWidget* parent = nullptr);

  bool hasImage() const { return !image_.isNull(); }
  QLabel* imageLabel() const { return imageLabel_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void fitImage();

  QImage image_;
  QLabel* imageLabel_ = nullptr;
};

}  // namespace qm::desktop
