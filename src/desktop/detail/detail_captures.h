#pragma once

#include <QWidget>

#include "common/app_paths.h"
#include "desktop/detail/contact_record.h"

namespace qm::desktop {

/// The contact's capture images (business card, badge, …) as thumbnails
/// with their captions, three to a row; choosing one opens it at full size.
/// An image that never arrived says "missing". Hidden while there is none.
class DetailCaptures : public QWidget {
  Q_OBJECT
 public:
  DetailCaptures(const AppPaths& paths, QWidget* parent = nullptr);

  void showRecord(const ContactRecord& record);

 private:
  void openPreview(const Contact& contact, const CaptureMedia& capture);

  AppPaths paths_;
  QWidget* body_ = nullptr;
};

}  // namespace qm::desktop
