#pragma once

#include <QColor>
#include <QWidget>

#include "desktop/detail/contact_record.h"

class QAction;
class QLabel;

namespace qm::desktop {

class FlowLayout;

/// The top of the detail pane: the contact's name, title and company, its
/// meeting badge, target and favourite marks, and the buttons of the pane's
/// contact actions, which wrap onto more rows when the pane is narrow.
class DetailHeader : public QWidget {
  Q_OBJECT
 public:
  /// The buttons do what `actions` do (Edit…, Mark as Target, …), in order.
  DetailHeader(const QList<QAction*>& actions, QWidget* parent = nullptr);

  void showRecord(const ContactRecord& record);
  QString shownName() const;

 private:
  QLabel* name_ = nullptr;
  QLabel* role_ = nullptr;
  QLabel* badge_ = nullptr;
  QLabel* target_ = nullptr;
  QLabel* favorite_ = nullptr;
};

/// The colour of a meeting badge, under its white text.
QColor meetingBadgeColor(MeetingIndicator indicator);

}  // namespace qm::desktop
