#pragma once

#include <QDialog>
#include <QImage>
#include <QJsonObject>
#include <QString>
#include <functional>

#include "desktop/desktop_context.h"

class QLabel;
class QPushButton;

namespace qm::desktop {

/// Pairing: the QR code the phone scans, the pairing state and the paired
/// phone's name, with Forget and Reconnect. Follows the change feed.
class PairingWindow : public QDialog {
  Q_OBJECT
 public:
  PairingWindow(DesktopContext& context, QWidget* parent);

  /// The pairing code shown as a QR code; empty when none is shown.
  const QString& qrPayload() const { return qrPayload_; }
  /// The QR code as drawn; null when none is shown.
  QImage qrImage() const;
  QLabel* stateLabel() const { return state_; }
  QLabel* phoneLabel() const { return phone_; }
  QLabel* errorLabel() const { return error_; }
  QPushButton* pairButton() const { return pair_; }
  QPushButton* reconnectButton() const { return reconnect_; }
  QPushButton* forgetButton() const { return forget_; }

  /// Reads the pairing state from the companion again.
  void refresh();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void pairClicked();
  void startPairing();
  void stopPairing();
  /// Forgets the paired phone, then runs `then` when that worked.
  void forget(std::function<void()> then);
  void reconnectPhone();
  void forgetPhone();
  /// Asks before forgetting `phone`; `pairingAnother` says why it is forgotten.
  bool confirmForget(const QString& phone, bool pairingAnother);
  void pairingChanged(const QJsonObject& event);
  void showStatus(const QJsonObject& status);
  void showCode(const QString& payload);
  void showError(const QString& error);
  void updateControls();

  DesktopContext& context_;
  QLabel* code_ = nullptr;
  QLabel* hint_ = nullptr;
  QLabel* state_ = nullptr;
  QLabel* phone_ = nullptr;
  QLabel* lastConnected_ = nullptr;
  QLabel* error_ = nullptr;
  QPushButton* pair_ = nullptr;
  QPushButton* reconnect_ = nullptr;
  QPushButton* forget_ = nullptr;

  QString stateRaw_;
  QString phoneName_;
  QString qrPayload_;
  bool bonded_ = false;
  /// A "pairing.start" of this window is waiting for the phone.
  bool waiting_ = false;
  /// This window asked to stop waiting: "Pairing stopped" is no error then.
  bool stopping_ = false;
  /// Tells the answers of a refresh from those of an earlier one.
  int statusGeneration_ = 0;
  /// Why the last status could not be read, while it is shown.
  QString statusError_;
};

}  // namespace qm::desktop
