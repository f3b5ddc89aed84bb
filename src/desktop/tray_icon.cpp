#include "desktop/tray_icon.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

#include "desktop/companion_link.h"
#include "desktop/language.h"
#include "desktop/phone_state_text.h"
#include "desktop/qt_text.h"

namespace qm::desktop {

namespace {

/// A quill-coloured disc with a dot of the state's colour.
QIcon stateIcon(const QColor& state) {
  QIcon icon;
  for (const int side : {16, 22, 32, 48, 64}) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2D, 0x5F, 0x3F));
    painter.drawEllipse(QRectF(0, 0, side, side));
    painter.setPen(QPen(Qt::white, side / 10.0));
    painter.setFont([&] {
      QFont f = QApplication::font();
      f.setBold(true);
      f.setPixelSize(side * 6 / 10);
      return f;
    }());
    painter.drawText(QRectF(0, 0, side, side), Qt::AlignCenter, QStringLiteral("Q"));
    const double dot = side * 0.42;
    painter.setPen(QPen(Qt::white, side / 16.0));
    painter.setBrush(state);
    painter.drawEllipse(QRectF(side - dot, side - dot, dot - 0.5, dot - 0.5));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

TrayIcon::TrayIcon(DesktopContext& context, QWidget* window)
    : QObject(window), context_(context), window_(window) {
  icon_ = new QSystemTrayIcon(this);
  auto* menu = new QMenu(window);
  open_ = menu->addAction(tr("Open Quillmere"), this, &TrayIcon::showWindow);
  sync_ = menu->addAction(tr("Sync Now"), this, [this] {
    context_.link.request({{"command", "sync.now"}},
                          [this](const QJsonObject&, const QString& error) {
                            error_ = error;
                            update();
                          });
  });
  menu->addSeparator();
  quit_ = menu->addAction(tr("Quit"), qApp, &QCoreApplication::quit);
  icon_->setContextMenu(menu);
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick) showWindow();
  });

  CompanionLink& link = context_.link;
  connect(&link, &CompanionLink::pairingChanged, this, [this](const QJsonObject& event) {
    pairing_ = event;
    update();
  });
  connect(&link, &CompanionLink::syncChanged, this, [this](const QJsonObject& event) {
    syncState_ = event;
    error_ = event.value("lastSyncError").toString();
    update();
  });
  connect(&link, &CompanionLink::feedConnectedChanged, this, [this](bool connected) {
    if (!connected) {
      pairing_ = {};
      error_ = tr("Not connected to the companion");
      update();
      return;
    }
    error_.clear();
    context_.link.request({{"command", "status"}}, [this](const QJsonObject& s, const QString&) {
      if (s.isEmpty()) return;
      pairing_ = pairingFromStatus(s);
      syncState_ = {{"isSyncing", s.value("isSyncing")},
                    {"lastSyncAt", s.value("lastSyncAt")},
                    {"lastSyncError", s.value("lastSyncError")}};
      error_ = s.value("lastSyncError").toString();
      update();
    });
  });
  update();
  icon_->show();
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::isAvailable() {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

QString TrayIcon::toolTip() const {
  QStringList lines{QStringLiteral("Quillmere")};
  lines << (pairing_.isEmpty() ? tr("Not connected") : phoneStateText(pairing_));
  lines << (syncState_.value("isSyncing").toBool()
                ? tr("Syncing…")
                : lastSyncText(syncState_.value("lastSyncAt").toString()));
  if (!error_.isEmpty()) lines << coreText(utf8(error_));
  return lines.join(QLatin1Char('\n'));
}

void TrayIcon::showWindow() {
  window_->show();
  window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window_->raise();
  window_->activateWindow();
}

void TrayIcon::update() {
  const QString state = pairing_.value("state").toString();
  QColor colour(0x9E, 0x9E, 0x9E);  // no phone
  if (!error_.isEmpty() || state == QLatin1String("error")) {
    colour = QColor(0xC6, 0x28, 0x28);
  } else if (syncState_.value("isSyncing").toBool()) {
    colour = QColor(0x19, 0x76, 0xD2);
  } else if (state == QLatin1String("paired")) {
    colour = QColor(0x43, 0xA0, 0x47);
  } else if (!state.isEmpty() && state != QLatin1String("unpaired")) {
    colour = QColor(0xF5, 0x9E, 0x0B);  // reconnecting, waiting for a phone
  }
  icon_->setIcon(stateIcon(colour));
  icon_->setToolTip(toolTip());
}

}  // namespace qm::desktop
