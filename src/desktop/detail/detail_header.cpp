#include "desktop/detail/detail_header.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/contact_list_model.h"
#include "desktop/detail/pane_text.h"
#include "desktop/flow_layout.h"
#include "desktop/qt_text.h"

namespace qm::desktop {

QColor meetingBadgeColor(MeetingIndicator indicator) {
  // Each reads white text at 4.5:1 or more.
  switch (indicator) {
    case MeetingIndicator::met:
      return QColor(0x2e, 0x7d, 0x32);
    case MeetingIndicator::metByTeammate:
      return QColor(0x00, 0x79, 0x6b);
    case MeetingIndicator::notMet:
      return QColor(0x61, 0x61, 0x61);
    case MeetingIndicator::archived:
      return QColor(0x5d, 0x40, 0x37);
    case MeetingIndicator::declined:
      return QColor(0xc6, 0x28, 0x28);
    case MeetingIndicator::noShow:
      return QColor(0xbf, 0x36, 0x0c);
  }
  return QColor(0x61, 0x61, 0x61);
}

DetailHeader::DetailHeader(const QList<QAction*>& actions, QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);

  name_ = paneText({}, this);
  name_->setAccessibleName(tr("Name"));
  QFont large = name_->font();
  large.setPointSizeF(large.pointSizeF() * 1.6);
  large.setBold(true);
  name_->setFont(large);
  layout->addWidget(name_);
  role_ = paneText({}, this);
  role_->setAccessibleName(tr("Title and company"));
  layout->addWidget(role_);

  auto* marks = new FlowLayout(nullptr, 8);
  // The badge fills its own background, so its colours come from its palette.
  badge_ = new QLabel(this);
  badge_->setAccessibleName(tr("Meeting status"));
  badge_->setAutoFillBackground(true);
  badge_->setContentsMargins(8, 2, 8, 2);
  QFont strong = badge_->font();
  strong.setWeight(QFont::DemiBold);
  badge_->setFont(strong);
  marks->addWidget(badge_);
  target_ = new QLabel(tr("◎ Target"), this);
  marks->addWidget(target_);
  favorite_ = new QLabel(tr("★ Favourite"), this);
  marks->addWidget(favorite_);
  layout->addLayout(marks);

  auto* buttons = new FlowLayout(nullptr, 6);
  for (QAction* action : actions) {
    QPushButton* button = actionButton(action, this);
    button->setObjectName(action->objectName());
    buttons->addWidget(button);
  }
  layout->addSpacing(4);
  layout->addLayout(buttons);
}

void DetailHeader::showRecord(const ContactRecord& record) {
  const Contact& c = record.contact;
  const QString fullName = qs(c.fullName());
  name_->setText(fullName.isEmpty() ? tr("Unnamed contact") : fullName);
  name_->setToolTip(name_->text());
  role_->setText(joined({qs(c.title), qs(c.displayCompany())}));
  role_->setToolTip(role_->text());
  role_->setVisible(!role_->text().isEmpty());

  const MeetingIndicator indicator = c.meetingIndicator();
  badge_->setText(meetingText(indicator));
  QPalette palette = badge_->palette();
  palette.setColor(QPalette::Window, meetingBadgeColor(indicator));
  palette.setColor(QPalette::WindowText, Qt::white);
  badge_->setPalette(palette);
  target_->setVisible(c.isTarget);
  favorite_->setVisible(c.isFavorite);
}

QString DetailHeader::shownName() const {
  return name_->text();
}

}  // namespace qm::desktop
