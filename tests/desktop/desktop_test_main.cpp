// GoogleTest with a QApplication on the offscreen platform, so the window's
// views can be built and driven with QTest without a display.

#include <gmock/gmock.h>

#include <QApplication>
#include <QLocale>
#include <cstdlib>

#include "desktop/language.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  // The English catalogue, as the window installs it, with the session's formats.
  const QLocale session;
  qm::desktop::applyLanguage(app, qm::AppLanguage::en);
  QLocale::setDefault(session);
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
