#include "desktop/companion_link.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QThread>
#include <memory>

namespace qm::desktop {

namespace {

constexpr int kReconnectMs = 1000;

/// One request in flight: its socket, what has been read, and the callbacks.
struct PendingRequest {
  QByteArray buffer;
  CompanionLink::Done done;
  CompanionLink::Progress progress;
  bool finished = false;

  void finish(const QJsonObject& result, const QString& error) {
    if (finished) return;
    finished = true;
    if (done) done(result, error);
  }
};

QJsonObject parseLine(const QByteArray& line, bool* ok) {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(line, &error);
  *ok = error.error == QJsonParseError::NoError && document.isObject();
  return document.object();
}

}  // namespace

CompanionLink::CompanionLink(QString socketPath, QString companionProgram, QObject* parent)
    : QObject(parent),
      socketPath_(std::move(socketPath)),
      companionProgram_(std::move(companionProgram)) {
  reconnect_.setSingleShot(true);
  reconnect_.setInterval(kReconnectMs);
  connect(&reconnect_, &QTimer::timeout, this, &CompanionLink::openFeed);
}

CompanionLink::~CompanionLink() {
  feedWanted_ = false;
  if (feed_) feed_->abort();
}

bool CompanionLink::isRunning() const {
  QLocalSocket probe;
  probe.connectToServer(socketPath_);
  const bool up = probe.waitForConnected(500);
  probe.abort();
  return up;
}

bool CompanionLink::ensureRunning(std::chrono::milliseconds timeout, QString* error) {
  if (isRunning()) return true;
  // A process of its own (its own session, output to its log file), so that
  // closing or losing the window never stops sync or MCP.
  QProcess companion;
  companion.setProgram(companionProgram_);
  companion.setArguments({QStringLiteral("run")});
  companion.setStandardInputFile(QProcess::nullDevice());
  companion.setStandardOutputFile(QProcess::nullDevice());
  companion.setStandardErrorFile(QProcess::nullDevice());
  if (!companion.startDetached()) {
    if (error) *error = tr("Could not start the companion (%1).").arg(companionProgram_);
    return false;
  }
  QDeadlineTimer deadline(timeout.count());
  while (!deadline.hasExpired()) {
    if (isRunning()) return true;
    QThread::msleep(50);
  }
  if (error)
    *error = tr("The companion did not start within %1 seconds.").arg(timeout.count() / 1000);
  return false;
}

void CompanionLink::request(const QJsonObject& request, Done done, Progress progress) {
  auto pending = std::make_shared<PendingRequest>();
  pending->done = std::move(done);
  pending->progress = std::move(progress);
  auto* socket = new QLocalSocket(this);
  const QByteArray line = QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';

  connect(socket, &QLocalSocket::connected, socket, [socket, line] { socket->write(line); });
  connect(socket, &QLocalSocket::readyRead, socket, [socket, pending] {
    pending->buffer += socket->readAll();
    qsizetype end;
    while (!pending->finished && (end = pending->buffer.indexOf('\n')) >= 0) {
      const QByteArray text = pending->buffer.left(end);
      pending->buffer.remove(0, end + 1);
      bool ok = false;
      const QJsonObject answer = parseLine(text, &ok);
      if (!ok) {
        pending->finish({}, tr("The companion sent an answer that is not JSON."));
      } else if (answer.contains(QStringLiteral("progress"))) {
        if (pending->progress)
          pending->progress(answer.value(QStringLiteral("progress")).toObject());
      } else if (answer.value(QStringLiteral("ok")).toBool()) {
        pending->finish(answer.value(QStringLiteral("result")).toObject(), {});
      } else {
        const QString error = answer.value(QStringLiteral("error")).toString();
        pending->finish({}, error.isEmpty() ? tr("Quillmere refused the request") : error);
      }
    }
    if (pending->finished) socket->disconnectFromServer();
  });
  connect(socket, &QLocalSocket::errorOccurred, socket,
          [socket, pending](QLocalSocket::LocalSocketError code) {
            if (code == QLocalSocket::PeerClosedError && pending->finished) return;
            const bool notThere = code == QLocalSocket::ServerNotFoundError ||
                                  code == QLocalSocket::ConnectionRefusedError;
            pending->finish({}, notThere ? tr("Quillmere is not running.") : socket->errorString());
          });
  connect(socket, &QLocalSocket::disconnected, socket, [socket, pending] {
    pending->finish({}, tr("The companion closed the connection before answering."));
    socket->deleteLater();
  });
  socket->connectToServer(socketPath_);
}

void CompanionLink::subscribe() {
  feedWanted_ = true;
  if (!feed_) openFeed();
}

void CompanionLink::openFeed() {
  if (!feedWanted_) return;
  if (feed_) feed_->deleteLater();
  feedBuffer_.clear();
  feed_ = new QLocalSocket(this);
  QLocalSocket* socket = feed_;
  connect(socket, &QLocalSocket::connected, this,
          [socket] { socket->write(QByteArrayLiteral("{\"command\":\"subscribe\"}\n")); });
  connect(socket, &QLocalSocket::readyRead, this, &CompanionLink::readFeed);
  auto lost = [this, socket] {
    if (socket != feed_) return;
    setFeedConnected(false);
    if (feedWanted_ && !reconnect_.isActive()) reconnect_.start();
  };
  connect(socket, &QLocalSocket::disconnected, this, lost);
  connect(socket, &QLocalSocket::errorOccurred, this, lost);
  socket->connectToServer(socketPath_);
}

void CompanionLink::readFeed() {
  if (!feed_) return;
  feedBuffer_ += feed_->readAll();
  qsizetype end;
  while ((end = feedBuffer_.indexOf('\n')) >= 0) {
    const QByteArray text = feedBuffer_.left(end);
    feedBuffer_.remove(0, end + 1);
    bool ok = false;
    const QJsonObject line = parseLine(text, &ok);
    if (!ok) continue;
    if (line.contains(QStringLiteral("ok"))) {
      // The answer to "subscribe": every change from now on is reported, so
      // whatever happened while the feed was down is caught up by a reload.
      const bool subscribed = line.value(QStringLiteral("ok")).toBool();
      setFeedConnected(subscribed);
      if (subscribed) Q_EMIT recordsChanged({});
      continue;
    }
    const QString event = line.value(QStringLiteral("event")).toString();
    if (event == QLatin1String("records")) {
      QStringList tables;
      for (const auto& table : line.value(QStringLiteral("tables")).toArray())
        tables << table.toString();
      Q_EMIT recordsChanged(tables);
    } else if (event == QLatin1String("pairing")) {
      Q_EMIT pairingChanged(line);
    } else if (event == QLatin1String("sync")) {
      Q_EMIT syncChanged(line);
    } else if (event == QLatin1String("drafts")) {
      Q_EMIT draftsChanged(line);
    }
  }
}

void CompanionLink::setFeedConnected(bool connected) {
  if (feedConnected_ == connected) return;
  feedConnected_ = connected;
  Q_EMIT feedConnectedChanged(connected);
}

}  // namespace qm::desktop
