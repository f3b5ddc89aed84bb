#include "desktop/send_approved_panel.h"

#include <QHBoxLayout>
#include <QJsonArray>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "desktop/confirmation.h"
#include "desktop/draft_sending.h"

namespace qm::desktop {

SendApprovedPanel::SendApprovedPanel(DesktopContext& context, QWidget* parent)
    : QWidget(parent), sending_(new DraftSending(context.link, this)) {
  setObjectName(QStringLiteral("send-panel"));
  send_ = new QPushButton(parent);
  send_->setObjectName(QStringLiteral("send-approved"));
  send_->setToolTip(tr("Send the approved drafts through your mail server (Settings ▸ Mail)"));

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  progress_ = new QProgressBar(this);
  progress_->setAccessibleName(tr("Sending progress"));
  progress_->setTextVisible(false);
  progress_->setMaximumWidth(220);
  row->addWidget(progress_, 0, Qt::AlignTop);
  state_ = new QLabel(this);
  state_->setObjectName(QStringLiteral("send-state"));
  state_->setAccessibleName(tr("Sending state"));
  state_->setTextFormat(Qt::PlainText);
  state_->setWordWrap(true);
  state_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  row->addWidget(state_, 1);
  cancel_ = new QPushButton(tr("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("cancel-sending"));
  cancel_->setAccessibleName(tr("Cancel sending"));
  row->addWidget(cancel_, 0, Qt::AlignTop);
  hide();

  connect(send_, &QPushButton::clicked, this, &SendApprovedPanel::sendApproved);
  connect(cancel_, &QPushButton::clicked, this, &SendApprovedPanel::cancel);
  connect(sending_, &DraftSending::stepped, this, &SendApprovedPanel::stepped);
  connect(sending_, &DraftSending::finished, this, &SendApprovedPanel::finished);
  updateButton();
}

void SendApprovedPanel::setApproved(const std::optional<Uuid>& eventID, int approved) {
  eventID_ = eventID;
  approved_ = approved;
  updateButton();
}

void SendApprovedPanel::updateButton() {
  send_->setText(tr("Send %Ln approved", nullptr, approved_));
  send_->setAccessibleName(send_->text());
  send_->setEnabled(eventID_ && approved_ > 0 && !sending_->isRunning());
}

void SendApprovedPanel::sendApproved() {
  if (!eventID_ || approved_ == 0 || sending_->isRunning()) return;
  if (!confirm(this, {tr("Send %Ln Follow-Ups?", nullptr, approved_),
                      tr("Send %Ln Follow-Ups?", nullptr, approved_),
                      tr("Each approved draft goes to its contact through your mail server, and is "
                         "marked sent once the server takes it."),
                      tr("Send"), QMessageBox::AcceptRole, QMessageBox::Question}))
    return;
  progress_->setRange(0, approved_);
  progress_->setValue(0);
  state_->setText(tr("Sending…"));
  state_->setStyleSheet({});
  cancel_->setEnabled(true);
  cancel_->show();
  show();
  sending_->sendApproved(*eventID_);
  updateButton();
}

void SendApprovedPanel::cancel() {
  cancel_->setEnabled(false);
  state_->setText(tr("Cancelling after the draft on its way…"));
  sending_->cancel();
}

void SendApprovedPanel::stepped(const QJsonObject& step) {
  progress_->setRange(0, std::max(step.value("total").toInt(), 1));
  progress_->setValue(step.value("sent").toInt() + step.value("failed").toInt());
  if (cancel_->isEnabled()) state_->setText(DraftSending::stepText(step));
}

void SendApprovedPanel::finished(const QJsonObject& summary, const QString& error) {
  cancel_->hide();
  const bool failed = !error.isEmpty() || !summary.value("failures").toArray().isEmpty();
  state_->setText(error.isEmpty() ? DraftSending::summaryText(summary) : error);
  state_->setStyleSheet(failed ? QStringLiteral("color: #c62828;") : QString());
  updateButton();
}

}  // namespace qm::desktop
