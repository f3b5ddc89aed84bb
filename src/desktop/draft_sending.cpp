#include "desktop/draft_sending.h"

#include <QJsonArray>
#include <QPointer>
#include <QStringList>

#include "desktop/companion_link.h"
#include "desktop/qt_text.h"

namespace qm::desktop {

DraftSending::DraftSending(CompanionLink& link, QObject* parent) : QObject(parent), link_(link) {}

bool DraftSending::sendDrafts(const QList<Uuid>& draftIDs) {
  QJsonArray ids;
  for (const Uuid& id : draftIDs) ids.append(uuidText(id));
  return start({{"command", "drafts.send"}, {"draftIDs", ids}});
}

bool DraftSending::sendApproved(const Uuid& eventID) {
  return start({{"command", "drafts.send"}, {"approved", true}, {"eventID", uuidText(eventID)}});
}

bool DraftSending::start(QJsonObject request) {
  if (running_) return false;
  running_ = true;
  QPointer<DraftSending> self(this);
  link_.request(
      request,
      [self](const QJsonObject& summary, const QString& error) {
        if (!self) return;
        self->running_ = false;
        Q_EMIT self->finished(summary, error);
      },
      [self](const QJsonObject& step) {
        if (self) Q_EMIT self->stepped(step);
      });
  return true;
}

void DraftSending::cancel() {
  if (!running_) return;
  link_.request({{"command", "drafts.send.cancel"}}, [](const QJsonObject&, const QString&) {});
}

QString DraftSending::stepText(const QJsonObject& step) {
  const QString name = step.value("contactName").toString();
  const QString state = step.value("state").toString();
  if (state == QLatin1String("sending")) return tr("Sending to %1…").arg(name);
  if (state == QLatin1String("sent")) return tr("Sent to %1").arg(name);
  return tr("Not sent to %1: %2").arg(name, step.value("error").toString());
}

QString DraftSending::summaryText(const QJsonObject& summary) {
  const int sent = summary.value("sent").toInt();
  const int total = summary.value("total").toInt();
  QStringList lines{tr("Sent %1 of %Ln drafts.", nullptr, total).arg(QLocale().toString(sent))};
  for (const auto& value : summary.value("failures").toArray()) {
    const QJsonObject failure = value.toObject();
    lines << tr("Not sent to %1: %2")
                 .arg(failure.value("contactName").toString(), failure.value("error").toString());
  }
  if (const int left = summary.value("notAttempted").toInt(); left > 0)
    lines << tr("Cancelled: %Ln drafts were left as they were.", nullptr, left);
  return lines.join(QLatin1Char('\n'));
}

QString DraftSending::outcomeText(const QJsonObject& summary, const QString& recipient) {
  const QJsonArray failures = summary.value("failures").toArray();
  if (!failures.isEmpty()) return failures.first().toObject().value("error").toString();
  return recipient.isEmpty() ? tr("Sent.") : tr("Sent to %1.").arg(recipient);
}

}  // namespace qm::desktop
