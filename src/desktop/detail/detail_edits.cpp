#include "desktop/detail/detail_edits.h"

#include <QLabel>
#include <QPointer>

#include "desktop/companion_link.h"
#include "desktop/qt_text.h"

namespace qm::desktop {

DetailEdits::DetailEdits(DesktopContext& context, QWidget* pane)
    : QObject(pane), context_(context), line_(new QLabel(pane)) {
  line_->setObjectName(QStringLiteral("editStatus"));
  line_->setAccessibleName(tr("Last edit"));
  line_->setWordWrap(true);
  line_->setMargin(8);
  QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  line_->setSizePolicy(policy);
  line_->hide();
}

void DetailEdits::setShownContact(const std::optional<Uuid>& contactID) {
  if (contactID == shown_) return;
  shown_ = contactID;
  line_->hide();
}

void DetailEdits::show(const Uuid& contactID, const QString& text, TextTone tone) {
  if (shown_ != contactID) return;
  line_->setText(text);
  setTextTone(line_, tone);
  line_->show();
}

void DetailEdits::showDone(const Uuid& contactID, const QString& text) {
  show(contactID, text, TextTone::normal);
}

void DetailEdits::send(const Uuid& contactID, const QJsonObject& request, Saved saved) {
  QPointer<DetailEdits> self(this);
  context_.link.request(request, [self, contactID, saved = std::move(saved)](
                                     const QJsonObject& answer, const QString& error) {
    if (!self) return;
    if (!error.isEmpty()) {
      self->show(contactID, tr("Not saved: %1").arg(error), TextTone::error);
      return;
    }
    saved(answer);
    Q_EMIT self->saved();
  });
}

void DetailEdits::showPush(const Uuid& contactID, const QJsonObject& answer) {
  const QString push = answer.value(QStringLiteral("push")).toString();
  const QString message = answer.value(QStringLiteral("pushMessage")).toString();
  if (push == QLatin1String("sent")) return showDone(contactID, tr("Saved and sent to the phone."));
  if (push == QLatin1String("queued")) {
    // The companion's own words for a phone that is away; the change waits for it.
    return showDone(
        contactID,
        tr("Saved. %1 — the change is sent when the phone is back.")
            .arg(message.isEmpty() ? QStringLiteral("Not connected to iPhone") : message));
  }
  show(contactID, tr("Saved here only: %1").arg(message), TextTone::warning);
}

void DetailEdits::updateContact(const Contact& contact, const QJsonObject& fields,
                                const QString& description, Answered answered) {
  if (fields.isEmpty()) {
    if (answered) answered({});
    return;
  }
  const QString id = uuidText(contact.id);
  const QJsonObject request{{QStringLiteral("command"), QStringLiteral("contact.update")},
                            {QStringLiteral("id"), id},
                            {QStringLiteral("fields"), fields}};
  QPointer<DetailEdits> self(this);
  context_.link.request(
      request, [self, contactID = contact.id, id, description, answered = std::move(answered)](
                   const QJsonObject& answer, const QString& error) {
        if (!self) return;
        if (!error.isEmpty()) {
          if (answered) return answered(error);
          self->show(contactID, tr("Not saved: %1").arg(error), TextTone::error);
          return;
        }
        self->showPush(contactID, answer);
        if (answered) answered({});
        Q_EMIT self->saved();
        const QJsonObject previous = answer.value(QStringLiteral("previous")).toObject();
        if (previous.isEmpty()) return;
        Q_EMIT self->undoableEdit(description,
                                  {{QStringLiteral("command"), QStringLiteral("contact.update")},
                                   {QStringLiteral("id"), id},
                                   {QStringLiteral("fields"), previous}});
      });
}

}  // namespace qm::desktop
