#pragma once

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include "common/uuid.h"

namespace qm::desktop {

class CompanionLink;

/// Drafts sent through the user's mail server by the companion
/// ("drafts.send"): a step before and after each draft, then a summary.
/// One sending at a time per object; Cancel stops it after the draft on its
/// way, as closing the window does.
class DraftSending : public QObject {
  Q_OBJECT
 public:
  explicit DraftSending(CompanionLink& link, QObject* parent = nullptr);

  /// Sends these drafts; false when this object is sending already.
  bool sendDrafts(const QList<Uuid>& draftIDs);
  /// Sends the event's approved drafts; false when this object is sending already.
  bool sendApproved(const Uuid& eventID);
  void cancel();
  bool isRunning() const { return running_; }

  /// One step as the window says it: "Sending to Ana Weber…", "Sent to Ana
  /// Weber", or the contact's name and why it was not sent.
  static QString stepText(const QJsonObject& step);
  /// The end of a sending of several drafts: how many went, then one line per
  /// draft that did not, with the reason, and whether the rest was cancelled.
  static QString summaryText(const QJsonObject& summary);
  /// The end of sending one draft to `recipient`: that it was sent, or why not.
  static QString outcomeText(const QJsonObject& summary, const QString& recipient);

 signals:
  void stepped(const QJsonObject& step);
  /// The companion's summary, or (when the sending could not start or the
  /// companion went away) the error.
  void finished(const QJsonObject& summary, const QString& error);

 private:
  bool start(QJsonObject request);

  CompanionLink& link_;
  bool running_ = false;
};

}  // namespace qm::desktop
