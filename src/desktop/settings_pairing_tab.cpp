#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/enum_info.h"
#include "desktop/companion_link.h"
#include "desktop/language.h"
#include "desktop/locale_text.h"
#include "desktop/pairing_window.h"
#include "desktop/phone_state_text.h"
#include "desktop/qt_text.h"
#include "desktop/settings_page.h"
#include "pairing/pairing_service.h"

namespace qm::desktop {

PairingSettingsTab::PairingSettingsTab(DesktopContext& context, QWidget* parent)
    : SettingsPage(context, parent) {
  state_ = new QLabel(this);
  state_->setObjectName(QStringLiteral("pairingState"));
  state_->setAccessibleName(tr("Pairing state"));
  phone_ = new QLabel(this);
  phone_->setObjectName(QStringLiteral("pairedPhone"));
  phone_->setAccessibleName(tr("Paired phone"));
  phone_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  phone_->setWordWrap(true);
  auto* open = new QPushButton(tr("Pairing…"), this);
  open->setAccessibleName(tr("Open the pairing window"));
  forget_ = new QPushButton(tr("Forget Phone…"), this);
  forget_->setAccessibleName(tr("Forget the paired phone"));
  error_ = makeErrorLabel();

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(open);
  buttons->addWidget(forget_);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(makeHeading(tr("Phone")));
  auto* about = new QLabel(tr("The phone this computer syncs events, contacts and drafts with. "
                              "Pairing shows a code for the phone to scan."),
                           this);
  about->setWordWrap(true);
  layout->addWidget(about);
  layout->addWidget(state_);
  layout->addWidget(phone_);
  layout->addLayout(buttons);
  layout->addWidget(error_);
  layout->addStretch(1);

  // The pairing window does the pairing and the forgetting, with its questions.
  pairing_ = new PairingWindow(context_, this);
  pairing_->setWindowFlag(Qt::Window);
  connect(open, &QPushButton::clicked, this, [this] {
    pairing_->show();
    pairing_->raise();
    pairing_->activateWindow();
  });
  connect(forget_, &QPushButton::clicked, this, [this] {
    if (pairing_->forgetButton()->isEnabled()) pairing_->forgetButton()->click();
  });
  connect(&context_.link, &CompanionLink::pairingChanged, this, [this] {
    if (isVisible()) reload();
  });
}

void PairingSettingsTab::reload() {
  pairing_->refresh();
  QPointer<PairingSettingsTab> self(this);
  context_.link.request({{"command", "pairing.status"}},
                        [self](const QJsonObject& status, const QString& error) {
                          if (!self) return;
                          showText(self->error_, error);
                          if (error.isEmpty()) self->showStatus(status);
                        });
}

void PairingSettingsTab::showStatus(const QJsonObject& status) {
  const bool bonded = status.value("bonded").toBool();
  const QString phone = status.value("peerDisplayName").toString();
  const QDateTime at =
      QDateTime::fromString(status.value("lastConnectedAt").toString(), Qt::ISODate);
  state_->setText(
      phoneStateText({{"state", status.value("state")}, {"bonded", bonded}, {"phone", phone}}));
  QString text = bonded ? tr("Paired with %1").arg(phone.isEmpty() ? tr("a phone") : phone)
                        : tr("No phone is paired.");
  if (bonded && at.isValid())
    text += QLatin1Char('\n') + tr("Last connected %1").arg(mediumDateTime(at));
  phone_->setText(text);
  forget_->setEnabled(bonded);
}

}  // namespace qm::desktop
