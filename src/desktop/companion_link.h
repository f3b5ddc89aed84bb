#pragma once

#include <QJsonObject>
#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>

namespace qm::desktop {

/// The window's line to the running companion: one control-socket connection
/// per request (JSON line out, progress lines and one answer back) and one
/// long-lived "subscribe" connection whose change events become signals. When
/// the companion goes away the feed reconnects by itself once it is back.
class CompanionLink : public QObject {
  Q_OBJECT
 public:
  /// Called with the answer's "result" on success, or with the error text.
  using Done = std::function<void(const QJsonObject& result, const QString& error)>;
  using Progress = std::function<void(const QJsonObject& progress)>;

  CompanionLink(QString socketPath, QString companionProgram, QObject* parent = nullptr);
  ~CompanionLink() override;

  const QString& socketPath() const { return socketPath_; }
  /// The `quillmere` program the window starts and asks (for updates, say).
  const QString& companionProgram() const { return companionProgram_; }

  /// Whether a companion answers on the socket now.
  bool isRunning() const;
  /// Starts `quillmere run` detached when none answers (it keeps running when
  /// the window closes) and waits up to `timeout` for its socket. The error
  /// text says what went wrong.
  bool ensureRunning(std::chrono::milliseconds timeout, QString* error);

  /// Sends one request; `done` runs once, on the main thread.
  void request(const QJsonObject& request, Done done, Progress progress = {});

  /// Opens the change feed (and keeps reopening it while the window lives).
  void subscribe();
  bool isFeedConnected() const { return feedConnected_; }

 signals:
  /// Store tables whose records changed ("ZCONTACT", …).
  void recordsChanged(const QStringList& tables);
  void pairingChanged(const QJsonObject& event);
  void syncChanged(const QJsonObject& event);
  void draftsChanged(const QJsonObject& event);
  /// The feed came up (after start-up or a restart of the companion) or went down.
  void feedConnectedChanged(bool connected);

 private:
  void openFeed();
  void readFeed();
  void setFeedConnected(bool connected);

  QString socketPath_;
  QString companionProgram_;
  QLocalSocket* feed_ = nullptr;
  QByteArray feedBuffer_;
  QTimer reconnect_;
  bool feedConnected_ = false;
  bool feedWanted_ = false;
};

}  // namespace qm::desktop
