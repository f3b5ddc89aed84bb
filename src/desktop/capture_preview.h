#pragma once

#include <QDialog>
#include <QImage>

#include "store/capture_media.h"

class QLabel;
class QPushButton;
class QScrollArea;

namespace qm::desktop {

/// One capture image at full size, with its caption and the text recognised
/// on it: scaled to fit the dialog as it is resized, or at its actual size in
/// a scrolling area (Ctrl+0 / Ctrl+9 toggle; "Actual Size" and "Fit").
class CapturePreview : public QDialog {
  Q_OBJECT
 public:
  /// `imageFile` may be missing; the dialog then says so instead of the image.
  CapturePreview(const CaptureMedia& capture, const QString& imageFile, QWidget* parent = nullptr);

  bool hasImage() const { return !image_.isNull(); }
  QLabel* imageLabel() const { return imageLabel_; }
  QScrollArea* scrollArea() const { return scroll_; }
  /// Scaled to fit (the default) or at the image's actual size.
  void setFitToWindow(bool fit);
  bool fitsToWindow() const { return fit_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fitImage();

  QImage image_;
  bool fit_ = true;
  QLabel* imageLabel_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QPushButton* fitButton_ = nullptr;
  QPushButton* actualButton_ = nullptr;
};

}  // namespace qm::desktop
