#pragma once

#include <QWidget>

#include "desktop/detail/contact_record.h"

namespace qm::desktop {

/// The follow-up drafts to the contact: each subject a link to the draft in
/// the drafts list, with its status and date. Hidden while there is none.
class DetailDrafts : public QWidget {
  Q_OBJECT
 public:
  explicit DetailDrafts(QWidget* parent = nullptr);

  void showRecord(const ContactRecord& record);

 signals:
  void draftChosen(const qm::Uuid& draftID);

 private:
  QWidget* body_ = nullptr;
};

}  // namespace qm::desktop
