#pragma once

#include <QJsonObject>
#include <QWidget>
#include <optional>

#include "common/uuid.h"
#include "desktop/desktop_context.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace qm::desktop {

class DraftSending;

/// The drafts list's "Send N approved": after asking, sends the event's
/// approved drafts through the user's mail server one after another, with a
/// progress bar, the draft on its way and Cancel (after that draft), then
/// how many went and, for each one that did not, why.
class SendApprovedPanel : public QWidget {
  Q_OBJECT
 public:
  SendApprovedPanel(DesktopContext& context, QWidget* parent);

  /// The button for the list's bar.
  QPushButton* sendButton() const { return send_; }
  QPushButton* cancelButton() const { return cancel_; }
  QProgressBar* progress() const { return progress_; }
  /// The draft on its way, then the summary.
  QLabel* stateLabel() const { return state_; }

  /// The event the list shows and how many of its drafts are approved.
  void setApproved(const std::optional<Uuid>& eventID, int approved);

 public slots:
  void sendApproved();
  void cancel();

 private:
  void stepped(const QJsonObject& step);
  void finished(const QJsonObject& summary, const QString& error);
  void updateButton();

  std::optional<Uuid> eventID_;
  int approved_ = 0;
  DraftSending* sending_ = nullptr;
  QPushButton* send_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* state_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace qm::desktop
