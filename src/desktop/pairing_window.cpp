#include "desktop/pairing_window.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "common/enum_info.h"
#include "desktop/companion_link.h"
#include "desktop/language.h"
#include "desktop/locale_text.h"
#include "desktop/phone_state_text.h"
#include "desktop/qr_image.h"
#include "desktop/qt_text.h"
#include "pairing/pairing_service.h"

namespace qm::desktop {

namespace {

/// The side of the square the QR code is drawn in, in logical pixels.
constexpr int kCodeSide = 240;

/// Where the phone stands, as the toolbar and the tray say it.
QString stateText(const QString& raw, bool bonded, const QString& phone) {
  return phoneStateText({{"state", raw}, {"bonded", bonded}, {"phone", phone}});
}

}  // namespace

PairingWindow::PairingWindow(DesktopContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
  setWindowTitle(tr("Pairing"));
  setModal(false);

  code_ = new QLabel(this);
  code_->setFixedSize(kCodeSide + 16, kCodeSide + 16);
  code_->setAlignment(Qt::AlignCenter);
  code_->setWordWrap(true);
  code_->setFrameShape(QFrame::StyledPanel);
  code_->setAccessibleName(tr("Pairing QR code"));

  state_ = new QLabel(this);
  QFont big = state_->font();
  big.setPointSizeF(big.pointSizeF() * 1.3);
  big.setBold(true);
  state_->setFont(big);
  state_->setAccessibleName(tr("Pairing state"));
  phone_ = new QLabel(this);
  phone_->setAccessibleName(tr("Paired phone"));
  phone_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lastConnected_ = new QLabel(this);
  lastConnected_->setAccessibleName(tr("Last connected"));
  error_ = new QLabel(this);
  error_->setAccessibleName(tr("Pairing error"));
  error_->setWordWrap(true);
  error_->setStyleSheet(QStringLiteral("color: #c62828;"));
  error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  error_->hide();
  hint_ = new QLabel(
      tr("On the phone, open the app's pairing screen and scan this code. Both devices must be "
         "on the same network."),
      this);
  hint_->setWordWrap(true);
  hint_->hide();

  auto* details = new QVBoxLayout;
  details->addWidget(state_);
  details->addWidget(phone_);
  details->addWidget(lastConnected_);
  details->addSpacing(8);
  details->addWidget(hint_);
  details->addWidget(error_);
  details->addStretch(1);

  auto* top = new QHBoxLayout;
  top->addWidget(code_, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(details, 1);

  pair_ = new QPushButton(tr("Start Pairing"), this);
  pair_->setDefault(true);
  // Wide enough for each of its texts, so the row does not shift as it changes.
  int widest = 0;
  for (const QString& text : {tr("Start Pairing"), tr("Stop Pairing"), tr("Pair a Phone…")})
    widest = std::max(widest, pair_->fontMetrics().horizontalAdvance(text));
  pair_->setMinimumWidth(widest + 32);
  reconnect_ = new QPushButton(tr("Reconnect"), this);
  reconnect_->setAccessibleName(tr("Reconnect to the paired phone"));
  forget_ = new QPushButton(tr("Forget Phone"), this);
  forget_->setAccessibleName(tr("Forget the paired phone"));
  auto* close = new QPushButton(tr("Close"), this);
  close->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(pair_);
  buttons->addWidget(reconnect_);
  buttons->addWidget(forget_);
  buttons->addStretch(1);
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addSpacing(12);
  layout->addLayout(buttons);
  setMinimumWidth(560);

  connect(pair_, &QPushButton::clicked, this, &PairingWindow::pairClicked);
  connect(reconnect_, &QPushButton::clicked, this, &PairingWindow::reconnectPhone);
  connect(forget_, &QPushButton::clicked, this, &PairingWindow::forgetPhone);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  connect(&context_.link, &CompanionLink::pairingChanged, this, &PairingWindow::pairingChanged);
  connect(&context_.link, &CompanionLink::feedConnectedChanged, this, [this](bool connected) {
    if (connected && isVisible()) refresh();
  });

  showCode({});
  updateControls();
}

QImage PairingWindow::qrImage() const {
  return code_->pixmap().toImage();
}

void PairingWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) refresh();
}

void PairingWindow::refresh() {
  const int generation = ++statusGeneration_;
  QPointer<PairingWindow> self(this);
  context_.link.request(
      {{"command", "pairing.status"}},
      [self, generation](const QJsonObject& status, const QString& error) {
        if (!self || generation != self->statusGeneration_) return;
        if (!error.isEmpty()) {
          self->statusError_ = error;
          self->showError(error);
          return;
        }
        // The companion answers again: what kept it from
        // answering before is over.
        if (!self->statusError_.isEmpty() && self->error_->text() == self->statusError_)
          self->showError({});
        self->statusError_.clear();
        self->showStatus(status);
      });
}

void PairingWindow::pairingChanged(const QJsonObject& event) {
  // The feed says what changed at once; the details (last connection, error,
  // the code on offer) come with the status.
  stateRaw_ = event.value("state").toString();
  bonded_ = event.value("bonded").toBool();
  phoneName_ = event.value("phone").toString();
  state_->setText(stateText(stateRaw_, bonded_, phoneName_));
  phone_->setText(phoneName_);
  updateControls();
  refresh();
}

void PairingWindow::showStatus(const QJsonObject& status) {
  stateRaw_ = status.value("state").toString();
  phoneName_ = status.value("peerDisplayName").toString();
  phone_->setText(phoneName_);
  bonded_ = status.value("bonded").toBool();
  state_->setText(stateText(stateRaw_, bonded_, phoneName_));

  const QDateTime at =
      QDateTime::fromString(status.value("lastConnectedAt").toString(), Qt::ISODate);
  lastConnected_->setText(at.isValid() ? tr("Last connected %1").arg(mediumDateTime(at))
                                       : QString());
  lastConnected_->setVisible(at.isValid());

  if (stateRaw_ == QLatin1String("error")) {
    const QString message = status.value("errorMessage").toString();
    showError(message.isEmpty() ? stateText(stateRaw_, bonded_, phoneName_) : message);
  }
  // The code is on offer while the companion waits for a phone, whoever
  // started it (this window or `quillmere pair`).
  const bool offering =
      stateRaw_ == QLatin1String("advertising") || stateRaw_ == QLatin1String("connecting");
  showCode(offering ? status.value("qrPayload").toString() : QString());
  updateControls();
}

void PairingWindow::showCode(const QString& payload) {
  if (!payload.isEmpty() && payload == qrPayload_) return;
  qrPayload_ = payload;
  hint_->setVisible(!payload.isEmpty());
  if (!payload.isEmpty()) {
    // Drawn for the screen's pixels, so the modules stay sharp on a
    // high-density display too.
    const qreal ratio = devicePixelRatioF();
    QImage image = desktop::qrImage(payload, static_cast<int>(kCodeSide * ratio));
    if (!image.isNull()) {
      image.setDevicePixelRatio(ratio);
      code_->setText({});
      code_->setPixmap(QPixmap::fromImage(image));
      // Black on white in every appearance: phones read dark-on-light codes.
      code_->setStyleSheet(QStringLiteral("QLabel { background: white; }"));
      code_->setAccessibleDescription(tr("QR code for the phone to scan"));
      return;
    }
    qrPayload_.clear();
    showError(tr("The pairing code cannot be drawn as a QR code."));
  }
  code_->setPixmap({});
  code_->setStyleSheet({});
  code_->setText(bonded_ ? tr("%1 is paired.\n\nPair a Phone… shows a new code for a different "
                              "phone.")
                               .arg(phoneName_.isEmpty() ? tr("A phone") : phoneName_)
                         : tr("The code for the phone to scan appears here once pairing starts."));
  code_->setAccessibleDescription({});
}

void PairingWindow::showError(const QString& error) {
  error_->setText(error);
  error_->setVisible(!error.isEmpty());
}

void PairingWindow::updateControls() {
  const bool offering = waiting_ || stateRaw_ == QLatin1String("advertising");
  if (offering) {
    pair_->setText(tr("Stop Pairing"));
    pair_->setAccessibleName(tr("Stop waiting for a phone"));
  } else if (bonded_) {
    pair_->setText(tr("Pair a Phone…"));
    pair_->setAccessibleName(tr("Pair a different phone"));
  } else {
    pair_->setText(tr("Start Pairing"));
    pair_->setAccessibleName(tr("Start pairing a phone"));
  }
  reconnect_->setEnabled(bonded_ && stateRaw_ != QLatin1String("paired"));
  forget_->setEnabled(bonded_);
}

void PairingWindow::pairClicked() {
  if (waiting_ || stateRaw_ == QLatin1String("advertising")) {
    stopPairing();
  } else if (bonded_) {
    // One phone at a time: pairing another forgets this one first.
    if (!confirmForget(phoneName_, true)) return;
    forget([this] { startPairing(); });
  } else {
    startPairing();
  }
}

void PairingWindow::startPairing() {
  showError({});
  waiting_ = true;
  stopping_ = false;
  updateControls();
  QPointer<PairingWindow> self(this);
  context_.link.request(
      {{"command", "pairing.start"}},
      [self](const QJsonObject&, const QString& error) {
        if (!self) return;
        self->waiting_ = false;
        if (!error.isEmpty() && !self->stopping_) self->showError(error);
        self->stopping_ = false;
        self->updateControls();
        self->refresh();
      },
      [self](const QJsonObject& offer) {
        if (!self) return;
        self->stateRaw_ = QStringLiteral("advertising");
        self->state_->setText(stateText(self->stateRaw_, self->bonded_, self->phoneName_));
        self->showCode(offer.value("qrPayload").toString());
        self->updateControls();
      });
}

void PairingWindow::stopPairing() {
  stopping_ = waiting_;
  QPointer<PairingWindow> self(this);
  context_.link.request({{"command", "pairing.stop"}},
                        [self](const QJsonObject&, const QString& error) {
                          if (!self) return;
                          if (!error.isEmpty()) self->showError(error);
                          self->refresh();
                        });
}

void PairingWindow::reconnectPhone() {
  showError({});
  QPointer<PairingWindow> self(this);
  context_.link.request({{"command", "pairing.reconnect"}},
                        [self](const QJsonObject&, const QString& error) {
                          if (!self) return;
                          if (!error.isEmpty()) self->showError(error);
                          self->refresh();
                        });
}

void PairingWindow::forgetPhone() {
  if (!confirmForget(phoneName_, false)) return;
  forget({});
}

void PairingWindow::forget(std::function<void()> then) {
  showError({});
  QPointer<PairingWindow> self(this);
  context_.link.request({{"command", "pairing.forget"}},
                        [self, then = std::move(then)](const QJsonObject&, const QString& error) {
                          if (!self) return;
                          if (!error.isEmpty()) {
                            self->showError(error);
                            self->refresh();
                            return;
                          }
                          self->bonded_ = false;
                          self->refresh();
                          if (then) then();
                        });
}

bool PairingWindow::confirmForget(const QString& phone, bool pairingAnother) {
  const QString name = phone.isEmpty() ? tr("the paired phone") : phone;
  QMessageBox box(QMessageBox::Warning, tr("Forget Phone"),
                  pairingAnother ? tr("Pair a different phone?") : tr("Forget %1?").arg(name),
                  QMessageBox::Cancel, this);
  const QString what =
      tr("This computer stops syncing with %1 and drops the changes still waiting to be sent to "
         "it. The events and contacts already here stay. To sync with it again, pair it anew.")
          .arg(name);
  box.setInformativeText(pairingAnother ? tr("Only one phone can be paired at a time. ") + what
                                        : what);
  QPushButton* confirm = box.addButton(pairingAnother ? tr("Forget and Pair") : tr("Forget Phone"),
                                       QMessageBox::DestructiveRole);
  box.setDefaultButton(QMessageBox::Cancel);
  box.exec();
  return box.clickedButton() == confirm;
}

}  // namespace qm::desktop
